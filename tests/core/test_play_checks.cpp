// The Play button's rate checks: the text read as atof reads it, then the
// refusals in their order, including the cases that would otherwise reach an
// undefined truncation (NaN) or an impossible resampling (A of 0, R <= A).
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/PlayChecks.h"

namespace {

struct TextRow {
  const char* text;
  double value;
};

class ReadRateText : public testing::TestWithParam<TextRow> {};

TEST_P(ReadRateText, ReadsLikeAtofInTheCLocale) {
  const auto row = GetParam();
  const double got = sound::ReadRateText(row.text);
  if (std::isnan(row.value)) {
    EXPECT_TRUE(std::isnan(got)) << row.text;
  } else {
    EXPECT_EQ(got, row.value) << row.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    PlayChecks, ReadRateText,
    testing::Values(TextRow{"8000", 8000}, TextRow{" \t\n8000Hz", 8000}, TextRow{"+22050", 22050},
                    TextRow{"-3.5", -3.5}, TextRow{".5", 0.5}, TextRow{"5.", 5},
                    TextRow{"1e4", 10000}, TextRow{"1e", 1}, TextRow{"1,5", 1},
                    TextRow{"0x1F40", 8000}, TextRow{"0x", 0}, TextRow{"0xg", 0}, TextRow{"", 0},
                    TextRow{"abc", 0}, TextRow{"+-8000", 0}, TextRow{"- 5", 0},
                    TextRow{"inf", HUGE_VAL}, TextRow{"-Infinity", -HUGE_VAL},
                    TextRow{"1e999", HUGE_VAL}, TextRow{"-1e999", -HUGE_VAL}, TextRow{"1e-999", 0},
                    TextRow{"0.0000001e-400", 0}, TextRow{"nan", std::nan("")},
                    TextRow{"NAN(1)", std::nan("")}));

// The process locale must not change how the field reads: the GUI runs
// under the user's locale, where the decimal separator may be a comma.
TEST(PlayChecks, IgnoresTheProcessLocale) {
  const char* german = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      german = name;
      break;
    }
  }
  if (german == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double got = sound::ReadRateText("8000.5");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(got, 8000.5);
}

// A CC3d with only what the checks read: S and the frame rate.
std::unique_ptr<CC3d> WithAnalogRate(std::uint16_t perFrame, float frameRate) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_nAnalogSamplesPerFrame = perFrame;
  c3d->m_fFrameRate = frameRate;
  return c3d;
}

struct CheckRow {
  std::uint16_t perFrame;
  float frameRate;
  const char* text;
  const char* message;  // nullptr: accepted at `rate`
  float rate;
  int speed = 1;
};

class CheckPlayRate : public testing::TestWithParam<CheckRow> {};

TEST_P(CheckPlayRate, RefusesInOrder) {
  const auto row = GetParam();
  const auto check =
      sound::CheckPlayRate(*WithAnalogRate(row.perFrame, row.frameRate), row.text, row.speed);
  if (row.message == nullptr) {
    EXPECT_EQ(check.message, nullptr) << row.text << ": " << check.message;
    EXPECT_EQ(check.rate, row.rate) << row.text;
  } else {
    ASSERT_NE(check.message, nullptr) << row.text;
    EXPECT_STREQ(check.message, row.message) << row.text;
  }
}

const char* const kLow = Messages::kFreqTooLow;
const char* const kHigh = Messages::kFreqTooHigh;
const char* const kError = Messages::kError;

INSTANTIATE_TEST_SUITE_P(
    PlayChecks, CheckPlayRate,
    testing::Values(
        // Analog data at 1000 Hz (4 x 250).
        CheckRow{4, 250, "8000", nullptr, 8000}, CheckRow{4, 250, "500", kLow, 0},
        CheckRow{4, 250, "44100", nullptr, 44100}, CheckRow{4, 250, "44101", kHigh, 0},
        CheckRow{4, 250, "not a number", kLow, 0}, CheckRow{4, 250, "", kLow, 0},
        CheckRow{4, 250, "8000.9", nullptr, 8000.9f},
        // Rounded to float, 44100.001 is 44100 and passes.
        CheckRow{4, 250, "44100.001", nullptr, 44100}, CheckRow{4, 250, "1e999", kHigh, 0},
        CheckRow{4, 250, "inf", kHigh, 0}, CheckRow{4, 250, "-inf", kLow, 0},
        CheckRow{4, 250, "nan", kLow, 0}, CheckRow{4, 250, "-nan", kLow, 0},
        // A ratio of 1, or a fraction above A that truncates back to A.
        CheckRow{4, 250, "1000", kLow, 0}, CheckRow{4, 250, "1000.7", kLow, 0},
        CheckRow{4, 250, "1001", nullptr, 1001}, CheckRow{1, 1000.5f, "1000.9", kLow, 0},
        CheckRow{1, 1000.5f, "1001", nullptr, 1001},
        // Analog data at 50000 Hz: every rate is refused with one of the two.
        CheckRow{1, 50000, "44100", kLow, 0}, CheckRow{1, 50000, "60000", kHigh, 0},
        // No analog rate: a frame rate of 0, no samples per frame, NaN.
        CheckRow{1, 0, "8000", kError, 0}, CheckRow{0, 100, "8000", kError, 0},
        CheckRow{1, 0, "-1", kLow, 0}, CheckRow{1, -100, "8000", kError, 0},
        CheckRow{1, std::nanf(""), "8000", kError, 0}, CheckRow{1, HUGE_VALF, "44100", kLow, 0},
        // Sped up, A bounds the rate no more: below it, at it and with A above
        // 44100 a rate is taken; 44100 stays the top, 1 Hz the bottom.
        CheckRow{4, 250, "500", nullptr, 500, 10}, CheckRow{4, 250, "1000", nullptr, 1000, 2},
        CheckRow{1, 50000, "44100", nullptr, 44100, 1000},
        CheckRow{1, 50000, "60000", kHigh, 0, 10}, CheckRow{4, 250, "44101", kHigh, 0, 10},
        CheckRow{4, 250, "0.9", kLow, 0, 10}, CheckRow{4, 250, "1", nullptr, 1, 10},
        CheckRow{4, 250, "nan", kLow, 0, 10}, CheckRow{1, 0, "8000", kError, 0, 10}));

}  // namespace
