#include "gui/render/PlotRender.h"

#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <algorithm>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotPath.h"
#include "core/plot/PlotSummary.h"
#include "core/plot/PlotTracePath.h"
#include "gui/render/PolylineRaster.h"

namespace {

// One device pixel wide at any scale. Flat caps draw nothing past a line's
// ends (the Windows line even leaves out its end point).
QPen CosmeticPen(const QColor& color, Qt::PenStyle style) {
  QPen pen(color, 1, style, Qt::FlatCap, Qt::MiterJoin);
  pen.setCosmetic(true);
  return pen;
}

// The marker box excludes its right column and bottom row. An aliased
// ellipse path through pixel centres, half a pixel in from the box's
// corner, stays on the box's pixels (and rounds a 4 x 4 box's corners).
QRectF EllipseBox(const PlotRect& r) {
  return QRectF(r.left + 0.5, r.top + 0.5, r.right - r.left - 1, r.bottom - r.top - 1);
}

void DrawTraceWithMarkers(QPainter& painter, const CPlotTrace& trace) {
  QPoint previous;
  bool first = true;
  trace.Walk(
      [&](const PlotPoint& p) {
        const QPoint point(p.x, p.y);
        // The first segment starts where the path starts: zero length, nothing drawn.
        if (!first && point != previous) painter.drawLine(previous, point);
        previous = point;
        first = false;
      },
      [&](const PlotRect& r) { painter.drawEllipse(EllipseBox(r)); });
}

void DrawTrace(QPainter& painter, const CPlotTrace& trace, PlotPath path,
               const CPlotSummary* summary) {
  std::vector<QPoint> points;
  const auto add = [&points](const PlotPoint& p) { points.emplace_back(p.x, p.y); };
  // The summary pays off with many samples per column; with few, walking
  // them is as quick, and the column table (W + 2 entries) is not needed.
  const bool manyPerColumn = trace.Count() / 4 > static_cast<std::int64_t>(trace.Width());
  if (path == PlotPath::Merged && summary != nullptr && manyPerColumn) {
    const std::vector<PlotPoint> merged = SummarisedTracePath(trace, *summary);
    points.resize(merged.size());
    for (std::size_t k = 0; k < merged.size(); ++k) points[k] = QPoint(merged[k].x, merged[k].y);
  } else if (path == PlotPath::Merged) {
    CColumnMerger merger(add);
    trace.WalkVertices([&merger](const PlotPoint& p) { merger.Push(p); });
    merger.Finish();
  } else {
    points.reserve(static_cast<std::size_t>(trace.Count()));
    trace.WalkVertices(add);
  }
  // One polyline: how the painter joins segments depends on the segment
  // before, so the path is never split.
  DrawPolyline(painter, points.data(), static_cast<int>(points.size()));
}

}  // namespace

PlotColors PlotColorsFrom(const QPalette& palette) {
  return PlotColors{palette.color(QPalette::Base), palette.color(QPalette::Highlight)};
}

PlotColors ClassicPlotColors() { return PlotColors{QColor(255, 255, 255), QColor(0, 0, 128)}; }

void RenderAnalogPlot(QPainter& painter, const QRect& rect, const CC3d* c3d, int channel,
                      const PlotColors& colors, PlotPath path) {
  RenderAnalogPlot(painter, rect, c3d, channel, colors, PlotRange{}, nullptr, path);
}

void RenderAnalogPlot(QPainter& painter, const QRect& rect, const CC3d* c3d, int channel,
                      const PlotColors& colors, PlotRange range, const CPlotSummary* summary,
                      PlotPath path) {
  // A summary of another channel or file is not used.
  if (summary != nullptr && (c3d == nullptr || !summary->Describes(*c3d, channel)))
    summary = nullptr;
  const CPlotTrace trace(c3d, channel, rect.width(), rect.height(), range, summary);
  if (!trace.Draws()) return;
  const int width = trace.Width();
  const int height = trace.Height();

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.translate(rect.topLeft());

  painter.fillRect(QRect(0, 0, width, height), colors.window);

  painter.setPen(CosmeticPen(QColor(128, 128, 128), Qt::DotLine));
  for (const PlotLine& line : PlotGrid(width, height))
    painter.drawLine(line.x1, line.y1, line.x2, line.y2);

  painter.setPen(CosmeticPen(colors.trace, Qt::SolidLine));
  painter.setBrush(Qt::white);
  if (trace.HasMarkers())
    DrawTraceWithMarkers(painter, trace);
  else
    DrawTrace(painter, trace, path, summary);

  painter.restore();
}

QColor OverlayTraceColor() { return QColor(224, 112, 0); }

void RenderOverlayTrace(QPainter& painter, const QRect& rect, const CC3d* c3d, int channel,
                        const QColor& color, PlotRange range, const CPlotSummary* summary) {
  if (summary != nullptr && (c3d == nullptr || !summary->Describes(*c3d, channel)))
    summary = nullptr;
  const CPlotTrace trace(c3d, channel, rect.width(), rect.height(), range, summary);
  if (!trace.Draws() || trace.Count() == 0) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.translate(rect.topLeft());
  painter.setPen(CosmeticPen(color, Qt::SolidLine));
  painter.setBrush(Qt::white);
  if (trace.HasMarkers())
    DrawTraceWithMarkers(painter, trace);
  else
    DrawTrace(painter, trace, PlotPath::Merged, summary);
  painter.restore();
}

QColor EventColor(char side) {
  switch (side) {
    case 'L':
      return QColor(192, 0, 0);
    case 'R':
      return QColor(0, 128, 0);
    default:
      return QColor(128, 0, 128);
  }
}

void RenderPlotEvents(QPainter& painter, const QRect& rect,
                      const std::vector<PlotEventMark>& marks) {
  if (marks.empty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.translate(rect.topLeft());
  QFont font = painter.font();
  font.setPixelSize(10);
  painter.setFont(font);
  const int ascent = QFontMetrics(font).ascent();
  for (const PlotEventMark& m : marks) {
    painter.setPen(CosmeticPen(EventColor(m.side), Qt::SolidLine));
    painter.drawLine(m.x, 0, m.x, rect.height());
    painter.drawText(m.x + 2, ascent + 1, QString::fromLatin1(m.label.c_str()));
  }
  painter.restore();
}
