// The one scan for a run's extremes and the rules drawn from it: NaN and
// infinities counted or passed over, the loader's walk from the first
// sample, and the merge of two runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/c3d/C3dRecords.h"
#include "core/c3d/SampleExtremes.h"

namespace {

constexpr float kExtremesNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kExtremesInf = std::numeric_limits<float>::infinity();

struct ExtremesRow {
  const char* name;
  std::vector<float> samples;  // runs past 16 values reach the interleaved walks
  c3d::Counted counted;
  bool any;
  float min, max;  // when any
  bool nan;
  float walkMin, walkMax;  // the loader's; NaN compared as NaN
};

// Long runs place the extreme in a late lane and a NaN among the lanes.
std::vector<float> ExtremesRamp(int n, float nanAt = -1.0f) {
  std::vector<float> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<float>((i * 7) % 40) - 20.0f);
  if (nanAt >= 0.0f) v[static_cast<std::size_t>(nanAt)] = kExtremesNaN;
  return v;
}

bool SameFloat(float a, float b) { return std::isnan(a) ? std::isnan(b) : a == b; }

class SampleExtremesTable : public testing::TestWithParam<ExtremesRow> {};

// Catches a NaN that becomes an extreme, an infinity kept by the Finite rule
// (or dropped by NotNan), a missed NaN flag, and a loader walk that lets a
// NaN first sample go.
TEST_P(SampleExtremesTable, FollowsTheRule) {
  const ExtremesRow& row = GetParam();
  const c3d::SampleExtremes e =
      c3d::ScanExtremes(row.samples.data(), row.samples.size(), row.counted);
  EXPECT_EQ(e.Any(), row.any);
  if (row.any) {
    EXPECT_EQ(e.min, row.min);
    EXPECT_EQ(e.max, row.max);
  }
  EXPECT_EQ(e.nan, row.nan);
  if (row.samples.empty() || row.counted != c3d::Counted::NotNan) return;
  float min = 0.0f;
  float max = 0.0f;
  c3d::WalkExtremes(e, row.samples[0], min, max);
  EXPECT_TRUE(SameFloat(min, row.walkMin)) << min;
  EXPECT_TRUE(SameFloat(max, row.walkMax)) << max;
}

using Counted = c3d::Counted;
INSTANTIATE_TEST_SUITE_P(
    Rows, SampleExtremesTable,
    testing::Values(
        ExtremesRow{"Empty", {}, Counted::NotNan, false, 0, 0, false, 0, 0},
        ExtremesRow{"Short", {3, -1, 2}, Counted::NotNan, true, -1, 3, false, -1, 3},
        ExtremesRow{"LongRamp", ExtremesRamp(1000), Counted::NotNan, true, -20, 19, false, -20, 19},
        ExtremesRow{"NaNInsideLanes", ExtremesRamp(100, 37), Counted::NotNan, true, -20, 19, true,
                    -20, 19},
        ExtremesRow{"NaNFirst", ExtremesRamp(100, 0), Counted::NotNan, true, -20, 19, true,
                    kExtremesNaN, kExtremesNaN},
        ExtremesRow{"OnlyNaN",
                    {kExtremesNaN, kExtremesNaN},
                    Counted::NotNan,
                    false,
                    0,
                    0,
                    true,
                    kExtremesNaN,
                    kExtremesNaN},
        ExtremesRow{"InfinitiesCount",
                    {1, kExtremesInf, -kExtremesInf},
                    Counted::NotNan,
                    true,
                    -kExtremesInf,
                    kExtremesInf,
                    false,
                    -kExtremesInf,
                    kExtremesInf},
        ExtremesRow{"FiniteSkipsInfinities",
                    {1, kExtremesInf, -kExtremesInf, 4, kExtremesNaN},
                    Counted::Finite,
                    true,
                    1,
                    4,
                    true,
                    0,
                    0},
        ExtremesRow{
            "FiniteNone", {kExtremesInf, kExtremesNaN}, Counted::Finite, false, 0, 0, true, 0, 0}),
    [](const testing::TestParamInfo<ExtremesRow>& row) { return std::string(row.param.name); });

// int16 runs: exact conversion, the full range, a count not a multiple of 16.
TEST(SampleExtremes, Int16RunsConvertExactly) {
  std::vector<std::int16_t> v(37, 5);
  v[20] = -32768;
  v[36] = 32767;
  const c3d::SampleExtremes e = c3d::ScanExtremes(v.data(), v.size());
  EXPECT_EQ(e.min, -32768.0f);
  EXPECT_EQ(e.max, 32767.0f);
  EXPECT_FALSE(e.nan);
  EXPECT_FALSE(c3d::ScanExtremes(v.data(), 0).Any());
}

// Merging two runs gives the scan of both; the physical range turns round
// under a negative scale.
TEST(SampleExtremes, MergeAndPhysicalRange) {
  const std::vector<float> a = {1, 5, kExtremesNaN};
  const std::vector<float> b = {-2, 3};
  const c3d::SampleExtremes m =
      c3d::Merge(c3d::ScanExtremes(a.data(), a.size()), c3d::ScanExtremes(b.data(), b.size()));
  EXPECT_EQ(m.min, -2.0f);
  EXPECT_EQ(m.max, 5.0f);
  EXPECT_TRUE(m.nan);

  CAnalog analog;
  analog.m_fOffset = 1.0f;
  analog.m_fScale = -2.0f;
  float low = 0.0f;
  float high = 0.0f;
  c3d::PhysicalExtremes(analog, -2.0f, 5.0f, low, high);
  EXPECT_EQ(low, -8.0f);
  EXPECT_EQ(high, 6.0f);
}

}  // namespace

// A scan taken in pieces of every length, or in two parts joined at a group
// boundary, gives what one scan of the whole run gives, bit for bit. Zeros
// of both signs: in lanes whose order differs from the parts' order (the
// whole scan keeps the later -0), and in one lane (it keeps the earlier
// +0), so that a join keeping either part's equal extreme always differs
// somewhere.
TEST(SampleExtremes, ScanInPiecesOrJoinedEqualsOneScan) {
  for (const std::size_t plusAt : {std::size_t{5}, std::size_t{2}}) {
    std::vector<float> v = ExtremesRamp(203, 150.0f);
    for (float& x : v) x = std::abs(x) + 1.0f;
    v[plusAt] = 0.0f;
    v[98] = -0.0f;  // lane 2, after the join at 96
    v[7] = kExtremesInf;
    for (const c3d::Counted counted : {c3d::Counted::NotNan, c3d::Counted::Finite}) {
      const c3d::SampleExtremes whole = c3d::ScanExtremes(v.data(), v.size(), counted);
      ASSERT_EQ(std::signbit(whole.min), plusAt == 5);
      const auto same = [&whole](const c3d::SampleExtremes& e) {
        return std::signbit(e.min) == std::signbit(whole.min) && e.min == whole.min &&
               e.max == whole.max && e.nan == whole.nan;
      };
      for (std::size_t piece = 1; piece <= 40; piece += 3) {
        const auto scanned = [&](auto scan) {
          for (std::size_t i = 0; i < v.size(); i += piece)
            scan.Add(v.data() + i, std::min(piece, v.size() - i));
          return scan.Result();
        };
        const c3d::SampleExtremes e =
            counted == c3d::Counted::Finite
                ? scanned(c3d::ExtremesScan<float, c3d::Counted::Finite>())
                : scanned(c3d::ExtremesScan<float>());
        EXPECT_TRUE(same(e)) << "pieces of " << piece;
      }
      for (const std::size_t split : {std::size_t{0}, std::size_t{16}, std::size_t{96}}) {
        c3d::ExtremesScan<float, c3d::Counted::Finite> finiteFirst, finiteLater;
        c3d::ExtremesScan<float> first, later;
        finiteFirst.Add(v.data(), split);
        finiteLater.Add(v.data() + split, v.size() - split);
        first.Add(v.data(), split);
        later.Add(v.data() + split, v.size() - split);
        finiteFirst.Join(finiteLater);
        first.Join(later);
        EXPECT_TRUE(same(counted == c3d::Counted::Finite ? finiteFirst.Result() : first.Result()))
            << "+0 at " << plusAt << ", joined at " << split;
      }
    }
  }
}
