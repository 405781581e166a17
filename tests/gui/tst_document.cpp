// Documents: opening, failing to open, several windows on one document,
// closing, and what the document leaves behind.
#include <QAudioDevice>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMediaDevices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QtTest>

#include "core/Messages.h"
#include "core/c3d/ChannelNames.h"
#include "gui/app/CChildFrame.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CLaneChooser.h"
#include "gui/app/CLaneView.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxApp.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CTremoluxView.h"
#include "gui/player/SoundPlayer.h"
#include "gui/res/ResourceIds.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SoundTestMain.h"

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
  void nextOpenReplacesAFailure();
  void loadErrorIsReported_data();
  void loadErrorIsReported();
  void sameFileTwiceActivatesItsWindow_data();
  void sameFileTwiceActivatesItsWindow();
  void newDocumentIsRefused();
  void lastWindowClosesDocument();
  void fileCloseClosesEveryWindow();
  void viewShowsTheFileOnWindowColour();
  void viewSummarizesRealFiles_data();
  void viewSummarizesRealFiles();
  void fileWithoutAnalogChannelsSaysSo();
  void soundDialogRunsOnTheWindowsDocument();
  void laneOpensTheDialogOnItsChannelAndRange_data();
  void laneOpensTheDialogOnItsChannelAndRange();
  void fileWithoutAnalogChannelsShowsNoLanes();
  void exportWritesTheShownLanesOverTheVisibleRange();
  void laneChoiceFiltersAndIsRemembered();
  void fileIsNeverWritten();

 private:
  int VisibleWindows() const {
    int n = 0;
    for (QMdiSubWindow* w : m_app->GetMainWnd()->MdiArea()->subWindowList())
      n += w->isHidden() ? 0 : 1;
    return n;
  }

  QString SummaryOf(CTremoluxDoc* doc) const {
    return doc->GetViews().front()->TextArea()->toPlainText();
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
  QCOMPARE(m_app->GetMainWnd()->windowTitle(),
           QStringLiteral("Tremolux - ") + QFileInfo(path).fileName());
  m_app->GetMainWnd()->GetAction(Res::ID_FILE_CLOSE)->trigger();
  QVERIFY(doc.isNull());
}

void TestDocument::openFailsSilently_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("bytes");  // empty name: the file is not created
  QTest::addColumn<QString>("reason");    // what the status bar says after the file's path
  const QString notC3d = QString::fromLatin1(LoadErrorText(C3dLoadError::NotC3d));
  QTest::newRow("missing file") << QString() << QByteArray() << "the file does not exist";
  QTest::newRow("empty file") << QStringLiteral("empty.c3d") << QByteArray() << notC3d;
  QTest::newRow("text file") << QStringLiteral("notes.c3d") << QByteArray(600, 'x') << notC3d;
  QTest::newRow("short header") << QStringLiteral("short.c3d") << QByteArray("\x02\x50\x00", 3)
                                << notC3d;
}

// No box, no document; the status bar alone says which file did not open
// and why, and keeps saying it while the pointer passes over the toolbar,
// until a menu prompt takes its place.
void TestDocument::openFailsSilently() {
  QFETCH(QString, name);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, reason);
  QString path = m_dir->filePath(QStringLiteral("absent.c3d"));
  if (!name.isEmpty()) {
    path = guitest::WriteBytes(m_dir->path(), name,
                               std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
  guitest::ModalCatcher catcher;
  QVERIFY(!m_app->OpenDocumentFile(path));
  QTest::qWait(60);  // a box would have been caught by now
  QVERIFY(catcher.seen().empty());
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QCOMPARE(VisibleWindows(), 0);
  QCOMPARE(m_app->GetRecentFileList().GetCount(), 0);
  QCOMPARE(m_app->GetMainWnd()->windowTitle(), QStringLiteral("Tremolux"));

  CMainFrame* frame = m_app->GetMainWnd();
  const QString expected =
      QStringLiteral("Could not open %1: %2").arg(QDir::toNativeSeparators(path), reason);
  QCOMPARE(frame->GetMessageText(), expected);
  QStatusTipEvent leave{QString()};  // the pointer leaves a toolbar button
  QApplication::sendEvent(frame, &leave);
  QCOMPARE(frame->GetMessageText(), expected);
  QStatusTipEvent prompt{QStringLiteral("Open an existing document")};
  QApplication::sendEvent(frame, &prompt);
  QApplication::sendEvent(frame, &leave);
  QCOMPARE(frame->GetMessageText(), QStringLiteral("Ready"));
}

// "Could not open ..." stood in the status bar after the next file opened,
// as if that one had failed too: a successful open brings "Ready" back.
void TestDocument::nextOpenReplacesAFailure() {
  CMainFrame* frame = m_app->GetMainWnd();
  QVERIFY(!m_app->OpenDocumentFile(m_dir->filePath(QStringLiteral("absent.c3d"))));
  QVERIFY(frame->GetMessageText().startsWith(QStringLiteral("Could not open ")));
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("good.c3d"));
  QVERIFY(m_app->OpenDocumentFile(path));
  QCOMPARE(frame->GetMessageText(), QStringLiteral("Ready"));
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
    QVERIFY2(text.contains(QString::fromLatin1(LoadErrorText(C3dLoadError::ReadError))),
             qPrintable(text));
  } else {
    QCOMPARE(text, QString::fromLatin1(Messages::kNotEnoughMemory));
  }
  // The status bar names the file too, once the box has gone.
  QVERIFY2(
      m_app->GetMainWnd()->GetMessageText().startsWith(QStringLiteral("Could not open ") + path),
      qPrintable(m_app->GetMainWnd()->GetMessageText()));
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  QCOMPARE(VisibleWindows(), 0);
  QCOMPARE(m_app->GetRecentFileList().GetCount(), 0);
}

void TestDocument::sameFileTwiceActivatesItsWindow_data() {
  QTest::addColumn<int>("spelling");  // 0 as first opened, 1 with "/./" and "..", 2 through a link
  QTest::addColumn<int>("route");     // 0 OpenDocumentFile, 1 the recent list, 2 a drop
  const char* spellings[] = {"same path", "dotted path", "symbolic link"};
  const char* routes[] = {"open", "recent", "drop"};
  for (int spelling = 0; spelling < 3; ++spelling) {
    for (int route = 0; route < 3; ++route) {
      if (route == 1 && spelling != 0) continue;  // the recent list holds the path as opened
      QTest::addRow("%s, %s", spellings[spelling], routes[route]) << spelling << route;
    }
  }
}

// A file that is already open is not read a second time: its window comes
// forward (restored when minimized) and it stays one document with one window.
void TestDocument::sameFileTwiceActivatesItsWindow() {
  QFETCH(int, spelling);
  QFETCH(int, route);
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("twice.c3d"));
  CTremoluxDoc* first = m_app->OpenDocumentFile(path);
  QVERIFY(first);
  CChildFrame* window = first->GetViews().front()->GetParentFrame();
  window->showMinimized();
  CTremoluxDoc* other =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("other.c3d")));
  CMainFrame* frame = m_app->GetMainWnd();
  QCOMPARE(frame->GetActiveDocument(), other);

  QString again = path;
  if (spelling == 1) {
    QDir().mkpath(m_dir->filePath(QStringLiteral("sub")));
    again = m_dir->path() + QStringLiteral("/./sub/../twice.c3d");
  } else if (spelling == 2) {
    again = m_dir->filePath(QStringLiteral("link.c3d"));
    if (!QFile::link(path, again)) QSKIP("symbolic links cannot be made here");
  }
  if (route == 0) {
    QCOMPARE(m_app->OpenDocumentFile(again), first);
  } else if (route == 1) {
    QCOMPARE(m_app->GetRecentFileList()[1], path);
    frame->GetAction(Res::ID_FILE_MRU_FILE1 + 1)->trigger();
  } else {
    emit frame->filesDropped({again});
  }
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 2);
  QCOMPARE(VisibleWindows(), 2);
  QCOMPARE(first->GetViews().size(), size_t{1});
  QCOMPARE(frame->GetActiveDocument(), first);
  QVERIFY(!window->isMinimized());
  QCOMPARE(frame->GetMessageText(), QStringLiteral("Ready"));
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

// The view is the file's summary, read-only but selectable, on the
// desktop's window colour, following a change of palette.
void TestDocument::viewShowsTheFileOnWindowColour() {
  CTremoluxDoc* doc =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  CTremoluxView* view = doc->GetViews().front();
  QPlainTextEdit* text = view->TextArea();
  QVERIFY(text->isReadOnly());
  QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
  const QString summary = text->toPlainText();
  QVERIFY2(summary.startsWith(QStringLiteral("File: a.c3d\n")), qPrintable(summary));
  QVERIFY2(summary.contains(QStringLiteral("EMG1")) &&
               summary.contains(QStringLiteral("Duration: 0.5 s")),
           qPrintable(summary));

  const QPalette original = QApplication::palette();
  for (const QColor& colour : {original.color(QPalette::Base), QColor(20, 30, 40)}) {
    QPalette palette = original;
    palette.setColor(QPalette::Base, colour);
    QApplication::setPalette(palette);
    // The top right corner of the text's page lies beyond every line. The
    // new palette reaches the widgets through posted events.
    const auto corner = [text] {
      const QImage image = text->viewport()->grab().toImage();
      return image.isNull() ? QColor() : QColor(image.pixel(image.width() - 3, 3));
    };
    QTRY_COMPARE(corner(), colour);
  }
  QApplication::setPalette(original);
}

void TestDocument::viewSummarizesRealFiles_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("duration");
  QTest::addColumn<QStringList>("lines");  // lines the summary must hold, blanks squeezed
  QTest::newRow("Cometa EMG") << "sample00/Cometa Systems/EMG Data Cometa.c3d"
                              << "19.9 s"
                              << QStringList{"Analog: 24 channels at 2000 Hz, 39800 samples each",
                                             "0 R.ADDUCTORS uV -1203.46 to 1555.13",
                                             "12 Proximal vastus lateralis uV -1682.53 to 1920.4",
                                             "23 Acc_6 :Z g -15.9062 to 15.9062"};
  QTest::newRow("Intel force plates")
      << "sample01/Eb015pi.c3d"
      << "9 s"
      << QStringList{"Processor: Intel (1), 16-bit integer samples",
                     "Frames: 1 to 450 (450 frames) at 50 Hz",
                     "Analog: 16 channels at 200 Hz, 1800 samples each",
                     "2 FZ1 nt -838.488 to -18.6",
                     "15 CH16 d.u. -130.5 to 46",
                     "Events: 3",
                     "RHS 5.4 s"};
  QTest::newRow("DEC pig gait") << "sample03/gait-pig.c3d"
                                << "2.84 s"
                                << QStringList{"Processor: DEC (2), 16-bit integer samples",
                                               "Analog: 30 channels at 800 Hz, 2272 samples each",
                                               "0 LFS V -0.34648 to -0.07808"};
}

// Real recordings: the window names every channel as the sound dialog
// lists it, with its units and physical range, and the recording's length.
void TestDocument::viewSummarizesRealFiles() {
  QFETCH(QString, file);
  QFETCH(QString, duration);
  QFETCH(QStringList, lines);
  const QString path = QStringLiteral(TREMOLUX_SAMPLES_DIR "/") + file;
  if (!QFile::exists(path)) QSKIP("real C3D samples not present (TREMOLUX_SAMPLES_DIR)");
  CTremoluxDoc* doc = m_app->OpenDocumentFile(path);
  QVERIFY(doc);
  QStringList shown = SummaryOf(doc).split(QLatin1Char('\n'));
  for (QString& line : shown) line = line.simplified();
  QVERIFY(shown.contains(QStringLiteral("File: ") + QFileInfo(path).fileName()));
  QVERIFY(shown.contains(QStringLiteral("Duration: ") + duration));
  for (const QString& line : lines) QVERIFY2(shown.contains(line), qPrintable(line));
  // One line per channel, each naming the channel as the dialog lists it.
  const std::vector<std::string> names = AnalogChannelNames(doc->m_c3d);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const QString start =
        QStringLiteral("%1 %2 ").arg(i).arg(QString::fromLatin1(names[i]).simplified());
    QVERIFY2(std::any_of(shown.begin(), shown.end(),
                         [&](const QString& l) { return l.startsWith(start); }),
             qPrintable(start));
  }
}

// A points-only recording says so in its window, and "Sound Dialog..."
// says the same in a box instead of opening an empty channel list.
void TestDocument::fileWithoutAnalogChannelsSaysSo() {
  c3dtest::Recording rec;
  rec.points = {{1, 2, 3, 0, 4, 5, 6, 0}};
  CTremoluxDoc* doc = m_app->OpenDocumentFile(
      guitest::WriteRecording(m_dir->path(), QStringLiteral("points.c3d"), rec));
  QVERIFY(doc);
  QVERIFY(doc->m_c3d.m_analogs.empty());
  const QString message = QString::fromLatin1(Messages::kNoAnalogChannels);
  QVERIFY2(SummaryOf(doc).split(QLatin1Char('\n')).contains(message), qPrintable(SummaryOf(doc)));
  QVERIFY(!SummaryOf(doc).contains(QStringLiteral("Analog:")));

  guitest::ModalCatcher catcher;
  m_app->GetMainWnd()->GetAction(Res::ID_VIEW_SOUND_DIALOG)->trigger();
  QCOMPARE(catcher.seen().size(), size_t{1});
  QCOMPARE(catcher.seen().front().className, QStringLiteral("QMessageBox"));
  QCOMPARE(catcher.seen().front().text, message);
}

// "Sound Dialog..." in the second window of one of two documents opens the
// dialog, modal over the main window, on that document's file.
void TestDocument::soundDialogRunsOnTheWindowsDocument() {
  CTremoluxDoc* first =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  CTremoluxDoc* second =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("b.c3d")));
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
  auto click = [](CAnalogSoundDlg* dlg, int id) {
    static_cast<QPushButton*>(dlg->GetDlgItem(id))->click();
  };
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* dlg = qobject_cast<CAnalogSoundDlg*>(w);
    QVERIFY(dlg);
    shown = dlg->m_pC3d;
    owner = dlg->parentWidget();
    for (int i = 0; i < dlg->m_comboChannel.count(); ++i)
      channels << dlg->m_comboChannel.itemText(i);
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
  if (!canPlay)
    QSKIP("no audio output device: Play and Stop not tried (scripts/test provides one)");
  QVERIFY(played);
  QVERIFY(CSoundPlayer::Instance()->IsPlaying());  // the sound plays on after the dialog closed
  CSoundPlayer::Instance()->Purge();
}

void TestDocument::laneOpensTheDialogOnItsChannelAndRange_data() {
  QTest::addColumn<bool>("byKey");
  QTest::newRow("double-click on the label") << false;
  QTest::newRow("Enter on the focused lane") << true;
}

// The second lane's label (or Enter after Down from the first lane) opens
// the sound dialog on the second channel with the lanes' range visible; the
// lanes follow its playhead while it plays.
void TestDocument::laneOpensTheDialogOnItsChannelAndRange() {
  QFETCH(bool, byKey);
  CTremoluxDoc* doc =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  QVERIFY(doc);
  CLaneView* lanes = doc->GetViews().front()->Lanes();
  QTRY_VERIFY(lanes->isVisible());
  lanes->SetVisibleRange(100, 300);
  int channel = -1;
  int plotted = -1;
  PlotRange range;
  double playhead = -1.0;
  const bool canPlay = !QMediaDevices::defaultAudioOutput().isNull();
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* dlg = qobject_cast<CAnalogSoundDlg*>(w);
    QVERIFY(dlg);
    channel = dlg->m_comboChannel.currentIndex();
    plotted = dlg->m_plot.m_nChannel;
    range = dlg->m_plot.VisibleRange();
    if (canPlay) {
      static_cast<QPushButton*>(dlg->GetDlgItem(CAnalogSoundDlg::IDC_PLAY))->click();
      QTRY_VERIFY(lanes->PlayheadSample() >= 100.0);
      playhead = lanes->PlayheadSample();
    }
    static_cast<QPushButton*>(dlg->GetDlgItem(CAnalogSoundDlg::IDOK))->click();
  });
  if (byKey) {
    lanes->SetFocusChannel(0);
    QTest::keyClick(lanes, Qt::Key_Down);
    QTest::keyClick(lanes, Qt::Key_Return);
  } else {
    QTest::mouseDClick(lanes->viewport(), Qt::LeftButton, {}, lanes->LabelRect(1).center());
  }
  QCOMPARE(catcher.seen().size(), size_t{1});
  QCOMPARE(channel, 1);
  QCOMPARE(plotted, 1);
  QCOMPARE(range, (PlotRange{100, 300}));
  QCOMPARE(lanes->PlayheadSample(), -1.0);  // no longer followed once the dialog closed
  CSoundPlayer::Instance()->Purge();
  if (!canPlay) QSKIP("no audio output device: the playhead was not tried");
  QVERIFY(playhead >= 100.0 && playhead < 300.0);
}

// A points-only recording shows its summary, and where the lanes would be,
// the line that says it has no analog channels.
void TestDocument::fileWithoutAnalogChannelsShowsNoLanes() {
  c3dtest::Recording rec;
  rec.points = {{1, 2, 3, 0, 4, 5, 6, 0}};
  CTremoluxDoc* doc = m_app->OpenDocumentFile(
      guitest::WriteRecording(m_dir->path(), QStringLiteral("points.c3d"), rec));
  QVERIFY(doc);
  CTremoluxView* view = doc->GetViews().front();
  QCOMPARE(view->Pages()->currentWidget(), view->TextArea());
  QVERIFY(view->NoLanesMessage()->isVisibleTo(view->Pages()->widget(0)));
  QCOMPARE(view->NoLanesMessage()->text(), QString::fromLatin1(Messages::kNoAnalogChannels));
  QVERIFY(!view->Lanes()->isVisibleTo(view->Pages()->widget(0)));
  QVERIFY(view->Lanes()->ShownChannels().empty());
}

// File > Export > "Channels as CSV..." writes what the lanes show: the
// ticked channels only, the visible samples only, times counted from the
// recording's first sample.
void TestDocument::exportWritesTheShownLanesOverTheVisibleRange() {
  CTremoluxDoc* doc =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  QVERIFY(doc);
  CTremoluxView* view = doc->GetViews().front();
  view->Chooser()->SetShown({1});
  view->Lanes()->SetVisibleRange(100, 103);
  const QString path = m_dir->filePath(QStringLiteral("lanes.csv"));
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* files = qobject_cast<QFileDialog*>(w);
    QVERIFY(files);
    QCOMPARE(files->windowTitle(), QString::fromLatin1(Messages::kExportCsvTitle));
    if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
      name->setText(path);
    static_cast<QDialog*>(files)->done(QDialog::Accepted);  // not accept(): no overwrite question
  });
  m_app->GetMainWnd()->GetAction(Res::ID_FILE_EXPORT_CSV)->trigger();
  QCOMPARE(catcher.seen().size(), size_t{1});
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QStringList rows = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
  QCOMPARE(rows.size(), 5);  // the header, three samples, and the empty rest after the last CR LF
  QVERIFY2(rows[0].startsWith(QStringLiteral("time [s],EMG2")), qPrintable(rows[0]));
  const CAnalog& emg2 = *doc->m_c3d.m_analogs[1];
  for (int i = 0; i < 3; ++i) {
    const QStringList fields = rows[i + 1].split(QLatin1Char(','));
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0].toDouble(), (100 + i) / 1000.0);
    QCOMPARE(fields[1].toFloat(), emg2.GetScaledSample(100 + i, emg2.m_fOffset, emg2.m_fScale,
                                                       doc->m_c3d.m_bIntegerData));
  }
  QVERIFY(rows[4].isEmpty());
}

// The filter lists the channels whose label holds its text and Enter shows
// just those; "All" ticks every listed one; a file with the same channels
// opened later in the session shows the same lanes, another file all its own.
void TestDocument::laneChoiceFiltersAndIsRemembered() {
  CTremoluxDoc* first =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d")));
  QVERIFY(first);
  CTremoluxView* view = first->GetViews().front();
  view->Chooser()->Filter()->setText(QStringLiteral("mg2"));
  QTest::keyClick(view->Chooser()->Filter(), Qt::Key_Return);
  QCOMPARE(view->Lanes()->ShownChannels(), (std::vector<int>{1}));
  view->Chooser()->Filter()->clear();
  QCOMPARE(view->Chooser()->All()->checkState(), Qt::PartiallyChecked);

  CTremoluxDoc* same =
      m_app->OpenDocumentFile(guitest::WriteRecording(m_dir->path(), QStringLiteral("b.c3d")));
  QCOMPARE(same->GetViews().front()->Lanes()->ShownChannels(), (std::vector<int>{1}));
  c3dtest::Recording other = guitest::SmallRecording();
  other.records.clear();
  c3dtest::AddStandardParameters(other, {"X", "Y"}, {}, {}, std::nullopt);
  CTremoluxDoc* different = m_app->OpenDocumentFile(
      guitest::WriteRecording(m_dir->path(), QStringLiteral("c.c3d"), other));
  QCOMPARE(different->GetViews().front()->Lanes()->ShownChannels(), (std::vector<int>{0, 1}));

  view->Chooser()->All()->click();
  QCOMPARE(view->Lanes()->ShownChannels(), (std::vector<int>{0, 1}));
}

void TestDocument::fileIsNeverWritten() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("a.c3d"));
  auto digest = [&path] {
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
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
