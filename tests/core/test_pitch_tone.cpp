// The pitch tone: the frequency of a held value against the log mapping, the
// wave's continuity when the value jumps, its fades, silence for NaN
// stretches and constant channels, and the range's text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "core/sound/PitchTone.h"
#include "tests/core/SoundMeasure.h"

using sound::CPitchTone;
using sound::kPitchAmplitude;
using sound::PitchRange;

namespace {

constexpr double kRate = 44100.0;

// The frequency of a steady stretch x[from, to) at rate, from its rising
// zero crossings (each placed by linear interpolation between samples).
double ZeroCrossingFrequency(const std::vector<float>& x, std::size_t from, std::size_t to) {
  double first = -1.0;
  double last = -1.0;
  int crossings = 0;
  for (std::size_t i = from; i + 1 < to; ++i) {
    if (x[i] < 0.0f && x[i + 1] >= 0.0f) {
      const double at = static_cast<double>(i) + x[i] / (x[i] - x[i + 1]);
      if (first < 0.0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * kRate / (last - first);
}

// 1 s at the channel's minimum 0, 2 s held at v, 1 s at its maximum 100 (A = 1000 Hz).
std::vector<float> HeldValue(float v) {
  std::vector<float> x(4000, v);
  std::fill(x.begin(), x.begin() + 1000, 0.0f);
  std::fill(x.end() - 1000, x.end(), 100.0f);
  return x;
}

struct PitchRow {
  PitchRange range;
  float value;
};

class PitchOfAHeldValue : public testing::TestWithParam<PitchRow> {};

TEST_P(PitchOfAHeldValue, FollowsTheLogarithmicMapping) {
  const auto [range, value] = GetParam();
  const std::vector<float> channel = HeldValue(value);
  CPitchTone tone(soundtest::View(channel), 1000.0, kRate, range);
  const std::vector<float> out = soundtest::ReadAll<float>(tone);
  ASSERT_EQ(out.size(), 176400u);  // 4000 x 44100 / 1000
  const double expected = range.low * std::pow(range.high / range.low, value / 100.0);
  EXPECT_NEAR(tone.FrequencyOf(value), expected, expected * 1e-12);
  // The middle second of the held stretch.
  const double measured = ZeroCrossingFrequency(out, 66150, 110250);
  EXPECT_NEAR(measured, expected, expected * 1e-3) << "value " << value;
}

INSTANTIATE_TEST_SUITE_P(Ranges, PitchOfAHeldValue,
                         testing::Values(PitchRow{{}, 0.0f}, PitchRow{{}, 25.0f},
                                         PitchRow{{}, 50.0f}, PitchRow{{}, 100.0f},
                                         PitchRow{{50.0, 500.0}, 10.0f},
                                         PitchRow{{20.0, 20000.0}, 90.0f},
                                         PitchRow{{1000.0, 1200.0}, 60.0f}));

TEST(PitchTone, AJumpOfTheValueMovesTheFrequencyWithoutAJumpInTheWave) {
  // Steps between the extremes every 37 ms, at the highest range.
  std::vector<float> channel(3000);
  for (std::size_t i = 0; i < channel.size(); ++i) channel[i] = (i / 37) % 2 == 0 ? -5.0f : 7.0f;
  const PitchRange range{200.0, 8000.0};
  CPitchTone tone(soundtest::View(channel), 1000.0, kRate, range);
  const std::vector<float> out = soundtest::ReadAll<float>(tone, 1000);
  const double bound = 2.0 * std::numbers::pi * range.high / kRate * kPitchAmplitude;
  const auto fade = static_cast<std::size_t>(0.005 * kRate);
  double largest = 0.0;
  for (std::size_t i = fade; i + 1 + fade < out.size(); ++i) {
    largest = std::max(largest, static_cast<double>(std::abs(out[i + 1] - out[i])));
  }
  EXPECT_LE(largest, bound * 1.0001);
  EXPECT_GT(largest, bound * 0.9);  // the highest frequency is reached
}

TEST(PitchTone, FadesInAndOutOverFiveMilliseconds) {
  const std::vector<float> channel = soundtest::Sine(1.0, 1000.0, 2000);
  CPitchTone tone(soundtest::View(channel), 1000.0, kRate);
  const std::vector<float> out = soundtest::ReadAll<float>(tone);
  const double fade = 0.005 * kRate;
  ASSERT_EQ(out.front(), 0.0f);
  ASSERT_EQ(out.back(), 0.0f);
  for (std::size_t i = 0; i < static_cast<std::size_t>(fade); ++i) {
    const double envelope = kPitchAmplitude * static_cast<double>(i) / fade + 1e-6;
    ASSERT_LE(std::abs(out[i]), envelope) << i;
    ASSERT_LE(std::abs(out[out.size() - 1 - i]), envelope) << i;
  }
  const auto middle = std::span<const float>(out).subspan(
      static_cast<std::size_t>(fade), out.size() - 2 * static_cast<std::size_t>(fade));
  const float peak = std::max(-*std::min_element(middle.begin(), middle.end()),
                              *std::max_element(middle.begin(), middle.end()));
  EXPECT_NEAR(peak, kPitchAmplitude, kPitchAmplitude * 1e-3);
}

TEST(PitchTone, NonFiniteStretchesAreSilentAndEnteredThroughFades) {
  std::vector<float> channel = soundtest::Sine(2.0, 1000.0, 3000);
  std::fill(channel.begin() + 1000, channel.begin() + 1500,
            std::numeric_limits<float>::quiet_NaN());
  channel[2200] = std::numeric_limits<float>::infinity();
  CPitchTone tone(soundtest::View(channel), 1000.0, kRate);
  EXPECT_FLOAT_EQ(tone.MaxValue(), 1.0f);  // the bad values do not count for the range
  const std::vector<float> out = soundtest::ReadAll<float>(tone);
  const double perInput = kRate / 1000.0 * 2999.0 / 3000.0;  // outputs per input, about 44.1
  auto at = [&](double input) { return static_cast<std::size_t>(input * 132299.0 / 2999.0); };
  // Silent from the last finite value before each gap to the first after it.
  for (std::size_t i = at(999) + 1; i <= at(1500); ++i) ASSERT_EQ(out[i], 0.0f) << i;
  for (std::size_t i = at(2199) + 1; i <= at(2201); ++i) ASSERT_EQ(out[i], 0.0f) << i;
  // No click at the edges: within 1 ms of a gap the tone is under a fifth of its peak.
  const auto ms = static_cast<std::size_t>(perInput);
  for (std::size_t i = at(999) - ms; i < at(999); ++i)
    ASSERT_LE(std::abs(out[i]), 0.2 * kPitchAmplitude);
  for (std::size_t i = at(1500); i < at(1500) + ms; ++i)
    ASSERT_LE(std::abs(out[i]), 0.2 * kPitchAmplitude);
  EXPECT_GT(soundtest::Rms(std::span<const float>(out).subspan(at(1600), 4410)), 0.2);
}

TEST(PitchTone, AConstantChannelIsSilenceOfTheSameLength) {
  const std::vector<std::vector<float>> channels{
      std::vector<float>(1000, 2048.0f),
      std::vector<float>(1000, std::numeric_limits<float>::quiet_NaN()),
      {5.0f, std::numeric_limits<float>::infinity(), 5.0f,
       -std::numeric_limits<float>::infinity()}};
  for (const auto& channel : channels) {
    CPitchTone tone(soundtest::View(channel), 1000.0, kRate);
    EXPECT_TRUE(tone.Silent());
    const std::vector<float> out = soundtest::ReadAll<float>(tone);
    EXPECT_EQ(out.size(), static_cast<std::size_t>(std::trunc(channel.size() / 1000.0 * kRate)));
    EXPECT_EQ(std::count(out.begin(), out.end(), 0.0f), static_cast<std::ptrdiff_t>(out.size()));
  }
}

struct RangeRow {
  const char* text;
  bool valid;
  PitchRange range;
};

class PitchRangeText : public testing::TestWithParam<RangeRow> {};

TEST_P(PitchRangeText, AcceptsLoBelowHiWithinTheAudibleRange) {
  const RangeRow& row = GetParam();
  PitchRange range{1.0, 2.0};
  const std::string error = sound::ParsePitchRange(row.text, range);
  EXPECT_EQ(error.empty(), row.valid) << error;
  EXPECT_EQ(range.low, row.valid ? row.range.low : 1.0);
  EXPECT_EQ(range.high, row.valid ? row.range.high : 2.0);
}

INSTANTIATE_TEST_SUITE_P(Texts, PitchRangeText,
                         testing::Values(RangeRow{"200-2000", true, {200, 2000}},
                                         RangeRow{"20-20000", true, {20, 20000}},
                                         RangeRow{"110.5-880", true, {110.5, 880}},
                                         RangeRow{"19-2000", false, {}},
                                         RangeRow{"200-20001", false, {}},
                                         RangeRow{"2000-200", false, {}},
                                         RangeRow{"500-500", false, {}}, RangeRow{"500", false, {}},
                                         RangeRow{"a-b", false, {}}));

}  // namespace
