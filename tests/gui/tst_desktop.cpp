// What needs a real X server: files dropped on the main window, the lock-key
// indicators read through XKB, and a screenshot of the program at work.
// Runs on the Xvfb display named by TREMOLUX_XVFB_DISPLAY; skips without it.
#include <QDrag>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxApp.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/res/ResourceIds.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "tests/gui/GuiTestSupport.h"

#ifdef TREMOLUX_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#endif

namespace {
const char* const kNoDisplay =
    "needs an X server: TREMOLUX_XVFB_DISPLAY is not set (scripts/test starts Xvfb and sets it)";
}  // namespace

class TestDesktop : public QObject {
  Q_OBJECT

 public:
  static void initMain() {
    guitest::UseScratchEnvironment();
    const QByteArray display = qgetenv("TREMOLUX_XVFB_DISPLAY");
    if (!display.isEmpty()) {
      qputenv("DISPLAY", display);
      qputenv("QT_QPA_PLATFORM", "xcb");
    }
  }

 private slots:
  void init();
  void cleanup();
  void droppedFileOpens();
  void lockKeyIndicatorsFollowXkb();
  void screenshotTiledWithSoundDialog();

 private:
  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<CTremoluxApp> m_app;
};

void TestDesktop::init() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP(kNoDisplay);
  guitest::ClearSettings();
  m_dir = std::make_unique<QTemporaryDir>();
  m_app = std::make_unique<CTremoluxApp>();
  QVERIFY(m_app->InitInstance({QStringLiteral("tremolux")}));
  CMainFrame* frame = m_app->GetMainWnd();
  frame->setGeometry(40, 40, 1000, 700);
  QVERIFY(QTest::qWaitForWindowExposed(frame));
}

void TestDesktop::cleanup() {
  m_app.reset();
  m_dir.reset();
}

// A drag started in this process and released over the MDI area goes
// through the X server's drag-and-drop path to the main window, which opens
// the file as the File Open command would (and lists it as recent).
void TestDesktop::droppedFileOpens() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("dropped.c3d"));
  CMainFrame* frame = m_app->GetMainWnd();
  QWindow* window = frame->windowHandle();
  const QPoint target = frame->MdiArea()->mapTo(frame, frame->MdiArea()->rect().center());

  auto* mime = new QMimeData;
  mime->setUrls({QUrl::fromLocalFile(path)});
  QDrag drag(frame);
  drag.setMimeData(mime);
  QTimer::singleShot(150, window,
                     [window, target] { QTest::mouseMove(window, target - QPoint(5, 5)); });
  QTimer::singleShot(300, window, [window, target] { QTest::mouseMove(window, target); });
  QTimer::singleShot(450, window,
                     [window, target] { QTest::mouseRelease(window, Qt::LeftButton, {}, target); });
  const Qt::DropAction action = drag.exec(Qt::CopyAction);
  QCOMPARE(action, Qt::CopyAction);

  QTRY_COMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 1);
  QCOMPARE(m_app->GetDocTemplate()->GetDocument(0)->GetPathName(), path);
  QCOMPARE(frame->windowTitle(), QStringLiteral("Tremolux - dropped.c3d"));
  QCOMPARE(m_app->GetRecentFileList().GetFiles(), QStringList{path});
}

void TestDesktop::lockKeyIndicatorsFollowXkb() {
#ifndef TREMOLUX_HAVE_X11
  QSKIP("built without X11");
#else
  Display* display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
  QVERIFY(display);
  CMainFrame* frame = m_app->GetMainWnd();
  struct Row {
    int id;
    const char* text;
    unsigned mask;
  };
  const Row rows[] = {
      {Res::ID_INDICATOR_CAPS, "CAP", LockMask},
      {Res::ID_INDICATOR_NUM, "NUM", XkbKeysymToModifiers(display, XK_Num_Lock)},
  };
  for (const Row& row : rows) {
    QLabel* pane = frame->GetIndicator(row.id);
    QVERIFY2(row.mask != 0, row.text);  // the server's keymap has this lock
    XkbLockModifiers(display, XkbUseCoreKbd, row.mask, row.mask);
    XSync(display, False);
    QTRY_COMPARE(pane->text(), QString::fromLatin1(row.text));
    QVERIFY(pane->isEnabled());
    XkbLockModifiers(display, XkbUseCoreKbd, row.mask, 0);
    XSync(display, False);
    QTRY_COMPARE(pane->text(), QString());
    QVERIFY(pane->isEnabled());
  }
  // Scroll Lock has no modifier to lock in the usual keymap; its lamp is
  // still known, and off.
  QVERIFY(frame->GetIndicator(Res::ID_INDICATOR_SCRL)->isEnabled());
  QCOMPARE(frame->GetIndicator(Res::ID_INDICATOR_SCRL)->text(), QString());
#endif
}

// Two documents tiled and the sound dialog open on one of them with a
// channel plotted, as a person would see it: <build>/screenshots/tremolux-main.png.
void TestDesktop::screenshotTiledWithSoundDialog() {
  CMainFrame* frame = m_app->GetMainWnd();
  QVERIFY(
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("left.c3d"))));
  const QString demo = QStringLiteral(TREMOLUX_DEMO_C3D);
  QVERIFY(m_app->OpenDocumentFile(
      QFile::exists(demo) ? demo : guitest::WriteRecording(m_dir->path(), "demo.c3d")));
  frame->GetAction(Res::ID_WINDOW_TILE_HORZ)->trigger();

  QImage shot;
  QRect dialogRect;
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* dlg = qobject_cast<CAnalogSoundDlg*>(w);
    QVERIFY(dlg);
    QVERIFY(QTest::qWaitForWindowExposed(dlg));
    dlg->m_comboChannel.setCurrentIndex(3);  // the slow force-like curve
    QTest::qWait(300);
    shot = frame->screen()->grabWindow(0).toImage();
    dialogRect = dlg->frameGeometry();
    static_cast<QPushButton*>(dlg->GetDlgItem(CAnalogSoundDlg::IDOK))->click();
  });
  frame->GetAction(Res::ID_VIEW_SOUND_DIALOG)->trigger();
  QCOMPARE(catcher.seen().size(), size_t{1});
  QVERIFY(!shot.isNull());
  const QString dir = QStringLiteral(TREMOLUX_BUILD_DIR "/screenshots");
  QVERIFY(QDir().mkpath(dir));
  QVERIFY(shot.save(dir + QStringLiteral("/tremolux-main.png")));
  // The dialog lies over the main window, and the grab shows both drawn.
  QVERIFY(frame->frameGeometry().intersects(dialogRect));
  auto colours = [&shot](const QRect& r) {
    QSet<QRgb> set;
    for (int y = r.top(); y < r.bottom(); y += 5)
      for (int x = r.left(); x < r.right(); x += 5) set.insert(shot.pixel(x, y));
    return set.size();
  };
  QVERIFY(colours(frame->frameGeometry()) > 3);
  QVERIFY(colours(dialogRect) > 3);
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
