#include "gui/app/CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "gui/app/CChildFrame.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CTremoluxView.h"
#include "gui/platform/LockKeys.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

namespace {

// How often the lock-key panes are read, in milliseconds.
constexpr int kIndicatorPollMs = 250;

struct IndicatorPane {
  int id;  // its text is string `id` of the string table
  LockKey key;
};
constexpr IndicatorPane kIndicators[] = {
    {Res::ID_INDICATOR_CAPS, LockKey::Caps},
    {Res::ID_INDICATOR_NUM, LockKey::Num},
    {Res::ID_INDICATOR_SCRL, LockKey::Scroll},
};

}  // namespace

CMainFrame::CMainFrame() : m_pMdiArea(new QMdiArea(this)) {
  setCentralWidget(m_pMdiArea);
  setAcceptDrops(true);
  setContextMenuPolicy(Qt::NoContextMenu);  // no bar list on right-click
  setWindowIcon(QIcon(QString::fromLatin1(Res::kImageMainFrame)));
  connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::LoadFrame() {
  if (!QFile::exists(QString::fromLatin1(Res::kImageToolbarOpen)) ||
      !QFile::exists(QString::fromLatin1(Res::kImageToolbarAbout)))
    return false;
  CreateActions();

  m_pToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
  m_pToolBar->setObjectName(QStringLiteral("toolbar128"));
  m_pToolBar->setIconSize(QSize(16, 16));
  m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
  m_pToolBar->setMovable(true);
  m_pToolBar->setFloatable(true);
  m_pToolBar->addAction(GetAction(Res::ID_FILE_OPEN));
  m_pToolBar->addSeparator();
  m_pToolBar->addAction(GetAction(Res::ID_APP_ABOUT));
  addToolBar(Qt::TopToolBarArea, m_pToolBar);

  if (!CreateStatusBar()) return false;
  CreateMenus();
  OnSubWindowActivated();
  return true;
}

bool CMainFrame::CreateStatusBar() {
  QStatusBar* pBar = statusBar();
  m_pMessagePane = new QLabel(pBar);
  m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
  // A long message (a file's path) is cut at the pane's edge rather than
  // widening the main window.
  m_pMessagePane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  pBar->addWidget(m_pMessagePane, 1);
  const QFontMetrics fm(pBar->font());
  for (const IndicatorPane& pane : kIndicators) {
    auto* pLabel = new QLabel(Res::LoadString(pane.id), pBar);
    pLabel->setAlignment(Qt::AlignCenter);
    pLabel->setMinimumWidth(fm.horizontalAdvance(Res::LoadString(pane.id)) +
                            fm.averageCharWidth() * 2);
    pBar->addPermanentWidget(pLabel);
    m_indicators[pane.id] = pLabel;
  }
  SetMessageText(Res::LoadString(Res::AFX_IDS_IDLEMESSAGE));
  m_pIndicatorTimer = new QTimer(this);
  connect(m_pIndicatorTimer, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
  m_pIndicatorTimer->start(kIndicatorPollMs);
  UpdateIndicators();
  return true;
}

void CMainFrame::UpdateIndicators() {
  for (const IndicatorPane& pane : kIndicators) {
    QLabel* pLabel = m_indicators[pane.id];
    const std::optional<bool> on = ReadLockKey(pane.key);
    // Unknown: the name greyed out. Known: the name while the lock is on,
    // an empty pane of the same width while it is off.
    pLabel->setEnabled(on.has_value());
    pLabel->setText(!on || *on ? Res::LoadString(pane.id) : QString());
  }
}

QString CMainFrame::GetMessageText() const {
  return m_pMessagePane ? m_pMessagePane->text() : QString();
}

void CMainFrame::SetMessageText(const QString& text) {
  if (m_pMessagePane) m_pMessagePane->setText(text);
}

QLabel* CMainFrame::GetIndicator(int id) const {
  const auto it = m_indicators.find(id);
  return it == m_indicators.end() ? nullptr : it->second;
}

void CMainFrame::ShowStatusMessage(const QString& text) {
  m_strStatusMessage = text;
  SetMessageText(IdleText());
}

QString CMainFrame::IdleText() const {
  return m_strStatusMessage.isEmpty() ? Res::LoadString(Res::AFX_IDS_IDLEMESSAGE)
                                      : m_strStatusMessage;
}

void CMainFrame::OnMenuClosed() {
  if (!QApplication::activePopupWidget()) SetMessageText(IdleText());
}

CChildFrame* CMainFrame::MDIGetActive() const {
  // The current window stays current while a dialog has the focus.
  auto* pFrame = qobject_cast<CChildFrame*>(m_pMdiArea->currentSubWindow());
  return pFrame && !pFrame->isHidden() ? pFrame : nullptr;
}

CTremoluxView* CMainFrame::GetActiveView() const {
  CChildFrame* pFrame = MDIGetActive();
  return pFrame ? pFrame->GetActiveView() : nullptr;
}

CTremoluxDoc* CMainFrame::GetActiveDocument() const {
  CTremoluxView* pView = GetActiveView();
  return pView ? pView->GetDocument() : nullptr;
}

void CMainFrame::MDIActivate(QMdiSubWindow* pWindow) {
  if (!pWindow) return;
  if (pWindow->isMinimized()) pWindow->showNormal();
  m_pMdiArea->setActiveSubWindow(pWindow);
}

void CMainFrame::OnSubWindowActivated() {
  ShowMenu(MDIGetActive() ? Res::IDR_C3DTYPE : Res::IDR_MAINFRAME);
  OnUpdateFrameTitle();
}

void CMainFrame::OnUpdateFrameTitle() {
  QString title = Res::LoadString(Res::AFX_IDS_APP_TITLE);
  if (CTremoluxDoc* pDocument = GetActiveDocument())
    title += QStringLiteral(" - ") + pDocument->GetTitle();
  setWindowTitle(title);
}

void CMainFrame::OnFileClose() {
  if (CTremoluxDoc* pDocument = GetActiveDocument()) pDocument->OnCloseDocument();
}

void CMainFrame::OnViewSoundDialog() {
  if (CTremoluxView* pView = GetActiveView()) pView->OnViewSoundDialog();
}

void CMainFrame::OnFileExportCsv() {
  if (CTremoluxView* pView = GetActiveView()) pView->OnFileExportCsv();
}

void CMainFrame::OnWindowArrange() {
  // Minimized windows in a row along the bottom of the MDI area, wrapping
  // upwards when a row is full.
  const QRect area = m_pMdiArea->viewport()->rect();
  int x = 0;
  int y = area.bottom() + 1;
  int rowHeight = 0;
  for (QMdiSubWindow* pWindow : m_pMdiArea->subWindowList(QMdiArea::CreationOrder)) {
    if (pWindow->isHidden() || !pWindow->isMinimized()) continue;
    const QSize size = pWindow->size();
    if (x > 0 && x + size.width() > area.width()) {
      x = 0;
      y -= rowHeight;
      rowHeight = 0;
    }
    if (rowHeight == 0) rowHeight = size.height();
    pWindow->move(x, y - rowHeight);
    x += size.width();
  }
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // A highlighted menu item shows its prompt, empty when it has none, and
    // ends a standing status message; a tip that ends (pointer left a
    // button, menus closed) brings that message, or "Ready", back.
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (!tip.isEmpty() || QApplication::activePopupWidget()) {
      m_strStatusMessage.clear();
      SetMessageText(tip);
    } else {
      SetMessageText(IdleText());
    }
    return true;
  }
  return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  emit closing();
  event->accept();
}

namespace {

QStringList LocalFiles(const QMimeData* pData) {
  QStringList files;
  if (!pData || !pData->hasUrls()) return files;
  for (const QUrl& url : pData->urls()) {
    if (url.isLocalFile()) files.append(url.toLocalFile());
  }
  return files;
}

}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  activateWindow();
  // Opened after the drop has completed, so that a message box about one of
  // the files never holds the drag source waiting.
  QTimer::singleShot(0, this, [this, files] { emit filesDropped(files); });
}
