// Long sessions: doing the same thing again and again must not make the
// program hold more and more memory. Each check repeats one user action many
// times on one running application (opening and closing a file, the sound
// dialog with Play and Stop, switching channels while a sound plays, closing
// the dialog over a playing sound, sound dialogs opened over a sound that
// plays on, the About box, 200 files dropped at once) and reads the heap in use
// after every repetition. The first repetitions warm the caches up (fonts,
// icons, the sound server connection); after them the heap must stay flat:
// a few hundred kilobytes of total growth at most, and a trend per
// repetition far below what a leaked window, icon or sound would cost.
#include <QAudioDevice>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMediaDevices>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "gui/app/CChildFrame.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxApp.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CTremoluxView.h"
#include "gui/player/SoundPlayer.h"
#include "gui/res/ResourceIds.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SoundTestMain.h"

// The sanitizer build replaces malloc, so glibc's own counters say nothing
// there; the sanitizer's allocator keeps its own count instead.
#if defined(__SANITIZE_ADDRESS__)
#define TREMOLUX_HEAP_FROM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREMOLUX_HEAP_FROM_ASAN 1
#endif
#endif

#ifdef TREMOLUX_HEAP_FROM_ASAN
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else
// GCC 12 installs no header for the allocator's statistics; the runtime
// exports the function all the same (part of the sanitizers' public interface).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif
#else
#include <malloc.h>
#endif

namespace {

// Limits, in bytes. What a real leak costs here: a window icon cached anew
// per window cost 1.6 KB per open and close, one per About box 4.6 KB; a
// kept copy of a sound of the long recording would cost 320 KB (20 s at
// 8000 Hz, 16 bit); for a drop of 200 files, the icon leak costs 320 KB a
// drop. Measured without leaks (normal build / sanitizer build):
// open and close 0.1 / 0 bytes per repetition, the About box 0 / 0,
// switching channels 23 to 58 / 12 to 21; each Play leaves about 100 to 450 bytes in the
// sound server's client library (replies it still waits for), which is not
// this program's to free. Under glibc every thread also keeps a
// few freed blocks of each size for reuse, which mallinfo2 counts as in use:
// while those caches fill, readings rise by up to ~120 KB in all and ~500
// bytes per repetition (tests/CMakeLists.txt turns them off for ctest; run by
// hand they are on, so the limits allow for them).
constexpr qint64 kMaxGrowth = 512 * 1024;   // any check, in all: worst seen 84 KB
constexpr double kMaxPerCycle = 512;        // opening a file, the About box: worst seen 127
constexpr double kMaxPerPlayCycle = 2048;   // a repetition that plays a sound: worst seen 964
constexpr double kMaxPerSwitchCycle = 512;  // a channel switch, a Play every tenth: worst seen 86
constexpr double kMaxPerDropCycle = 32768;  // 200 files dropped, opened and closed: worst seen 2048

// Bytes the program holds on the heap right now, every thread's arena
// included: blocks handed out from the arenas plus those mapped on their own.
qint64 HeapInUse() {
#ifdef TREMOLUX_HEAP_FROM_ASAN
  return static_cast<qint64>(__sanitizer_get_current_allocated_bytes());
#else
  const struct mallinfo2 info = mallinfo2();
  return static_cast<qint64>(info.uordblks + info.hblkhd);
#endif
}

// Lets everything that was closed actually go: objects waiting for
// deleteLater, and the events and repaints queued behind them.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

// Each sound is opened, fed and closed by a thread of its own, which a stop
// only asks to finish: waiting for it before the heap is read lets every
// reading find the same sounds' allocations, not a varying share of one
// that is still closing.
void LetStoppedSoundsEnd() { QTest::qWait(100); }

// How the heap moved over the measured repetitions of one action.
struct HeapTrend {
  qint64 growth = 0;    // bytes: the last reading minus the first
  double perCycle = 0;  // bytes per repetition: the least-squares slope of all readings
  int cycles = 0;       // repetitions measured (those after the warm-up)
};

// Runs `cycle(i)` for i = 0 .. warmup + measured - 1, settling after each,
// and reads the heap before the first measured repetition and after every
// one. Stops early when a check inside a repetition failed.
HeapTrend MeasureHeap(int warmup, int measured, const std::function<void(int)>& cycle) {
  for (int i = 0; i < warmup && !QTest::currentTestFailed(); ++i) {
    cycle(i);
    Settle();
  }
  std::vector<qint64> readings;
  readings.reserve(static_cast<std::size_t>(measured) + 1);  // the readings must not grow the heap
  readings.push_back(HeapInUse());
  for (int i = 0; i < measured && !QTest::currentTestFailed(); ++i) {
    cycle(warmup + i);
    Settle();
    readings.push_back(HeapInUse());
  }
  HeapTrend trend;
  trend.cycles = static_cast<int>(readings.size()) - 1;
  trend.growth = readings.back() - readings.front();
  // Slope of the readings against the repetition number: a steady leak
  // shows in it however much a single reading jumps about.
  const double n = static_cast<double>(readings.size());
  double sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
  for (std::size_t k = 0; k < readings.size(); ++k) {
    const double x = static_cast<double>(k);
    const double y = static_cast<double>(readings[k] - readings.front());
    sumX += x;
    sumY += y;
    sumXX += x * x;
    sumXY += x * y;
  }
  const double denominator = n * sumXX - sumX * sumX;
  if (denominator > 0) trend.perCycle = (n * sumXY - sumX * sumY) / denominator;
  return trend;
}

// Fails unless the heap stayed within `maxGrowth` bytes in all and within
// `maxPerCycle` bytes per repetition; says what it measured either way.
void ExpectFlatHeap(const char* what, const HeapTrend& trend, qint64 maxGrowth,
                    double maxPerCycle) {
  const QString report =
      QStringLiteral("%1: heap grew %2 bytes over %3 repetitions, %4 bytes per repetition")
          .arg(QLatin1String(what))
          .arg(trend.growth)
          .arg(trend.cycles)
          .arg(trend.perCycle, 0, 'f', 1);
  qInfo("%s", qPrintable(report));
  if (trend.growth > maxGrowth || trend.perCycle > maxPerCycle) {
    QTest::qFail(qPrintable(report + QStringLiteral(" (limits %1 bytes, %2 bytes per repetition)")
                                         .arg(maxGrowth)
                                         .arg(maxPerCycle, 0, 'f', 0)),
                 __FILE__, __LINE__);
  }
}

void Click(CAnalogSoundDlg* dlg, int id) {
  static_cast<QPushButton*>(dlg->GetDlgItem(id))->click();
}

bool CanPlay() { return !QMediaDevices::defaultAudioOutput().isNull(); }

// Drops `paths` on the main window as a file manager does: the drag enters
// and drops, carrying them all as file URLs in that order (Qt delivers a
// drop only to the widget that accepted the drag's entry). True when the
// frame took both.
bool DropOnFrame(CMainFrame* frame, const QStringList& paths) {
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  QMimeData mime;
  mime.setUrls(urls);
  const QPoint at = frame->MdiArea()->geometry().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(frame, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(frame, &drop);
  return enter.isAccepted() && drop.isAccepted();
}

// The window list at the end of the Window menu as it is about to be shown:
// each entry's text, " (checked)" after the active window's.
QStringList WindowMenuList(CMainFrame* frame) {
  QStringList entries;
  for (QAction* top : frame->menuBar()->actions()) {
    if (top->text() != QStringLiteral("&Window")) continue;
    emit top->menu()->aboutToShow();
    for (QAction* item : top->menu()->actions()) {
      if (item->text().startsWith(QLatin1Char('&')) && item->text().at(1).isDigit())
        entries << item->text() + (item->isChecked() ? QStringLiteral(" (checked)") : QString());
      else if (item->text() == QStringLiteral("&More Windows..."))
        entries << item->text();
    }
  }
  return entries;
}

}  // namespace

class TestLongSession : public QObject {
  Q_OBJECT

 public:
  static void initMain() { guitest::UseScratchEnvironment(); }

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void cleanup();

  void openAndCloseTheSameFile();
  void soundDialogPlayStopClose();
  void switchChannelsWhilePlaying();
  void closeTheDialogWhilePlaying();
  void soundDialogsOverAPlayingSound();
  void aboutBoxAgainAndAgain();
  void dropTwoHundredFiles();

 private:
  // Opens the recording for the sound checks: long enough (20 s) to play on
  // through every repetition that expects it to.
  CTremoluxDoc* OpenLongRecording();
  // Triggers the view's Sound Dialog command, so the dialog runs modally as
  // the user gets it; `drive` works the dialog from inside its event loop
  // and must end it (OK). A dialog that did not end is ended regardless.
  void RunSoundDialog(const std::function<void(CAnalogSoundDlg*)>& drive);

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<CTremoluxApp> m_app;  // one application for the whole run, as a user has
};

void TestLongSession::initTestCase() {
  guitest::ClearSettings();
  m_dir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_dir->isValid());
  // The sound dialog's temporary files go here, so none is left behind unseen.
  qputenv("TMPDIR", QFile::encodeName(m_dir->path()));
  m_app = std::make_unique<CTremoluxApp>();
  QVERIFY(m_app->InitInstance({QStringLiteral("tremolux")}));
}

void TestLongSession::cleanupTestCase() {
  m_app.reset();
  m_dir.reset();
}

void TestLongSession::cleanup() {
  if (CSoundPlayer::Instance()) CSoundPlayer::Instance()->Purge();
  m_app->GetDocTemplate()->CloseAllDocuments();
  Settle();
}

CTremoluxDoc* TestLongSession::OpenLongRecording() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("long.c3d"),
                                               guitest::SmallRecording(20000));
  return m_app->OpenDocumentFile(path);
}

void TestLongSession::RunSoundDialog(const std::function<void(CAnalogSoundDlg*)>& drive) {
  bool ran = false;
  // Polls until the dialog is the modal window: showing it may run events
  // before its own loop starts. Stops with this function, whatever happened.
  QTimer poll;
  poll.setInterval(5);
  connect(&poll, &QTimer::timeout, m_app.get(), [&] {
    auto* dlg = qobject_cast<CAnalogSoundDlg*>(QApplication::activeModalWidget());
    if (!dlg) return;
    poll.stop();
    ran = true;
    drive(dlg);
    if (dlg->isVisible()) dlg->done(-1);  // never leave the test waiting on it
  });
  poll.start();
  m_app->GetMainWnd()->GetAction(Res::ID_VIEW_SOUND_DIALOG)->trigger();
  QVERIFY2(ran, "the Sound Dialog command showed no sound dialog");
}

// Every window and document of a closed file must go with it: a frame, view,
// icon or parameter tree left behind per file shows as kilobytes per cycle.
void TestLongSession::openAndCloseTheSameFile() {
  const QString path = guitest::WriteRecording(m_dir->path(), QStringLiteral("walk.c3d"));
  CMainFrame* frame = m_app->GetMainWnd();
  const HeapTrend trend = MeasureHeap(20, 180, [&](int) {
    QPointer<CTremoluxDoc> doc = m_app->OpenDocumentFile(path);
    QVERIFY(doc);
    QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 1);
    QCOMPARE(frame->MdiArea()->subWindowList().size(), 1);
    frame->GetAction(Res::ID_FILE_CLOSE)->trigger();
    QVERIFY(doc.isNull());
    QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 0);
  });
  if (QTest::currentTestFailed()) return;
  QCOMPARE(frame->MdiArea()->subWindowList().size(), 0);
  QCOMPARE(m_app->GetRecentFileList().GetCount(), 1);  // the same file, listed once
  ExpectFlatHeap("open and close", trend, kMaxGrowth, kMaxPerCycle);
}

// The dialog, its sound buffer and temporary file, and the sound each Play
// hands to the player must all be released by Stop and OK.
void TestLongSession::soundDialogPlayStopClose() {
  if (!CanPlay()) QSKIP("no audio output device (scripts/test starts a private PulseAudio server)");
  CTremoluxDoc* doc = OpenLongRecording();
  QVERIFY(doc);
  CSoundPlayer* player = CSoundPlayer::Instance();
  QVERIFY(player);
  const HeapTrend trend = MeasureHeap(20, 80, [&](int i) {
    bool played = false, stopped = false;
    QString tempFile;
    RunSoundDialog([&](CAnalogSoundDlg* dlg) {
      dlg->m_comboChannel.setCurrentIndex(i % dlg->m_comboChannel.count());
      tempFile = dlg->m_strTempFile;
      Click(dlg, CAnalogSoundDlg::IDC_PLAY);
      played = player->IsPlaying();
      Click(dlg, CAnalogSoundDlg::IDC_STOP);
      stopped = !player->IsPlaying();
      Click(dlg, CAnalogSoundDlg::IDOK);
    });
    QVERIFY2(played, qPrintable(player->LastError()));
    QVERIFY(stopped);
    QVERIFY(!tempFile.isEmpty());
    QVERIFY(!QFileInfo::exists(tempFile));
    LetStoppedSoundsEnd();
  });
  if (QTest::currentTestFailed()) return;
  ExpectFlatHeap("sound dialog play, stop, OK", trend, kMaxGrowth, kMaxPerPlayCycle);
}

// Choosing other channels while a sound plays redraws the plot and nothing
// else; Play again replaces the playing sound, whose copy must be freed. The
// player reports each replaced sound as finished exactly once.
void TestLongSession::switchChannelsWhilePlaying() {
  if (!CanPlay()) QSKIP("no audio output device (scripts/test starts a private PulseAudio server)");
  CTremoluxDoc* doc = OpenLongRecording();
  QVERIFY(doc);
  CSoundPlayer* player = CSoundPlayer::Instance();
  QVERIFY(player);
  int finished = 0;
  const QMetaObject::Connection counting =
      connect(player, &CSoundPlayer::Finished, this, [&finished] { ++finished; });

  CAnalogSoundDlg dlg(m_app->GetMainWnd());
  dlg.m_pC3d = &doc->m_c3d;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  const int channels = dlg.m_comboChannel.count();
  QCOMPARE(channels, 2);
  dlg.m_comboChannel.setCurrentIndex(0);
  Click(&dlg, CAnalogSoundDlg::IDC_PLAY);
  QVERIFY2(player->IsPlaying(), qPrintable(player->LastError()));
  int plays = 1;

  constexpr int kPlayEvery = 10;  // switches between two presses of Play
  const HeapTrend trend = MeasureHeap(30, 300, [&](int i) {
    const int channel = (i + 1) % channels;
    dlg.m_comboChannel.setCurrentIndex(channel);
    QCOMPARE(dlg.m_plot.m_nChannel, channel);
    if (i % kPlayEvery == kPlayEvery - 1) {
      Click(&dlg, CAnalogSoundDlg::IDC_PLAY);
      ++plays;
      LetStoppedSoundsEnd();
    }
    QVERIFY2(player->IsPlaying(), qPrintable(player->LastError()));
    QCOMPARE(finished, plays - 1);  // each Play ended the sound before it, once
  });
  if (QTest::currentTestFailed()) return;
  Click(&dlg, CAnalogSoundDlg::IDC_STOP);
  QVERIFY(!player->IsPlaying());
  QCOMPARE(finished, plays);
  disconnect(counting);
  ExpectFlatHeap("switch channels while playing", trend, kMaxGrowth, kMaxPerSwitchCycle);
}

// A sound outlives its dialog; the player alone holds it then, and must let
// it go when told to stop.
void TestLongSession::closeTheDialogWhilePlaying() {
  if (!CanPlay()) QSKIP("no audio output device (scripts/test starts a private PulseAudio server)");
  CTremoluxDoc* doc = OpenLongRecording();
  QVERIFY(doc);
  CSoundPlayer* player = CSoundPlayer::Instance();
  QVERIFY(player);
  const HeapTrend trend = MeasureHeap(10, 40, [&](int i) {
    bool played = false;
    QString tempFile;
    RunSoundDialog([&](CAnalogSoundDlg* dlg) {
      dlg->m_comboChannel.setCurrentIndex(i % dlg->m_comboChannel.count());
      tempFile = dlg->m_strTempFile;
      Click(dlg, CAnalogSoundDlg::IDC_PLAY);
      played = player->IsPlaying();
      Click(dlg, CAnalogSoundDlg::IDOK);
    });
    QVERIFY2(played, qPrintable(player->LastError()));
    QVERIFY(player->IsPlaying());  // plays on after the dialog has gone
    QVERIFY(!QFileInfo::exists(tempFile));
    player->Purge();
    QVERIFY(!player->IsPlaying());
    LetStoppedSoundsEnd();
  });
  if (QTest::currentTestFailed()) return;
  ExpectFlatHeap("close the dialog while playing", trend, kMaxGrowth, kMaxPerPlayCycle);
}

// While a sound plays on after the dialog that started it has closed, more
// sound dialogs open and close over it (each making and removing its own
// temporary file, drawing its plot): none of them may stop it or take its
// end as theirs, and each must give back what it took.
void TestLongSession::soundDialogsOverAPlayingSound() {
  if (!CanPlay()) QSKIP("no audio output device (scripts/test starts a private PulseAudio server)");
  QVERIFY(OpenLongRecording());
  CSoundPlayer* player = CSoundPlayer::Instance();
  QVERIFY(player);
  int finished = 0;
  const QMetaObject::Connection counting =
      connect(player, &CSoundPlayer::Finished, this, [&finished] { ++finished; });
  RunSoundDialog([&](CAnalogSoundDlg* dlg) {
    dlg->m_comboChannel.setCurrentIndex(0);
    Click(dlg, CAnalogSoundDlg::IDC_PLAY);
    Click(dlg, CAnalogSoundDlg::IDOK);
  });
  QVERIFY2(player->IsPlaying(), qPrintable(player->LastError()));

  const HeapTrend trend = MeasureHeap(10, 40, [&](int i) {
    int channels = 0;
    QString tempFile;
    RunSoundDialog([&](CAnalogSoundDlg* dlg) {
      channels = dlg->m_comboChannel.count();
      dlg->m_comboChannel.setCurrentIndex(i % 2);
      tempFile = dlg->m_strTempFile;
      Click(dlg, CAnalogSoundDlg::IDOK);
    });
    QCOMPARE(channels, 2);
    QVERIFY(!tempFile.isEmpty());
    QVERIFY(!QFileInfo::exists(tempFile));
    QVERIFY2(player->IsPlaying(), "a sound dialog that played nothing stopped the sound");
    QCOMPARE(finished, 0);
  });
  if (QTest::currentTestFailed()) return;
  QCOMPARE(CSoundPlayer::Instance(), player);  // the application's player throughout
  player->Purge();
  QVERIFY(!player->IsPlaying());
  QTest::qWait(200);  // a second report of the same end would come in here
  QCOMPARE(finished, 1);
  disconnect(counting);
  ExpectFlatHeap("sound dialogs over a playing sound", trend, kMaxGrowth, kMaxPerCycle);
}

// The About box shows the application icon; drawing it must not add a
// cached picture each time the box opens.
void TestLongSession::aboutBoxAgainAndAgain() {
  QAction* about = m_app->GetMainWnd()->GetAction(Res::ID_APP_ABOUT);
  const HeapTrend trend = MeasureHeap(10, 90, [&](int) {
    bool shown = false;
    QTimer::singleShot(0, m_app.get(), [&] {
      auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!box) return;
      shown = true;
      box->accept();
    });
    about->trigger();
    QVERIFY(shown);
  });
  if (QTest::currentTestFailed()) return;
  ExpectFlatHeap("About box", trend, kMaxGrowth, kMaxPerCycle);
}

// 200 files dropped at once open as 200 documents, one window each, in the
// order dropped. A file named again in the same drop, through a link or
// with "." and "..", is not opened twice: its window comes forward. Closing
// them all must give back everything the drop took.
void TestLongSession::dropTwoHundredFiles() {
  constexpr int kFiles = 200;
  QDir dir(m_dir->path());
  QVERIFY(dir.mkpath(QStringLiteral("drop")) && dir.mkpath(QStringLiteral("links")));
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(guitest::SmallRecording());
  QStringList files, names;
  for (int i = 0; i < kFiles; ++i) {
    names << QStringLiteral("f%1.c3d").arg(i, 3, 10, QLatin1Char('0'));
    files << guitest::WriteBytes(dir.filePath(QStringLiteral("drop")), names.back(), bytes);
    QVERIFY(!files.back().isEmpty());
  }
  // Every file in order, each 25th followed by an earlier one again; then
  // one through "links/.." and, last, the first file through a link, so
  // that the first file's window ends up the active one.
  QStringList dropped;
  for (int i = 0; i < kFiles; ++i) {
    dropped << files[i];
    if (i % 25 == 24) dropped << files[i - 10];
  }
  dropped << dir.filePath(QStringLiteral("links/../drop/") + names[100]);
  const QString link = dir.filePath(QStringLiteral("links/alias.c3d"));
  if (!QFile::link(files[0], link)) QSKIP("symbolic links cannot be made here");
  dropped << link;

  // The Window menu lists the first nine, the active one checked, and
  // reaches the others through "More Windows...".
  QStringList windowList = {QStringLiteral("&1 f000.c3d (checked)")};
  for (int i = 1; i < 9; ++i) windowList << QStringLiteral("&%1 %2").arg(i + 1).arg(names[i]);
  windowList << QStringLiteral("&More Windows...");

  CMainFrame* frame = m_app->GetMainWnd();
  CDocTemplate* docs = m_app->GetDocTemplate();
  QElapsedTimer clock;
  std::vector<qint64> openMs;
  openMs.reserve(16);
  // Connected after the application's own handler, so it runs once the
  // whole drop has been opened.
  const QMetaObject::Connection timing =
      connect(frame, &CMainFrame::filesDropped, this, [&] { openMs.push_back(clock.elapsed()); });
  const HeapTrend trend = MeasureHeap(2, 6, [&](int) {
    clock.start();
    QVERIFY(DropOnFrame(frame, dropped));
    QTRY_VERIFY_WITH_TIMEOUT(docs->GetDocumentCount() >= kFiles, 30000);
    Settle();
    QCOMPARE(docs->GetDocumentCount(), kFiles);
    const QList<QMdiSubWindow*> windows = frame->GetDocumentWindows();
    QCOMPARE(windows.size(), kFiles);
    QCOMPARE(frame->MdiArea()->subWindowList().size(), kFiles);
    for (int i = 0; i < kFiles; ++i) {
      const CTremoluxDoc* doc = docs->GetDocument(i);
      QCOMPARE(doc->GetPathName(), files[i]);
      QCOMPARE(doc->GetViews().size(), size_t{1});
      QCOMPARE(static_cast<QMdiSubWindow*>(doc->GetViews().front()->GetParentFrame()), windows[i]);
      QCOMPARE(windows[i]->windowTitle(), names[i]);
    }
    QCOMPARE(frame->GetActiveDocument(), docs->GetDocument(0));
    QCOMPARE(WindowMenuList(frame), windowList);
    QCOMPARE(frame->GetMessageText(), QStringLiteral("Ready"));  // no file failed to open
    docs->CloseAllDocuments();
    Settle();
    QVERIFY(frame->MdiArea()->subWindowList().isEmpty());
  });
  disconnect(timing);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(openMs.size(), size_t{8});
  qInfo("opening %d files from one drop of %d names took %lld to %lld ms", kFiles,
        int(dropped.size()), *std::min_element(openMs.begin(), openMs.end()),
        *std::max_element(openMs.begin(), openMs.end()));
  ExpectFlatHeap("drop 200 files, close them all", trend, kMaxGrowth, kMaxPerDropCycle);
}

TREMOLUX_SOUND_TEST_MAIN(TestLongSession)
#include "tst_longsession.moc"
