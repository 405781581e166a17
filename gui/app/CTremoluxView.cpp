#include "gui/app/CTremoluxView.h"

#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/Messages.h"
#include "core/c3d/FileSummary.h"
#include "gui/app/CChildFrame.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/platform/MessageBox.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"
#include "gui/sound/CAnalogSoundDlg.h"

CTremoluxView::CTremoluxView(CTremoluxDoc* pDocument, QWidget* parent)
    : QWidget(parent), m_pDocument(pDocument), m_pText(new QPlainTextEdit(this)) {
  // The text area keeps the desktop's palette (window colour as its
  // background); its font is the desktop's fixed-pitch font, so that the
  // channel columns line up.
  m_pText->setObjectName(QStringLiteral("summary"));
  m_pText->setReadOnly(true);
  m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pText->setFrameShape(QFrame::NoFrame);
  UseDesktopFixedFont();
  auto* pLayout = new QVBoxLayout(this);
  pLayout->setContentsMargins(0, 0, 0, 0);
  pLayout->addWidget(m_pText);
  setFocusProxy(m_pText);
  m_pDocument->AddView(this);
  OnUpdate();
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

void CTremoluxView::OnUpdate() {
  if (!m_pDocument || m_pDocument->GetPathName().isEmpty()) {
    m_pText->clear();
    return;
  }
  // The file's own text (labels, units) is 8-bit; Latin-1 keeps every byte.
  const std::string summary = DescribeFile(m_pDocument->m_c3d);
  m_pText->setPlainText(
      Res::LoadString(Res::IDS_SUMMARY_FILE).arg(m_pDocument->GetTitle()) + QLatin1Char('\n') +
      QString::fromLatin1(summary.data(), static_cast<qsizetype>(summary.size())));
}

void CTremoluxView::OnViewSoundDialog() {
  if (!m_pDocument) return;
  if (m_pDocument->m_c3d.m_analogs.empty()) {
    ShowMessageBox(window(), Messages::kNoAnalogChannels);
    return;
  }
  // Owned by the main window, as a dialog without a parent of its own is.
  CAnalogSoundDlg dlg(window());
  dlg.m_pC3d = &m_pDocument->m_c3d;
  dlg.DoModal();
}

QSize CTremoluxView::sizeHint() const { return {480, 320}; }

void CTremoluxView::UseDesktopFixedFont() {
  m_pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void CTremoluxView::changeEvent(QEvent* event) {
  // The desktop's fonts changed (new settings or theme): take its fixed-pitch
  // font again. The palette needs nothing: the text area never set its own.
  if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::ThemeChange)
    UseDesktopFixedFont();
  QWidget::changeEvent(event);
}
