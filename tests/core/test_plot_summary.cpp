// Drawing a range of a channel: the range drawn as the channel of its
// samples alone, the columns found from the float accumulation in closed
// form, and the summary-based path vertex for vertex equal to the merged
// path through every sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotPath.h"
#include "core/plot/PlotSummary.h"
#include "core/plot/PlotTracePath.h"
#include "tests/support/HandFilledC3d.h"
#include "tests/support/TracePaths.h"

namespace {

constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();

// The columns' first vertices by walking the accumulation vertex by vertex.
std::vector<std::int64_t> StartsByWalking(float step, std::int64_t n, int width) {
  std::vector<std::int64_t> starts(static_cast<std::size_t>(width) + 2, n);
  const float right = static_cast<float>(width);
  float x = 0.0f;
  int next = 0;
  for (std::int64_t i = 0; i < n; ++i, x += step)
    for (const int c = static_cast<int>(x < right ? x : right); next <= c; ++next)
      starts[static_cast<std::size_t>(next)] = i;
  return starts;
}

enum class Shape { NoisyTone, Steps, SpikesAndNaN, RandomWalk };

// n samples of one shape; Steps and SpikesAndNaN hold long runs on one row.
std::vector<float> MakeSamples(std::int64_t n, Shape shape, bool integer, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 300.0f);
  std::uniform_int_distribution<int> level(-3, 3), spike(0, 20000), runLength(1, 4000);
  std::vector<float> v(static_cast<std::size_t>(n));
  float walk = 0.0f;
  float held = 0.0f;
  int heldFor = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    float s = 0.0f;
    const float tone = 1000.0f * static_cast<float>(std::sin(0.0031 * static_cast<double>(i)));
    switch (shape) {
      case Shape::NoisyTone:
        s = std::trunc(tone + noise(rng));
        break;
      case Shape::Steps:
        if (heldFor-- <= 0) {
          held = 100.0f * static_cast<float>(level(rng));
          heldFor = runLength(rng);
        }
        s = held;
        break;
      case Shape::SpikesAndNaN: {
        const int r = spike(rng);
        s = r == 0 ? 5000.0f : r == 1 ? -5000.0f : (r == 2 && !integer) ? kNotANumber : 0.0f;
        break;
      }
      case Shape::RandomWalk:
        s = walk += std::trunc(noise(rng) / 30.0f);
        break;
    }
    v[static_cast<std::size_t>(i)] = integer ? std::clamp(s, -32768.0f, 32767.0f) : s;
  }
  return v;
}

// A CC3d holding one channel of these samples: frames of 1000 when n is a
// multiple of 1000 above 65535 (as a long recording), else one frame.
std::unique_ptr<CC3d> ChannelFile(const std::vector<float>& samples, bool integer,
                                  float scale = 0.5f) {
  c3dtest::HandChannel ch;
  ch.raw = samples;
  ch.integer = integer;
  ch.scale = scale;
  ch.offset = 7.0f;
  return c3dtest::HandFilledC3d(ch);
}

}  // namespace

struct StartsCase {
  const char* what;
  int width;
  std::int64_t n;
};

class PlotColumnStartsTable : public testing::TestWithParam<StartsCase> {};

// The closed-form walk finds the same first vertex per column as adding the
// step vertex by vertex: catches a wrong run length at a binade's end, a
// tie rounded the other way (steps of few bits), and the accumulation that
// stops moving once the step falls below half an ulp (many samples).
TEST_P(PlotColumnStartsTable, MatchesTheAccumulationVertexByVertex) {
  const StartsCase& c = GetParam();
  const float step = c.n > 1 ? static_cast<float>(c.width) / static_cast<float>(c.n - 1) : 0.0f;
  EXPECT_EQ(PlotColumnStarts(step, c.n, c.width), StartsByWalking(step, c.n, c.width));
}

INSTANTIATE_TEST_SUITE_P(Cases, PlotColumnStartsTable,
                         testing::Values(StartsCase{"one sample", 576, 1},
                                         StartsCase{"two samples", 576, 2},
                                         StartsCase{"half pixel steps, ties", 1, 3},
                                         StartsCase{"exact binary step", 576, (1 << 20) + 1},
                                         StartsCase{"exact binary step, small", 1000, 1025},
                                         StartsCase{"fewer samples than columns", 576, 100},
                                         StartsCase{"zero width", 0, 5000},
                                         StartsCase{"accumulation stalls", 576, 20'000'000},
                                         StartsCase{"one column", 1, 1'000'000},
                                         StartsCase{"wide", 5000, 777'777}),
                         [](const testing::TestParamInfo<StartsCase>& param) {
                           std::string name = param.param.what;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// The same over random widths and counts.
TEST(PlotColumnStarts, MatchesTheAccumulationForRandomSizes) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> width(1, 3000);
  std::uniform_int_distribution<std::int64_t> count(2, 300000);
  for (int round = 0; round < 150; ++round) {
    const int w = width(rng);
    const std::int64_t n = round % 3 == 0 ? w / 3 + 2 : count(rng);
    const float step = static_cast<float>(w) / static_cast<float>(n - 1);
    ASSERT_EQ(PlotColumnStarts(step, n, w), StartsByWalking(step, n, w))
        << "W " << w << ", n " << n;
  }
}

// A range draws exactly as a channel holding only its samples (extremes
// taken from the range, x spread over its length), with and without a
// summary; the whole channel as a range draws as the channel. Catches an
// extreme taken from the whole channel, an off-by-one at either end, and a
// summary whose extremes differ from the samples'.
TEST(PlotRange, DrawsLikeTheSlicedChannel) {
  std::mt19937 rng(31337);
  const Shape shapes[] = {Shape::NoisyTone, Shape::Steps, Shape::SpikesAndNaN, Shape::RandomWalk};
  for (int round = 0; round < 80; ++round) {
    const bool integer = round % 2 == 1;
    const Shape shape = shapes[round % 4];
    const std::vector<float> all = MakeSamples(60000, shape, integer, static_cast<unsigned>(round));
    const float scale = round % 5 == 0 ? -0.25f : 0.5f;
    const auto c3d = ChannelFile(all, integer, scale);
    const CPlotSummary summary(*c3d, 0);
    std::uniform_int_distribution<std::int64_t> at(0, 59999);
    std::int64_t first = at(rng);
    std::int64_t last = at(rng);
    if (first > last) std::swap(first, last);
    if (round % 7 == 0) last = first + 1 + round % 40;              // few samples: markers
    if (std::isnan(all[static_cast<std::size_t>(first)])) ++first;  // see the NaN-first test below
    ++last;
    const int w = round % 3 == 0 ? 576 : 40 + round * 13;
    const int h = 244;
    SCOPED_TRACE(testing::Message() << "round " << round << " [" << first << ", " << last << ")");

    const std::vector<float> slice(all.begin() + first, all.begin() + last);
    const auto sliced = ChannelFile(slice, integer, scale);
    const CPlotTrace expected(sliced.get(), 0, w, h);
    const CPlotTrace plain(c3d.get(), 0, w, h, PlotRange{first, last});
    const CPlotTrace summarised(c3d.get(), 0, w, h, PlotRange{first, last}, &summary);
    ASSERT_EQ(plain.Count(), last - first);
    EXPECT_EQ(plain.HasMarkers(), expected.HasMarkers());
    const std::vector<PlotPoint> want = c3dtest::TraceVertices(expected);
    EXPECT_EQ(c3dtest::TraceVertices(plain), want);
    EXPECT_EQ(c3dtest::TraceVertices(summarised), want);
  }

  const auto c3d = ChannelFile(MakeSamples(5000, Shape::NoisyTone, false, 5), false);
  EXPECT_EQ(c3dtest::TraceVertices(CPlotTrace(c3d.get(), 0, 300, 100, PlotRange{})),
            c3dtest::TraceVertices(CPlotTrace(c3d.get(), 0, 300, 100)));
  EXPECT_EQ(c3dtest::TraceVertices(CPlotTrace(c3d.get(), 0, 300, 100, PlotRange{-50, 99999})),
            c3dtest::TraceVertices(CPlotTrace(c3d.get(), 0, 300, 100)));
  const CPlotTrace empty(c3d.get(), 0, 300, 100, PlotRange{40, 40});
  EXPECT_TRUE(empty.Draws());
  EXPECT_EQ(empty.Count(), 0);
}

// The loader's extremes of a channel whose first sample is NaN are NaN, so
// a range that starts on a NaN has no vertical scale: all on the bottom
// edge, with or without the summary (whose extremes pass NaN over).
TEST(PlotRange, RangeStartingOnNaNLiesOnTheBottomEdge) {
  std::vector<float> v = MakeSamples(3000, Shape::NoisyTone, false, 9);
  v[1000] = kNotANumber;
  const auto c3d = ChannelFile(v, false);
  const CPlotSummary summary(*c3d, 0);
  for (const CPlotSummary* s : {static_cast<const CPlotSummary*>(nullptr), &summary}) {
    const CPlotTrace trace(c3d.get(), 0, 200, 80, PlotRange{1000, 2900}, s);
    for (const PlotPoint& p : c3dtest::TraceVertices(trace)) ASSERT_EQ(p.y, 80);
  }
}

// Over random ranges of a long channel (two million samples, frames of
// 1000), the summary-based path equals the column-merged path through
// every vertex, vertex for vertex. Shapes with long runs on one row reach
// columns of one to four distinct rows; NaN reaches the bottom-row rule;
// int16 and float samples, both signs of scale, widths from 1 to 2000.
// Catches a wrong column boundary, a missed turn row, a wrong run count.
TEST(PlotSummary, PathEqualsTheMergedPathThroughEveryVertex) {
  constexpr std::int64_t kLong = 2'000'000;
  std::mt19937 rng(4711);
  const Shape shapes[] = {Shape::NoisyTone, Shape::Steps, Shape::SpikesAndNaN, Shape::RandomWalk};
  const int widths[] = {576, 1, 37, 2000, 576, 301};
  for (int c = 0; c < 8; ++c) {
    const bool integer = c % 2 == 1;
    const Shape shape = shapes[c % 4];
    const auto c3d = ChannelFile(MakeSamples(kLong, shape, integer, static_cast<unsigned>(100 + c)),
                                 integer, c % 3 == 0 ? -0.5f : 0.5f);
    const CPlotSummary summary(*c3d, 0);
    ASSERT_TRUE(summary.Describes(*c3d, 0));
    ASSERT_EQ(summary.Count(), kLong);
    std::uniform_int_distribution<std::int64_t> at(0, kLong);
    for (int round = 0; round < 6; ++round) {
      std::int64_t first = at(rng);
      std::int64_t last = at(rng);
      if (first > last) std::swap(first, last);
      if (round == 0) first = 0, last = kLong;               // the whole channel
      if (round == 1) last = std::min(kLong, first + 5000);  // a few samples per column
      if (first == last) continue;
      const int w = widths[(c + round) % 6];
      SCOPED_TRACE(testing::Message()
                   << "channel " << c << ", W " << w << ", [" << first << ", " << last << ")");
      const CPlotTrace trace(c3d.get(), 0, w, 244, PlotRange{first, last}, &summary);
      ASSERT_EQ(SummarisedTracePath(trace, summary), c3dtest::MergedTracePath(trace));
    }
  }
}
