#include "sound/CAnalogPlot.h"

#include <QGuiApplication>
#include <QPainter>

#include "sound/PlotRender.h"

namespace {

// Shows the wait cursor for as long as it lives.
class WaitCursorScope {
 public:
  WaitCursorScope() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursorScope() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;
};

}

CAnalogPlot::CAnalogPlot(QWidget* parent) : QFrame(parent) {
  // A one-pixel sunken edge, as a static control with the sunken style.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
}

void CAnalogPlot::paintEvent(QPaintEvent* event) {
  if (m_nChannel >= 0) {
    const WaitCursorScope wait;
    QPainter painter(this);
    RenderAnalogPlot(painter, contentsRect(), m_pC3d, m_nChannel, PlotColorsFrom(palette()));
  }
  QFrame::paintEvent(event);
}
