#include "gui/app/CLaneView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/plot/PlotEvents.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/app/CChannelSummaries.h"
#include "gui/render/PlotRender.h"
#include "gui/sound/CAnalogPlot.h"
#include "gui/sound/CPlotView.h"

namespace {

// Channels this short are drawn from their samples while their summary is
// being built: a paint reads them all in well under a millisecond.
constexpr std::int64_t kDirectSamples = std::int64_t{1} << 16;
// Threads that draw the lanes' images at most (the GUI thread among them).
constexpr std::size_t kMostDrawingThreads = 4;
// As the sound dialog's plot: a zoom shows at least one segment, the
// playhead moves 50 times a second.
constexpr std::int64_t kFewestSamples = 2;
constexpr int kPlayheadIntervalMs = 20;
const QColor kPlayheadColour(220, 0, 0);
// Pixels around the text of a label cell, and the label column's bounds.
constexpr int kPad = 4;
constexpr int kLabelMin = 60;
constexpr int kLabelMax = 220;
// Pixels between a ruler tick and its label, and at least between two labels.
constexpr int kLabelGap = 3;
constexpr int kLabelSpacing = 12;

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

}  // namespace

CLaneView::CLaneView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("LaneView"));
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setMouseTracking(true);  // the readout follows the mouse
  viewport()->setToolTip(QString::fromLatin1(Messages::kPlotZoomHint));
  m_playheadTimer.setInterval(kPlayheadIntervalMs);
  connect(&m_playheadTimer, &QTimer::timeout, this, &CLaneView::OnPlayheadTick);
}

CLaneView::~CLaneView() = default;

void CLaneView::SetFile(const CC3d* c3d, CChannelSummaries* summaries) {
  if (m_pSummaries) disconnect(m_pSummaries, nullptr, this, nullptr);
  m_pC3d = c3d;
  m_pSummaries = summaries;
  m_labels.clear();
  m_units.clear();
  m_constant.clear();
  m_shown.clear();
  m_events = c3d != nullptr ? c3d::EventsOnSamples(*c3d) : std::vector<c3d::SampleEvent>();
  if (c3d != nullptr) {
    for (const std::string& name : AnalogChannelNames(*c3d)) m_labels << Latin1(name);
    for (const std::string& unit : AnalogChannelUnits(*c3d)) m_units << Latin1(unit);
    for (const auto& analog : c3d->m_analogs)
      m_constant.push_back(analog->m_fMin == analog->m_fMax ? 1 : 0);
    for (int i = 0; i < static_cast<int>(c3d->m_analogs.size()); ++i) m_shown.push_back(i);
  }
  if (summaries != nullptr)
    connect(summaries, &CChannelSummaries::Ready, this, &CLaneView::OnSummaryReady);
  m_first = 0;
  m_last = SampleCount();
  m_focusLane = 0;
  m_labelWidth = 0;  // measured again from the new labels
  m_images.assign(static_cast<std::size_t>(m_labels.size()), LaneImage{});
  UpdateScrollBar();
  viewport()->update();
  emit ViewChanged();
}

void CLaneView::SetShownChannels(std::vector<int> channels) {
  const int count = static_cast<int>(m_labels.size());
  std::erase_if(channels, [count](int c) { return c < 0 || c >= count; });
  std::sort(channels.begin(), channels.end());
  channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
  if (channels == m_shown) return;
  const int focus = FocusChannel();
  m_shown = std::move(channels);
  const auto at = std::lower_bound(m_shown.begin(), m_shown.end(), focus);
  m_focusLane = std::clamp(static_cast<int>(at - m_shown.begin()), 0,
                           std::max(0, static_cast<int>(m_shown.size()) - 1));
  UpdateScrollBar();
  viewport()->update();
}

std::int64_t CLaneView::SampleCount() const {
  if (m_pC3d == nullptr || m_pC3d->m_analogs.empty()) return 0;
  return std::max<std::int64_t>(m_pC3d->SamplesPerChannel(), 0);
}

double CLaneView::SecondsPerSample() const {
  if (m_pC3d == nullptr) return 0.0;
  const double rate = sound::AnalogRate(*m_pC3d);
  return rate > 0.0 && std::isfinite(rate) ? 1.0 / rate : 0.0;
}

void CLaneView::SetVisibleRange(std::int64_t first, std::int64_t last) {
  const std::int64_t n = SampleCount();
  const std::int64_t length = std::clamp(last - first, std::min(kFewestSamples, n), n);
  first = std::clamp<std::int64_t>(first, 0, n - length);
  if (first == m_first && first + length == m_last) return;
  m_first = first;
  m_last = first + length;
  viewport()->update();
  emit ViewChanged();
}

void CLaneView::ResetZoom() { SetVisibleRange(0, SampleCount()); }

int CLaneView::RulerHeight() const { return fontMetrics().height() + 2; }

int CLaneView::MinLaneHeight() const { return 2 * fontMetrics().height() + 2 * kPad; }

int CLaneView::LabelWidth() const {
  if (m_labelWidth > 0) return m_labelWidth;
  int widest = 0;
  const QFontMetrics metrics = fontMetrics();
  for (const QString& label : m_labels) widest = std::max(widest, metrics.horizontalAdvance(label));
  widest =
      std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(Messages::kLaneConstant)));
  m_labelWidth = std::clamp(widest + 2 * kPad, kLabelMin, kLabelMax);
  return m_labelWidth;
}

int CLaneView::TraceWidth() const { return std::max(0, viewport()->width() - TraceLeft()); }

int CLaneView::LaneHeight() const {
  if (m_shown.empty()) return 0;
  const int available = viewport()->height() - RulerHeight();
  return std::max(MinLaneHeight(), available / static_cast<int>(m_shown.size()));
}

int CLaneView::LaneTop(int lane) const {
  return RulerHeight() + lane * LaneHeight() - verticalScrollBar()->value();
}

void CLaneView::UpdateScrollBar() {
  const int available = std::max(0, viewport()->height() - RulerHeight());
  const int total = LaneHeight() * static_cast<int>(m_shown.size());
  verticalScrollBar()->setRange(0, std::max(0, total - available));
  verticalScrollBar()->setPageStep(std::max(1, available));
  verticalScrollBar()->setSingleStep(std::max(1, LaneHeight()));
}

QRect CLaneView::TraceRect(int channel) const {
  const auto at = std::find(m_shown.begin(), m_shown.end(), channel);
  if (at == m_shown.end()) return {};
  // The lane's last row is the line between it and the next lane.
  return QRect(TraceLeft(), LaneTop(static_cast<int>(at - m_shown.begin())), TraceWidth(),
               LaneHeight() - 1);
}

QRect CLaneView::LabelRect(int channel) const {
  const QRect trace = TraceRect(channel);
  return trace.isNull() ? QRect() : QRect(0, trace.top(), TraceLeft(), trace.height());
}

int CLaneView::ChannelAtY(int y) const {
  if (m_shown.empty() || y < RulerHeight()) return -1;
  const int lane = (y - LaneTop(0)) / LaneHeight();
  return lane >= 0 && lane < static_cast<int>(m_shown.size())
             ? m_shown[static_cast<std::size_t>(lane)]
             : -1;
}

double CLaneView::SampleAt(double x) const {
  if (m_last <= m_first) return -1.0;
  if (m_last - m_first < 2 || TraceWidth() <= 0) return static_cast<double>(m_first);
  // Sample j of the range lies at x = j x W / (n - 1) from the trace's left edge,
  // as in the sound dialog's plot.
  return static_cast<double>(m_first) +
         (x - TraceLeft()) * static_cast<double>(m_last - m_first - 1) / TraceWidth();
}

double CLaneView::ColumnOf(double sample) const {
  if (m_last <= m_first) return -1.0;
  if (m_last - m_first < 2) return TraceLeft();
  return TraceLeft() + (sample - static_cast<double>(m_first)) * TraceWidth() /
                           static_cast<double>(m_last - m_first - 1);
}

QString CLaneView::ReadoutAt(const QPoint& p) const {
  const int channel = ChannelAtY(p.y());
  if (channel < 0 || p.x() < TraceLeft() || m_last <= m_first) return QString();
  const auto i = std::clamp<std::int64_t>(std::llround(SampleAt(p.x())), m_first, m_last - 1);
  const CAnalog& analog = *m_pC3d->m_analogs[static_cast<std::size_t>(channel)];
  // i < n, and n fits an int after a successful load (GetAnalogSampleCount).
  const float value = analog.GetScaledSample(static_cast<int>(i), analog.m_fOffset, analog.m_fScale,
                                             m_pC3d->m_bIntegerData);
  const double perSample = SecondsPerSample();
  // As many decimals as a sample period needs (1 ms: 3).
  const int decimals =
      perSample > 0.0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(perSample))), 0, 9) : 0;
  return QString::fromLatin1(Messages::kPlotReadout)
      .arg(QString::number(static_cast<double>(i) * perSample, 'f', decimals),
           QString::number(value, 'g', 6), m_units.value(channel))
      .trimmed();
}

int CLaneView::FocusChannel() const {
  return m_shown.empty() ? -1 : m_shown[static_cast<std::size_t>(m_focusLane)];
}

void CLaneView::SetFocusChannel(int channel) {
  const auto at = std::find(m_shown.begin(), m_shown.end(), channel);
  if (at == m_shown.end()) return;
  m_focusLane = static_cast<int>(at - m_shown.begin());
  // Scrolled so that the whole lane shows.
  const int top = m_focusLane * LaneHeight();
  const int available = viewport()->height() - RulerHeight();
  QScrollBar* bar = verticalScrollBar();
  if (top < bar->value()) bar->setValue(top);
  if (top + LaneHeight() > bar->value() + available) bar->setValue(top + LaneHeight() - available);
  viewport()->update();
}

void CLaneView::FollowPlayhead(const CAnalogPlot* plot) {
  m_followed = plot;
  if (plot != nullptr) {
    m_playheadTimer.start();
  } else {
    m_playheadTimer.stop();
    m_playSample = -1.0;
    viewport()->update();
  }
}

void CLaneView::OnPlayheadTick() {
  const double sample = m_followed ? m_followed->PlayheadSample() : -1.0;
  if (!m_followed) m_playheadTimer.stop();
  if (sample == m_playSample) return;
  m_playSample = sample;
  viewport()->update();
}

void CLaneView::OnSummaryReady(int channel) {
  const QRect trace = TraceRect(channel);
  if (!trace.isNull() && trace.intersects(viewport()->rect())) viewport()->update(trace);
}

QSize CLaneView::sizeHint() const { return {480, 320}; }

void CLaneView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect clip = event->rect();
  painter.fillRect(clip, palette().color(QPalette::Window));
  if (m_shown.empty() && !m_labels.isEmpty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QString::fromLatin1(Messages::kLanesNoneShown));
  }
  if (!m_shown.empty()) {
    const int height = LaneHeight();
    const int firstLane = std::max(0, (RulerHeight() - LaneTop(0)) / height);
    // The lanes in the clip whose image must be drawn anew, drawn together.
    std::vector<int> stale;
    const QSize traceSize(TraceWidth(), height - 1);
    const bool direct = SampleCount() <= kDirectSamples;
    for (int lane = firstLane; lane < static_cast<int>(m_shown.size()); ++lane) {
      if (LaneTop(lane) > clip.bottom()) break;
      const int channel = m_shown[static_cast<std::size_t>(lane)];
      if (LaneTop(lane) + height > clip.top() && !ImageCurrent(channel, traceSize) &&
          (direct || (m_pSummaries && m_pSummaries->Get(channel))))
        stale.push_back(channel);
    }
    DrawImages(stale, traceSize);
    for (int lane = firstLane; lane < static_cast<int>(m_shown.size()); ++lane) {
      if (LaneTop(lane) > clip.bottom()) break;
      if (LaneTop(lane) + height > clip.top()) PaintLane(painter, lane, clip);
    }
    const double playColumn = m_playSample >= static_cast<double>(m_first) &&
                                      m_playSample <= static_cast<double>(m_last - 1)
                                  ? ColumnOf(m_playSample)
                                  : -1.0;
    if (playColumn >= 0.0) {
      // Within the trace columns: the conversion is defined.
      const int x = std::min(static_cast<int>(playColumn), viewport()->width() - 1);
      painter.setPen(QPen(kPlayheadColour, 1));
      painter.drawLine(x, RulerHeight(), x, viewport()->height());
    }
  }
  PaintRuler(painter);
}

void CLaneView::PaintLane(QPainter& painter, int lane, const QRect& clip) {
  const int channel = m_shown[static_cast<std::size_t>(lane)];
  const QRect trace = TraceRect(channel);
  const QRect label = LabelRect(channel);
  painter.save();
  painter.setClipRect(QRect(0, RulerHeight(), viewport()->width(), viewport()->height()) & clip);
  if (label.intersects(clip)) {
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    const QRect text = label.adjusted(kPad, kPad / 2, -kPad, 0);
    const int line = metrics.height();
    painter.drawText(QRect(text.left(), text.top(), text.width(), line), Qt::AlignLeft,
                     metrics.elidedText(m_labels.value(channel), Qt::ElideRight, text.width()));
    QString second = m_units.value(channel);
    if (m_constant[static_cast<std::size_t>(channel)])
      second = QString::fromLatin1(Messages::kLaneConstant) +
               (second.isEmpty() ? QString() : QStringLiteral(", ") + second);
    if (text.height() >= 2 * line) {
      painter.setPen(palette().color(QPalette::PlaceholderText));
      painter.drawText(QRect(text.left(), text.top() + line, text.width(), line), Qt::AlignLeft,
                       metrics.elidedText(second, Qt::ElideRight, text.width()));
    }
    if (hasFocus() && lane == m_focusLane) {
      painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
      painter.drawRect(label.adjusted(1, 1, -2, -2));
    }
  }
  if (trace.intersects(clip)) PaintTrace(painter, channel, trace);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(0, trace.bottom() + 1, viewport()->width(), trace.bottom() + 1);
  painter.restore();
}

bool CLaneView::ImageCurrent(int channel, const QSize& size) const {
  const LaneImage& cached = m_images[static_cast<std::size_t>(channel)];
  const qreal ratio = devicePixelRatioF();
  return !cached.image.isNull() && cached.range == VisibleRange() &&
         cached.image.size() == (QSizeF(size) * ratio).toSize() &&
         cached.image.devicePixelRatio() == ratio && cached.paletteKey == palette().cacheKey();
}

void CLaneView::DrawImages(const std::vector<int>& channels, const QSize& size) {
  const qreal ratio = devicePixelRatioF();
  const PlotColors colors = PlotColorsFrom(palette());
  const PlotRange range = VisibleRange();
  const qint64 paletteKey = palette().cacheKey();
  // The events' lines where the dialog's plot draws them, without the
  // labels, which a lane has no room for.
  std::vector<PlotEventMark> marks =
      m_events.empty()
          ? std::vector<PlotEventMark>()
          : PlotEventMarksOf(m_events, range.first, range.last - range.first, size.width());
  for (PlotEventMark& mark : marks) mark.label.clear();
  // Each lane into its own image, the lanes shared among the cores: a paint
  // into a QImage needs no GUI thread, and reads the file and the
  // summaries only.
  const auto draw = [&](std::size_t begin, std::size_t step) {
    for (std::size_t k = begin; k < channels.size(); k += step) {
      const int channel = channels[k];
      // The lane's last image is drawn over when its size fits (every pixel
      // of the trace is painted anew): no allocation per lane and paint.
      QImage image = std::move(m_images[static_cast<std::size_t>(channel)].image);
      const QSize pixels = (QSizeF(size) * ratio).toSize();
      if (image.size() != pixels || image.format() != QImage::Format_RGB32)
        image = QImage(pixels, QImage::Format_RGB32);
      image.setDevicePixelRatio(ratio);
      QPainter into(&image);
      RenderAnalogPlot(into, QRect(QPoint(0, 0), size), m_pC3d, channel, colors, range,
                       m_pSummaries ? m_pSummaries->Get(channel) : nullptr);
      RenderPlotEvents(into, QRect(QPoint(0, 0), size), marks);
      into.end();
      m_images[static_cast<std::size_t>(channel)] = LaneImage{std::move(image), range, paletteKey};
    }
  };
  const std::size_t threads =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMostDrawingThreads);
  const std::size_t helpers = std::min(threads, channels.size()) - (channels.empty() ? 0 : 1);
  std::vector<std::thread> helping;
  for (std::size_t t = 1; t <= helpers; ++t) helping.emplace_back(draw, t, helpers + 1);
  draw(0, helpers + 1);
  for (std::thread& thread : helping) thread.join();
}

void CLaneView::PaintTrace(QPainter& painter, int channel, const QRect& trace) {
  if (ImageCurrent(channel, trace.size()))
    painter.drawImage(trace.topLeft(), m_images[static_cast<std::size_t>(channel)].image);
  else
    painter.fillRect(trace, PlotColorsFrom(palette()).window);  // drawn when its summary arrives
}

void CLaneView::PaintRuler(QPainter& painter) {
  const int ruler = RulerHeight();
  painter.fillRect(QRect(0, 0, viewport()->width(), ruler), palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::WindowText));
  const int bottom = ruler - 1;
  painter.drawLine(0, bottom, viewport()->width(), bottom);
  const QFontMetrics metrics = fontMetrics();
  // The readout stands at the right end of the row while the mouse is over a trace.
  const QString readout = m_mouse.x() >= 0 ? ReadoutAt(m_mouse) : QString();
  QRect covered;
  if (!readout.isEmpty()) {
    const int w = metrics.horizontalAdvance(readout) + 2 * kLabelGap;
    covered = QRect(viewport()->width() - w, 0, w, bottom);
  }
  PaintTicks(painter, covered);
  if (!readout.isEmpty()) {
    painter.fillRect(covered, palette().color(QPalette::Window));
    painter.drawText(covered, Qt::AlignRight | Qt::AlignVCenter, readout);
  }
}

void CLaneView::PaintTicks(QPainter& painter, const QRect& covered) {
  const QFontMetrics metrics = fontMetrics();
  const int bottom = RulerHeight() - 1;
  const double perSample = SecondsPerSample();
  if (perSample <= 0.0 || m_last - m_first < 2) return;
  const double start = static_cast<double>(m_first) * perSample;
  const double end = static_cast<double>(m_last - 1) * perSample;
  const QString widest =
      QString::fromLatin1(Messages::kPlotRulerLabel).arg(QString::number(end, 'f', 6).left(9));
  const double step = CPlotRuler::TickStep(
      end - start, TraceWidth(), metrics.horizontalAdvance(widest) + kLabelGap + kLabelSpacing);
  const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 9);
  for (double k = std::ceil(start / step); k * step <= end; k += 1.0) {
    const double seconds = k * step;
    const int x = static_cast<int>(std::lround(ColumnOf(seconds / perSample)));
    painter.drawLine(x, 1, x, bottom);
    const QString text =
        QString::fromLatin1(Messages::kPlotRulerLabel).arg(QString::number(seconds, 'f', decimals));
    const int w = metrics.horizontalAdvance(text);
    const int left = x + kLabelGap + w <= viewport()->width() ? x + kLabelGap : x - kLabelGap - w;
    const QRect box(left, 0, w, bottom);
    if (left < TraceLeft() || box.intersects(covered)) continue;
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
}

void CLaneView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBar();
}

void CLaneView::scrollContentsBy(int, int) { viewport()->update(); }

void CLaneView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    m_labelWidth = 0;
    UpdateScrollBar();
  }
  QAbstractScrollArea::changeEvent(event);
}
