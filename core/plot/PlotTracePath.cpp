#include "core/plot/PlotTracePath.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/c3d/C3dNumbers.h"
#include "core/plot/PlotPath.h"
#include "core/plot/PlotSummary.h"

std::vector<std::int64_t> PlotColumnStarts(float xStep, std::int64_t n, int width) {
  width = ClampPlotSize(width);
  std::vector<std::int64_t> starts(static_cast<std::size_t>(width) + 2, n);
  const float right = static_cast<float>(width);
  // x and right lie in [0, kPlotMaxSize]: the truncation is defined.
  const auto column = [right](float x) { return static_cast<int>(x < right ? x : right); };
  int next = 0;  // the first column whose start is not known yet
  std::int64_t i = 0;
  float x = 0.0f;  // x of vertex i
  while (i < n) {
    for (const int c = column(x); next <= c; ++next) starts[static_cast<std::size_t>(next)] = i;
    // Past the right edge every later vertex is clamped into column W.
    if (x >= right || i + 1 >= n) break;
    const float x1 = x + xStep;
    const float x2 = x1 + xStep;
    if (x > 0.0f && i + 2 < n && std::ilogb(x) == std::ilogb(x2)) {
      // x, x1 and x2 share one binade, where floats are the multiples of one
      // ulp: x + step rounds to x plus a fixed multiple of it, except on a
      // tie, where the round-to-even choice leaves x1 even and every later
      // step then adds the same multiple. So from x1 on, x_(i+1+j) = x1 + j d
      // exactly, until the binade ends. All of it is exact in double (at
      // most 24 + 25 significant bits).
      const double d = static_cast<double>(x2) - static_cast<double>(x1);
      const double binadeEnd = std::ldexp(1.0, std::ilogb(x) + 1);
      const std::int64_t left = n - (i + 1);  // vertices after i
      std::int64_t run = left;                // vertices x1 + j d, j < run, inside the binade
      if (d > 0.0) {
        run = static_cast<std::int64_t>(std::ceil((binadeEnd - x1) / d));
        while (run > 0 && x1 + static_cast<double>(run - 1) * d >= binadeEnd) --run;
        while (x1 + static_cast<double>(run) * d < binadeEnd) ++run;
        run = std::min(run, left);
      }
      const double xLast = x1 + static_cast<double>(run - 1) * d;
      // A column c <= W starts at the first vertex whose x reaches c.
      for (const int c = column(static_cast<float>(xLast)); next <= c; ++next) {
        std::int64_t j = 0;
        if (d > 0.0) {
          j = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil((next - x1) / d)));
          while (j > 0 && x1 + static_cast<double>(j - 1) * d >= next) --j;
          while (x1 + static_cast<double>(j) * d < next) ++j;
        }
        starts[static_cast<std::size_t>(next)] = i + 1 + j;
      }
      i += run;
      x = static_cast<float>(xLast);  // exact: a float of the binade
      continue;
    }
    x = x1;
    ++i;
  }
  return starts;
}

namespace {

// Highest and lowest row of samples with these extremes.
void RowsOf(const CPlotTrace& trace, const c3d::SampleExtremes& e, int& low, int& high) {
  low = INT_MAX;
  high = INT_MIN;
  if (e.Any()) {
    const int a = trace.Row(e.min);
    const int b = trace.Row(e.max);
    low = std::min(a, b);
    high = std::max(a, b);
  }
  if (e.nan) {
    low = std::min(low, trace.Height());
    high = std::max(high, trace.Height());
  }
}

// The smallest and largest row of the samples [a, b), as RowsOf their
// extremes gives: from the summary's blocks alone when the blocks inside
// the range and those around it give the same rows (the ragged ends then
// cannot change them, rows being monotonic in the raw value), else from
// the range's extremes.
void RangeRows(const CPlotTrace& trace, const CPlotSummary& summary, std::int64_t a, std::int64_t b,
               int& low, int& high) {
  // Under four blocks' length the ragged ends are most of the range: read them.
  if (b - a < 4 * CPlotSummary::kBlockSamples) {
    RowsOf(trace, summary.Extremes(a, b), low, high);
    return;
  }
  const CPlotSummary::Bracket bracket = summary.Bracketing(a, b);
  RowsOf(trace, bracket.inside, low, high);
  int aroundLow = 0;
  int aroundHigh = 0;
  RowsOf(trace, bracket.around, aroundLow, aroundHigh);
  if (low == aroundLow && high == aroundHigh) return;
  RowsOf(trace, summary.Extremes(a, b), low, high);
}

// The raw values whose vertices lie on `row`: an interval, since a trace's
// row is a monotonic function of the raw sample (NaN aside, which goes to
// the bottom edge, where Row(NaN) puts it).
auto OnRow(const CPlotTrace& trace, int row) {
  return [&trace, row](float raw) { return trace.Row(raw) == row; };
}

// Columns of at most this many vertices are pushed vertex by vertex.
constexpr std::int64_t kDirectColumn = 32;

}  // namespace

std::vector<PlotPoint> SummarisedTracePath(const CPlotTrace& trace, const CPlotSummary& summary) {
  std::vector<PlotPoint> path;
  if (trace.Count() <= 0) return path;
  // A column's run passes on at most six vertices (CColumnMerger).
  path.reserve(6 * (static_cast<std::size_t>(trace.Width()) + 1));
  const auto sink = [&path](const PlotPoint& p) { path.push_back(p); };
  CColumnMerger merger(sink);
  // The lanes of one view share the step, count and width, and so the
  // column table: each thread keeps the last one it made.
  struct Columns {
    float xStep = 0.0f;
    std::int64_t count = -1;
    int width = -1;
    std::vector<std::int64_t> starts;
  };
  thread_local Columns columns;
  if (c3d::BitsFromFloat(columns.xStep) != c3d::BitsFromFloat(trace.XStep()) ||
      columns.count != trace.Count() || columns.width != trace.Width()) {
    columns.starts = PlotColumnStarts(trace.XStep(), trace.Count(), trace.Width());
    columns.xStep = trace.XStep();
    columns.count = trace.Count();
    columns.width = trace.Width();
  }
  const std::vector<std::int64_t>& starts = columns.starts;
  const std::int64_t offset = trace.First();
  const auto row = [&](std::int64_t i) { return trace.Row(summary.Raw(i)); };
  for (int c = 0; c <= trace.Width(); ++c) {
    const std::int64_t a = starts[static_cast<std::size_t>(c)] + offset;
    const std::int64_t b = starts[static_cast<std::size_t>(c) + 1] + offset;
    if (a >= b) continue;
    if (b - a <= kDirectColumn) {
      for (std::int64_t i = a; i < b; ++i) merger.Push(PlotPoint{c, row(i)});
      continue;
    }
    // The column's vertices, repeats removed, are d1 .. dk: the first run of
    // rows equal to d1 ends at p, the last run of rows equal to dk starts at q.
    int head[4] = {row(a), 0, 0, 0};
    const int last = row(b - 1);
    int low = 0;
    int high = 0;
    RangeRows(trace, summary, a, b, low, high);
    const std::int64_t p = summary.FirstRejected(a, b, OnRow(trace, head[0]));
    if (p == b) {
      merger.PushRun(c, 1, head, low, high, false, head[0], head[0]);
      continue;
    }
    const std::int64_t q = summary.LastRejected(a, b, OnRow(trace, last)) + 1;
    const int previous = row(q - 1);
    head[1] = row(p);
    if (q <= p) {  // d1, d2
      merger.PushRun(c, 2, head, low, high, false, previous, last);
      continue;
    }
    // [p, q) holds the inner vertices d2 .. dk-1.
    const std::int64_t p2 = summary.FirstRejected(p, q, OnRow(trace, head[1]));
    if (p2 == q) {  // d1, d2, d3
      head[2] = last;
      merger.PushRun(c, 3, head, low, high, head[1] == high, previous, last);
      continue;
    }
    head[2] = row(p2);
    const std::int64_t p3 = summary.FirstRejected(p2, q, OnRow(trace, head[2]));
    if (p3 == q) {  // d1 .. d4
      head[3] = last;
      merger.PushRun(c, 4, head, low, high, std::max(head[1], head[2]) == high, previous, last);
      continue;
    }
    // An inner vertex lies on `high` when the first or last run does not
    // (so some vertex between them does), or one of [p, q) is found there.
    const bool highInner =
        (high != head[0] && high != last) || head[1] == high || head[2] == high ||
        summary.FirstRejected(p, q, [&trace, high](float raw) { return trace.Row(raw) < high; }) <
            q;
    merger.PushRun(c, 5, head, low, high, highInner, previous, last);
  }
  merger.Finish();
  return path;
}
