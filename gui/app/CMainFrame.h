#pragma once

#include <QMainWindow>
#include <QStringList>
#include <map>

class CChildFrame;
class CTremoluxDoc;
class CTremoluxView;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;

// The main window: an MDI area for the document windows, menu bar (menu 128
// with no document window, menu 129 with one), toolbar 128 and the status
// bar with its message pane and lock-key indicators. Owns its actions, menus
// and bars (Qt children). Created once by the application object, which
// owns it and handles the application commands (Open, About, recent files)
// through GetAction; the frame handles the window and view commands itself.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  CMainFrame();
  ~CMainFrame() override;

  // Builds the menus, toolbar and status bar. False when a part cannot be
  // made (the toolbar images are missing); the frame must then not be used.
  bool LoadFrame();

  QMdiArea* MdiArea() const { return m_pMdiArea; }
  QToolBar* ToolBar() const { return m_pToolBar; }

  // The active document window, its view and its document; null when none.
  CChildFrame* MDIGetActive() const;
  CTremoluxView* GetActiveView() const;
  CTremoluxDoc* GetActiveDocument() const;

  // The action of command `id` (Res::ID_...); null when the frame has none.
  // A recent-file entry i is ID_FILE_MRU_FILE1 + i.
  QAction* GetAction(int id) const;

  // The menu resource on the menu bar: IDR_MAINFRAME or IDR_C3DTYPE.
  int GetMenuResourceId() const { return m_nMenuId; }

  // Shows the recent files (display names, at most four) in the File menus,
  // or the greyed "Recent File" item when there are none.
  void SetRecentFiles(const QStringList& displayNames);

  // The open document windows, oldest first: the Window menu's order.
  QList<QMdiSubWindow*> GetDocumentWindows() const;

  // Makes pWindow the active document window, restoring it first when it
  // is minimized. Null does nothing.
  void MDIActivate(QMdiSubWindow* pWindow);

  // The status bar's message pane.
  QString GetMessageText() const;
  void SetMessageText(const QString& text);
  // Shows `text` in the message pane until the next status message (a
  // command prompt, or another call); in between, it replaces "Ready". An
  // empty text brings "Ready" back.
  void ShowStatusMessage(const QString& text);
  // The lock-key pane of indicator `id` (Res::ID_INDICATOR_...).
  QLabel* GetIndicator(int id) const;

  // Caption: the application title, plus " - <title>" of the active document.
  void OnUpdateFrameTitle();

 signals:
  // Local files dropped on the window, in the order given.
  void filesDropped(const QStringList& paths);
  // The frame is closing: documents must be closed now.
  void closing();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Menus and commands (CMainFrameMenus.cpp).
  void CreateActions();
  void CreateMenus();
  void ShowMenu(int menuId);
  void UpdateWindowList(QMenu* pMenu);
  QAction* AddAction(int id, const QString& text, const QKeySequence& shortcut = {});

  // Window commands.
  void OnFileClose();
  void OnWindowNew();
  void OnWindowArrange();
  void OnWindowMore();
  void OnViewSoundDialog();
  void OnFileExportCsv();
  void OnSubWindowActivated();

  // Status bar.
  bool CreateStatusBar();
  void UpdateIndicators();
  void OnMenuClosed();
  // The message pane's text when nothing else is shown: the last status
  // message, or "Ready".
  QString IdleText() const;

  QMdiArea* m_pMdiArea;
  QToolBar* m_pToolBar = nullptr;
  QLabel* m_pMessagePane = nullptr;
  QString m_strStatusMessage;  // ShowStatusMessage's text while it stands
  std::map<int, QLabel*> m_indicators;
  QTimer* m_pIndicatorTimer = nullptr;
  std::map<int, QAction*> m_actions;
  QAction* m_pRecentPlaceholder = nullptr;
  QList<QMenu*> m_noDocumentMenus;  // the bar while no document is open (menu resource 128)
  QList<QMenu*> m_documentMenus;    // the bar while a document is open (menu resource 129)
  QMenu* m_pWindowMenu = nullptr;
  QList<QAction*> m_windowListActions;
  int m_nMenuId = 0;
};
