// The main window: start-up state, the two menu bars, accelerators, the
// toolbar and status bar, the Window commands and the About box.
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include "gui/app/CAboutDlg.h"
#include "gui/app/CChildFrame.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CRecentFileList.h"
#include "gui/app/CTremoluxApp.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CWindowListDlg.h"
#include "gui/platform/DialogUnits.h"
#include "gui/player/SoundPlayer.h"
#include "gui/res/ResourceIds.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SoundTestMain.h"

namespace {

// The menu bar as text: "Menu/Item" per visible item, "Menu/-" for a
// separator, " (grayed)" after a disabled item.
QStringList Describe(QMenuBar* bar) {
  QStringList lines;
  for (QAction* top : bar->actions()) {
    for (QAction* a : top->menu()->actions()) {
      if (!a->isVisible()) continue;
      QString line =
          top->text() + QLatin1Char('/') + (a->isSeparator() ? QStringLiteral("-") : a->text());
      if (!a->isSeparator() && !a->isEnabled()) line += QStringLiteral(" (grayed)");
      lines << line;
    }
  }
  return lines;
}

const QStringList kMenu128 = {"&File/&Open...\tCtrl+O",
                              "&File/-",
                              "&File/Recent File (grayed)",
                              "&File/-",
                              "&File/E&xit",
                              "&View/&Toolbar",
                              "&View/&Status Bar",
                              "&Help/&About Tremolux..."};

const QStringList kMenu129 = {"&File/&Open...\tCtrl+O",
                              "&File/&Close",
                              "&File/&Export",
                              "&File/-",
                              "&File/Recent File (grayed)",
                              "&File/-",
                              "&File/E&xit",
                              "&View/&Toolbar",
                              "&View/&Status Bar",
                              "&View/-",
                              "&View/Sound Dialog...",
                              "&Window/&New Window",
                              "&Window/&Cascade",
                              "&Window/&Tile",
                              "&Window/&Arrange Icons",
                              "&Help/&About Tremolux..."};

}  // namespace

class TestMainFrame : public QObject {
  Q_OBJECT

 public:
  static void initMain() { guitest::UseScratchEnvironment(); }

 private slots:
  void init();
  void cleanup();
  void startsEmptyWithMenu128();
  void documentWindowBringsMenu129();
  void acceleratorsReachTheirCommands();
  void barsHideAndShowFromViewMenu();
  void statusBarShowsPrompts_data();
  void statusBarShowsPrompts();
  void lockKeysUnknownOffscreen();
  void windowCommandsArrangeWindows();
  void ctrlF6CyclesDocumentWindows();
  void windowMenuRestoresAMinimizedWindow();
  void moreWindowsReachesEveryWindow_data();
  void moreWindowsReachesEveryWindow();
  void aboutBoxLayout();
  void resourceImagesLoad_data();
  void resourceImagesLoad();

 private:
  CTremoluxDoc* Open(const QString& name) {
    return m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), name));
  }
  CMainFrame* Frame() const { return m_app->GetMainWnd(); }
  // The Window menu as it is about to be shown, with its window list.
  QMenu* WindowMenu() const {
    for (QAction* top : Frame()->menuBar()->actions()) {
      if (top->text() == QStringLiteral("&Window")) {
        emit top->menu()->aboutToShow();
        return top->menu();
      }
    }
    return nullptr;
  }
  QString ActiveTitle() const { return Frame()->GetActiveDocument()->GetTitle(); }

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<CTremoluxApp> m_app;
};

void TestMainFrame::init() {
  guitest::ClearSettings();
  m_dir = std::make_unique<QTemporaryDir>();
  const QString onCommandLine = guitest::WriteRecording(m_dir->path(), QStringLiteral("given.c3d"));
  m_app = std::make_unique<CTremoluxApp>();
  QVERIFY(m_app->InitInstance({QStringLiteral("tremolux"), onCommandLine}));
  QVERIFY(QTest::qWaitForWindowExposed(Frame()));
}

void TestMainFrame::cleanup() {
  m_app.reset();
  m_dir.reset();
}

// The file named on the command line is parsed but not opened.
void TestMainFrame::startsEmptyWithMenu128() {
  QCOMPARE(m_app->GetCommandLineFiles().size(), 1);
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QVERIFY(Frame()->MdiArea()->subWindowList().isEmpty());
  QCOMPARE(Frame()->windowTitle(), QStringLiteral("Tremolux"));
  QCOMPARE(Frame()->GetMenuResourceId(), Res::IDR_MAINFRAME);
  QCOMPARE(Describe(Frame()->menuBar()), kMenu128);
  QCOMPARE(Frame()->GetMessageText(), QStringLiteral("Ready"));
  QVERIFY(Frame()->ToolBar()->isVisible());
  QCOMPARE(Frame()->toolBarArea(Frame()->ToolBar()), Qt::TopToolBarArea);
  QCOMPARE(Frame()->ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
  // The application holds the one sound player for its whole run.
  QVERIFY(CSoundPlayer::Instance());
  m_app.reset();
  QVERIFY(!CSoundPlayer::Instance());
}

void TestMainFrame::documentWindowBringsMenu129() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("walk.c3d"));
  QVERIFY(m_app->OpenDocumentFile(path));
  QCOMPARE(Frame()->GetMenuResourceId(), Res::IDR_C3DTYPE);
  // The opened file has taken the greyed placeholder's place.
  QStringList expected = kMenu129;
  expected.replace(
      expected.indexOf("&File/Recent File (grayed)"),
      "&File/&1 " + CRecentFileList::AbbreviateName(path, Res::kRecentFileDisplayChars));
  QCOMPARE(Describe(Frame()->menuBar()), expected);
  // Toolbar tooltips come from the string table.
  QCOMPARE(Frame()->GetAction(Res::ID_FILE_OPEN)->toolTip(), QStringLiteral("Open"));
  QCOMPARE(Frame()->GetAction(Res::ID_APP_ABOUT)->toolTip(), QStringLiteral("About"));
}

void TestMainFrame::acceleratorsReachTheirCommands() {
  QCOMPARE(Frame()->GetAction(Res::ID_FILE_OPEN)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  Frame()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(Frame()));

  // Ctrl+O runs the file dialog, even before any document exists.
  QString dialogClass;
  {
    guitest::ModalCatcher catcher;
    QTest::keyClick(Frame(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(!catcher.seen().empty());
    dialogClass = catcher.seen().front().className;
  }
  QCOMPARE(dialogClass, QStringLiteral("QFileDialog"));

  // F6 and Shift+F6 walk through the document windows.
  Open(QStringLiteral("a.c3d"));
  Open(QStringLiteral("b.c3d"));
  Open(QStringLiteral("c.c3d"));
  QCOMPARE(Frame()->GetActiveDocument()->GetTitle(), QStringLiteral("c.c3d"));
  Frame()->activateWindow();  // the file dialog took the activation away
  QVERIFY(QTest::qWaitForWindowActive(Frame()));
  QTest::keyClick(Frame(), Qt::Key_F6);
  const QString afterNext = Frame()->GetActiveDocument()->GetTitle();
  QVERIFY(afterNext != QStringLiteral("c.c3d"));
  QCOMPARE(Frame()->windowTitle(), QStringLiteral("Tremolux - ") + afterNext);
  QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
  QCOMPARE(Frame()->GetActiveDocument()->GetTitle(), QStringLiteral("c.c3d"));
}

void TestMainFrame::barsHideAndShowFromViewMenu() {
  QWidget* bars[] = {Frame()->ToolBar(), Frame()->statusBar()};
  const int ids[] = {Res::ID_VIEW_TOOLBAR, Res::ID_VIEW_STATUS_BAR};
  for (int i = 0; i < 2; ++i) {
    QAction* toggle = Frame()->GetAction(ids[i]);
    QVERIFY(toggle->isChecked());
    toggle->trigger();
    QVERIFY(!bars[i]->isVisible());
    QVERIFY(!toggle->isChecked());
    toggle->trigger();
    QVERIFY(bars[i]->isVisible());
    QVERIFY(toggle->isChecked());
  }
}

void TestMainFrame::statusBarShowsPrompts_data() {
  QTest::addColumn<int>("menu");
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("prompt");
  QTest::newRow("open") << 0 << Res::ID_FILE_OPEN << "Open an existing document";
  QTest::newRow("close") << 0 << Res::ID_FILE_CLOSE << "Close the active document";
  QTest::newRow("exit") << 0 << Res::ID_APP_EXIT
                        << "Quit the application; prompts to save documents";
  QTest::newRow("toolbar") << 1 << Res::ID_VIEW_TOOLBAR << "Show or hide the toolbar";
  QTest::newRow("sound dialog") << 1 << Res::ID_VIEW_SOUND_DIALOG << "";
  QTest::newRow("tile") << 2 << Res::ID_WINDOW_TILE_HORZ
                        << "Arrange windows as non-overlapping tiles";
  QTest::newRow("about") << 3 << Res::ID_APP_ABOUT
                         << "Display program information, version number and copyright";
}

// The prompt shows while the item is highlighted; "Ready" returns when the
// menu closes.
void TestMainFrame::statusBarShowsPrompts() {
  QFETCH(int, menu);
  QFETCH(int, id);
  QFETCH(QString, prompt);
  Open(QStringLiteral("walk.c3d"));
  QMenu* pMenu = Frame()->menuBar()->actions().at(menu)->menu();
  Frame()->menuBar()->setActiveAction(pMenu->menuAction());
  QTRY_VERIFY(pMenu->isVisible());
  pMenu->setActiveAction(Frame()->GetAction(id));
  QCOMPARE(Frame()->GetMessageText(), prompt);
  pMenu->close();
  Frame()->menuBar()->setActiveAction(nullptr);
  QTRY_COMPARE(Frame()->GetMessageText(), QStringLiteral("Ready"));
}

void TestMainFrame::lockKeysUnknownOffscreen() {
  for (int id : {Res::ID_INDICATOR_CAPS, Res::ID_INDICATOR_NUM, Res::ID_INDICATOR_SCRL}) {
    QLabel* pane = Frame()->GetIndicator(id);
    QVERIFY(pane);
    QVERIFY(!pane->isEnabled());
    QVERIFY(!pane->text().isEmpty());
  }
  QCOMPARE(Frame()->GetIndicator(Res::ID_INDICATOR_SCRL)->text(), QStringLiteral("SCRL"));
}

void TestMainFrame::windowCommandsArrangeWindows() {
  Open(QStringLiteral("a.c3d"));
  Open(QStringLiteral("b.c3d"));
  QList<QMdiSubWindow*> windows = Frame()->MdiArea()->subWindowList();
  QCOMPARE(windows.size(), 2);

  Frame()->GetAction(Res::ID_WINDOW_TILE_HORZ)->trigger();
  QVERIFY(!windows[0]->geometry().intersects(windows[1]->geometry()));
  const QSize area = Frame()->MdiArea()->viewport()->size();
  QCOMPARE(windows[0]->width() * windows[0]->height() + windows[1]->width() * windows[1]->height(),
           area.width() * area.height());

  Frame()->GetAction(Res::ID_WINDOW_CASCADE)->trigger();
  QVERIFY(windows[0]->geometry().intersects(windows[1]->geometry()));
  QVERIFY(windows[0]->pos() != windows[1]->pos());

  // Arrange Icons lines the minimized windows up along the bottom.
  for (QMdiSubWindow* w : windows) w->showMinimized();
  Frame()->GetAction(Res::ID_WINDOW_ARRANGE)->trigger();
  for (QMdiSubWindow* w : windows) QCOMPARE(w->geometry().bottom(), area.height() - 1);
  QCOMPARE(windows[0]->x() == 0 || windows[1]->x() == 0, true);
  QVERIFY(!windows[0]->geometry().intersects(windows[1]->geometry()));
}

// Ctrl+F6 goes to the next document window in the order they were opened,
// wrapping round; Ctrl+Shift+F6 goes back.
void TestMainFrame::ctrlF6CyclesDocumentWindows() {
  for (const char* name : {"a.c3d", "b.c3d", "c.c3d"}) Open(QString::fromLatin1(name));
  Frame()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(Frame()));
  QCOMPARE(ActiveTitle(), QStringLiteral("c.c3d"));
  const QStringList forward = {"a.c3d", "b.c3d", "c.c3d", "a.c3d"};
  for (const QString& expected : forward) {
    QTest::keyClick(Frame(), Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(ActiveTitle(), expected);
  }
  QTest::keyClick(Frame(), Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(ActiveTitle(), QStringLiteral("c.c3d"));
  QTest::keyClick(Frame(), Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(ActiveTitle(), QStringLiteral("b.c3d"));
}

void TestMainFrame::windowMenuRestoresAMinimizedWindow() {
  Open(QStringLiteral("a.c3d"));
  Open(QStringLiteral("b.c3d"));
  QMdiSubWindow* first = Frame()->GetDocumentWindows().front();
  first->showMinimized();  // which also activates it
  Frame()->MDIActivate(Frame()->GetDocumentWindows().back());
  QCOMPARE(ActiveTitle(), QStringLiteral("b.c3d"));
  QVERIFY(first->isMinimized());
  QMenu* menu = WindowMenu();
  QVERIFY(menu);
  const QList<QAction*> items = menu->actions();
  const auto entry = std::find_if(items.begin(), items.end(), [](QAction* a) {
    return a->text() == QStringLiteral("&1 a.c3d");
  });
  QVERIFY(entry != items.end());
  (*entry)->trigger();
  QCOMPARE(ActiveTitle(), QStringLiteral("a.c3d"));
  QVERIFY(!first->isMinimized());
}

void TestMainFrame::moreWindowsReachesEveryWindow_data() {
  QTest::addColumn<int>("windows");
  QTest::newRow("nine: all listed") << 9;
  QTest::newRow("ten") << 10;
  QTest::newRow("eleven") << 11;
}

// The menu lists nine windows; past nine, "More Windows..." ends it and its
// list holds every window, the active one selected: choosing the tenth (or
// the one before the last), even minimized, activates and restores it.
void TestMainFrame::moreWindowsReachesEveryWindow() {
  QFETCH(int, windows);
  for (int i = 1; i <= windows; ++i) QVERIFY(Open(QStringLiteral("w%1.c3d").arg(i)));
  QMenu* menu = WindowMenu();
  QVERIFY(menu);
  QStringList numbered, checked;
  for (QAction* a : menu->actions()) {
    if (a->text().startsWith(QLatin1Char('&')) && a->text().at(1).isDigit()) numbered << a->text();
    if (a->isChecked()) checked << a->text();
  }
  QCOMPARE(checked, QStringList{numbered.back()});
  QCOMPARE(numbered.size(), 9);
  QCOMPARE(numbered.front(), QStringLiteral("&1 w1.c3d"));
  QCOMPARE(numbered.at(7), QStringLiteral("&8 w8.c3d"));
  // The active window (the last opened) is always in the menu: past the
  // ninth, it takes the ninth place.
  QCOMPARE(numbered.back(), QStringLiteral("&9 w%1.c3d").arg(windows));
  QAction* more = menu->actions().back();
  if (windows <= 9) {
    QVERIFY(more->text() != QStringLiteral("&More Windows..."));
    return;
  }
  QCOMPARE(more->text(), QStringLiteral("&More Windows..."));

  const QString wanted = QStringLiteral("w%1.c3d").arg(windows == 10 ? 10 : windows - 1);
  Frame()->GetDocumentWindows().at(windows == 10 ? 9 : windows - 2)->showMinimized();
  const QString activeBefore = Frame()->MdiArea()->currentSubWindow()->windowTitle();
  QStringList listed;
  QString selectedAtFirst;
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* dlg = qobject_cast<CWindowListDlg*>(w);
    QVERIFY(dlg);
    for (int i = 0; i < dlg->List()->count(); ++i) listed << dlg->List()->item(i)->text();
    selectedAtFirst = dlg->List()->currentItem()->text();
    dlg->List()->setCurrentRow(int(listed.indexOf(wanted)));
    dlg->accept();
  });
  more->trigger();
  QCOMPARE(catcher.seen().size(), size_t{1});
  QCOMPARE(catcher.seen().front().title, QStringLiteral("Select Window"));
  QCOMPARE(listed.size(), windows);
  QCOMPARE(listed.back(), QStringLiteral("w%1.c3d").arg(windows));
  QCOMPARE(selectedAtFirst, activeBefore);
  QCOMPARE(ActiveTitle(), wanted);
  QVERIFY(!Frame()->MDIGetActive()->isMinimized());
}

void TestMainFrame::aboutBoxLayout() {
  QStringList texts;
  QSize size, expected;
  QRect okRect, expectedOkRect;
  bool hasIcon = false;
  guitest::ModalCatcher catcher([&](QWidget* box) {
    for (QLabel* label : box->findChildren<QLabel*>()) {
      if (!label->pixmap().isNull()) hasIcon = true;
      if (!label->text().isEmpty()) texts << label->text();
    }
    size = box->size();
    // The box's 235 x 55 units and its OK button at (178, 7, 50 x 14),
    // converted as the sound dialog converts its own (the 52-letter mean,
    // not the font's average character width).
    const CDialogUnits du(box->font());
    expected = du.Map(QRect(0, 0, 235, 55)).size();
    expectedOkRect = du.Map(QRect(178, 7, 50, 14));
    QPushButton* ok = box->findChild<QPushButton*>();
    QVERIFY(ok && ok->isDefault() && ok->text() == QStringLiteral("OK"));
    okRect = ok->geometry();
    ok->click();
  });
  Frame()->GetAction(Res::ID_APP_ABOUT)->trigger();
  QCOMPARE(catcher.seen().size(), size_t{1});
  QCOMPARE(catcher.seen().front().title, QStringLiteral("About Tremolux"));
  QVERIFY(hasIcon);
  QVERIFY(texts.contains(QStringLiteral("Tremolux Version 1.00")));
  QCOMPARE(texts.size(), 2);  // the version line and the legal notice
  QCOMPARE(size, expected);
  QCOMPARE(okRect, expectedOkRect);
}

// Every image path the program names is in the compiled resources and draws:
// a path left behind when tremolux.qrc renames an alias gives an empty icon
// without a word.
void TestMainFrame::resourceImagesLoad_data() {
  QTest::addColumn<QString>("path");
  for (const char* path :
       {Res::kImageMainFrame, Res::kImageC3dType, Res::kImageToolbarOpen, Res::kImageToolbarAbout})
    QTest::newRow(path) << QString::fromLatin1(path);
}

void TestMainFrame::resourceImagesLoad() {
  QFETCH(QString, path);
  QVERIFY(QFile::exists(path));
  QVERIFY(!QIcon(path).pixmap(16, 16).isNull());
}

TREMOLUX_SOUND_TEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
