#include "gui/app/CTremoluxView.h"

#include <QPalette>

#include "gui/app/CChildFrame.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/sound/CAnalogSoundDlg.h"

CTremoluxView::CTremoluxView(CTremoluxDoc* pDocument, QWidget* parent)
    : QWidget(parent), m_pDocument(pDocument) {
  // The background of a document window is the system's window colour, the
  // colour text areas use (Qt's Base role), and nothing is drawn on it.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  m_pDocument->AddView(this);
}

CTremoluxView::~CTremoluxView() { Detach(); }

CChildFrame* CTremoluxView::GetParentFrame() const {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* pFrame = qobject_cast<CChildFrame*>(w)) return pFrame;
  }
  return nullptr;
}

void CTremoluxView::Detach() {
  if (CTremoluxDoc* pDocument = m_pDocument) {
    m_pDocument = nullptr;
    pDocument->RemoveView(this);
  }
}

void CTremoluxView::OnViewSoundDialog() {
  if (!m_pDocument) return;
  // Owned by the main window, as a dialog without a parent of its own is.
  CAnalogSoundDlg dlg(window());
  dlg.m_pC3d = &m_pDocument->m_c3d;
  dlg.DoModal();
}

QSize CTremoluxView::sizeHint() const { return {480, 320}; }
