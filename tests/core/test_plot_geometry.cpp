// The plot geometry: grid lines, trace vertices and markers for a client of
// W x H pixels, computed without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotPath.h"
#include "tests/support/HandFilledC3d.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using Channel = c3dtest::HandChannel;

std::unique_ptr<CC3d> MakeC3d(const Channel& ch) { return c3dtest::HandFilledC3d(ch); }

// Test names from the cases' descriptions.
struct WhatName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& param) const {
    std::string name = param.param.what;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
  }
};

std::vector<int> Rows(const PlotGeometry& g) {
  std::vector<int> rows;
  for (const PlotPoint& p : g.trace) rows.push_back(p.y);
  return rows;
}

// Every coordinate inside the band: vertices in [0, W] x [0, H], marker
// boxes 3 or 4 pixels wide and high around their vertex.
void ExpectInsideBand(const PlotGeometry& g, int w, int h) {
  for (const PlotPoint& p : g.trace) {
    ASSERT_GE(p.x, 0);
    ASSERT_LE(p.x, w);
    ASSERT_GE(p.y, 0);
    ASSERT_LE(p.y, h);
  }
  for (std::size_t i = 0; i < g.markers.size(); ++i) {
    const PlotRect& r = g.markers[i];
    const PlotPoint& p = g.trace[i];
    ASSERT_TRUE(r.right - r.left == 4 || r.right - r.left == 3) << i;
    ASSERT_TRUE(r.bottom - r.top == 4 || r.bottom - r.top == 3) << i;
    ASSERT_TRUE(r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom) << i;
  }
}

}  // namespace

// The grid of a 288 x 100 client: columns at each k x 28.8 truncated (28.8
// held as a float), rows at each quarter from the bottom.
TEST(PlotGrid, LinesOfTheDialogSizedPlot) {
  const std::vector<PlotLine> lines = PlotGrid(288, 100);
  ASSERT_EQ(lines.size(), 16u);
  const int rows[] = {100, 75, 50, 25, 0};
  for (int j = 0; j < 5; ++j) EXPECT_EQ(lines[j], (PlotLine{0, rows[j], 288, rows[j]})) << j;
  const int cols[] = {0, 28, 57, 86, 115, 144, 172, 201, 230, 259, 288};
  for (int k = 0; k < 11; ++k) EXPECT_EQ(lines[5 + k], (PlotLine{cols[k], 0, cols[k], 100})) << k;
}

struct GridBoxCase {
  const char* what;
  int top, bottom, left, right, clientTop, clientBottom;
  std::vector<int> rows;        // rows of the horizontal lines, in order
  int columnTop, columnBottom;  // ends of every vertical line
  int firstColumn, lastColumn;
};

class PlotGridBox : public testing::TestWithParam<GridBoxCase> {};

// Rows outside the client are dropped; the ends of the columns are clamped
// into the client rows in the stated order (visible when the client's rows
// are inverted, where a plain clamp would be undefined).
TEST_P(PlotGridBox, KeepsRowsInsideAndClampsColumnEnds) {
  const GridBoxCase& c = GetParam();
  const auto lines = PlotGridLines(c.top, c.bottom, c.left, c.right, c.clientTop, c.clientBottom);
  ASSERT_EQ(lines.size(), c.rows.size() + 11);
  for (std::size_t j = 0; j < c.rows.size(); ++j)
    EXPECT_EQ(lines[j], (PlotLine{c.left, c.rows[j], c.right, c.rows[j]})) << j;
  for (std::size_t k = c.rows.size(); k < lines.size(); ++k) {
    EXPECT_EQ(lines[k].y1, c.columnTop);
    EXPECT_EQ(lines[k].y2, c.columnBottom);
  }
  EXPECT_EQ(lines[c.rows.size()].x1, c.firstColumn);
  EXPECT_EQ(lines.back().x1, c.lastColumn);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlotGridBox,
    testing::Values(
        GridBoxCase{"box taller than client", -10, 50, 5, 25, 0, 40, {35, 20, 5}, 0, 40, 5, 25},
        GridBoxCase{"quarter rows truncated", 0, 3, 0, 10, 0, 3, {3, 2, 1, 0, 0}, 0, 3, 0, 10},
        GridBoxCase{"box below client", 60, 70, 0, 10, 0, 40, {}, 40, 40, 0, 10},
        GridBoxCase{"inverted client rows", 5, 5, 0, 10, 10, 0, {}, 0, 10, 0, 10},
        GridBoxCase{"empty client", 0, 0, 0, 0, 0, 0, {0, 0, 0, 0, 0}, 0, 0, 0, 0}),
    WhatName());

// Markers only when W > 10 x n: 30 samples get 30 markers at W = 400 and
// none at W = 300 (300 is not greater than 300).
TEST(PlotTrace, MarkersOnlyWhenWiderThanTenPixelsPerSample) {
  Channel ch;
  for (int i = 0; i < 30; ++i) ch.raw.push_back(static_cast<float>(i % 7));
  const auto c3d = MakeC3d(ch);
  const PlotGeometry wide = ComputePlotGeometry(c3d.get(), 0, 400, 100);
  ASSERT_EQ(wide.trace.size(), 30u);
  ASSERT_EQ(wide.markers.size(), 30u);
  // Sample 0 is the minimum: the bottom-left corner, its box centred there.
  EXPECT_EQ(wide.trace[0], (PlotPoint{0, 100}));
  EXPECT_EQ(wide.markers[0], (PlotRect{-2, 98, 2, 102}));
  // x of sample 1 is 400 / 29 = 13.79...: the box is (int)(x - 2) .. (int)(x + 2).
  EXPECT_EQ(wide.markers[1].left, 11);
  EXPECT_EQ(wide.markers[1].right, 15);
  ExpectInsideBand(wide, 400, 100);

  const PlotGeometry narrow = ComputePlotGeometry(c3d.get(), 0, 300, 100);
  EXPECT_EQ(narrow.trace.size(), 30u);
  EXPECT_TRUE(narrow.markers.empty());
  EXPECT_EQ(ComputePlotGeometry(c3d.get(), 0, 301, 100).markers.size(), 30u);
}

// One sample: one vertex at x = 0 (a constant signal: the bottom edge) and
// one marker there when W > 10.
TEST(PlotTrace, OneSampleIsOneVertexAtTheLeftEdge) {
  Channel ch;
  ch.raw = {42.0f};
  const auto c3d = MakeC3d(ch);
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, 11, 50);
  ASSERT_EQ(g.trace, (std::vector<PlotPoint>{{0, 50}}));
  ASSERT_EQ(g.markers, (std::vector<PlotRect>{{-2, 48, 2, 52}}));
  EXPECT_TRUE(ComputePlotGeometry(c3d.get(), 0, 10, 50).markers.empty());
}

// A negative scale reverses lo and hi; after the exchange the largest scaled
// value is still drawn at the top.
TEST(PlotTrace, NegativeScaleKeepsLargestValueOnTop) {
  Channel ch;
  ch.raw = {0.0f, 10.0f, 5.0f};
  ch.scale = -2.0f;  // scaled: 0, -20, -10
  const auto c3d = MakeC3d(ch);
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, 100, 100);
  EXPECT_EQ(Rows(g), (std::vector<int>{0, 100, 50}));
}

// Scaled values map linearly between the edges: offset subtracted before
// the scale is applied, integer samples as well as floats.
TEST(PlotTrace, MapsOffsetAndScaleLinearly) {
  Channel ch;
  ch.integer = true;
  ch.raw = {-100.0f, 0.0f, 100.0f, 300.0f};
  ch.offset = 100.0f;  // scaled: -1, -0.5, 0, 1
  ch.scale = 0.005f;
  const auto c3d = MakeC3d(ch);
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, 90, 200);
  EXPECT_EQ(Rows(g), (std::vector<int>{200, 150, 100, 0}));
  EXPECT_EQ(g.trace[1].x, 30);
  EXPECT_EQ(g.trace[3].x, 90);
}

// Nothing at all for channel -1 or an index outside the file (the latter
// would read past the channel list); grid only when the channel has no
// samples, including a last frame below the first (n < 0) and a sample
// block shorter than the header promises.
TEST(PlotTrace, NothingOrGridOnlyWithoutSamples) {
  Channel ch;
  ch.raw = {1.0f, 2.0f};
  auto c3d = MakeC3d(ch);
  for (int channel : {-1, 1, -7}) {
    const PlotGeometry g = ComputePlotGeometry(c3d.get(), channel, 288, 100);
    EXPECT_FALSE(g.draws) << channel;
    EXPECT_TRUE(g.grid.empty() && g.trace.empty() && g.markers.empty()) << channel;
  }
  EXPECT_FALSE(ComputePlotGeometry(nullptr, 0, 288, 100).draws);

  const auto expectGridOnly = [&](const char* what) {
    const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, 288, 100);
    EXPECT_TRUE(g.draws) << what;
    EXPECT_EQ(g.grid, PlotGrid(288, 100)) << what;
    EXPECT_TRUE(g.trace.empty() && g.markers.empty()) << what;
  };
  c3d->m_nAnalogSamplesPerFrame = 0;
  expectGridOnly("n = 0");
  c3d->m_nAnalogSamplesPerFrame = 2;
  c3d->m_nFirstFrame = 5;
  c3d->m_nLastFrame = 2;
  expectGridOnly("last frame below the first");
  c3d->m_nFirstFrame = 1;
  c3d->m_nLastFrame = 2;  // 4 samples promised, 2 stored
  expectGridOnly("short block");
}

struct BadValueCase {
  const char* what;
  Channel channel;
  std::vector<int> rows;  // expected rows at H = 100
};

class PlotTraceBadValues : public testing::TestWithParam<BadValueCase> {};

// NaN and infinite samples, extremes, offsets and scales: every row is
// defined and inside the band (a NaN would otherwise reach an integer cast).
TEST_P(PlotTraceBadValues, EveryRowDefinedAndInsideTheBand) {
  const BadValueCase& c = GetParam();
  const auto c3d = MakeC3d(c.channel);
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, 40, 100);
  ExpectInsideBand(g, 40, 100);
  EXPECT_EQ(Rows(g), c.rows);
}

Channel Floats(std::vector<float> raw) {
  Channel ch;
  ch.raw = std::move(raw);
  return ch;
}

Channel With(Channel ch, float offset, float scale) {
  ch.offset = offset;
  ch.scale = scale;
  return ch;
}

Channel Extremes(Channel ch, float min, float max) {
  ch.min = min;
  ch.max = max;
  return ch;
}

constexpr float kBig = 3.0e38f;  // the span 6e38 overflows a float

INSTANTIATE_TEST_SUITE_P(
    Cases, PlotTraceBadValues,
    testing::Values(
        BadValueCase{"constant signal on the bottom edge", Floats({3, 3, 3}), {100, 100, 100}},
        BadValueCase{"zero scale", With(Floats({1, 2, 3}), 0, 0), {100, 100, 100}},
        BadValueCase{"NaN sample on the bottom edge", Floats({0, kNaN, 2}), {100, 100, 0}},
        BadValueCase{"infinite samples clamped",
                     Extremes(Floats({0, kInf, -kInf, 2}), 0, 2),
                     {100, 0, 100, 0}},
        BadValueCase{"NaN maximum", Extremes(Floats({0, 1, 2}), 0, kNaN), {100, 100, 100}},
        BadValueCase{"infinite maximum", Floats({0, kInf, 2}), {100, 100, 100}},
        BadValueCase{"NaN offset", With(Floats({0, 1, 2}), kNaN, 1), {100, 100, 100}},
        BadValueCase{"NaN scale", With(Floats({0, 1, 2}), 0, kNaN), {100, 100, 100}},
        BadValueCase{"infinite scale", With(Floats({0, 1, 2}), 0, kInf), {100, 100, 100}},
        BadValueCase{"span beyond the float range", Floats({-kBig, kBig, 0}), {100, 0, 50}},
        BadValueCase{"span too small for a float scale",
                     Floats({0, std::numeric_limits<float>::denorm_min()}),
                     {100, 0}}),
    WhatName());

// Sizes are clamped: a negative size is 0 (every vertex at 0), a size past
// Qt's largest widget is kPlotMaxSize.
TEST(PlotTrace, ClampsClientSize) {
  const auto c3d = MakeC3d(Floats({0, 1, 2}));
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, -5, -5);
  EXPECT_EQ(g.trace, (std::vector<PlotPoint>{{0, 0}, {0, 0}, {0, 0}}));
  const CPlotTrace huge(c3d.get(), 0, std::numeric_limits<int>::max(), 100);
  EXPECT_EQ(huge.Width(), kPlotMaxSize);
}

// Properties over random channels and client sizes from 1 x 1 to 4000 x 2000.
TEST(PlotTrace, RandomChannelsStayInsideTheBand) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> widthDist(1, 4000), heightDist(1, 2000);
  std::uniform_int_distribution<int> countDist(2, 20000);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    Channel ch;
    ch.integer = round % 2 == 0;
    // Some rounds are small enough to get markers.
    const int n = round % 5 == 0 ? 2 + round % 40 : countDist(rng);
    const float amplitude = ch.integer ? 32000.0f : std::pow(10.0f, unit(rng) * 6.0f);
    for (int i = 0; i < n; ++i) {
      const float v = amplitude * unit(rng);
      ch.raw.push_back(ch.integer ? std::trunc(v) : v);
    }
    // Both extremes somewhere, so the spread is not lost in float rounding
    // of a level far larger than it.
    std::uniform_int_distribution<int> at(0, n - 1);
    ch.raw[static_cast<std::size_t>(at(rng))] = -amplitude;
    ch.raw[static_cast<std::size_t>(at(rng))] = amplitude;
    ch.offset = unit(rng) * amplitude;
    ch.scale = unit(rng) * 10.0f;
    if (ch.scale == 0.0f) ch.scale = 1.0f;
    const int w = round == 1 ? 1 : widthDist(rng);
    const int h = round == 1 ? 1 : heightDist(rng);
    const auto c3d = MakeC3d(ch);
    const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, w, h);

    ASSERT_EQ(g.trace.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(g.markers.size(), w > 10 * n ? g.trace.size() : 0u);
    ExpectInsideBand(g, w, h);
    EXPECT_EQ(g.trace.front().x, 0);
    for (std::size_t i = 1; i < g.trace.size(); ++i) ASSERT_LE(g.trace[i - 1].x, g.trace[i].x);
    // x accumulates n - 1 float additions, each off by at most half a unit
    // in the last place of a value below 2W.
    const double drift = 1.0 + n * std::ldexp(1.0, std::ilogb(2.0f * w) - 23);
    EXPECT_NEAR(g.trace.back().x, w, drift);

    // The smallest scaled value on or next to the bottom row, the largest on the top row.
    const CAnalog& analog = *c3d->m_analogs[0];
    int lowest = 0, highest = 0;
    for (int i = 1; i < n; ++i) {
      const float v = analog.GetScaledSample(i, ch.offset, ch.scale, ch.integer);
      if (v < analog.GetScaledSample(lowest, ch.offset, ch.scale, ch.integer)) lowest = i;
      if (v > analog.GetScaledSample(highest, ch.offset, ch.scale, ch.integer)) highest = i;
    }
    EXPECT_GE(g.trace[static_cast<std::size_t>(lowest)].y, h - 1);
    EXPECT_EQ(g.trace[static_cast<std::size_t>(highest)].y, 0);
  }
}

// A run of more than four vertices in one column becomes its first two, its
// smallest row, its largest row only when an inner vertex lies there (the
// painter draws that row only at a down-up turn), and its last two; repeats
// are dropped and shorter runs pass unchanged.
TEST(ColumnMerger, KeepsRunEndsExtremesAndInnerTurns) {
  std::vector<PlotPoint> out;
  auto sink = [&](const PlotPoint& p) { out.push_back(p); };
  CColumnMerger<decltype(sink)> merger(sink);
  const std::vector<PlotPoint> in = {
      {0, 5}, {0, 9}, {0, 1}, {0, 7}, {0, 2}, {0, 8}, {0, 0},  // largest row 9 inside
      {1, 9}, {1, 3}, {1, 5}, {1, 4}, {1, 6}, {1, 2}, {1, 9},  // largest row 9 only at the ends
      {2, 4}, {2, 4}, {2, 6},                                  // repeats dropped, short run kept
      {3, 1}};
  for (const PlotPoint& p : in) merger.Push(p);
  merger.Finish();
  EXPECT_EQ(out, (std::vector<PlotPoint>{{0, 5},
                                         {0, 9},
                                         {0, 0},
                                         {0, 9},
                                         {0, 8},
                                         {0, 0},
                                         {1, 9},
                                         {1, 3},
                                         {1, 2},
                                         {1, 9},
                                         {2, 4},
                                         {2, 6},
                                         {3, 1}}));
}
