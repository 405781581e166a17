#include "core/plot/PlotSummary.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "core/plot/PlotPath.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

template <class T>
void SummariseBlocks(const T* samples, std::int64_t blocks, std::int64_t size, auto* out) {
  for (std::int64_t b = 0; b < blocks; ++b) {
    const T* s = samples + b * size;
    float lo = kInf;
    float hi = -kInf;
    bool nan = false;
    for (std::int64_t i = 0; i < size; ++i) {
      const float v = static_cast<float>(s[i]);
      lo = v < lo ? v : lo;  // a NaN compares false and is passed over
      hi = v > hi ? v : hi;
      nan = nan || v != v;
    }
    out[b] = {lo, hi, nan};
  }
}

}  // namespace

CPlotSummary::CPlotSummary(const CC3d& c3d, int channel) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= c3d.m_analogs.size()) return;
  const CAnalog* analog = c3d.m_analogs[static_cast<std::size_t>(channel)].get();
  if (analog == nullptr) return;
  const std::int64_t n = c3d.SamplesPerChannel();
  if (n <= 0 || analog->m_pSamples.size() / c3d.SampleWidth() < static_cast<std::uint64_t>(n))
    return;
  m_c3d = &c3d;
  m_channel = channel;
  m_integer = c3d.m_bIntegerData;
  m_samples = analog->m_pSamples.data();
  m_count = n;

  const std::int64_t blocks = n >> kShift;
  if (blocks == 0) return;
  m_levels.emplace_back(static_cast<std::size_t>(blocks));
  if (m_integer)
    SummariseBlocks(analog->IntSamples(), blocks, std::int64_t{1} << kShift, m_levels[0].data());
  else
    SummariseBlocks(analog->FloatSamples(), blocks, std::int64_t{1} << kShift, m_levels[0].data());
  // Each level pairs the blocks of the one below; an odd last block is left out.
  while (m_levels.back().size() >= 2) {
    const std::vector<Block>& below = m_levels.back();
    std::vector<Block> level(below.size() / 2);
    for (std::size_t b = 0; b < level.size(); ++b) {
      const Block& l = below[2 * b];
      const Block& r = below[2 * b + 1];
      level[b] = {std::min(l.min, r.min), std::max(l.max, r.max), l.nan || r.nan};
    }
    m_levels.push_back(std::move(level));
  }
}

bool CPlotSummary::Describes(const CC3d& c3d, int channel) const {
  if (m_c3d != &c3d || m_channel != channel || m_count != c3d.SamplesPerChannel()) return false;
  const CAnalog* analog = c3d.m_analogs.size() > static_cast<std::size_t>(channel)
                              ? c3d.m_analogs[static_cast<std::size_t>(channel)].get()
                              : nullptr;
  return analog != nullptr && analog->m_pSamples.data() == m_samples &&
         c3d.m_bIntegerData == m_integer;
}

std::vector<CPlotSummary::Piece> CPlotSummary::Pieces(std::int64_t first, std::int64_t last) const {
  std::vector<Piece> pieces;
  const std::int64_t size0 = std::int64_t{1} << kShift;
  // The blocks lie in [alignedFirst, alignedLast); the rest is read sample by sample.
  const std::int64_t alignedFirst = (first + size0 - 1) / size0 * size0;
  const std::int64_t alignedLast = last / size0 * size0;
  if (m_levels.empty() || alignedFirst >= alignedLast) {
    pieces.push_back({-1, first, last});
    return pieces;
  }
  if (first < alignedFirst) pieces.push_back({-1, first, alignedFirst});
  const int levels = static_cast<int>(m_levels.size());
  for (std::int64_t i = alignedFirst; i < alignedLast;) {
    // The largest block that starts at i and ends by alignedLast.
    int level = 0;
    while (level + 1 < levels) {
      const std::int64_t size = std::int64_t{1} << (kShift + level + 1);
      if (i % size != 0 || i + size > alignedLast) break;
      ++level;
    }
    const std::int64_t end = i + (std::int64_t{1} << (kShift + level));
    pieces.push_back({level, i, end});
    i = end;
  }
  if (alignedLast < last) pieces.push_back({-1, alignedLast, last});
  return pieces;
}

PlotExtremes CPlotSummary::Extremes(std::int64_t first, std::int64_t last) const {
  PlotExtremes e{kInf, -kInf, false};
  for (const Piece& piece : Pieces(first, last)) {
    if (piece.level >= 0) {
      const Block& b = At(piece.level, piece.begin);
      e.min = std::min(e.min, b.min);
      e.max = std::max(e.max, b.max);
      e.nan = e.nan || b.nan;
      continue;
    }
    for (std::int64_t i = piece.begin; i < piece.end; ++i) {
      const float v = Raw(i);
      e.min = v < e.min ? v : e.min;
      e.max = v > e.max ? v : e.max;
      e.nan = e.nan || v != v;
    }
  }
  return e;
}

bool CPlotSummary::OnRow(const CPlotTrace& trace, const Block& block, int row) const {
  // NaN samples lie on the bottom row; the others between the rows of the extremes.
  if (block.nan && row != trace.Height()) return false;
  if (block.min > block.max) return true;
  return trace.Row(block.min) == row && trace.Row(block.max) == row;
}

std::int64_t CPlotSummary::FirstOtherRow(const CPlotTrace& trace, std::int64_t first,
                                         std::int64_t last, int row) const {
  for (const Piece& piece : Pieces(first, last)) {
    std::int64_t begin = piece.begin;
    std::int64_t end = piece.end;
    if (piece.level >= 0) {
      if (OnRow(trace, At(piece.level, begin), row)) continue;
      // Down to the first level-0 block off the row: its left half when
      // that is off the row, else its right half.
      for (int level = piece.level; level > 0; --level) {
        const std::int64_t half = std::int64_t{1} << (kShift + level - 1);
        if (OnRow(trace, At(level - 1, begin), row)) begin += half;
        end = begin + half;
      }
    }
    for (std::int64_t i = begin; i < end; ++i)
      if (trace.Row(Raw(i)) != row) return i;
  }
  return last;
}

std::int64_t CPlotSummary::LastOtherRow(const CPlotTrace& trace, std::int64_t first,
                                        std::int64_t last, int row) const {
  const std::vector<Piece> pieces = Pieces(first, last);
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
    std::int64_t begin = piece->begin;
    std::int64_t end = piece->end;
    if (piece->level >= 0) {
      if (OnRow(trace, At(piece->level, begin), row)) continue;
      // Down to the last level-0 block off the row: its right half first.
      for (int level = piece->level; level > 0; --level) {
        const std::int64_t half = std::int64_t{1} << (kShift + level - 1);
        if (!OnRow(trace, At(level - 1, begin + half), row)) begin += half;
        end = begin + half;
      }
    }
    for (std::int64_t i = end - 1; i >= begin; --i)
      if (trace.Row(Raw(i)) != row) return i;
  }
  return first - 1;
}

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
void RowsOf(const CPlotTrace& trace, const PlotExtremes& e, int& low, int& high) {
  low = INT_MAX;
  high = INT_MIN;
  if (e.min <= e.max) {
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

// Columns of at most this many vertices are pushed vertex by vertex.
constexpr std::int64_t kDirectColumn = 32;

}  // namespace

std::vector<PlotPoint> SummarisedTracePath(const CPlotTrace& trace, const CPlotSummary& summary) {
  std::vector<PlotPoint> path;
  if (trace.Count() <= 0) return path;
  const auto sink = [&path](const PlotPoint& p) { path.push_back(p); };
  CColumnMerger merger(sink);
  const std::vector<std::int64_t> starts =
      PlotColumnStarts(trace.XStep(), trace.Count(), trace.Width());
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
    RowsOf(trace, summary.Extremes(a, b), low, high);
    const std::int64_t p = summary.FirstOtherRow(trace, a, b, head[0]);
    if (p == b) {
      merger.PushRun(c, 1, head, low, high, false, head[0], head[0]);
      continue;
    }
    const std::int64_t q = summary.LastOtherRow(trace, a, b, last) + 1;
    const int previous = row(q - 1);
    head[1] = row(p);
    if (q <= p) {  // d1, d2
      merger.PushRun(c, 2, head, low, high, false, previous, last);
      continue;
    }
    // [p, q) holds the inner vertices d2 .. dk-1.
    const std::int64_t p2 = summary.FirstOtherRow(trace, p, q, head[1]);
    if (p2 == q) {  // d1, d2, d3
      head[2] = last;
      merger.PushRun(c, 3, head, low, high, head[1] == high, previous, last);
      continue;
    }
    head[2] = row(p2);
    const std::int64_t p3 = summary.FirstOtherRow(trace, p2, q, head[2]);
    if (p3 == q) {  // d1 .. d4
      head[3] = last;
      merger.PushRun(c, 4, head, low, high, std::max(head[1], head[2]) == high, previous, last);
      continue;
    }
    int innerLow = 0;
    int innerHigh = 0;
    RowsOf(trace, summary.Extremes(p, q), innerLow, innerHigh);
    merger.PushRun(c, 5, head, low, high, innerHigh == high, previous, last);
  }
  merger.Finish();
  return path;
}
