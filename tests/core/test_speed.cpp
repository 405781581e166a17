// Rate conversion and speed: the length of a sped-up sound, the level of a
// tone that would fold, the passband, the ends of a resampling and its
// independence from the stretch size.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "core/sound/Resampler.h"
#include "tests/core/SoundMeasure.h"

using sound::CSpeedStream;
using sound::CViewSource;

namespace {

struct LengthRow {
  std::int64_t count;
  double analogRate;
  int speed;
  double outputRate;
};

class SpeedLength : public testing::TestWithParam<LengthRow> {};

TEST_P(SpeedLength, LastsCountTimesRateOverSpeedTimesAnalogRate) {
  const LengthRow& row = GetParam();
  const std::vector<float> channel(static_cast<std::size_t>(row.count), 1.0f);
  CViewSource source(soundtest::View(channel));
  CSpeedStream speed(source, row.count, row.analogRate, row.speed, row.outputRate);
  const std::vector<double> out = soundtest::ReadAll<double>(speed, 3000);
  const double seconds = static_cast<double>(row.count) / (row.speed * row.analogRate);
  EXPECT_EQ(static_cast<std::int64_t>(out.size()), speed.Length());
  EXPECT_NEAR(static_cast<double>(out.size()), seconds * row.outputRate, 1.0);
  EXPECT_LE(static_cast<double>(out.size()), seconds * row.outputRate);
  for (const double v : out) ASSERT_NEAR(v, 1.0, 1e-9);  // a constant stays itself
}

INSTANTIATE_TEST_SUITE_P(
    Rates, SpeedLength,
    testing::Values(LengthRow{4000, 1000, 1, 44100}, LengthRow{4000, 1000, 10, 44100},
                    LengthRow{4000, 1000, 100, 44100}, LengthRow{29000, 1000, 1000, 44100},
                    LengthRow{2001, 1000, 1, 8000}, LengthRow{12345, 2160, 7, 22050},
                    LengthRow{100000, 100000, 1, 44100}));

// A sine of frequency f at the speed's input rate (speed x analogRate),
// 1 s of output at rate R.
struct ToneRow {
  double analogRate;
  int speed;
  double f;  // Hz at the input rate speed x analogRate
};

constexpr double kOut = 44100.0;

std::vector<double> SpedUpTone(const ToneRow& row) {
  const double inputRate = row.analogRate * row.speed;
  const auto count = static_cast<std::int64_t>(inputRate);  // 1 s of sound
  std::vector<float> channel(static_cast<std::size_t>(count));
  for (std::int64_t n = 0; n < count; ++n) {
    channel[static_cast<std::size_t>(n)] = static_cast<float>(std::sin(
        2.0 * std::numbers::pi * std::fmod(row.f * static_cast<double>(n), inputRate) / inputRate));
  }
  CViewSource source(soundtest::View(channel));
  CSpeedStream speed(source, count, row.analogRate, row.speed, kOut);
  std::vector<double> out = soundtest::ReadAll<double>(speed);
  // The steady middle: 0.2 s in, 0.6 s long.
  return {out.begin() + 8820, out.begin() + 8820 + 26460};
}

class FoldingTone : public testing::TestWithParam<ToneRow> {};

// An octave or more above half the output rate, a tone must not come back
// folded: everything left of it lies 40 dB under the tone's level.
TEST_P(FoldingTone, ComesOutAtLeastFortyDecibelsDown) {
  const std::vector<double> out = SpedUpTone(GetParam());
  EXPECT_LE(soundtest::Db(soundtest::Rms(std::span<const double>(out)) * std::sqrt(2.0)), -40.0);
}

INSTANTIATE_TEST_SUITE_P(AboveTheOutputRate, FoldingTone,
                         testing::Values(ToneRow{1000, 100, 44100}, ToneRow{1000, 100, 47000},
                                         ToneRow{1000, 500, 60000}, ToneRow{2000, 1000, 441000},
                                         ToneRow{2000, 1000, 999000}, ToneRow{1000, 1000, 123456}));

class PassbandTone : public testing::TestWithParam<ToneRow> {};

TEST_P(PassbandTone, PassesWithinOneDecibel) {
  const ToneRow& row = GetParam();
  const std::vector<double> out = SpedUpTone(row);
  EXPECT_NEAR(soundtest::Db(soundtest::AmplitudeAt(std::span<const double>(out), row.f, kOut)), 0.0,
              1.0);
}

INSTANTIATE_TEST_SUITE_P(BelowAQuarterOfTheOutputRate, PassbandTone,
                         testing::Values(ToneRow{1000, 45, 11025}, ToneRow{1000, 50, 11025},
                                         ToneRow{1000, 50, 3000}, ToneRow{1000, 100, 11025},
                                         ToneRow{2000, 1000, 11025}, ToneRow{2000, 1000, 440},
                                         ToneRow{1000, 20, 5000}, ToneRow{1000, 1, 100}));

TEST(Resampler, EndsOnTheInputsEndsAndGivesTheSameValuesForAnyStretch) {
  const std::vector<float> channel = soundtest::Sine(3.0, 100.0, 1001, 10.0);
  for (const auto outCount :
       {std::int64_t{5}, std::int64_t{600}, std::int64_t{1001}, std::int64_t{44100}}) {
    for (const auto interpolation : {sound::Interpolation::Linear, sound::Interpolation::Cubic}) {
      std::vector<std::vector<double>> outputs;
      for (const std::size_t stretch : {1u, 13u, 50000u}) {
        CViewSource source(soundtest::View(channel));
        sound::CResampler resampler(source, 1001, outCount, interpolation);
        outputs.push_back(soundtest::ReadAll<double>(resampler, stretch));
      }
      ASSERT_EQ(static_cast<std::int64_t>(outputs[0].size()), outCount);
      EXPECT_EQ(outputs[0].front(), channel.front());
      EXPECT_EQ(outputs[0].back(), channel.back());
      EXPECT_EQ(outputs[1], outputs[0]);
      EXPECT_EQ(outputs[2], outputs[0]);
      if (outCount == 1001) {  // the same count: the values themselves
        for (std::size_t i = 0; i < 1001; ++i) ASSERT_EQ(outputs[0][i], channel[i]);
      }
    }
  }
}

}  // namespace
