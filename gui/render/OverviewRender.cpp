#include "gui/render/OverviewRender.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"

namespace {

constexpr int kMargin = 4;               // pixels around a heading and a ruler label
constexpr int kTickLength = 4;           // rows a ruler tick reaches down from its line
constexpr int kLabelSpacing = 12;        // least blank between two ruler labels
const QColor kSeparator(128, 128, 128);  // the plot grid's grey

}  // namespace

OverviewLayout LayoutOverview(int width, int height, int lanes, int labelWidth, int rulerHeight) {
  OverviewLayout layout;
  layout.labelWidth = std::clamp(labelWidth, 0, std::max(width, 0));
  const int rows = height - std::max(rulerHeight, 0);
  if (lanes <= 0 || rows / lanes < 2 || layout.labelWidth >= width) return layout;
  const int laneWidth = width - layout.labelWidth;
  for (int k = 0; k < lanes; ++k) {
    // 64-bit products: k x rows reaches 2^30 for the largest pictures.
    const auto top = static_cast<int>(static_cast<std::int64_t>(k) * rows / lanes);
    const auto next = static_cast<int>(static_cast<std::int64_t>(k + 1) * rows / lanes);
    layout.lanes.emplace_back(layout.labelWidth, top, laneWidth, next - top - 1);
  }
  layout.ruler = QRect(layout.labelWidth, rows, laneWidth, height - rows);
  return layout;
}

double RulerTickStep(double seconds, int pixels, int minPixels) {
  if (!(seconds > 0.0) || pixels <= 0) return 1.0;
  const double least = seconds * std::max(1, minPixels) / pixels;
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double m : {1.0, 2.0, 5.0})
    if (m * power >= least) return m * power;
  return 10.0 * power;
}

int OverviewLabelWidth(const QFontMetrics& metrics, const std::vector<std::string>& headings,
                       int width) {
  int widest = 0;
  for (const std::string& h : headings)
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(h)));
  // One more pixel: elidedText measures in fractions of a pixel and elides
  // a text exactly as wide as its room.
  return std::min(widest + 2 * kMargin + 1, width / 3);
}

int OverviewRulerHeight(const QFontMetrics& metrics) {
  return kTickLength + metrics.height() + kMargin;
}

void RenderOverview(QPainter& painter, const OverviewLayout& layout, const CC3d& c3d,
                    const std::vector<int>& channels, PlotRange range, const PlotColors& colors) {
  painter.save();
  painter.fillRect(painter.window(), colors.window);
  const std::vector<std::string> headings = AnalogChannelHeadings(c3d);
  const QFontMetrics metrics = painter.fontMetrics();
  const std::size_t lanes = std::min(layout.lanes.size(), channels.size());
  for (std::size_t k = 0; k < lanes; ++k) {
    const QRect& lane = layout.lanes[k];
    const int channel = channels[k];
    RenderAnalogPlot(painter, lane, &c3d, channel, colors, range, nullptr);
    painter.setPen(kSeparator);
    painter.drawLine(0, lane.bottom() + 1, lane.right(), lane.bottom() + 1);
    if (channel < 0 || static_cast<std::size_t>(channel) >= headings.size()) continue;
    const QRect box(kMargin, lane.top(), layout.labelWidth - 2 * kMargin, lane.height());
    const QString heading = QString::fromLatin1(headings[static_cast<std::size_t>(channel)]);
    painter.setPen(colors.trace);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(heading, Qt::ElideRight, box.width()));
  }

  // The ruler: the range's seconds under the lanes' columns. Sample j of the
  // range lies at x = j x W / (n - 1) from a lane's left edge, as the trace
  // places it.
  const double rate = static_cast<double>(c3d.AnalogRate());
  const std::int64_t count = std::max<std::int64_t>(c3d.SamplesPerChannel(), 0);
  const std::int64_t first = std::clamp<std::int64_t>(range.first, 0, count);
  const std::int64_t last = std::clamp<std::int64_t>(range.last, first, count);
  const QRect& ruler = layout.ruler;
  if (lanes > 0 && rate > 0.0 && std::isfinite(rate) && last - first >= 2) {
    const double start = static_cast<double>(first) / rate;
    const double end = static_cast<double>(last - 1) / rate;
    const double columnsPerSecond = ruler.width() * rate / static_cast<double>(last - first - 1);
    const QString format = QString::fromLatin1(Messages::kPlotRulerLabel);
    const QString widest = format.arg(QString::number(end, 'f', 6).left(9));
    const double step = RulerTickStep(end - start, ruler.width(),
                                      metrics.horizontalAdvance(widest) + kLabelSpacing);
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 9);
    painter.setPen(kSeparator);
    painter.drawLine(ruler.left(), ruler.top(), ruler.right(), ruler.top());
    painter.setPen(colors.trace);
    for (double t = std::ceil(start / step); t * step <= end; t += 1.0) {
      const double seconds = t * step;
      // Truncated as the trace's columns are; inside the ruler by the loop's bound.
      const int x = ruler.left() + static_cast<int>((seconds - start) * columnsPerSecond);
      painter.drawLine(x, ruler.top(), x, ruler.top() + kTickLength);
      const QString label = format.arg(QString::number(seconds, 'f', decimals));
      const int w = metrics.horizontalAdvance(label);
      // Centred under the tick, kept inside the picture.
      const int left = std::clamp(x - w / 2, 0, std::max(0, ruler.right() + 1 - w));
      painter.drawText(QRect(left, ruler.top() + kTickLength, w, metrics.height()),
                       Qt::AlignLeft | Qt::AlignTop, label);
    }
  }
  painter.restore();
}
