// The number decoders: the writer encodes a value in a processor's format,
// the reader must decode it back bit for bit (wrong byte order, a missing word
// exchange or an off-by-one DEC exponent would all show here).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "core/c3d/C3dNumbers.h"
#include "tests/core/ReaderTestUtil.h"

using c3dtest::EncodeFloat;
using c3dtest::EncodeInt16;
using c3dtest::Proc;

namespace {

float Decode(const std::vector<std::uint8_t>& b, Proc proc) {
  const std::uint32_t stored = c3d::StoredWord(b.data());
  switch (proc) {
    case Proc::Intel:
      return c3d::IntelFloatBits(stored);
    case Proc::Dec:
      return CC3d::DecToFloat(stored);
    case Proc::Mips:
      return CC3d::MipsToFloat(stored);
  }
  return 0.0f;
}

struct FloatRow {
  Proc proc;
  float value;
};

class FloatDecoding : public ::testing::TestWithParam<FloatRow> {};

TEST_P(FloatDecoding, RoundTripsBitForBit) {
  const auto [proc, value] = GetParam();
  const float back = Decode(EncodeFloat(value, proc), proc);
  EXPECT_EQ(c3d::BitsFromFloat(back), c3d::BitsFromFloat(value)) << value;
}

// DEC F-floating covers IEEE's normal range shifted by two binary orders, so
// its rows stay within [2^-125, 2^126]; Intel and MIPS also carry the extremes.
std::vector<FloatRow> FloatRows() {
  std::vector<FloatRow> rows;
  const float common[] = {
      1.0f,    -1.0f,       0.5f,   2.0f,   0.1f,      -2.5f,           60.0f,
      1000.0f, 3.14159274f, 1e-30f, -1e30f, 0x1p-125f, 0x1.fffffep126f, 0.083333336f};
  for (const Proc p : {Proc::Intel, Proc::Dec, Proc::Mips}) {
    for (const float v : common) rows.push_back({p, v});
  }
  const float ieeeOnly[] = {0.0f,
                            -0.0f,
                            std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()};
  for (const Proc p : {Proc::Intel, Proc::Mips}) {
    for (const float v : ieeeOnly) rows.push_back({p, v});
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FloatDecoding, ::testing::ValuesIn(FloatRows()));

TEST(DecToFloat, DecodesThePublishedPatterns) {
  // 0x80 0x40 0x00 0x00 is DEC's 1.0; four zero bytes are 0.0.
  const std::uint8_t one[] = {0x80, 0x40, 0x00, 0x00};
  EXPECT_EQ(CC3d::DecToFloat(c3d::StoredWord(one)), 1.0f);
  EXPECT_EQ(CC3d::DecToFloat(0), 0.0f);
  // A zero exponent with other bits set is not special-cased: the top byte
  // wraps from 0x00 to 0xFF, which reads as a huge negative number.
  const std::uint8_t tiny[] = {0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(c3d::BitsFromFloat(CC3d::DecToFloat(c3d::StoredWord(tiny))), 0xFF000001u);
}

TEST(MipsToFloat, ReversesAllFourBytes) {
  const std::uint8_t one[] = {0x3F, 0x80, 0x00, 0x00};
  EXPECT_EQ(CC3d::MipsToFloat(c3d::StoredWord(one)), 1.0f);
}

TEST(SwapWord, ExchangesTheTwoBytes) {
  EXPECT_EQ(CC3d::SwapWord(0x1234), 0x3412);
  EXPECT_EQ(CC3d::SwapWord(0x00FF), 0xFF00);
  EXPECT_EQ(CC3d::SwapWord(0xFFFF), 0xFFFF);
}

TEST(Int16Decoding, RoundTripsEdgeValuesInEachByteOrder) {
  for (const Proc p : {Proc::Intel, Proc::Dec, Proc::Mips}) {
    for (const std::int16_t v :
         {std::int16_t{0}, std::int16_t{1}, std::int16_t{-1}, std::int16_t{255}, std::int16_t{256},
          std::int16_t{-32768}, std::int16_t{32767}}) {
      const auto b = EncodeInt16(v, p);
      EXPECT_EQ(p == Proc::Mips ? c3d::Int16Big(b.data()) : c3d::Int16Little(b.data()), v);
    }
  }
}

// Every float-to-integer path must be defined for NaN, infinities and
// out-of-range values (the sanitizer build turns undefined casts into failures).
TEST(CheckedConversions, SaturateInsteadOfUndefinedCasts) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(c3d::TruncateToInt64(std::nan("")), 0);
  EXPECT_EQ(c3d::TruncateToInt64(inf), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(c3d::TruncateToInt64(-inf), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(c3d::TruncateToInt64(-2.9), -2);
  EXPECT_EQ(c3d::TruncateToInt64(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(c3d::SaturateToInt32(std::int64_t{1} << 40), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(c3d::SaturateToInt32(-(std::int64_t{1} << 40)),
            std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(c3d::NarrowToFloat(1e300), std::numeric_limits<float>::infinity());
  EXPECT_EQ(c3d::NarrowToFloat(-1e39), -std::numeric_limits<float>::infinity());
  // Just below the rounding boundary the value still rounds to the largest float.
  EXPECT_EQ(c3d::NarrowToFloat(0x1.fffffefffp+127), std::numeric_limits<float>::max());
  EXPECT_TRUE(std::isnan(c3d::NarrowToFloat(std::nan(""))));
}

}  // namespace
