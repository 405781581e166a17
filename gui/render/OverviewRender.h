#pragma once

#include <QRect>
#include <string>
#include <vector>

#include "core/plot/PlotGeometry.h"
#include "gui/render/PlotRender.h"

class CC3d;
class QFontMetrics;
class QPainter;

// The stacked view of a recording drawn for a report: the chosen channels as
// lanes one above the other, in the order given, on one time axis. Each lane
// is the sound dialog's plot of the same range at the lane's size
// (RenderAnalogPlot into the lane's rectangle), headed at the left by the
// channel's label and units, with a time ruler in seconds under the lanes.

// Where the parts of a stacked view go. Computed without text, so the
// arithmetic is testable apart from fonts.
struct OverviewLayout {
  int labelWidth = 0;        // columns [0, labelWidth) hold the headings
  std::vector<QRect> lanes;  // each lane's plot rectangle, top to bottom
  QRect ruler;               // the rows under the lanes, as wide as the lanes
};

// The layout of `lanes` lanes in a width x height picture: the ruler takes
// the bottom `rulerHeight` rows, the lanes share the rows A = height -
// rulerHeight above it, lane k taking rows [k x A / lanes, (k + 1) x A /
// lanes) of which the last is a separator, and columns [labelWidth, width).
// No lanes when `lanes` is not positive, when a lane would get fewer than
// two rows (one to draw and the separator) or labelWidth leaves no column.
OverviewLayout LayoutOverview(int width, int height, int lanes, int labelWidth, int rulerHeight);

// The seconds between two labelled ticks of a time ruler for a span of
// `seconds` over `pixels`: 1, 2 or 5 times a power of ten, at least
// `minPixels` apart (1 when the span or the width is not positive).
double RulerTickStep(double seconds, int pixels, int minPixels);

// The heading column a stacked view of `width` pixels gives `headings` in
// `metrics`' font: the widest heading and a margin, at most a third of the
// width.
int OverviewLabelWidth(const QFontMetrics& metrics, const std::vector<std::string>& headings,
                       int width);
// The ruler's rows in `metrics`' font: a tick and a line of text.
int OverviewRulerHeight(const QFontMetrics& metrics);

// Draws the stacked view of `channels` of `c3d` over the samples `range`
// (clamped to the recording, as the plot clamps it) by `layout` (made for
// channels.size() lanes): the window colour behind everything, each lane's
// plot, a grey separator under each lane, each heading (AnalogChannelHeadings,
// elided to its column) in the painter's font and the trace colour, and the
// ruler's line, ticks and "<seconds> s" labels. Text needs a QGuiApplication.
// Draws only the background when the layout has no lanes. The painter's state
// is restored after.
void RenderOverview(QPainter& painter, const OverviewLayout& layout, const CC3d& c3d,
                    const std::vector<int>& channels, PlotRange range, const PlotColors& colors);
