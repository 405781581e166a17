// The Auto choice on made-up channels (what it picks and says, the
// waveform's level, centre and ends) and the float to PCM mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/sound/AutoSound.h"
#include "tests/core/SoundMeasure.h"

using sound::AutoChoice;
using sound::CAutoSound;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct ChoiceRow {
  const char* name;
  std::vector<float> values;
  double analogRate;
  AutoChoice choice;
  const char* hint;
};

std::vector<float> Noise(std::size_t count, float offset) {
  std::mt19937 random(7);
  std::normal_distribution<float> normal(0.0f, 30.0f);
  std::vector<float> x(count);
  for (float& v : x) v = offset + normal(random);
  return x;
}

// A force-plate-like ramp: 0 to 800 and back over 4 s, at 1000 Hz.
std::vector<float> SlowLoad() {
  std::vector<float> x(4000);
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(800.0 * std::sin(std::numbers::pi * i / 4000.0));
  return x;
}

std::vector<float> WithNaNs(std::vector<float> x) {
  std::fill(x.begin() + 300, x.begin() + 700, kNaN);
  return x;
}

class AutoChoiceOf : public testing::TestWithParam<ChoiceRow> {};

TEST_P(AutoChoiceOf, PicksAndSaysWhy) {
  const ChoiceRow& row = GetParam();
  const sound::AutoAnalysis analysis =
      sound::AnalyseForAuto(soundtest::View(row.values), row.analogRate);
  EXPECT_EQ(analysis.choice, row.choice);
  EXPECT_EQ(analysis.hint, row.hint);
  CAutoSound sound(soundtest::View(row.values), row.analogRate, 44100.0);
  const std::vector<float> out = soundtest::ReadAll<float>(sound);
  ASSERT_EQ(static_cast<std::int64_t>(out.size()), sound.Length());
  EXPECT_EQ(out.size(),
            static_cast<std::size_t>(std::trunc(row.values.size() / row.analogRate * 44100.0)));
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.front(), 0.0f);
  EXPECT_EQ(out.back(), 0.0f);
  const auto [low, high] = std::minmax_element(out.begin(), out.end());
  if (row.choice == AutoChoice::Silence) {
    EXPECT_EQ(*low, 0.0f);
    EXPECT_EQ(*high, 0.0f);
    return;
  }
  const double peak = std::max(-*low, *high);
  if (row.choice == AutoChoice::Waveform) {  // -1 dBFS, reached within a few tenths
    EXPECT_LE(soundtest::Db(peak), -1.0 + 1e-6);
    EXPECT_GE(soundtest::Db(peak), -1.5);
  } else {
    EXPECT_NEAR(peak, sound::kPitchAmplitude, 1e-3);
  }
  double sum = 0.0;
  for (const float v : out) sum += v;
  EXPECT_LE(std::abs(sum / static_cast<double>(out.size())), 0.01);  // centred
}

INSTANTIATE_TEST_SUITE_P(
    Channels, AutoChoiceOf,
    testing::Values(
        ChoiceRow{"Constant", std::vector<float>(2000, 2048.0f), 1000, AutoChoice::Silence,
                  "constant channel: nothing to hear"},
        ChoiceRow{"NoFiniteValue", std::vector<float>(2000, kNaN), 1000, AutoChoice::Silence,
                  "constant channel: nothing to hear"},
        ChoiceRow{"SlowLoad", SlowLoad(), 1000, AutoChoice::Pitch,
                  "Auto: pitch (slow signal, 100% of its energy below 20 Hz)"},
        ChoiceRow{"SlowLoadWithAGap", WithNaNs(SlowLoad()), 1000, AutoChoice::Pitch,
                  "Auto: pitch (slow signal, 100% of its energy below 20 Hz)"},
        ChoiceRow{"OffsetTone", soundtest::Sine(100.0, 2000.0, 6000, 300.0, -2500.0), 2000,
                  AutoChoice::Waveform, "Auto: waveform (100% of its energy above 20 Hz)"},
        ChoiceRow{"EmgLikeNoise", Noise(10000, 1500.0f), 2000, AutoChoice::Waveform,
                  "Auto: waveform (98% of its energy above 20 Hz)"},
        ChoiceRow{"NoiseWithAGap", WithNaNs(Noise(10000, 0.0f)), 2000, AutoChoice::Waveform,
                  "Auto: waveform (98% of its energy above 20 Hz)"},
        ChoiceRow{"FastRecording", soundtest::Sine(1000.0, 96000.0, 96000, 1.0, 0.5), 96000,
                  AutoChoice::Waveform, "Auto: waveform (100% of its energy above 20 Hz)"},
        // Sampled at 30 Hz, nothing can lie above 20 Hz.
        ChoiceRow{"TooSlowToFilter", soundtest::Sine(10.0, 30.0, 300), 30, AutoChoice::Pitch,
                  "Auto: pitch (slow signal, 100% of its energy below 20 Hz)"}),
    [](const testing::TestParamInfo<ChoiceRow>& row) { return std::string(row.param.name); });

TEST(AutoSound, AGapInAWaveformIsSilentAndEnteredThroughFades) {
  const std::vector<float> channel = WithNaNs(Noise(10000, 0.0f));
  CAutoSound sound(soundtest::View(channel), 2000.0, 44100.0);
  const std::vector<float> out = soundtest::ReadAll<float>(sound);
  const double perInput = static_cast<double>(out.size() - 1) / 9999.0;
  const auto at = [&](double input) { return static_cast<std::size_t>(input * perInput); };
  for (std::size_t i = at(299) + 1; i <= at(700); ++i) ASSERT_EQ(out[i], 0.0f) << i;
  // 1 ms (2 inputs) from the gap the envelope is at most 1/5.
  for (std::size_t i = at(297); i <= at(299); ++i) ASSERT_LE(std::abs(out[i]), 0.2f) << i;
  for (std::size_t i = at(700); i <= at(702); ++i) ASSERT_LE(std::abs(out[i]), 0.2f) << i;
}

struct PcmRow {
  float x;
  std::int16_t pcm16;
  std::uint8_t pcm8;
};

class UnitToPcm : public testing::TestWithParam<PcmRow> {};

TEST_P(UnitToPcm, RoundsAndClips) {
  const PcmRow& row = GetParam();
  EXPECT_EQ(sound::PcmFromUnit16(row.x), row.pcm16);
  EXPECT_EQ(sound::PcmFromUnit8(row.x), row.pcm8);
}

INSTANTIATE_TEST_SUITE_P(Samples, UnitToPcm,
                         testing::Values(PcmRow{0.0f, 0, 128}, PcmRow{1.0f, 32767, 255},
                                         PcmRow{-1.0f, -32767, 1}, PcmRow{0.25f, 8192, 160},
                                         PcmRow{-0.25f, -8192, 96}, PcmRow{1e-5f, 0, 128},
                                         PcmRow{2.0f, 32767, 255}, PcmRow{-2.0f, -32768, 0},
                                         PcmRow{kNaN, 0, 128}));

}  // namespace
