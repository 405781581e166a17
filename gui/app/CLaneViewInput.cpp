// CLaneView's mouse and keys: the wheel zooms all lanes around the mouse,
// a drag pans them, a double-click shows the whole recording (on the
// traces) or opens a lane's sound dialog (on its label), and Up, Down, Home,
// End and Enter move the focus between lanes and open the focused one.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "gui/app/CLaneView.h"

namespace {

// As the sound dialog's plot: one wheel notch shows this share of the range.
constexpr double kZoomPerNotch = 0.8;

}  // namespace

void CLaneView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  const double x = event->position().x();
  if (x < TraceLeft() || m_last - m_first < 1 || notches == 0.0) {
    QAbstractScrollArea::wheelEvent(event);  // over the labels: scrolls the lanes
    return;
  }
  const double anchor = SampleAt(x);
  const std::int64_t length = m_last - m_first;
  // Within [1, n] before the conversion: a fast wheel can ask for any factor.
  const double scaled = std::clamp(static_cast<double>(length) * std::pow(kZoomPerNotch, notches),
                                   1.0, static_cast<double>(SampleCount()));
  std::int64_t wanted = std::llround(scaled);
  // A notch always changes the range, however few samples it holds.
  if (notches > 0.0) wanted = std::min(wanted, length - 1);
  if (notches < 0.0) wanted = std::max(wanted, length + 1);
  // Keep the sample under the mouse where it is.
  const double share = TraceWidth() > 0 ? (x - TraceLeft()) / TraceWidth() : 0.0;
  const std::int64_t first = std::llround(anchor - share * static_cast<double>(wanted - 1));
  SetVisibleRange(first, first + wanted);
  event->accept();
}

void CLaneView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const int channel = ChannelAtY(p.y());
  if (channel >= 0) SetFocusChannel(channel);
  if (event->button() == Qt::LeftButton && p.x() >= TraceLeft() && channel >= 0) {
    m_dragging = true;
    m_dragX = event->position().x();
    m_dragFirst = m_first;
  }
}

void CLaneView::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  if (m_dragging) {
    const std::int64_t length = m_last - m_first;
    const double perPixel = static_cast<double>(length - 1) / std::max(1, TraceWidth());
    const std::int64_t first = m_dragFirst + std::llround((m_dragX - x) * perPixel);
    SetVisibleRange(first, first + length);
  }
  m_mouse = event->position().toPoint();
  viewport()->update(0, 0, viewport()->width(), RulerHeight());
}

void CLaneView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragging = false;
}

void CLaneView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  const int channel = ChannelAtY(p.y());
  if (p.x() < TraceLeft()) {
    if (channel >= 0) emit OpenChannel(channel);
  } else {
    ResetZoom();
  }
}

void CLaneView::leaveEvent(QEvent* event) {
  m_mouse = QPoint(-1, -1);
  viewport()->update(0, 0, viewport()->width(), RulerHeight());
  QAbstractScrollArea::leaveEvent(event);
}

void CLaneView::keyPressEvent(QKeyEvent* event) {
  const int last = static_cast<int>(m_shown.size()) - 1;
  int lane = m_focusLane;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (FocusChannel() >= 0) emit OpenChannel(FocusChannel());
      return;
    case Qt::Key_Up:
      lane = std::max(0, lane - 1);
      break;
    case Qt::Key_Down:
      lane = std::min(last, lane + 1);
      break;
    case Qt::Key_Home:
      lane = 0;
      break;
    case Qt::Key_End:
      lane = last;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  if (lane >= 0) SetFocusChannel(m_shown[static_cast<std::size_t>(lane)]);
}
