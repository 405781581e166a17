#include "gui/sound/CAnalogPlot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/plot/PlotSummary.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/WaitCursor.h"
#include "gui/player/SoundPlayer.h"
#include "gui/render/PlotRender.h"

namespace {

// 50 playhead updates a second: smooth, with room to spare under load.
constexpr int kPlayheadIntervalMs = 20;
const QColor kPlayheadColour(220, 0, 0);
// One wheel notch (120 eighths of a degree) shows this share of the range.
constexpr double kZoomPerNotch = 0.8;
// The fewest samples a zoom shows: one segment.
constexpr std::int64_t kFewestSamples = 2;

}  // namespace

CAnalogPlot::CAnalogPlot(QWidget* parent) : QFrame(parent) {
  // A one-pixel sunken edge, as a static control with the sunken style.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setMouseTracking(true);  // the readout follows the mouse without a button held
  m_playheadTimer.setInterval(kPlayheadIntervalMs);
  m_playheadTimer.setTimerType(Qt::PreciseTimer);
  connect(&m_playheadTimer, &QTimer::timeout, this, &CAnalogPlot::OnPlayheadTick);
  setToolTip(QString::fromLatin1(Messages::kPlotZoomHint));
}

CAnalogPlot::~CAnalogPlot() = default;

std::int64_t CAnalogPlot::SampleCount() const {
  if (m_pC3d == nullptr || m_nChannel < 0 ||
      static_cast<std::size_t>(m_nChannel) >= m_pC3d->m_analogs.size())
    return 0;
  return std::max<std::int64_t>(m_pC3d->SamplesPerChannel(), 0);
}

bool CAnalogPlot::IsZoomed() const {
  return m_zoomed && m_zoomC3d == m_pC3d && m_zoomChannel == m_nChannel &&
         SampleCount() == m_zoomCount;
}

PlotRange CAnalogPlot::VisibleRange() const {
  if (IsZoomed()) return PlotRange{m_first, m_last};
  return PlotRange{0, SampleCount()};
}

void CAnalogPlot::SetVisibleRange(std::int64_t first, std::int64_t last) {
  const std::int64_t n = SampleCount();
  const std::int64_t length = std::clamp(last - first, std::min(kFewestSamples, n), n);
  first = std::clamp<std::int64_t>(first, 0, n - length);
  const bool zoomed = length < n;
  if (zoomed == IsZoomed() && (!zoomed || (first == m_first && first + length == m_last))) return;
  m_zoomed = zoomed;
  m_zoomC3d = m_pC3d;
  m_zoomChannel = m_nChannel;
  m_zoomCount = n;
  m_first = first;
  m_last = first + length;
  update();
  emit ViewChanged();
}

void CAnalogPlot::ResetZoom() {
  if (!IsZoomed()) return;
  m_zoomed = false;
  update();
  emit ViewChanged();
}

double CAnalogPlot::SecondsPerSample() const {
  if (m_pC3d == nullptr) return 0.0;
  const double rate = sound::AnalogRate(*m_pC3d);
  return rate > 0.0 && std::isfinite(rate) ? 1.0 / rate : 0.0;
}

double CAnalogPlot::SampleAt(double x) const {
  const PlotRange range = VisibleRange();
  if (range.last <= range.first) return -1.0;
  const QRect inside = contentsRect();
  if (range.last - range.first < 2 || inside.width() <= 0) return static_cast<double>(range.first);
  // Sample j of the range lies at x = j x W / (n - 1) from the client's left edge.
  return static_cast<double>(range.first) +
         (x - inside.left()) * static_cast<double>(range.last - range.first - 1) / inside.width();
}

double CAnalogPlot::ColumnOf(double sample) const {
  const PlotRange range = VisibleRange();
  if (range.last <= range.first) return -1.0;
  const QRect inside = contentsRect();
  if (range.last - range.first < 2) return inside.left();
  return inside.left() + (sample - static_cast<double>(range.first)) * inside.width() /
                             static_cast<double>(range.last - range.first - 1);
}

void CAnalogPlot::StartPlayhead(std::int64_t firstSample) {
  CSoundPlayer* player = CSoundPlayer::Instance();
  if (player == nullptr || !player->IsPlaying()) return;
  connect(player, &CSoundPlayer::Finished, this, &CAnalogPlot::StopPlayhead, Qt::UniqueConnection);
  m_playFirst = firstSample;
  m_playSample = static_cast<double>(firstSample);
  m_playheadTimer.start();
  update();
}

void CAnalogPlot::StopPlayhead() {
  m_playheadTimer.stop();
  if (m_playSample < 0.0) return;
  m_playSample = -1.0;
  update();
}

void CAnalogPlot::OnPlayheadTick() {
  CSoundPlayer* player = CSoundPlayer::Instance();
  const double seconds = player != nullptr ? player->PositionSeconds() : -1.0;
  const double perSample = SecondsPerSample();
  if (seconds < 0.0 || perSample <= 0.0) {
    StopPlayhead();
    return;
  }
  // The build keeps time: t seconds into the sound are t seconds into the channel.
  m_playSample = static_cast<double>(m_playFirst) + seconds / perSample;
  update();
}

int CAnalogPlot::PlayheadX() const {
  if (m_playSample < 0.0 || m_nChannel < 0) return -1;
  const PlotRange range = VisibleRange();
  if (m_playSample < static_cast<double>(range.first) ||
      m_playSample > static_cast<double>(range.last - 1))
    return -1;
  // Within the client's columns: the conversion is defined.
  const int x = static_cast<int>(ColumnOf(m_playSample));
  const QRect inside = contentsRect();
  return std::clamp(x, inside.left(), inside.right());
}

void CAnalogPlot::paintEvent(QPaintEvent* event) {
  if (m_nChannel >= 0) {
    if (m_pC3d != nullptr && (!m_summary || !m_summary->Describes(*m_pC3d, m_nChannel))) {
      // One pass over the channel, once: the only slow part of a paint.
      const CWaitCursor wait;
      m_summary = std::make_unique<CPlotSummary>(*m_pC3d, m_nChannel);
    }
    QPainter painter(this);
    const QRect inside = contentsRect();
    const PlotRange range = VisibleRange();
    RenderAnalogPlot(painter, inside, m_pC3d, m_nChannel, PlotColorsFrom(palette()), range,
                     m_summary.get());
    if (m_nRightChannel >= 0) PaintRightChannel(painter, inside, range);
    if (m_drawnC3d != m_pC3d || m_drawnChannel != m_nChannel || m_drawnRange != range ||
        m_drawnWidth != inside.width()) {
      m_drawnC3d = m_pC3d;
      m_drawnChannel = m_nChannel;
      m_drawnRange = range;
      m_drawnWidth = inside.width();
      emit RangeDrawn();
    }
    const int x = PlayheadX();
    if (x >= 0) {
      painter.setPen(QPen(kPlayheadColour, 1));
      painter.drawLine(x, inside.top(), x, inside.bottom());
    }
  }
  QFrame::paintEvent(event);
}

void CAnalogPlot::PaintRightChannel(QPainter& painter, const QRect& inside, PlotRange range) {
  if (m_pC3d == nullptr || static_cast<std::size_t>(m_nRightChannel) >= m_pC3d->m_analogs.size())
    return;
  if (!m_rightSummary || !m_rightSummary->Describes(*m_pC3d, m_nRightChannel)) {
    const CWaitCursor wait;  // one pass over the channel, once
    m_rightSummary = std::make_unique<CPlotSummary>(*m_pC3d, m_nRightChannel);
  }
  RenderOverlayTrace(painter, inside, m_pC3d, m_nRightChannel, OverlayTraceColor(), range,
                     m_rightSummary.get());
}

void CAnalogPlot::wheelEvent(QWheelEvent* event) {
  const PlotRange range = VisibleRange();
  const double notches = event->angleDelta().y() / 120.0;
  if (range.last - range.first < 1 || notches == 0.0) {
    event->ignore();
    return;
  }
  const double x = event->position().x();
  const double anchor = SampleAt(x);
  const std::int64_t length = range.last - range.first;
  // Within [1, n] before the conversion: a fast wheel can ask for any factor.
  const double scaled = std::clamp(static_cast<double>(length) * std::pow(kZoomPerNotch, notches),
                                   1.0, static_cast<double>(SampleCount()));
  std::int64_t wanted = std::llround(scaled);
  // A notch always changes the range, however few samples it holds.
  if (notches > 0.0) wanted = std::min(wanted, length - 1);
  if (notches < 0.0) wanted = std::max(wanted, length + 1);
  // Keep the sample under the mouse where it is.
  const QRect inside = contentsRect();
  const double share = inside.width() > 0 ? (x - inside.left()) / inside.width() : 0.0;
  const std::int64_t first = std::llround(anchor - share * static_cast<double>(wanted - 1));
  SetVisibleRange(first, first + wanted);
  emit Hovered(x);
  event->accept();
}

void CAnalogPlot::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_nChannel < 0) {
    QFrame::mousePressEvent(event);
    return;
  }
  m_dragging = true;
  m_dragX = event->position().x();
  m_dragFirst = VisibleRange().first;
}

void CAnalogPlot::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  if (m_dragging && IsZoomed()) {
    const PlotRange range = VisibleRange();
    const std::int64_t length = range.last - range.first;
    const double perPixel = static_cast<double>(length - 1) / std::max(1, contentsRect().width());
    const std::int64_t first = m_dragFirst + std::llround((m_dragX - x) * perPixel);
    SetVisibleRange(first, first + length);
  }
  emit Hovered(x);
}

void CAnalogPlot::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragging = false;
  QFrame::mouseReleaseEvent(event);
}

void CAnalogPlot::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    ResetZoom();
    emit Hovered(event->position().x());
  }
}

void CAnalogPlot::leaveEvent(QEvent* event) {
  emit Left();
  QFrame::leaveEvent(event);
}

QString CAnalogPlot::ReadoutAt(double x) const {
  const PlotRange range = VisibleRange();
  if (range.last <= range.first) return QString();
  const auto i = std::clamp<std::int64_t>(std::llround(SampleAt(x)), range.first, range.last - 1);
  const CAnalog& analog = *m_pC3d->m_analogs[static_cast<std::size_t>(m_nChannel)];
  // i < n, and n fits an int after a successful load (GetAnalogSampleCount).
  const float value = analog.GetScaledSample(static_cast<int>(i), analog.m_fOffset, analog.m_fScale,
                                             m_pC3d->m_bIntegerData);
  const double perSample = SecondsPerSample();
  // As many decimals as a sample period needs (1 ms: 3).
  const int decimals =
      perSample > 0.0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(perSample))), 0, 9) : 0;
  const QString units =
      QString::fromLatin1(m_pC3d->GetParameterString("ANALOG", "UNITS", m_nChannel, 0).c_str())
          .trimmed();
  return QString::fromLatin1(Messages::kPlotReadout)
      .arg(QString::number(static_cast<double>(i) * perSample, 'f', decimals),
           QString::number(value, 'g', 6), units)
      .trimmed();
}
