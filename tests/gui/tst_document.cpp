// Documents: opening, failing to open, several windows on one document,
// closing, and what the document leaves behind.
#include <QCryptographicHash>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QPushButton>
#include <QtTest>

#include "tests/gui/SoundTestMain.h"
#include "tests/gui/GuiTestSupport.h"
#include "core/Messages.h"
#include "gui/app/CChildFrame.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxApp.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CTremoluxView.h"
#include "gui/player/SoundPlayer.h"
#include "gui/res/ResourceIds.h"
#include "gui/sound/CAnalogSoundDlg.h"

class TestDocument : public QObject {
  Q_OBJECT

 public:
  static void initMain() { guitest::UseScratchEnvironment(); }

 private slots:
  void init();
  void cleanup();
  void openShowsOneWindow();
  void realRecordingsOpen_data();
  void realRecordingsOpen();
  void openFailsSilently_data();
  void openFailsSilently();
  void loadErrorIsReported_data();
  void loadErrorIsReported();
  void sameFileTwiceGivesTwoDocuments();
  void newDocumentIsRefused();
  void lastWindowClosesDocument();
  void fileCloseClosesEveryWindow();
  void viewShowsOnlyWindowColour();
  void soundDialogRunsOnTheWindowsDocument();
  void fileIsNeverWritten();

 private:
  int VisibleWindows() const {
    int n = 0;
    for (QMdiSubWindow* w : m_app->GetMainWnd()->MdiArea()->subWindowList()) n += w->isHidden() ? 0 : 1;
    return n;
  }

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<CTremoluxApp> m_app;
};

void TestDocument::init() {
  guitest::ClearSettings();
  m_dir = std::make_unique<QTemporaryDir>();
  m_app = std::make_unique<CTremoluxApp>();
  QVERIFY(m_app->InitInstance({QStringLiteral("tremolux")}));
}

void TestDocument::cleanup() {
  m_app.reset();
  m_dir.reset();
}

void TestDocument::openShowsOneWindow() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("walk.c3d"));
  CTremoluxDoc* doc = m_app->OpenDocumentFile(path);
  QVERIFY(doc);
  QCOMPARE(doc->GetTitle(), QStringLiteral("walk.c3d"));
  QCOMPARE(QString::fromStdString(doc->m_c3d.m_strPathName), path);
  QCOMPARE(VisibleWindows(), 1);
  CMainFrame* frame = m_app->GetMainWnd();
  QCOMPARE(frame->GetActiveDocument(), doc);
  QCOMPARE(frame->MDIGetActive()->windowTitle(), QStringLiteral("walk.c3d"));
  QCOMPARE(frame->windowTitle(), QStringLiteral("Tremolux - walk.c3d"));
  QCOMPARE(frame->GetMenuResourceId(), Res::IDR_C3DTYPE);
}

void TestDocument::realRecordingsOpen_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<int>("channels");
  QTest::newRow("Intel int") << "sample01/Eb015pi.c3d" << 16;
  QTest::newRow("MIPS float") << "sample01/Eb015sr.c3d" << 16;
  QTest::newRow("DEC int") << "sample03/gait-pig.c3d" << 30;
  QTest::newRow("name with spaces") << "sample00/Cometa Systems/EMG Data Cometa.c3d" << 24;
}

// Files written by other programs open through the whole path: document,
// window, title, recent list.
void TestDocument::realRecordingsOpen() {
  QFETCH(QString, file);
  QFETCH(int, channels);
  const QString path = QStringLiteral(TREMOLUX_SAMPLES_DIR "/") + file;
  if (!QFile::exists(path)) QSKIP("real C3D samples not present (TREMOLUX_SAMPLES_DIR)");
  guitest::ModalCatcher catcher;
  QPointer<CTremoluxDoc> doc = m_app->OpenDocumentFile(path);
  QVERIFY(doc);
  QVERIFY(catcher.seen().empty());
  QCOMPARE(int(doc->m_c3d.m_analogs.size()), channels);
  QCOMPARE(m_app->GetMainWnd()->windowTitle(), QStringLiteral("Tremolux - ") + QFileInfo(path).fileName());
  m_app->GetMainWnd()->GetAction(Res::ID_FILE_CLOSE)->trigger();
  QVERIFY(doc.isNull());
}

void TestDocument::openFailsSilently_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("bytes");  // empty name: the file is not created
  QTest::newRow("missing file") << QString() << QByteArray();
  QTest::newRow("empty file") << QStringLiteral("empty.c3d") << QByteArray();
  QTest::newRow("text file") << QStringLiteral("notes.c3d") << QByteArray(600, 'x');
  QTest::newRow("short header") << QStringLiteral("short.c3d") << QByteArray("\x02\x50\x00", 3);
}

void TestDocument::openFailsSilently() {
  QFETCH(QString, name);
  QFETCH(QByteArray, bytes);
  QString path = m_dir->filePath(QStringLiteral("absent.c3d"));
  if (!name.isEmpty()) {
    path = guitest::WriteBytes(m_dir->path(), name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
  guitest::ModalCatcher catcher;
  QVERIFY(!m_app->OpenDocumentFile(path));
  QTest::qWait(60);  // a box would have been caught by now
  QVERIFY(catcher.seen().empty());
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QCOMPARE(VisibleWindows(), 0);
  QCOMPARE(m_app->GetRecentFileList().GetCount(), 0);
  QCOMPARE(m_app->GetMainWnd()->windowTitle(), QStringLiteral("Tremolux"));
}

void TestDocument::loadErrorIsReported_data() {
  QTest::addColumn<int>("kind");  // 0: read error, 1: not enough memory
  QTest::newRow("read error") << 0;
  QTest::newRow("not enough memory") << 1;
}

// A file that is C3D but cannot be read, or that needs impossible storage,
// must not vanish silently: one box says why, and no document stays open.
void TestDocument::loadErrorIsReported() {
  QFETCH(int, kind);
  c3dtest::Recording rec = guitest::SmallRecording();
  if (kind == 0) {
    rec.paramBlock = 0;  // the parameter section cannot be reached
  } else {
    rec.firstFrame = 5;  // last frame 4: no frames, yet analog channels
    rec.lastFrame = 4;
  }
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("broken.c3d"), rec);
  guitest::ModalCatcher catcher;
  QVERIFY(!m_app->OpenDocumentFile(path));
  QCOMPARE(catcher.seen().size(), size_t{1});
  const QString text = catcher.seen().front().text;
  if (kind == 0) {
    QVERIFY2(text.contains(path), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLatin1(LoadErrorText(C3dLoadError::ReadError))), qPrintable(text));
  } else {
    QCOMPARE(text, QString::fromLatin1(Messages::kNotEnoughMemory));
  }
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QCOMPARE(VisibleWindows(), 0);
  QCOMPARE(m_app->GetRecentFileList().GetCount(), 0);
}

void TestDocument::sameFileTwiceGivesTwoDocuments() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("twice.c3d"));
  CTremoluxDoc* first = m_app->OpenDocumentFile(path);
  CTremoluxDoc* second = m_app->OpenDocumentFile(path);
  QVERIFY(first && second && first != second);
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 2);
  QCOMPARE(VisibleWindows(), 2);
  QCOMPARE(m_app->GetRecentFileList().GetCount(), 1);
  first->GetViews().front()->GetParentFrame()->close();
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 1);
  QCOMPARE(m_app->GetDocTemplate()->GetDocument(0), second);
  QVERIFY(!second->m_c3d.m_groups.empty());  // the survivor keeps its own data
}

void TestDocument::newDocumentIsRefused() {
  QVERIFY(!m_app->GetDocTemplate()->OpenNewDocument());
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QCOMPARE(VisibleWindows(), 0);
}

void TestDocument::lastWindowClosesDocument() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("walk.c3d"));
  QPointer<CTremoluxDoc> doc = m_app->OpenDocumentFile(path);
  QVERIFY(doc);
  CMainFrame* frame = m_app->GetMainWnd();
  frame->GetAction(Res::ID_WINDOW_NEW)->trigger();
  QCOMPARE(doc->GetViews().size(), size_t{2});
  QCOMPARE(doc->GetViews()[0]->GetParentFrame()->windowTitle(), QStringLiteral("walk.c3d:1"));
  QCOMPARE(doc->GetViews()[1]->GetParentFrame()->windowTitle(), QStringLiteral("walk.c3d:2"));

  doc->GetViews()[0]->GetParentFrame()->close();
  QVERIFY(doc);
  QCOMPARE(doc->GetViews().front()->GetParentFrame()->windowTitle(), QStringLiteral("walk.c3d"));
  QCOMPARE(frame->GetMenuResourceId(), Res::IDR_C3DTYPE);

  doc->GetViews()[0]->GetParentFrame()->close();
  QVERIFY(doc.isNull());  // freed at once; the sanitizer build checks it freed all it held
  QTRY_COMPARE(frame->GetMenuResourceId(), Res::IDR_MAINFRAME);
  QCOMPARE(frame->windowTitle(), QStringLiteral("Tremolux"));
  QTRY_VERIFY(frame->MdiArea()->subWindowList().isEmpty());
}

void TestDocument::fileCloseClosesEveryWindow() {
  QPointer<CTremoluxDoc> doc =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  QPointer<CTremoluxDoc> other =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("b.c3d")));
  CMainFrame* frame = m_app->GetMainWnd();
  frame->MdiArea()->setActiveSubWindow(doc->GetViews().front()->GetParentFrame());
  frame->GetAction(Res::ID_WINDOW_NEW)->trigger();
  QCOMPARE(VisibleWindows(), 3);
  frame->GetAction(Res::ID_FILE_CLOSE)->trigger();
  QVERIFY(doc.isNull());
  QVERIFY(other);
  QCOMPARE(VisibleWindows(), 1);
  QTRY_COMPARE(frame->windowTitle(), QStringLiteral("Tremolux - b.c3d"));
}

void TestDocument::viewShowsOnlyWindowColour() {
  CTremoluxDoc* doc = m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  CTremoluxView* view = doc->GetViews().front();
  const QImage image = view->grab().toImage();
  QVERIFY(!image.isNull());
  const QRgb base = view->palette().color(QPalette::Base).rgb();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) QCOMPARE(image.pixel(x, y), base);
  }
}

// "Sound Dialog..." in the second window of one of two documents opens the
// dialog, modal over the main window, on that document's file.
void TestDocument::soundDialogRunsOnTheWindowsDocument() {
  CTremoluxDoc* first = m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  CTremoluxDoc* second = m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("b.c3d")));
  QVERIFY(first && second);
  CMainFrame* frame = m_app->GetMainWnd();
  frame->MdiArea()->setActiveSubWindow(first->GetViews().front()->GetParentFrame());
  frame->GetAction(Res::ID_WINDOW_NEW)->trigger();
  QCOMPARE(frame->GetActiveView(), first->GetViews().back());

  const CC3d* shown = nullptr;
  QWidget* owner = nullptr;
  QStringList channels;
  bool played = false;
  const bool canPlay = !QMediaDevices::defaultAudioOutput().isNull();
  auto click = [](CAnalogSoundDlg* dlg, int id) { static_cast<QPushButton*>(dlg->GetDlgItem(id))->click(); };
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* dlg = qobject_cast<CAnalogSoundDlg*>(w);
    QVERIFY(dlg);
    shown = dlg->m_pC3d;
    owner = dlg->parentWidget();
    for (int i = 0; i < dlg->m_comboChannel.count(); ++i) channels << dlg->m_comboChannel.itemText(i);
    if (canPlay) {  // Play and Stop reach the application's player
      dlg->m_comboChannel.setCurrentIndex(0);
      click(dlg, CAnalogSoundDlg::IDC_PLAY);
      played = CSoundPlayer::Instance()->IsPlaying();
      click(dlg, CAnalogSoundDlg::IDC_STOP);
      QVERIFY(!CSoundPlayer::Instance()->IsPlaying());
      click(dlg, CAnalogSoundDlg::IDC_PLAY);
    }
    click(dlg, CAnalogSoundDlg::IDOK);
  });
  frame->GetAction(Res::ID_VIEW_SOUND_DIALOG)->trigger();
  QCOMPARE(catcher.seen().size(), size_t{1});
  QCOMPARE(catcher.seen().front().title, QStringLiteral("C3D Analog Sound"));
  QCOMPARE(shown, &first->m_c3d);
  QCOMPARE(owner, frame);
  QCOMPARE(channels, (QStringList{"EMG1", "EMG2"}));
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 2);
  if (!canPlay) QSKIP("no audio output device: Play and Stop not tried (scripts/test provides one)");
  QVERIFY(played);
  QVERIFY(CSoundPlayer::Instance()->IsPlaying());  // the sound plays on after the dialog closed
  CSoundPlayer::Instance()->Purge();
}

void TestDocument::fileIsNeverWritten() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d"));
  auto digest = [&path] {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
  };
  const QByteArray before = digest();
  const QDateTime modified = QFileInfo(path).lastModified();
  guitest::ModalCatcher catcher;  // closing must not ask to save
  CTremoluxDoc* doc = m_app->OpenDocumentFile(path);
  QVERIFY(doc && !doc->IsModified());
  m_app->GetMainWnd()->close();
  QTest::qWait(60);
  QVERIFY(catcher.seen().empty());
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QCOMPARE(digest(), before);
  QCOMPARE(QFileInfo(path).lastModified(), modified);
}

TREMOLUX_SOUND_TEST_MAIN(TestDocument)
#include "tst_document.moc"
