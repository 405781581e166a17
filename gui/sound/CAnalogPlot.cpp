#include "gui/sound/CAnalogPlot.h"

#include <QPainter>

#include "gui/platform/WaitCursor.h"
#include "gui/render/PlotRender.h"

CAnalogPlot::CAnalogPlot(QWidget* parent) : QFrame(parent) {
  // A one-pixel sunken edge, as a static control with the sunken style.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
}

void CAnalogPlot::paintEvent(QPaintEvent* event) {
  if (m_nChannel >= 0) {
    const CWaitCursor wait;
    QPainter painter(this);
    RenderAnalogPlot(painter, contentsRect(), m_pC3d, m_nChannel, PlotColorsFrom(palette()));
  }
  QFrame::paintEvent(event);
}
