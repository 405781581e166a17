#include "gui/sound/PlotSelection.h"

#include <QPainter>
#include <QPalette>
#include <QRect>
#include <algorithm>
#include <cmath>

#include "core/Messages.h"

namespace {

// The wash's opacity, out of 255: light enough to read the trace through.
constexpr int kShadeAlpha = 70;

}  // namespace

std::optional<PlotRange> CPlotSelection::Of(const CC3d* c3d, int channel,
                                            std::int64_t count) const {
  if (!m_selected || c3d != m_c3d || channel != m_channel || count != m_count) return std::nullopt;
  return m_range;
}

void CPlotSelection::Set(const CC3d* c3d, int channel, std::int64_t count, PlotRange range) {
  m_selected = true;
  m_c3d = c3d;
  m_channel = channel;
  m_count = count;
  m_range = range;
}

namespace plotselection {

std::optional<PlotRange> Between(double a, double b, std::int64_t count) {
  if (!std::isfinite(a) || !std::isfinite(b) || count < 1) return std::nullopt;
  // Clamped to the channel before rounding: the conversions are defined.
  const double top = static_cast<double>(count);
  const auto first = std::llround(std::clamp(std::min(a, b), 0.0, top));
  const auto last = std::llround(std::clamp(std::max(a, b), 0.0, top));
  if (last - first < 1) return std::nullopt;
  return PlotRange{first, last};
}

QString Describe(PlotRange range, double perSample) {
  // As many decimals as a sample period needs (1 ms: 3).
  const int decimals =
      perSample > 0.0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(perSample))), 0, 9) : 0;
  const auto seconds = [&](std::int64_t samples) {
    return QString::number(static_cast<double>(samples) * perSample, 'f', decimals);
  };
  return QString::fromLatin1(Messages::kPlotSelection)
      .arg(seconds(range.first), seconds(range.last), seconds(range.last - range.first));
}

void Shade(QPainter& painter, const QRect& inside, double left, double right,
           const QPalette& palette) {
  right = std::max(right, left + 1.0);  // a selection narrower than a column still shows
  QColor wash = palette.color(QPalette::Highlight);
  wash.setAlpha(kShadeAlpha);
  const QRectF area(
      QPointF(std::max(left, static_cast<double>(inside.left())), inside.top()),
      QPointF(std::min(right, static_cast<double>(inside.right()) + 1.0), inside.bottom() + 1.0));
  if (area.width() <= 0.0) return;
  painter.save();
  painter.setClipRect(inside);
  painter.fillRect(area, wash);
  painter.restore();
}

}  // namespace plotselection
