// The main frame's commands and its two menu bars: menu 128 while no
// document window is open, menu 129 while one is active.
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "gui/app/CChildFrame.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CWindowListDlg.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

namespace {

// A numbered menu entry, for the recent files and the window list: "&1 name"
// (an "&" in the name is doubled so that it is shown, not taken as a mnemonic).
QString NumberedText(int index, const QString& displayName) {
  return QStringLiteral("&%1 %2").arg(index + 1).arg(
      QString(displayName).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

// Most windows the Window menu lists by name.
constexpr int kMaxListedWindows = 9;

}  // namespace

QAction* CMainFrame::AddAction(int id, const QString& text, const QKeySequence& shortcut) {
  auto* pAction = new QAction(text, this);
  pAction->setStatusTip(Res::Prompt(id));
  const QString tip = Res::ToolTip(id);
  if (!tip.isEmpty()) pAction->setToolTip(tip);
  if (!shortcut.isEmpty()) {
    pAction->setShortcut(shortcut);
    addAction(pAction);  // accelerators work whichever menu is on the bar
  }
  m_actions[id] = pAction;
  return pAction;
}

QAction* CMainFrame::GetAction(int id) const {
  const auto it = m_actions.find(id);
  return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateActions() {
  using namespace Res;
  QAction* pOpen = AddAction(ID_FILE_OPEN, QStringLiteral("&Open...\tCtrl+O"),
                             QKeySequence(Qt::CTRL | Qt::Key_O));
  pOpen->setIcon(QIcon(QString::fromLatin1(kImageToolbarOpen)));
  AddAction(ID_APP_ABOUT, QStringLiteral("&About Tremolux..."))
      ->setIcon(QIcon(QString::fromLatin1(kImageToolbarAbout)));
  connect(AddAction(ID_FILE_CLOSE, QStringLiteral("&Close")), &QAction::triggered, this,
          &CMainFrame::OnFileClose);
  connect(AddAction(ID_APP_EXIT, QStringLiteral("E&xit")), &QAction::triggered, this,
          &QWidget::close);

  QAction* pToolbar = AddAction(ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar"));
  pToolbar->setCheckable(true);
  connect(pToolbar, &QAction::triggered, this, [this](bool on) { m_pToolBar->setVisible(on); });
  QAction* pStatus = AddAction(ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"));
  pStatus->setCheckable(true);
  connect(pStatus, &QAction::triggered, this, [this](bool on) { statusBar()->setVisible(on); });
  connect(AddAction(ID_VIEW_SOUND_DIALOG, QStringLiteral("Sound Dialog...")), &QAction::triggered,
          this, &CMainFrame::OnViewSoundDialog);
  connect(AddAction(ID_FILE_EXPORT_CSV, QStringLiteral("Channels as &CSV...")), &QAction::triggered,
          this, &CMainFrame::OnFileExportCsv);

  connect(AddAction(ID_WINDOW_NEW, QStringLiteral("&New Window")), &QAction::triggered, this,
          &CMainFrame::OnWindowNew);
  connect(AddAction(ID_WINDOW_CASCADE, QStringLiteral("&Cascade")), &QAction::triggered, m_pMdiArea,
          &QMdiArea::cascadeSubWindows);
  connect(AddAction(ID_WINDOW_TILE_HORZ, QStringLiteral("&Tile")), &QAction::triggered, m_pMdiArea,
          &QMdiArea::tileSubWindows);
  connect(AddAction(ID_WINDOW_ARRANGE, QStringLiteral("&Arrange Icons")), &QAction::triggered, this,
          &CMainFrame::OnWindowArrange);
  connect(AddAction(ID_NEXT_PANE, QStringLiteral("Next Pane"), QKeySequence(Qt::Key_F6)),
          &QAction::triggered, m_pMdiArea, &QMdiArea::activateNextSubWindow);
  connect(AddAction(ID_PREV_PANE, QStringLiteral("Previous Pane"),
                    QKeySequence(Qt::SHIFT | Qt::Key_F6)),
          &QAction::triggered, m_pMdiArea, &QMdiArea::activatePreviousSubWindow);
  // Ctrl+F6 and Ctrl+Shift+F6 cycle the document windows, as in every
  // multiple-document program; they belong to no menu.
  const auto cycle = [this](const char* name, const QKeySequence& keys, void (QMdiArea::*step)()) {
    auto* pAction = new QAction(this);
    pAction->setObjectName(QString::fromLatin1(name));
    pAction->setShortcut(keys);
    addAction(pAction);
    connect(pAction, &QAction::triggered, m_pMdiArea, step);
  };
  cycle("nextWindow", QKeySequence(Qt::CTRL | Qt::Key_F6), &QMdiArea::activateNextSubWindow);
  cycle("previousWindow", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6),
        &QMdiArea::activatePreviousSubWindow);

  // "Recent File" stands greyed in the list's place while the list is empty.
  m_pRecentPlaceholder = new QAction(QStringLiteral("Recent File"), this);
  m_pRecentPlaceholder->setEnabled(false);
  m_pRecentPlaceholder->setStatusTip(Res::Prompt(ID_FILE_MRU_FILE1));
  for (int i = 0; i < kRecentFileCount; ++i)
    AddAction(ID_FILE_MRU_FILE1 + i, QString())->setVisible(false);
}

void CMainFrame::CreateMenus() {
  using namespace Res;
  auto menu = [this](QList<QMenu*>& set, const QString& title, std::initializer_list<int> ids) {
    auto* pMenu = new QMenu(title, this);
    for (int id : ids) {
      if (id == ID_SEPARATOR) {
        pMenu->addSeparator();
      } else if (id == ID_FILE_MRU_FILE1) {
        pMenu->addAction(m_pRecentPlaceholder);
        for (int i = 0; i < kRecentFileCount; ++i)
          pMenu->addAction(GetAction(ID_FILE_MRU_FILE1 + i));
      } else {
        pMenu->addAction(GetAction(id));
      }
    }
    connect(pMenu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, &CMainFrame::OnMenuClosed); });
    set.append(pMenu);
    return pMenu;
  };
  const QString file = QStringLiteral("&File"), view = QStringLiteral("&View"),
                help = QStringLiteral("&Help");

  menu(m_noDocumentMenus, file,
       {ID_FILE_OPEN, ID_SEPARATOR, ID_FILE_MRU_FILE1, ID_SEPARATOR, ID_APP_EXIT});
  QMenu* pNoDocumentView = menu(m_noDocumentMenus, view, {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR});
  menu(m_noDocumentMenus, help, {ID_APP_ABOUT});

  QMenu* pDocumentFile = menu(
      m_documentMenus, file,
      {ID_FILE_OPEN, ID_FILE_CLOSE, ID_SEPARATOR, ID_FILE_MRU_FILE1, ID_SEPARATOR, ID_APP_EXIT});
  // File > Export, after Close: what the document window shows, for other programs.
  auto* pExport = new QMenu(QStringLiteral("&Export"), this);
  pExport->addAction(GetAction(ID_FILE_EXPORT_CSV));
  pDocumentFile->insertMenu(pDocumentFile->actions().at(2), pExport);
  QMenu* pDocumentView =
      menu(m_documentMenus, view,
           {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_SEPARATOR, ID_VIEW_SOUND_DIALOG});
  m_pWindowMenu = menu(m_documentMenus, QStringLiteral("&Window"),
                       {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE});
  menu(m_documentMenus, help, {ID_APP_ABOUT});

  // Check marks follow the bars, however they were hidden.
  for (QMenu* pView : {pNoDocumentView, pDocumentView}) {
    connect(pView, &QMenu::aboutToShow, this, [this] {
      GetAction(Res::ID_VIEW_TOOLBAR)->setChecked(!m_pToolBar->isHidden());
      GetAction(Res::ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
    });
  }
  GetAction(ID_VIEW_TOOLBAR)->setChecked(true);
  GetAction(ID_VIEW_STATUS_BAR)->setChecked(true);
  connect(m_pWindowMenu, &QMenu::aboutToShow, this, [this] { UpdateWindowList(m_pWindowMenu); });
}

void CMainFrame::ShowMenu(int menuId) {
  if (menuId == m_nMenuId) return;
  m_nMenuId = menuId;
  QMenuBar* pBar = menuBar();
  pBar->clear();  // removes the menus from the bar; they stay owned by the frame
  for (QMenu* pMenu : menuId == Res::IDR_C3DTYPE ? m_documentMenus : m_noDocumentMenus)
    pBar->addMenu(pMenu);
}

void CMainFrame::SetRecentFiles(const QStringList& displayNames) {
  m_pRecentPlaceholder->setVisible(displayNames.isEmpty());
  for (int i = 0; i < Res::kRecentFileCount; ++i) {
    QAction* pAction = GetAction(Res::ID_FILE_MRU_FILE1 + i);
    const bool used = i < displayNames.size();
    pAction->setText(used ? NumberedText(i, displayNames[i]) : QString());
    pAction->setVisible(used);
  }
}

void CMainFrame::UpdateWindowList(QMenu* pMenu) {
  // The open windows by caption, after the Window commands; the active one
  // checked, and always listed: when it lies past the ninth it takes the
  // ninth place. Choosing one activates it (restored when minimized). Past
  // nine windows, "More Windows..." ends the menu and lists them all.
  qDeleteAll(m_windowListActions);
  m_windowListActions.clear();
  const QList<QMdiSubWindow*> windows = GetDocumentWindows();
  if (windows.isEmpty()) return;
  QMdiSubWindow* pActive = m_pMdiArea->currentSubWindow();
  QList<QMdiSubWindow*> listed = windows.mid(0, kMaxListedWindows);
  if (pActive && windows.indexOf(pActive) >= kMaxListedWindows) listed.last() = pActive;
  m_windowListActions.append(pMenu->addSeparator());
  for (int i = 0; i < listed.size(); ++i) {
    QPointer<QMdiSubWindow> pWindow = listed[i];
    QAction* pAction = pMenu->addAction(NumberedText(i, pWindow->windowTitle()));
    pAction->setCheckable(true);
    pAction->setChecked(pWindow == pActive);
    connect(pAction, &QAction::triggered, this, [this, pWindow] { MDIActivate(pWindow); });
    m_windowListActions.append(pAction);
  }
  if (windows.size() > kMaxListedWindows) {
    QAction* pMore = pMenu->addAction(QStringLiteral("&More Windows..."));
    pMore->setObjectName(QStringLiteral("moreWindows"));
    connect(pMore, &QAction::triggered, this, &CMainFrame::OnWindowMore);
    m_windowListActions.append(pMore);
  }
}

QList<QMdiSubWindow*> CMainFrame::GetDocumentWindows() const {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* pWindow : m_pMdiArea->subWindowList(QMdiArea::CreationOrder)) {
    if (!pWindow->isHidden()) windows.append(pWindow);  // a closing window hides first
  }
  return windows;
}

void CMainFrame::OnWindowMore() {
  const QList<QMdiSubWindow*> windows = GetDocumentWindows();
  CWindowListDlg dlg(windows, m_pMdiArea->currentSubWindow(), this);
  if (dlg.exec() == QDialog::Accepted) MDIActivate(dlg.GetSelectedWindow());
}

void CMainFrame::OnWindowNew() {
  if (CTremoluxDoc* pDocument = GetActiveDocument())
    pDocument->GetDocTemplate()->CreateNewFrame(pDocument);
}
