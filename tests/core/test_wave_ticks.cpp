// Ticks mixed into a built sound: each starts at its stored value's output
// sample, lasts about 10 ms near -12 dBFS, leaves the header and every other
// value as they were, in both widths, over a range and at a higher speed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/sound/WaveBuild.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RecordingSoundHost.h"

namespace {

class CTickTestSink : public sound::IByteSink {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return true;
  }
  std::vector<std::uint8_t> data;
};

// The PCM values of a mono WAVE (after its 44-byte header), centred on 0.
std::vector<int> PcmValues(const std::vector<std::uint8_t>& wave, int bits) {
  std::vector<int> values;
  for (std::size_t i = 44; i + (bits / 8) <= wave.size(); i += static_cast<std::size_t>(bits / 8)) {
    values.push_back(bits == 8 ? wave[i] - 128
                               : static_cast<std::int16_t>(wave[i] | (wave[i + 1] << 8)));
  }
  return values;
}

std::vector<std::uint8_t> Build(const CC3d& c3d, const sound::SoundRecipe& spec) {
  c3dtest::RecordingSoundHost host;
  const auto samples = sound::SpecSamples(c3d, spec, host);
  EXPECT_TRUE(samples.has_value());
  if (!samples) return {};
  std::vector<float> buffer(50);
  CTickTestSink sink;
  EXPECT_EQ(sound::EncodeSpec(c3d, spec, *samples, buffer, sink, host), sound::WaveOutcome::Played);
  return sink.data;
}

struct TickCase {
  int bits;
  std::optional<sound::SampleSpan> range;
  int speed;
  std::int64_t tick;      // stored-value index
  std::int64_t expected;  // output sample the tick starts at, worked out by hand
};

class WaveTicks : public ::testing::TestWithParam<TickCase> {};

// Catches a tick placed off its sample (range start or speed ignored), one
// that is too long or too loud, or changes outside the tick.
TEST_P(WaveTicks, TickStartsAtTheEventsOutputSample) {
  const TickCase& c = GetParam();
  // 2000 values at 1000 Hz, silent as recorded (2048 is the 12-bit middle).
  c3dtest::Recording rec;
  rec.frameRate = 100.0f;
  rec.samplesPerFrame = 10;
  rec.analog.assign(1, std::vector<double>(2000, 2048.0));
  c3dtest::AddStandardParameters(rec, {"EMG"}, {}, {}, std::nullopt);
  const std::vector<std::uint8_t> file = c3dtest::WriteC3d(rec);
  CC3d c3d;
  ASSERT_TRUE(c3d.LoadFromMemory(file.data(), file.size()));

  sound::SoundRecipe spec{.range = c.range, .bits = c.bits, .rate = 8000.0f, .speed = c.speed};
  const std::vector<std::uint8_t> plain = Build(c3d, spec);
  spec.ticks = {c.tick, 5000 /* past the end: left out */};
  const std::vector<std::uint8_t> ticked = Build(c3d, spec);
  ASSERT_EQ(plain.size(), ticked.size());
  EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 44, ticked.begin())) << "header";

  const std::vector<int> a = PcmValues(plain, c.bits);
  const std::vector<int> b = PcmValues(ticked, c.bits);
  std::int64_t firstDiff = -1, lastDiff = -1;
  int peak = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (firstDiff < 0) firstDiff = static_cast<std::int64_t>(i);
    lastDiff = static_cast<std::int64_t>(i);
    peak = std::max(peak, std::abs(b[i] - a[i]));
  }
  // The tick's first value is 0 (sine and fade both start at 0).
  EXPECT_GE(firstDiff, c.expected);
  EXPECT_LE(firstDiff, c.expected + 2);
  EXPECT_LE(lastDiff - c.expected, 80) << "10 ms at 8000 Hz";
  EXPECT_GE(lastDiff - c.expected, 70);
  const double full = c.bits == 8 ? 127.0 : 32767.0;
  EXPECT_NEAR(peak / full, sound::kTickLevel, 0.02);
}

INSTANTIATE_TEST_SUITE_P(Cases, WaveTicks,
                         ::testing::Values(TickCase{16, std::nullopt, 1, 250, 2000},
                                           TickCase{8, std::nullopt, 1, 250, 2000},
                                           TickCase{16, sound::SampleSpan{200, 1000}, 1, 250, 400},
                                           TickCase{16, std::nullopt, 2, 1001, 4004}));

}  // namespace
