// The C library's stand-ins for the floating-point <charconv> conversions
// (used where the standard library lacks them, as in the browser build)
// against the real conversions of this build: a fallback that reads one
// more or one fewer character, rounds a digit differently or picks the
// other notation would change a rate check, a parameter text or the JSON.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/c3d/C3dNumbers.h"
#include "core/c3d/NumberText.h"

#if defined(__cpp_lib_to_chars)

namespace {

struct ReadRow {
  const char* text;
  std::chars_format format;
};

class NumberTextRead : public ::testing::TestWithParam<ReadRow> {};

TEST_P(NumberTextRead, FallbackReadsAsFromChars) {
  const auto [text, format] = GetParam();
  const std::string s(text);
  double expected = -7.0;
  double got = -7.0;
  const auto want = std::from_chars(s.data(), s.data() + s.size(), expected, format);
  const auto have = numtext::fallback::ReadDouble(s.data(), s.data() + s.size(), got, format);
  EXPECT_EQ(have.ec, want.ec) << '"' << s << '"';
  EXPECT_EQ(have.ptr - s.data(), want.ptr - s.data()) << '"' << s << '"';
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(got)) << '"' << s << '"';
  } else {
    EXPECT_EQ(got, expected) << '"' << s << '"';
  }
}

constexpr auto kGeneral = std::chars_format::general;
constexpr auto kFixed = std::chars_format::fixed;
constexpr auto kHex = std::chars_format::hex;

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberTextRead,
    ::testing::Values(ReadRow{"8000", kGeneral}, ReadRow{"-12.5e3xyz", kGeneral},
                      ReadRow{"1e", kGeneral}, ReadRow{"1e+", kGeneral},
                      ReadRow{"2.5E-3", kGeneral}, ReadRow{".5", kGeneral}, ReadRow{".", kGeneral},
                      ReadRow{"", kGeneral}, ReadRow{"+1", kGeneral}, ReadRow{" 1", kGeneral},
                      ReadRow{"1..2", kGeneral}, ReadRow{"inf", kGeneral},
                      ReadRow{"-Infinity!", kGeneral}, ReadRow{"infin", kGeneral},
                      ReadRow{"nan(abc_1)", kGeneral}, ReadRow{"NaN(", kGeneral},
                      ReadRow{"1e400", kGeneral}, ReadRow{"-1e-400", kGeneral},
                      ReadRow{"4.9e-324", kGeneral},
                      ReadRow{"0.1000000000000000055511151231257827", kGeneral},
                      ReadRow{"44100.0000000001", kGeneral}, ReadRow{"12e3", kFixed},
                      ReadRow{"-0.25", kFixed}, ReadRow{"1e999", kFixed}, ReadRow{"1.8p3", kHex},
                      ReadRow{"ff.8", kHex}, ReadRow{"0x10", kHex}, ReadRow{"1p99999", kHex}));

// Every shortest text of a spread of float bit patterns (normal,
// subnormal, both signs, powers of two where the rounding interval is
// lopsided) and of values whose notation choice is close.
TEST(NumberText, FallbackShortestTextMatchesToChars) {
  std::uint32_t bits = 12345;
  const auto check = [](float value) {
    if (!std::isfinite(value)) return;
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    ASSERT_EQ(numtext::fallback::ShortestText(value), std::string(buffer, r.ptr)) << value;
  };
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 1664525u + 1013904223u;  // a fixed linear congruential walk
    check(c3d::FloatFromBits(bits));
  }
  for (int e = -149; e <= 127; ++e) check(std::ldexp(1.0f, e));
  for (const float v : {0.0f, -0.0f, 1.0f, 100000.0f, 1e6f, 1e7f, 1234567.0f, 0.001f, 0.0001f,
                        1e-5f, 123456789.0f, 2140.0f, -0.43f, std::numeric_limits<float>::max(),
                        std::numeric_limits<float>::denorm_min()}) {
    check(v);
  }
}

TEST(NumberText, FallbackFixedTextMatchesToChars) {
  for (const double v : {0.0, -0.0, 0.5, 1.5, 2.5, -2.675, 1e-7, 123456.789, 3.4028234663852886e38,
                         1.401298464324817e-45, 0.1f * 1.0}) {
    for (const int precision : {0, 1, 2, 3, 6, 17, 60}) {
      std::string expected(static_cast<std::size_t>(precision) + 320, '\0');
      const auto r = std::to_chars(expected.data(), expected.data() + expected.size(), v,
                                   std::chars_format::fixed, precision);
      expected.resize(static_cast<std::size_t>(r.ptr - expected.data()));
      EXPECT_EQ(numtext::fallback::FixedText(v, precision), expected) << v << " " << precision;
    }
  }
}

}  // namespace

#endif
