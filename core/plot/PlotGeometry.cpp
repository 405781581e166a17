#include "core/plot/PlotGeometry.h"

#include <algorithm>
#include <cmath>

#include "core/c3d/SampleExtremes.h"
#include "core/plot/PlotSummary.h"

int ClampPlotSize(int size) { return std::clamp(size, 0, kPlotMaxSize); }

namespace {

int ClampCoordinate(int c) { return std::clamp(c, -kPlotMaxSize, kPlotMaxSize); }

}  // namespace

std::vector<PlotLine> PlotGridLines(int top, int bottom, int left, int right, int clientTop,
                                    int clientBottom) {
  top = ClampCoordinate(top);
  bottom = ClampCoordinate(bottom);
  left = ClampCoordinate(left);
  right = ClampCoordinate(right);
  clientTop = ClampCoordinate(clientTop);
  clientBottom = ClampCoordinate(clientBottom);

  std::vector<PlotLine> lines;
  lines.reserve(16);

  // Five horizontal lines, from the bottom up, each a quarter of the box apart.
  const float rowStep = static_cast<float>(bottom - top) * 0.25f;
  for (int j = 0; j <= 4; ++j) {
    const float y = static_cast<float>(bottom) - static_cast<float>(j) * rowStep;
    if (static_cast<float>(clientTop) <= y && y <= static_cast<float>(clientBottom)) {
      // y lies within the clamped client rows: the truncation is defined.
      const int row = static_cast<int>(y);
      lines.push_back({left, row, right, row});
    }
  }

  // Eleven vertical lines, a tenth of the box apart, both edges included.
  // Their ends are clamped into the client rows: top is raised first, then
  // lowered; bottom is lowered first, then raised.
  const float colStep = static_cast<float>(right - left) * 0.1f;
  if (top < clientTop) top = clientTop;
  if (top > clientBottom) top = clientBottom;
  if (bottom > clientBottom) bottom = clientBottom;
  if (bottom < clientTop) bottom = clientTop;
  for (int k = 0; k <= 10; ++k) {
    // left + k x colStep stays within about twice kPlotMaxSize: defined truncation.
    const int x = static_cast<int>(static_cast<float>(left) + static_cast<float>(k) * colStep);
    lines.push_back({x, top, x, bottom});
  }
  return lines;
}

std::vector<PlotLine> PlotGrid(int width, int height) {
  width = ClampPlotSize(width);
  height = ClampPlotSize(height);
  return PlotGridLines(0, height, 0, width, 0, height);
}

namespace {

// The channel at `channel` of c3d, or nullptr when there is none.
const CAnalog* ChannelOf(const CC3d* c3d, int channel) {
  if (c3d == nullptr || channel < 0 || static_cast<std::size_t>(channel) >= c3d->m_analogs.size())
    return nullptr;
  return c3d->m_analogs[static_cast<std::size_t>(channel)].get();
}

// Samples per channel that can be walked: n, or 0 when there are none or the
// block holds fewer than n samples.
std::int64_t WalkableCount(const CC3d& c3d, const CAnalog& analog) {
  // In 64 bits: frames x S can pass 2^31.
  const std::int64_t n = c3d.SamplesPerChannel();
  if (n <= 0) return 0;
  if (analog.m_pSamples.size() / c3d.SampleWidth() < static_cast<std::uint64_t>(n)) return 0;
  return n;
}

}  // namespace

CPlotTrace::CPlotTrace(const CC3d* c3d, int channel, int width, int height)
    : m_width(ClampPlotSize(width)), m_height(ClampPlotSize(height)) {
  const CAnalog* analog = ChannelOf(c3d, channel);
  if (analog == nullptr) return;
  m_draws = true;
  const std::int64_t n = WalkableCount(*c3d, *analog);
  if (n > 0) Prepare(*c3d, *analog, 0, n, analog->m_fMin, analog->m_fMax);
}

CPlotTrace::CPlotTrace(const CC3d* c3d, int channel, int width, int height, PlotRange range,
                       const CPlotSummary* summary)
    : m_width(ClampPlotSize(width)), m_height(ClampPlotSize(height)) {
  const CAnalog* analog = ChannelOf(c3d, channel);
  if (analog == nullptr) return;
  m_draws = true;
  const std::int64_t n = WalkableCount(*c3d, *analog);
  const std::int64_t first = std::clamp<std::int64_t>(range.first, 0, n);
  const std::int64_t last = std::clamp<std::int64_t>(range.last, 0, n);
  if (first >= last) return;
  if (first == 0 && last == n) {
    Prepare(*c3d, *analog, 0, n, analog->m_fMin, analog->m_fMax);
    return;
  }
  // The extremes the loader would store for a channel of these samples
  // alone; the summary, when it describes this channel, gives the same
  // scan without reading every sample.
  const auto count = static_cast<std::size_t>(last - first);
  const auto from = static_cast<std::size_t>(first);
  const bool integer = c3d->m_bIntegerData;
  const c3d::SampleExtremes e = summary != nullptr && summary->Describes(*c3d, channel)
                                    ? summary->Extremes(first, last)
                                : integer ? c3d::ScanExtremes(analog->IntSamples() + from, count)
                                          : c3d::ScanExtremes(analog->FloatSamples() + from, count);
  const float firstRaw =
      integer ? static_cast<float>(analog->IntSamples()[from]) : analog->FloatSamples()[from];
  float rawMin = 0.0f;
  float rawMax = 0.0f;
  c3d::WalkExtremes(e, firstRaw, rawMin, rawMax);
  Prepare(*c3d, *analog, first, last - first, rawMin, rawMax);
}

void CPlotTrace::Prepare(const CC3d& c3d, const CAnalog& analog, std::int64_t first, std::int64_t n,
                         float rawMin, float rawMax) {
  m_analog = &analog;
  m_integerData = c3d.m_bIntegerData;
  m_first = first;
  m_count = n;
  m_offset = analog.m_fOffset;
  m_scale = analog.m_fScale;

  // The value range, its ends exchanged when a negative scale reverses them.
  float lo = 0.0f;
  float hi = 0.0f;
  c3d::PhysicalExtremes(analog, rawMin, rawMax, lo, hi);
  const float mid = (hi + lo) * 0.5f;
  const float half = (hi - lo) * 0.5f;
  const float vTop = mid + half;
  const float vBot = mid - half;
  const float yScale = static_cast<float>(m_height) / (vTop - vBot);

  if (std::isfinite(vTop) && std::isfinite(vBot) && vTop > vBot && std::isfinite(yScale)) {
    m_mode = Mode::Single;
    m_vBot = vBot;
    m_yScale = yScale;
  } else if (std::isfinite(lo) && std::isfinite(hi) && lo < hi) {
    // The float span or scale overflowed; in double the difference of two
    // distinct finite floats is finite and non-zero, and H over it finite.
    const double midWide = (static_cast<double>(hi) + lo) * 0.5;
    const double halfWide = (static_cast<double>(hi) - lo) * 0.5;
    m_mode = Mode::Double;
    m_vBotWide = midWide - halfWide;
    m_yScaleWide = static_cast<double>(m_height) / ((midWide + halfWide) - m_vBotWide);
  } else {
    // A constant signal (vTop == vBot) has no vertical scale, and NaN or
    // infinite extremes no range: every point goes to the bottom edge.
    m_mode = Mode::Flat;
  }

  // With one sample there is only x = 0 and the step is never used. The
  // count is rounded to a float: the walk accumulates x in single precision.
  if (n > 1) m_xStep = static_cast<float>(m_width) / static_cast<float>(n - 1);

  // Markers only when the width exceeds ten pixels per sample (the width
  // compared as an unsigned number, the product in 64 bits).
  m_markers = static_cast<std::uint64_t>(m_width) > 10u * static_cast<std::uint64_t>(n);
}

PlotGeometry ComputePlotGeometry(const CC3d* c3d, int channel, int width, int height) {
  PlotGeometry geometry;
  const CPlotTrace trace(c3d, channel, width, height);
  if (!trace.Draws()) return geometry;
  geometry.draws = true;
  geometry.grid = PlotGrid(trace.Width(), trace.Height());
  geometry.trace.reserve(static_cast<std::size_t>(trace.Count()));
  if (trace.HasMarkers()) geometry.markers.reserve(static_cast<std::size_t>(trace.Count()));
  trace.Walk([&](const PlotPoint& p) { geometry.trace.push_back(p); },
             [&](const PlotRect& r) { geometry.markers.push_back(r); });
  return geometry;
}
