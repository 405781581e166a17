// The level choice: the "Fit to channel" mapping at its extremes, on flat and
// constant channels and on real EMG recordings that "As recorded" turns into
// wrap-around noise, plus the hint that suggests it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/sound/SoundLevel.h"
#include "core/sound/WaveFormat.h"
#include "core/sound/WaveSynthesis.h"
#include "tests/support/HandFilledC3d.h"
#include "tests/support/RecordingSoundHost.h"
#include "tests/support/ReferenceResample.h"
#include "tests/support/ScratchDir.h"

namespace {

namespace fs = std::filesystem;
using sound::CFitScale;
using sound::RawRange;
using sound::RecordedLevelHint;
using sound::SoundLevel;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// One channel held as one frame of all its samples, one frame a second:
// the analog rate is the number of samples, in Hz.
std::unique_ptr<CC3d> OneSecond(std::vector<float> raw, bool integer = false) {
  c3dtest::HandChannel channel;
  channel.raw = std::move(raw);
  channel.integer = integer;
  auto c3d = c3dtest::HandFilledC3d(channel);
  c3d->m_fFrameRate = 1.0f;
  return c3d;
}

struct FitRow {
  RawRange range;
  float s;
  std::int16_t v16;
  std::uint8_t v8;
};

class FitScale : public testing::TestWithParam<FitRow> {};

// The extremes land exactly on full scale, the middle on silence, values a
// hair outside the range are held at full scale instead of wrapping, and
// ranges with nothing to stretch are silent.
TEST_P(FitScale, MapsTheRangeOntoTheFullScale) {
  const FitRow row = GetParam();
  const CFitScale fit(row.range);
  EXPECT_EQ(fit.Sample16(row.s), row.v16) << row.s;
  EXPECT_EQ(fit.Sample8(row.s), row.v8) << row.s;
}

const RawRange kEmg{true, -1203.4607f, 1555.133f};
const RawRange kTwelveBit{true, 0.0, 4095.0};
const RawRange kSteps{true, 0.0, 65534.0};  // one raw unit per 16-bit step
// One float step wide at 2^20: the next float beyond either end lies a whole
// range (65534 steps) away, as an interpolated value rounded to float can.
const RawRange kNarrow{true, 1048576.0, 1048576.125};

INSTANTIATE_TEST_SUITE_P(
    SoundLevel, FitScale,
    testing::Values(FitRow{kEmg, -1203.4607f, -32767, 1}, FitRow{kEmg, 1555.133f, 32767, 255},
                    FitRow{kEmg, 175.83615f, 0, 128},  // the middle of the range
                    FitRow{kNarrow, std::nextafter(1048576.125f, 2e6f), 32767, 255},
                    FitRow{kNarrow, std::nextafter(1048576.0f, 0.0f), -32767, 1},
                    FitRow{kEmg, 0.0f, -4177, 112},  // 28589.78 of 65534 steps up
                    FitRow{kTwelveBit, 0, -32767, 1}, FitRow{kTwelveBit, 4095, 32767, 255},
                    FitRow{kSteps, 0.49f, -32767, 1}, FitRow{kSteps, 0.5f, -32766, 1},
                    FitRow{kSteps, 32767.5f, 1, 128},  // halves round up
                    FitRow{RawRange{true, -3e38, 3e38}, 3e38f, 32767, 255},
                    FitRow{RawRange{true, -3e38, 3e38}, -3e38f, -32767, 1},
                    FitRow{RawRange{true, 5.0, 5.0}, 5.0f, 0, 128},  // constant: silent
                    FitRow{RawRange{}, 0.0f, 0, 128},                // no finite value
                    FitRow{kEmg, kNaN, 0, 128}, FitRow{kEmg, kInf, 0, 128},
                    FitRow{kEmg, -kInf, 0, 128}));

struct HintRow {
  RawRange range;
  RecordedLevelHint hint;
};

class RecordedHint : public testing::TestWithParam<HintRow> {};

// The boundaries of 0..4095 and of 1/50 of it (81.9).
TEST_P(RecordedHint, FlagsRangesTheFixedMappingWrapsOrSilences) {
  EXPECT_EQ(sound::CheckRecordedLevel(GetParam().range), GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(
    SoundLevel, RecordedHint,
    testing::Values(HintRow{kTwelveBit, RecordedLevelHint::None},
                    HintRow{RawRange{true, 2073, 3175},
                            RecordedLevelHint::None},  // a 12-bit force plate
                    HintRow{RawRange{true, 1000, 1082}, RecordedLevelHint::None},
                    HintRow{RawRange{true, 1000, 1081}, RecordedLevelHint::NearSilence},
                    HintRow{RawRange{true, 2048, 2048}, RecordedLevelHint::NearSilence},
                    HintRow{RawRange{true, 0, 4096}, RecordedLevelHint::WouldWrap},
                    HintRow{RawRange{true, -1, 4095}, RecordedLevelHint::WouldWrap},
                    HintRow{RawRange{true, -0.22, 0.36}, RecordedLevelHint::WouldWrap},
                    HintRow{RawRange{true, 0.0, 0.36}, RecordedLevelHint::NearSilence},
                    HintRow{RawRange{}, RecordedLevelHint::None}));

// Extremes over the samples the build uses: NaN and infinities left out,
// whatever their place; a bad index or no samples give an empty range.
TEST(SoundLevel, ChannelRawRangeSkipsNonFiniteValues) {
  const auto c3d = OneSecond({kNaN, 3.5f, -kInf, -2.25f, kInf, 1.0f});
  const RawRange range = sound::ChannelRawRange(*c3d, 0);
  EXPECT_TRUE(range.any);
  EXPECT_EQ(range.lowest, -2.25);
  EXPECT_EQ(range.highest, 3.5);
  EXPECT_FALSE(sound::ChannelRawRange(*c3d, 1).any);
  EXPECT_FALSE(sound::ChannelRawRange(*c3d, -1).any);
  EXPECT_FALSE(sound::ChannelRawRange(*OneSecond({kNaN, kInf}), 0).any);
  const auto ints = OneSecond({-32768, 7, 32767}, true);
  EXPECT_EQ(sound::ChannelRawRange(*ints, 0).lowest, -32768.0);
  EXPECT_EQ(sound::ChannelRawRange(*ints, 0).highest, 32767.0);
}

// The PCM samples of a WAVE file the build wrote, as signed values around
// silence (8-bit bytes less 128).
std::vector<int> WaveSamples(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  sound::PcmWaveInfo info;
  std::string why;
  EXPECT_TRUE(sound::ParsePcmWave(bytes, info, why)) << why;
  std::vector<int> samples;
  const std::uint8_t* p = bytes.data() + info.dataOffset;
  for (std::size_t i = 0; i < info.dataBytes; i += static_cast<std::size_t>(info.bits / 8)) {
    samples.push_back(info.bits == 16 ? static_cast<std::int16_t>(p[i] | (p[i + 1] << 8))
                                      : p[i] - 128);
  }
  return samples;
}

class FitBuild : public testing::Test {
 protected:
  std::vector<int> Build(const CC3d& c3d, int channel, int bits, float rate, SoundLevel level) {
    c3dtest::RecordingSoundHost host;
    std::vector<float> soundBuffer(50);
    const fs::path file = dir / "fit.wav";
    EXPECT_EQ(
        sound::WriteWave(c3d, {.channel = channel, .bits = bits, .rate = rate, .level = level},
                         soundBuffer, file, host),
        sound::WaveOutcome::Played);
    return WaveSamples(file);
  }

  c3dtest::ScratchDir dir;
};

// The fit changes the mapping only: every slot is CFitScale applied to the
// value Resample leaves there, and the unfilled top slots, full negative
// scale as recorded, are silent.
TEST_F(FitBuild, MapsResamplesValuesAndSilencesTheTail) {
  std::vector<float> raw(2000);  // leaves slot N - 1 unfilled
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::sin(0.01f * i) * 0.3f + 0.05f;
  const auto c3d = OneSecond(raw);
  const float a = sound::AnalogRate(*c3d);
  const float r = std::floor(a * 8.0f);
  std::vector<float> values = raw;
  c3dtest::RecordingSoundHost host;
  const int n = c3dtest::Resample(values, a, r, static_cast<int>(raw.size()), host);
  const int tail = sound::PlanResample(a, r, static_cast<int>(raw.size())).lastUsable + 1;
  ASSERT_GT(n, 0);
  ASSERT_LT(tail, n) << "the row must have an unfilled top slot";
  const CFitScale fit(sound::ChannelRawRange(*c3d, 0));
  for (const int bits : {16, 8}) {
    const auto got = Build(*c3d, 0, bits, r, SoundLevel::FitToChannel);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      const float v = values[static_cast<std::size_t>(i)];
      const int want = i >= tail ? 0 : bits == 16 ? fit.Sample16(v) : fit.Sample8(v) - 128;
      ASSERT_EQ(got[static_cast<std::size_t>(i)], want) << bits << "-bit slot " << i;
    }
    EXPECT_EQ(Build(*c3d, 0, bits, r, SoundLevel::AsRecorded).back(), bits == 16 ? -32768 : -128);
  }
}

// Flat stretches at the two extremes interpolate to exactly those values:
// the sound reaches full scale on both sides and never beyond. A constant
// channel far outside 0..4095 is silent.
TEST_F(FitBuild, FlatExtremesReachFullScaleAndConstantsAreSilent) {
  std::vector<float> square(400);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? 0.36f : -0.22f;
  const auto c3d = OneSecond(square);
  const float r = sound::AnalogRate(*c3d) * 4.0f;
  const auto constant = OneSecond(std::vector<float>(300, 5000.0f), true);
  for (const int bits : {16, 8}) {
    const int full = bits == 16 ? 32767 : 127;
    const auto got = Build(*c3d, 0, bits, r, SoundLevel::FitToChannel);
    EXPECT_EQ(*std::min_element(got.begin(), got.end()), -full) << bits;
    EXPECT_EQ(*std::max_element(got.begin(), got.end()), full) << bits;
    const auto silent = Build(*constant, 0, bits, r, SoundLevel::FitToChannel);
    EXPECT_EQ(silent, std::vector<int>(silent.size(), 0)) << bits;
  }
}

// Jumps of more than half the scale between neighbouring outputs: a signal
// raised 4 or more times over its own rate cannot make them; the low bits of
// a value past full scale can.
int WrapArounds(const std::vector<int>& samples, int bits) {
  const int half = bits == 16 ? 32768 : 128;
  int wraps = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    wraps += std::abs(samples[i] - samples[i - 1]) > half;
  return wraps;
}

// Pearson correlation of the output with the source: the channel's scaled
// values linearly interpolated at each output's time, computed here in
// double, without the build's arithmetic. The scale's sign is taken out, so
// a faithful sound correlates at +1.
double CorrelationWithSource(const CC3d& c3d, int channel, const std::vector<int>& samples,
                             int tail) {
  const CAnalog& analog = *c3d.m_analogs[static_cast<std::size_t>(channel)];
  const int count = c3d.GetAnalogSampleCount();
  const auto scaled = [&](int k) {
    return static_cast<double>(
               analog.GetScaledSample(k, analog.m_fOffset, analog.m_fScale, c3d.m_bIntegerData)) *
           (analog.m_fScale < 0 ? -1.0 : 1.0);
  };
  const double step = (count - 1.0) / (static_cast<double>(samples.size()) - 1.0);
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (int i = 0; i < tail; ++i) {
    const double t = i * step;
    const int k = std::min(static_cast<int>(t), count - 2);
    const double x = scaled(k) + (scaled(k + 1) - scaled(k)) * (t - k);
    const double y = samples[static_cast<std::size_t>(i)];
    sx += x;
    sy += y;
    sxx += x * x;
    syy += y * y;
    sxy += x * y;
  }
  const double n = tail;
  return (n * sxy - sx * sy) / std::sqrt((n * sxx - sx * sx) * (n * syy - sy * sy));
}

// Real recordings that "As recorded" turns into noise (float EMG in µV and in
// volts), an envelope it inverts, and a 12-bit force plate it leaves at 4%:
// with the fit each comes out at both widths without a single wrap-around
// and follows its source. The float EMG's wrap-arounds as recorded show the
// measure catches the fault.
TEST_F(FitBuild, RealRecordingsFollowTheirSignal) {
  struct Row {
    std::string file;
    std::string channel;
  };
  const fs::path samples = TREMOLUX_SAMPLES_DIR;
  const Row rows[] = {
      {"sample00/Cometa Systems/EMG Data Cometa.c3d", "0"},
      {"btkdata/1123x01EMG.c3d", "1"},
      {"sample35/Mega Electronics Isokinetic EMG Angle Torque Sample File.c3d", "Vastus medialis"},
      {"sample01/Eb015pi.c3d", "FZ1"},
  };
  int tested = 0;
  for (const Row& row : rows) {
    const fs::path path = samples / row.file;
    if (!fs::exists(path)) continue;
    SCOPED_TRACE(row.file);
    CC3d c3d;
    c3d.m_strPathName = path.string();
    ASSERT_TRUE(c3d.Load());
    const int channel = FindAnalogChannel(c3d, row.channel);
    ASSERT_GE(channel, 0);
    const float r = 8000;
    const int tail =
        sound::PlanResample(sound::AnalogRate(c3d), r, c3d.GetAnalogSampleCount()).lastUsable + 1;
    for (const int bits : {16, 8}) {
      const auto fit = Build(c3d, channel, bits, r, SoundLevel::FitToChannel);
      EXPECT_EQ(WrapArounds(fit, bits), 0) << bits;
      const double rho = CorrelationWithSource(c3d, channel, fit, tail);
      // 8 bits: 255 levels over the range leave a little quantisation noise.
      EXPECT_GT(rho, bits == 16 ? 0.99999 : 0.999) << bits;
    }
    ++tested;
  }
  const fs::path cometa = samples / rows[0].file;
  if (fs::exists(cometa)) {
    CC3d c3d;
    c3d.m_strPathName = cometa.string();
    ASSERT_TRUE(c3d.Load());
    EXPECT_GT(WrapArounds(Build(c3d, 0, 16, 8000, SoundLevel::AsRecorded), 16), 1000);
  }
  if (tested == 0) GTEST_SKIP() << "real C3D files not found at " << samples;
}

}  // namespace
