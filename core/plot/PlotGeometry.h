#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/c3d/C3d.h"

// The geometry of the sound dialog's waveform plot, computed without any
// window: the dotted grid and the trace (one vertex per sample, optional
// sample markers) of one analog channel for a client area of W x H pixels.
// Coordinates are integer client pixels, origin at the top-left corner, y
// growing downwards: exactly the values handed to the painter.

// A line from (x1, y1) to (x2, y2), both ends included in the description.
struct PlotLine {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool operator==(const PlotLine&) const = default;
};

struct PlotPoint {
  int x = 0, y = 0;
  bool operator==(const PlotPoint&) const = default;
};

// The bounding rectangle of a sample marker (an ellipse): left and top are
// its first column and row, right and bottom lie one past its last ones.
struct PlotRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PlotRect&) const = default;
};

// Largest client width or height the geometry accepts (Qt's largest widget
// size, 2^24 - 1). Every integer up to it is exact as a float, so the
// single-precision arithmetic below never loses a whole pixel to rounding.
inline constexpr int kPlotMaxSize = 16777215;

// Clamps a client width or height into [0, kPlotMaxSize].
int ClampPlotSize(int size);

// The grid lines drawn into the box (top, bottom, left, right) of a client
// rectangle whose top and bottom rows are clientTop and clientBottom: five
// horizontal lines at each quarter of the box height, counted up from
// `bottom` (kept only when they lie within the client rows), and eleven
// vertical lines at each tenth of the box width from `left`, both edges
// included, running from `top` to `bottom` clamped into the client rows.
// Steps are single-precision floats and positions are truncated towards
// zero. Every argument must lie within [-kPlotMaxSize, kPlotMaxSize];
// values outside are clamped into it first.
std::vector<PlotLine> PlotGridLines(int top, int bottom, int left, int right, int clientTop,
                                    int clientBottom);

// The grid of a W x H client: PlotGridLines(0, H, 0, W, 0, H), W and H
// clamped by ClampPlotSize.
std::vector<PlotLine> PlotGrid(int width, int height);

// A range of sample indices [first, last) of one channel. The default is
// the whole channel; a range is clamped into [0, n) when a trace is made.
struct PlotRange {
  std::int64_t first = 0;
  std::int64_t last = INT64_MAX;
  bool operator==(const PlotRange&) const = default;
};

class CPlotSummary;

// The trace of one channel prepared for one client size. It holds only the
// scaling (no vertices) and points into the CC3d's sample block, which the
// caller keeps alive and unchanged while walking. Copyable; owns nothing.
//
// Mapping of a scaled value v to a row, all in single precision:
//   lo, hi = (m_fMin - offset) x scale, (m_fMax - offset) x scale, exchanged
//   when lo > hi (a negative scale); mid = (hi + lo) x 0.5,
//   half = (hi - lo) x 0.5, vTop = mid + half, vBot = mid - half;
//   yScale = H / (vTop - vBot); y = H - (v - vBot) x yScale, raised to 0 if
//   below it, then lowered to H if above it; the row is (int)y.
// Sample i lies at x_i = x_(i-1) + W / (n - 1), accumulated as a float from
// x_0 = 0; the column is (int)x_i.
//
// Cases the formulas leave undefined, settled so that every coordinate stays
// inside [0, W] x [0, H] and no NaN or infinity reaches an integer cast:
//  - A constant signal (vTop == vBot) has no vertical scale: every point is
//    drawn on the bottom edge.
//  - Extremes that are NaN or infinite, or an offset or scale that makes
//    them so, leave no usable range either: every point on the bottom edge.
//  - Finite extremes whose single-precision span or yScale overflows (values
//    near the float limit, or a span so small that H / span is infinite) are
//    mapped with the same formulas in double precision.
//  - A NaN sample lies on the bottom edge; infinite samples are clamped to
//    the top or bottom edge like any value outside [vBot, vTop].
//  - x is lowered to W if rounding in the accumulation carries it past the
//    right edge.
class CPlotTrace {
 public:
  // Prepares channel `channel` of `c3d` for a client of width x height
  // pixels (each clamped by ClampPlotSize). When c3d is null or channel is
  // not an index of m_analogs, nothing is drawn (Draws() is false). When
  // the channel has no samples (n <= 0, including a last frame below the
  // first) or its block holds fewer than n samples, only the background and
  // grid are drawn (Draws() true, Count() 0).
  CPlotTrace(const CC3d* c3d, int channel, int width, int height);

  // The trace of the samples [range.first, range.last) alone, drawn by the
  // same rules as a channel holding only those samples: n is the range's
  // length, and the extremes are those the loader computes for such a
  // channel (NaN when its first sample is NaN, else the smallest and
  // largest value that is not NaN). A range covering the whole channel
  // keeps the channel's stored m_fMin and m_fMax, so it draws exactly as
  // the constructor above. The range is clamped into [0, n); an empty range
  // draws the background and grid only. `summary`, when given for the same
  // channel, finds the range's extremes without reading every sample.
  CPlotTrace(const CC3d* c3d, int channel, int width, int height, PlotRange range,
             const CPlotSummary* summary = nullptr);

  // True when the plot draws at all (background, grid and any trace).
  bool Draws() const { return m_draws; }
  // Number of trace vertices: one per sample, 0 when there is no trace.
  std::int64_t Count() const { return m_count; }
  // True when every vertex gets a marker: W > 10 x n, n > 0.
  bool HasMarkers() const { return m_markers; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Index in the channel of the first vertex's sample (0 for the whole channel).
  std::int64_t First() const { return m_first; }
  // The float added to x from one vertex to the next (0 with one sample).
  float XStep() const { return m_xStep; }
  // The row, in [0, H], of a vertex whose raw sample is `raw` (an int16
  // sample converted to float): what Walk gives for that sample.
  int Row(float raw) const;

  // Calls onVertex(PlotPoint) for each sample in order and, when
  // HasMarkers(), onMarker(PlotRect) right after the vertex of the same
  // sample. The first vertex is also the start of the path (its segment
  // has zero length). Allocates nothing.
  template <class VertexFn, class MarkerFn>
  void Walk(VertexFn&& onVertex, MarkerFn&& onMarker) const;

  // Walk without the markers.
  template <class VertexFn>
  void WalkVertices(VertexFn&& onVertex) const {
    Walk(onVertex, [](const PlotRect&) {});
  }

 private:
  enum class Mode { Flat, Single, Double };

  template <class T, class Raw, class VertexFn, class MarkerFn>
  void WalkSamples(const Raw* raw, T vBot, T yScale, VertexFn& onVertex, MarkerFn& onMarker) const;
  // The unrounded row of a raw sample, in [0, H]: (raw - offset) x scale in
  // single precision, as GetScaledSample, then mapped into the band.
  template <class T>
  T MapRow(float raw, T vBot, T yScale) const;
  void Prepare(const CC3d& c3d, const CAnalog& analog, std::int64_t first, std::int64_t n,
               float rawMin, float rawMax);

  const CAnalog* m_analog = nullptr;
  bool m_integerData = true;
  bool m_draws = false;
  bool m_markers = false;
  std::int64_t m_count = 0;
  std::int64_t m_first = 0;
  int m_width = 0;
  int m_height = 0;
  Mode m_mode = Mode::Flat;
  float m_offset = 0.0f;
  float m_scale = 1.0f;
  float m_vBot = 0.0f;
  float m_yScale = 0.0f;
  double m_vBotWide = 0.0;
  double m_yScaleWide = 0.0;
  float m_xStep = 0.0f;
};

// Everything a paint draws, materialised (for tests, the command-line
// tool's --geometry output and small channels). Empty when Draws() is false.
struct PlotGeometry {
  bool draws = false;
  std::vector<PlotLine> grid;
  std::vector<PlotPoint> trace;
  std::vector<PlotRect> markers;
};

PlotGeometry ComputePlotGeometry(const CC3d* c3d, int channel, int width, int height);

// --- template implementation ---

template <class VertexFn, class MarkerFn>
void CPlotTrace::Walk(VertexFn&& onVertex, MarkerFn&& onMarker) const {
  if (m_count <= 0) return;
  // Each branch converts samples exactly as CAnalog::GetScaledSample does.
  const bool wide = m_mode == Mode::Double;
  if (m_integerData) {
    if (wide)
      WalkSamples<double>(m_analog->IntSamples() + m_first, m_vBotWide, m_yScaleWide, onVertex,
                          onMarker);
    else
      WalkSamples<float>(m_analog->IntSamples() + m_first, m_vBot, m_yScale, onVertex, onMarker);
  } else {
    if (wide)
      WalkSamples<double>(m_analog->FloatSamples() + m_first, m_vBotWide, m_yScaleWide, onVertex,
                          onMarker);
    else
      WalkSamples<float>(m_analog->FloatSamples() + m_first, m_vBot, m_yScale, onVertex, onMarker);
  }
}

template <class T, class Raw, class VertexFn, class MarkerFn>
void CPlotTrace::WalkSamples(const Raw* raw, T vBot, T yScale, VertexFn& onVertex,
                             MarkerFn& onMarker) const {
  const T bottom = static_cast<T>(m_height);
  const float right = static_cast<float>(m_width);
  const bool flat = m_mode == Mode::Flat;
  float x = 0.0f;
  for (std::int64_t i = 0; i < m_count; ++i) {
    const T y = flat ? bottom : MapRow<T>(static_cast<float>(raw[i]), vBot, yScale);
    const float xc = x < right ? x : right;
    // Both lie in [0, kPlotMaxSize] and are not NaN: truncation is defined.
    onVertex(PlotPoint{static_cast<int>(xc), static_cast<int>(y)});
    if (m_markers) {
      // The marker box spans 2 pixels either way of the unrounded point.
      onMarker(PlotRect{static_cast<int>(xc - 2.0f), static_cast<int>(y - T(2)),
                        static_cast<int>(xc + 2.0f), static_cast<int>(y + T(2))});
    }
    x += m_xStep;
  }
}

inline int CPlotTrace::Row(float raw) const {
  // MapRow's result lies in [0, H] and is not NaN: the truncation is defined.
  switch (m_mode) {
    case Mode::Single:
      return static_cast<int>(MapRow<float>(raw, m_vBot, m_yScale));
    case Mode::Double:
      return static_cast<int>(MapRow<double>(raw, m_vBotWide, m_yScaleWide));
    case Mode::Flat:
      break;
  }
  return m_height;
}

template <class T>
T CPlotTrace::MapRow(float raw, T vBot, T yScale) const {
  const T bottom = static_cast<T>(m_height);
  // (raw - offset) x scale in single precision, as GetScaledSample.
  const float v = (raw - m_offset) * m_scale;
  T y = bottom - (static_cast<T>(v) - vBot) * yScale;
  if (y < T(0)) y = T(0);
  if (y > bottom) y = bottom;
  if (y != y) y = bottom;  // NaN: a NaN sample, or 0 x infinity
  return y;
}
