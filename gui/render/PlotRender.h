#pragma once

#include <QColor>
#include <string>
#include <vector>

#include "core/plot/PlotEvents.h"
#include "core/plot/PlotGeometry.h"

class CC3d;
class CPlotSummary;
class QPainter;
class QPalette;
class QRect;

// The colours of one paint of the waveform plot. The grid grey
// (RGB 128, 128, 128) and the white fill of the sample markers are fixed.
struct PlotColors {
  QColor window;  // background fill: the system's window colour
  QColor trace;   // trace and marker outlines: the active caption colour
};

// How the trace reaches the painter. Merged (the default) hands it the
// shortened path of CColumnMerger, which covers the same pixels as the path
// through every sample at a fraction of the cost; EverySample hands it every
// vertex and serves to prove that the two drawings are identical.
enum class PlotPath { Merged, EverySample };

// The palette's stand-ins for the system colours: Base for the window
// background, Highlight for the active caption.
PlotColors PlotColorsFrom(const QPalette& palette);

// Colours that depend on no platform theme (for drawing without an
// application object): the classic Windows scheme's window white and
// active caption navy, RGB(0, 0, 128).
PlotColors ClassicPlotColors();

// Draws the waveform plot of channel `channel` of `c3d` into `rect` (in the
// painter's logical, device-independent pixels; the plot's client origin is
// rect.topLeft() and its size rect.size()): the background fill, the dotted
// grid, the trace and, when the width exceeds ten pixels per sample, the
// sample markers, all clipped to `rect`. Draws nothing when c3d is null or
// channel is not one of its analog channels (-1 included). Pens are cosmetic
// and one device pixel wide and nothing is antialiased, so the drawing stays
// sharp at any device pixel ratio. The painter's state is restored after.
// Works on any paint device: a widget, a QImage, a QSvgGenerator.
void RenderAnalogPlot(QPainter& painter, const QRect& rect, const CC3d* c3d, int channel,
                      const PlotColors& colors, PlotPath path = PlotPath::Merged);

// The same drawing for the samples [range.first, range.last) of the channel
// alone, drawn as a channel holding only those samples (CPlotTrace's range
// rules); the whole channel as a range draws exactly as above. `summary`,
// when it describes this channel, makes the merged path's cost independent
// of the number of samples (pixel for pixel the same drawing) where there
// are more than four samples per column; otherwise the path is merged from
// every sample.
void RenderAnalogPlot(QPainter& painter, const QRect& rect, const CC3d* c3d, int channel,
                      const PlotColors& colors, PlotRange range, const CPlotSummary* summary,
                      PlotPath path = PlotPath::Merged);

// The colour of a second channel's trace drawn over the first: orange,
// apart from the trace's caption blue and the events' colours.
QColor OverlayTraceColor();

// Draws the trace of `channel` over the samples [range.first, range.last)
// into `rect` over what is there, in `color`: the trace (and sample
// markers) RenderAnalogPlot draws for it, fitted to its own extremes, with
// neither background nor grid. Draws nothing when c3d is null or channel
// is not one of its analog channels. `summary` as for RenderAnalogPlot.
void RenderOverlayTrace(QPainter& painter, const QRect& rect, const CC3d* c3d, int channel,
                        const QColor& color, PlotRange range, const CPlotSummary* summary);

// The colour of an event of this side: left red, right green, general purple.
QColor EventColor(char side);

// Draws each mark into `rect` (its origin the plot's): a cosmetic one-pixel
// vertical line over the whole height and its label in the top left corner
// beside the line. Text needs a QGuiApplication. The painter's state is
// restored after.
void RenderPlotEvents(QPainter& painter, const QRect& rect,
                      const std::vector<PlotEventMark>& marks);
