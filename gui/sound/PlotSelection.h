#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "core/plot/PlotGeometry.h"

class CC3d;
class QPainter;
class QPalette;
class QRect;

// A time range selected on the sound dialog's plot (Shift+drag): the
// stored values [first, last) of one channel of one file, and the helpers
// that turn pointer positions into such a range, describe it and shade it.
// A plain value the plot (CAnalogPlot) keeps; it remembers which channel
// of which file it belongs to, so another channel shows none.
class CPlotSelection {
 public:
  // The selected values when they belong to `channel` of `c3d` as it holds
  // `count` values per channel now; none otherwise or when nothing is selected.
  std::optional<PlotRange> Of(const CC3d* c3d, int channel, std::int64_t count) const;
  // Selects `range` (at least one value, within [0, count)) of that channel.
  void Set(const CC3d* c3d, int channel, std::int64_t count, PlotRange range);
  void Clear() { m_selected = false; }

 private:
  bool m_selected = false;
  const CC3d* m_c3d = nullptr;
  int m_channel = -1;
  std::int64_t m_count = 0;
  PlotRange m_range;
};

namespace plotselection {

// The values between fractional sample positions a and b (either order):
// [round(min), round(max)) clamped to [0, count), as the command line's
// --from and --to round their seconds. None when that holds no value (a
// selection shorter than one sample is a click).
std::optional<PlotRange> Between(double a, double b, std::int64_t count);

// The readout's description of a selection: its start, end and length in
// seconds (start = first x perSample, end = last x perSample), with as
// many decimals as a sample period needs.
QString Describe(PlotRange range, double perSample);

// Shades the columns left to right (widget pixels, fractional) of the plot
// area `inside`: a translucent wash of the palette's highlight colour, so
// the trace and grid stay visible under it.
void Shade(QPainter& painter, const QRect& inside, double left, double right,
           const QPalette& palette);

}  // namespace plotselection
