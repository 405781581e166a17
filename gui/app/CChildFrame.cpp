#include "gui/app/CChildFrame.h"

#include <QCloseEvent>

#include "gui/app/CTremoluxView.h"

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void CChildFrame::SetView(CTremoluxView* pView) {
  m_pView = pView;
  setWidget(pView);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
  QMdiSubWindow::closeEvent(event);
  if (event->isAccepted() && m_pView) m_pView->Detach();
}
