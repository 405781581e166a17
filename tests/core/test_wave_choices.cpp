// The sound choices at the WAVE build: the defaults take the plain
// waveform's encoder, each choice gives its duration, the filtered waveform
// keeps the silent level "as recorded" and fills the scale under fit, Auto
// reports a constant channel, and the SoundRecipe checks refuse before encoding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/Filters.h"
#include "core/sound/Resampler.h"
#include "core/sound/WaveBuild.h"
#include "tests/support/RecordingSoundHost.h"

namespace wave_choices_test {

using c3dtest::RecordingSoundHost;
using sound::SoundLevel;
using sound::SoundMode;
using sound::SoundRecipe;
using sound::WaveOutcome;

// One channel of `values` at analogRate Hz (one sample per frame).
std::unique_ptr<CC3d> OneChannel(const std::vector<double>& values, float analogRate,
                                 bool floatData = false) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = !floatData;
  c3d->m_nAnalogSamplesPerFrame = 1;
  c3d->m_fFrameRate = analogRate;
  c3d->m_nFirstFrame = 1;
  c3d->m_nLastFrame = static_cast<std::uint16_t>(values.size());
  auto analog = std::make_unique<CAnalog>();
  analog->m_pSamples = CSampleBlock(values.size() * (floatData ? 4 : 2));
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (floatData) {
      analog->FloatSamples()[i] = static_cast<float>(values[i]);
    } else {
      analog->IntSamples()[i] = static_cast<std::int16_t>(values[i]);
    }
  }
  c3d->m_analogs.push_back(std::move(analog));
  return c3d;
}

class CMemorySink : public sound::IByteSink {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return true;
  }
  std::vector<std::uint8_t> data;
};

struct Built {
  WaveOutcome outcome = WaveOutcome::Failed;
  std::vector<std::uint8_t> bytes;
  std::vector<std::string> calls;
};

Built Encode(const CC3d& c3d, const SoundRecipe& spec) {
  RecordingSoundHost host;
  Built built;
  const auto samples = sound::SpecSamples(c3d, spec, host);
  if (samples) {
    std::vector<float> soundBuffer(50);
    CMemorySink sink;
    built.outcome = sound::EncodeSpec(c3d, spec, *samples, soundBuffer, sink, host);
    built.bytes = std::move(sink.data);
    EXPECT_LE(soundBuffer.size(), static_cast<std::size_t>(sound::kSoundStretch));
  }
  built.calls = std::move(host.calls);
  return built;
}

// The samples of a 16-bit WAVE.
std::vector<std::int16_t> Samples16(const std::vector<std::uint8_t>& wave) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 44; i + 1 < wave.size(); i += 2) {
    out.push_back(static_cast<std::int16_t>(wave[i] | (wave[i + 1] << 8)));
  }
  return out;
}

std::vector<double> Sine(int count, double analogRate, double hz, double amplitude, double centre) {
  std::vector<double> v(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    v[static_cast<std::size_t>(i)] =
        centre + amplitude * std::sin(2 * std::numbers::pi * hz * i / analogRate);
  }
  return v;
}

struct DefaultRow {
  float a, r;
  int bits;
  SoundLevel level;
  bool floatData;
};

class DefaultChoices : public testing::TestWithParam<DefaultRow> {};

// Every new field spelled out at its default builds exactly what the plain
// waveform's encoder (CSoundStream through CWaveEncoder) makes of the same
// values, the fitted mapping, 8 bits and a fractional rate included.
TEST_P(DefaultChoices, EncodeAsThePlainWaveform) {
  const auto row = GetParam();
  const auto values = Sine(3001, row.a, 37.0, 1500.0, row.floatData ? 0.25 : 2048.0);
  const auto c3d = OneChannel(values, row.a, row.floatData);
  const SoundRecipe spec{.channel = 0,
                         .bits = row.bits,
                         .rate = row.r,
                         .level = row.level,
                         .mode = SoundMode::Waveform,
                         .pitch = {200.0, 2000.0},
                         .filters = {},
                         .speed = 1};
  const Built built = Encode(*c3d, spec);
  ASSERT_EQ(built.outcome, WaveOutcome::Played);

  RecordingSoundHost host;
  const auto raw = sound::SpecSamples(*c3d, SoundRecipe{.rate = row.r}, host);
  ASSERT_TRUE(raw);
  const auto whole = static_cast<std::uint32_t>(row.r);
  std::optional<sound::CFitScale> fit;
  if (row.level == SoundLevel::FitToChannel) fit.emplace(sound::ChannelRawRange(*c3d, 0));
  const sound::CWaveEncoder encoder(sound::CSoundStream(*raw, row.a, static_cast<float>(whole)),
                                    whole, row.bits, fit);
  std::vector<float> buffer;
  CMemorySink expected;
  ASSERT_EQ(encoder.Encode(buffer, expected), sound::CWaveEncoder::Result::Written);
  EXPECT_TRUE(built.bytes == expected.data);
}

INSTANTIATE_TEST_SUITE_P(
    WaveChoices, DefaultChoices,
    testing::Values(DefaultRow{1000, 8000, 16, SoundLevel::AsRecorded, false},
                    DefaultRow{1000, 8000, 8, SoundLevel::AsRecorded, false},
                    DefaultRow{2000, 44100, 16, SoundLevel::FitToChannel, true},
                    DefaultRow{1200, 11025.7f, 8, SoundLevel::FitToChannel, false}));

struct LengthRow {
  const char* name;
  SoundRecipe spec;
  std::int64_t samples;  // count x R / (speed x A), truncated
};

class ChoiceLength : public testing::TestWithParam<LengthRow> {};

// 2001 values at 1000 Hz to 8000 Hz: each sound's sample count, from the
// header's data size and the bytes that follow it.
TEST_P(ChoiceLength, LastsCountTimesROverSpeedTimesA) {
  const auto row = GetParam();
  const auto c3d = OneChannel(Sine(2001, 1000, 5.0, 1000.0, 2048.0), 1000);
  const Built built = Encode(*c3d, row.spec);
  ASSERT_EQ(built.outcome, WaveOutcome::Played) << row.name;
  const std::int64_t width = row.spec.bits == 16 ? 2 : 1;
  ASSERT_EQ(static_cast<std::int64_t>(built.bytes.size()), 44 + row.samples * width) << row.name;
  const std::uint32_t dataSize = built.bytes[40] | (built.bytes[41] << 8) |
                                 (built.bytes[42] << 16) |
                                 (static_cast<std::uint32_t>(built.bytes[43]) << 24);
  EXPECT_EQ(dataSize, row.samples * width) << row.name;
}

const std::vector<sound::FilterSpec> kBand = {{sound::FilterKind::BandPass, 20.0, 450.0}};

INSTANTIATE_TEST_SUITE_P(
    WaveChoices, ChoiceLength,
    testing::Values(
        LengthRow{"filtered", {.rate = 8000, .filters = kBand}, 16007},
        LengthRow{"x10", {.bits = 8, .rate = 8000, .speed = 10}, 1600},
        LengthRow{"x3 below A", {.rate = 500, .level = SoundLevel::FitToChannel, .speed = 3}, 333},
        LengthRow{"pitch", {.rate = 8000, .mode = SoundMode::Pitch}, 16007},
        LengthRow{"auto", {.bits = 8, .rate = 8000, .mode = SoundMode::Auto}, 16007}));

// "As recorded" filters value - 2048 and adds 2048 back: a channel resting
// at 2048 stays silent through every kind of filter, at both widths.
TEST(WaveChoices, FilteredAsRecordedKeepsTheSilentLevel) {
  const auto c3d = OneChannel(std::vector<double>(3000, 2048.0), 1000);
  const std::vector<std::vector<sound::FilterSpec>> chains = {
      sound::ParseFilters("highpass:20").specs, sound::ParseFilters("lowpass:100").specs,
      sound::ParseFilters("bandpass:20-450,notch:50").specs};
  for (const auto& chain : chains) {
    for (const int bits : {16, 8}) {
      const Built built =
          Encode(*c3d, {.bits = bits, .rate = 8000, .filters = chain, .speed = bits == 8 ? 4 : 1});
      ASSERT_EQ(built.outcome, WaveOutcome::Played);
      ASSERT_GT(built.bytes.size(), 44u);
      const std::uint8_t silent = bits == 16 ? 0 : 128;
      for (std::size_t i = 44; i < built.bytes.size(); ++i) {
        ASSERT_EQ(built.bytes[i], silent) << sound::FilterText(chain.front()) << " " << bits;
      }
    }
  }
}

// Under fit the filtered range is fitted: a 50 Hz tone on a slow drift,
// high-passed, swings over the full scale all along, where fitting the raw
// range would leave it a quarter of the scale, low at the start, high at the end.
TEST(WaveChoices, FilteredFitSpreadsTheFilteredRange) {
  auto values = Sine(4000, 1000, 50.0, 300.0, 0.0);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] += 0.5 * static_cast<double>(i);
  const auto c3d = OneChannel(values, 1000);
  const Built built = Encode(*c3d, {.rate = 4000,
                                    .level = SoundLevel::FitToChannel,
                                    .filters = sound::ParseFilters("highpass:20").specs});
  ASSERT_EQ(built.outcome, WaveOutcome::Played);
  const auto pcm = Samples16(built.bytes);
  // Each quarter (past the filter's first 50 ms) reaches close to both ends.
  for (std::size_t q = 0; q < 4; ++q) {
    int lowest = 0, highest = 0;
    for (std::size_t i = std::max<std::size_t>(q * pcm.size() / 4, 200);
         i < (q + 1) * pcm.size() / 4; ++i) {
      lowest = std::min<int>(lowest, pcm[i]);
      highest = std::max<int>(highest, pcm[i]);
    }
    EXPECT_GE(highest, 29000) << "quarter " << q;
    EXPECT_LE(lowest, -29000) << "quarter " << q;
  }
}

// Auto of a constant channel: the note through the host, then silence.
TEST(WaveChoices, AutoSaysAConstantChannelIsSilent) {
  const auto c3d = OneChannel(std::vector<double>(1000, 1234.0), 1000);
  const Built built = Encode(*c3d, {.rate = 8000, .mode = SoundMode::Auto});
  ASSERT_EQ(built.outcome, WaveOutcome::Played);
  EXPECT_EQ(built.calls,
            (std::vector<std::string>{"wait+", "hint:constant channel: nothing to hear", "wait-"}));
  for (const auto s : Samples16(built.bytes)) ASSERT_EQ(s, 0);
}

// A channel whose SCALE is negative is plotted the other way up: its pitch,
// under Pitch and under Auto's pitch choice, must rise with the plotted
// (physical) value, so it sounds as the channel of the negated values with a
// positive scale does, not as its stored values would.
TEST(WaveChoices, PitchFollowsThePhysicalValueOfANegativeScale) {
  std::vector<double> ramp(2000);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = 100.0 + 0.25 * static_cast<double>(i);
  std::vector<double> negated(ramp.size());
  for (std::size_t i = 0; i < ramp.size(); ++i) negated[i] = -ramp[i];
  const auto stored = OneChannel(ramp, 1000);
  const auto flipped = OneChannel(ramp, 1000);
  flipped->m_analogs[0]->m_fScale = -2.0f;
  const auto physical = OneChannel(negated, 1000);
  physical->m_analogs[0]->m_fScale = 2.0f;
  for (const SoundMode mode : {SoundMode::Pitch, SoundMode::Auto}) {
    const SoundRecipe spec{.rate = 8000, .mode = mode};
    const Built built = Encode(*flipped, spec);
    ASSERT_EQ(built.outcome, WaveOutcome::Played);
    EXPECT_EQ(built.bytes, Encode(*physical, spec).bytes) << static_cast<int>(mode);
    EXPECT_NE(built.bytes, Encode(*stored, spec).bytes) << static_cast<int>(mode);
  }
}

// A SoundRecipe's choices are checked with the channel, before anything is
// encoded: a filter at half the analog rate is named with the limit, a
// speed or a pitch range out of bounds is an "Error".
TEST(WaveChoices, SpecSamplesRefusesChoicesBeforeEncoding) {
  const auto c3d = OneChannel(Sine(100, 1000, 5.0, 100.0, 2048.0), 1000);
  struct Row {
    SoundRecipe spec;
    std::string message;
  };
  const std::vector<Row> rows = {
      {{.rate = 8000, .filters = sound::ParseFilters("highpass:20,lowpass:500").specs},
       "message:filter \"lowpass:500\": 500 Hz is at or above half the analog rate (500 Hz)"},
      {{.rate = 8000, .speed = 0}, std::string("message:") + Messages::kError},
      {{.rate = 8000, .speed = 1001}, std::string("message:") + Messages::kError},
      {{.rate = 8000, .mode = SoundMode::Pitch, .pitch = {2000.0, 200.0}},
       std::string("message:") + Messages::kError}};
  for (const auto& row : rows) {
    RecordingSoundHost host;
    EXPECT_FALSE(sound::SpecSamples(*c3d, row.spec, host));
    EXPECT_EQ(host.calls, std::vector<std::string>{row.message});
  }
  // Filters belong to the waveform: Auto and Pitch go on without them.
  RecordingSoundHost host;
  EXPECT_TRUE(
      sound::SpecSamples(*c3d, {.rate = 8000, .mode = SoundMode::Auto, .filters = kBand}, host));
}

}  // namespace wave_choices_test
