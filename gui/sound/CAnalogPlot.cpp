#include "gui/sound/CAnalogPlot.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/plot/PlotSummary.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/WaitCursor.h"
#include "gui/player/SoundPlayer.h"
#include "gui/render/PlotRender.h"
#include "gui/sound/FilteredPlot.h"

namespace {

// 50 playhead updates a second: smooth, with room to spare under load.
constexpr int kPlayheadIntervalMs = 20;
const QColor kPlayheadColour(220, 0, 0);
// One wheel notch (120 eighths of a degree) shows this share of the range.
constexpr double kZoomPerNotch = 0.8;
// The fewest samples a zoom shows: one segment.
constexpr std::int64_t kFewestSamples = 2;
// "[" or "]" from the whole channel shows this share of it around the event.
constexpr std::int64_t kEventViewShare = 5;

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
  m_pFiltered = new CFilteredPlot(this);
  connect(m_pFiltered, &CFilteredPlot::Ready, this, [this] {
    update();
    // The readout under a mouse that stays put reads the new values.
    if (underMouse()) emit Hovered(mapFromGlobal(QCursor::pos()).x());
  });
  m_pRightFiltered = new CFilteredPlot(this);
  connect(m_pRightFiltered, &CFilteredPlot::Ready, this, qOverload<>(&CAnalogPlot::update));
  // Anywhere in the plot's window, so they work while the plot has no focus.
  for (const auto& [key, direction] :
       {std::pair{Qt::Key_BracketLeft, -1}, std::pair{Qt::Key_BracketRight, 1}}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, d = direction] { GoToEvent(d); });
  }
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

std::optional<PlotRange> CAnalogPlot::Selection() const {
  return m_selection.Of(m_pC3d, m_nChannel, SampleCount());
}

void CAnalogPlot::SetSelection(std::int64_t first, std::int64_t last) {
  const std::int64_t n = SampleCount();
  first = std::clamp<std::int64_t>(first, 0, n);
  last = std::clamp<std::int64_t>(last, 0, n);
  if (last - first < 1) {
    ClearSelection();
    return;
  }
  if (Selection() == PlotRange{first, last}) return;
  m_selection.Set(m_pC3d, m_nChannel, n, PlotRange{first, last});
  update();
  emit SelectionChanged();
}

void CAnalogPlot::ClearSelection() {
  if (!Selection()) return;
  m_selection.Clear();
  update();
  emit SelectionChanged();
}

void CAnalogPlot::OnClick(double x) {
  const std::optional<PlotRange> selected = Selection();
  if (!selected) return;
  const double at = SampleAt(x);
  if (at < static_cast<double>(selected->first) || at > static_cast<double>(selected->last))
    ClearSelection();
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
    const CPlotSummary* summary = m_pC3d != nullptr ? SummaryOf(m_nChannel, m_summary) : nullptr;
    QPainter painter(this);
    const QRect inside = contentsRect();
    const PlotRange range = VisibleRange();
    m_pFiltered->Want(m_pC3d, m_nChannel, m_filters);  // nothing new: nothing done
    const CC3d* filtered = FilteredValues();
    RenderAnalogPlot(painter, inside, filtered != nullptr ? filtered : m_pC3d,
                     filtered != nullptr ? 0 : m_nChannel, PlotColorsFrom(palette()), range,
                     filtered != nullptr ? m_pFiltered->Summary() : summary);
    // No right channel wants nothing (and stops a filtering under way).
    m_pRightFiltered->Want(m_pC3d, m_nRightChannel, m_filters);
    if (m_nRightChannel >= 0) PaintRightChannel(painter, inside, range);
    RenderPlotEvents(painter, inside, EventMarks());
    if (m_drawnC3d != m_pC3d || m_drawnChannel != m_nChannel || m_drawnRange != range ||
        m_drawnWidth != inside.width()) {
      m_drawnC3d = m_pC3d;
      m_drawnChannel = m_nChannel;
      m_drawnRange = range;
      m_drawnWidth = inside.width();
      emit RangeDrawn();
    }
    if (const std::optional<PlotRange> selected = Selection()) {
      plotselection::Shade(painter, inside, ColumnOf(static_cast<double>(selected->first)),
                           ColumnOf(static_cast<double>(selected->last)), palette());
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
  // Through the filters once their values exist; plain until then.
  if (const CC3d* filtered = m_pRightFiltered->ValuesFor(m_pC3d, m_nRightChannel, m_filters)) {
    RenderOverlayTrace(painter, inside, filtered, 0, OverlayTraceColor(), range,
                       m_pRightFiltered->Summary());
    return;
  }
  RenderOverlayTrace(painter, inside, m_pC3d, m_nRightChannel, OverlayTraceColor(), range,
                     SummaryOf(m_nRightChannel, m_rightSummary));
}

void CAnalogPlot::SetSummarySource(std::function<const CPlotSummary*(int channel)> source) {
  m_summarySource = std::move(source);
  update();
}

const CPlotSummary* CAnalogPlot::SummaryOf(int channel, std::unique_ptr<CPlotSummary>& own) {
  if (m_summarySource) {
    const CPlotSummary* shared = m_summarySource(channel);
    if (shared != nullptr && shared->Describes(*m_pC3d, channel)) return shared;
  }
  if (!own || !own->Describes(*m_pC3d, channel)) {
    // One pass over the channel, once: the only slow part of a paint.
    const CWaitCursor wait;
    own = std::make_unique<CPlotSummary>(*m_pC3d, channel);
  }
  return own.get();
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
  if (event->modifiers() & Qt::ShiftModifier) {
    m_selecting = true;
    m_selectFrom = SampleAt(event->position().x());
    m_selectionBefore = Selection();
    return;
  }
  m_dragging = true;
  m_dragMoved = false;
  m_dragX = event->position().x();
  m_dragFirst = VisibleRange().first;
}

void CAnalogPlot::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  if (m_selecting) {
    // Shown as it is made; a stretch of no sample yet shows what was before.
    const std::optional<PlotRange> range =
        plotselection::Between(m_selectFrom, SampleAt(x), SampleCount());
    const std::optional<PlotRange> shown = range ? range : m_selectionBefore;
    if (shown) {
      SetSelection(shown->first, shown->last);
    } else {
      ClearSelection();
    }
  }
  if (m_dragging && std::abs(x - m_dragX) >= QApplication::startDragDistance()) m_dragMoved = true;
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
  if (event->button() == Qt::LeftButton) {
    const double x = event->position().x();
    if (m_selecting) {
      m_selecting = false;
      const std::optional<PlotRange> range =
          plotselection::Between(m_selectFrom, SampleAt(x), SampleCount());
      if (range) {
        SetSelection(range->first, range->last);
      } else {
        // Shorter than one sample: no selection made, a click.
        if (m_selectionBefore) SetSelection(m_selectionBefore->first, m_selectionBefore->last);
        OnClick(x);
      }
    } else if (m_dragging && !m_dragMoved) {
      OnClick(x);
    }
    m_dragging = false;
  }
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
  // The filtered values when the trace shows them: the value read is the value drawn.
  const CC3d* filtered = FilteredValues();
  const CC3d& file = filtered != nullptr ? *filtered : *m_pC3d;
  const CAnalog& analog = *file.m_analogs[static_cast<std::size_t>(filtered ? 0 : m_nChannel)];
  // i < n, and n fits an int after a successful load (GetAnalogSampleCount).
  const float value = analog.GetScaledSample(static_cast<int>(i), analog.m_fOffset, analog.m_fScale,
                                             file.m_bIntegerData);
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

void CAnalogPlot::SetFilters(const std::vector<sound::FilterSpec>& filters) {
  if (filters == m_filters) return;
  m_filters = filters;
  update();  // the paint asks for the filtered values
}

const CC3d* CAnalogPlot::FilteredValues() const {
  return m_pFiltered->ValuesFor(m_pC3d, m_nChannel, m_filters);
}

bool CAnalogPlot::ShowsFiltered() const { return FilteredValues() != nullptr; }

std::vector<PlotEventMark> CAnalogPlot::EventMarks() const {
  if (SampleCount() <= 0) return {};
  m_events.Follow(m_pC3d);
  const PlotRange range = VisibleRange();
  return m_events.Marks(range.first, range.last - range.first, contentsRect().width());
}

void CAnalogPlot::GoToEvent(int direction) {
  const std::int64_t n = SampleCount();
  if (n < 2) return;
  m_events.Follow(m_pC3d);
  const PlotRange view = VisibleRange();
  // From the whole channel the first (or last) event; from the view "[" or
  // "]" gave, the event it centred; else the view's centre.
  double from = static_cast<double>(view.first + view.last - 1) / 2.0;
  if (!IsZoomed()) from = direction > 0 ? -1.0 : static_cast<double>(n);
  if (m_eventTarget >= 0 && view == m_eventView) from = static_cast<double>(m_eventTarget);
  const std::int64_t target = m_events.Neighbour(from, direction);
  if (target < 0) return;
  const std::int64_t length =
      IsZoomed() ? view.last - view.first : std::max<std::int64_t>(n / kEventViewShare, 2);
  const std::int64_t first = target - (length - 1) / 2;
  SetVisibleRange(first, first + length);
  m_eventTarget = target;
  m_eventView = VisibleRange();
}

bool CAnalogPlot::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(e);
    const QString tip = CPlotEvents::TipAt(EventMarks(), help->pos().x() - contentsRect().left(),
                                           SecondsPerSample());
    if (!tip.isEmpty()) {
      QToolTip::showText(help->globalPos(), tip, this);
      return true;
    }
  }
  return QFrame::event(e);
}
