// The sound player against a sound server of the test's own, which each
// test starts, stops (SIGSTOP) or kills in a second run of itself: a server
// that comes and goes must only stop what plays, and one that hangs must
// never hold up the player's thread, the window's or quitting.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

#include "gui/player/SoundPlayer.h"
#include "tests/gui/SoundServerSupport.h"
#include "tests/gui/SoundTestMain.h"
#include "tests/gui/ToneSupport.h"

using guitest::WriteTone;

namespace {

// The longest time between the ticks of a fine timer on this thread, since
// construction: how long a window on this thread would have stood frozen.
class TickGaps {
 public:
  TickGaps() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_clock.start();
    m_timer.start(5);
  }
  qint64 LongestMs() {
    Tick();
    return m_longest;
  }

 private:
  void Tick() {
    const qint64 now = m_clock.elapsed();
    m_longest = std::max(m_longest, now - m_last);
    m_last = now;
  }
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last = 0, m_longest = 0;
};

#ifdef Q_OS_UNIX
// A sound server stopped (SIGSTOP) for as long as this lives, so it hangs as
// a stalled or overloaded server does. It goes on again (SIGCONT) however the
// test leaves the scope, and after 10 s at the latest, so a player that hangs
// with it is freed to fail its checks.
class FrozenServer {
 public:
  explicit FrozenServer(qint64 pid)
      : m_pid(static_cast<pid_t>(pid)), m_thaw([this] {
          std::unique_lock lock(m_mutex);
          m_wake.wait_for(lock, std::chrono::seconds(10), [this] { return m_leaving; });
          ::kill(m_pid, SIGCONT);
        }) {
    ::kill(m_pid, SIGSTOP);
  }
  ~FrozenServer() {
    {
      const std::lock_guard lock(m_mutex);
      m_leaving = true;
    }
    m_wake.notify_all();
    m_thaw.join();
  }
  FrozenServer(const FrozenServer&) = delete;
  FrozenServer& operator=(const FrozenServer&) = delete;

 private:
  pid_t m_pid;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_leaving = false;  // guarded by m_mutex
  std::thread m_thaw;      // last: it reads the members above
};
#endif

}  // namespace

class TestSoundServer : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void soundServerComesAndGoes();
  void hungSoundServerNeverHoldsUpThePlayer_data();
  void hungSoundServerNeverHoldsUpThePlayer();

 private:
  // True in the second run of a test that runs again with a sound server
  // of its own (see RunWithOwnServer).
  static bool IsOwnServerRun();
  // Runs test `function` again in a child process whose sound server is its
  // own to start, stop and kill, with nothing else listening, and
  // TREMOLUX_SOUND_OUTPUT set to `output` when given; true when it passed.
  static bool RunWithOwnServer(const QString& function, const QString& output = {});
  // Plays `name` where no sound server answers: Play starts, then Finished
  // comes with the reason in LastError.
  void PlayFindsNoServer(const QString& name);
  QString Path(const QString& name) const { return m_dir.filePath(name); }

  QTemporaryDir m_dir;
  std::unique_ptr<CSoundPlayer> m_player;
};

// Set in the second run of a test: the folder where that run starts, stops
// and kills a sound server of its own.
constexpr const char* kOwnServerDir = "TREMOLUX_TEST_OWN_SOUND_SERVER_DIR";

bool TestSoundServer::IsOwnServerRun() { return qEnvironmentVariableIsSet(kOwnServerDir); }

bool TestSoundServer::RunWithOwnServer(const QString& function, const QString& output) {
  QTemporaryDir dir;
  QProcessEnvironment env = guitest::PrivateSoundEnvironment(dir.path());
  env.insert(QString::fromLatin1(kOwnServerDir), dir.path());
  if (!output.isEmpty()) env.insert(QStringLiteral("TREMOLUX_SOUND_OUTPUT"), output);
  return guitest::RunTestAgain(env, function);
}

void TestSoundServer::PlayFindsNoServer(const QString& name) {
  QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);
  QCOMPARE(m_player->Play(Path(name)), CSoundPlayer::PlayResult::Playing);
  QVERIFY(finished.wait(10000));
  QVERIFY(!m_player->IsPlaying());
  QVERIFY2(m_player->LastError().contains(QLatin1String("sound server")),
           qPrintable(m_player->LastError()));
}

void TestSoundServer::initTestCase() {
  QVERIFY(m_dir.isValid());
  m_player = std::make_unique<CSoundPlayer>();
}

// No server when the program starts, then one: the next Play plays. The
// server killed while a sound plays: Finished with a reason, no hang. The
// server back: the next Play plays again, without a new player. Runs as a
// second run of this one test, whose sound server is its own to kill.
void TestSoundServer::soundServerComesAndGoes() {
#ifndef Q_OS_UNIX
  QSKIP("a sound server of the test's own is started and killed on Unix only");
#else
  const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
  if (pulseaudio.isEmpty()) QSKIP("no pulseaudio program to run a sound server with");
  if (!IsOwnServerRun()) {
    QVERIFY(RunWithOwnServer(QStringLiteral("soundServerComesAndGoes")));
    return;
  }
  const QString own = qEnvironmentVariable(kOwnServerDir);
  QProcess server;
  const QString socket = own + QStringLiteral("/runtime/pulse/native");
  const auto startServer = [&] { return guitest::StartPrivateSoundServer(server, pulseaudio); };
  const auto killServer = [&] {
    server.kill();
    server.waitForFinished();
    QFile::remove(socket);
  };
  WriteTone(Path("tone.wav"), 440, 3.0, 8000, 16);
  QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);

  PlayFindsNoServer(QStringLiteral("tone.wav"));
  QVERIFY(startServer());
  QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 10000);
  finished.clear();
  QCOMPARE(m_player->Play(Path("tone.wav")), CSoundPlayer::PlayResult::Playing);
  QTRY_VERIFY_WITH_TIMEOUT(m_player->PositionSeconds() > 0.2, 5000);  // the server takes it

  killServer();
  QVERIFY(finished.wait(10000));
  QVERIFY(!m_player->IsPlaying());
  QVERIFY(!m_player->LastError().isEmpty());
  PlayFindsNoServer(QStringLiteral("tone.wav"));

  QVERIFY(startServer());
  QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 10000);
  WriteTone(Path("short.wav"), 440, 0.5, 8000, 16);
  finished.clear();
  QCOMPARE(m_player->Play(Path("short.wav")), CSoundPlayer::PlayResult::Playing);
  QTRY_VERIFY_WITH_TIMEOUT(m_player->PositionSeconds() > 0.2, 5000);
  QVERIFY(finished.wait(5000));
  QVERIFY2(m_player->LastError().isEmpty(), qPrintable(m_player->LastError()));

  // The command-line tool's play, its server killed a second into the sound.
  QProcess cli;
  cli.start(QStringLiteral(TREMOLUX_CLI),
            {QStringLiteral("play"), QStringLiteral(TREMOLUX_DEMO_C3D), QStringLiteral("--channel"),
             QStringLiteral("0"), QStringLiteral("--rate"), QStringLiteral("44100"),
             QStringLiteral("--bits"), QStringLiteral("16")});
  QVERIFY(cli.waitForStarted());
  QTest::qWait(1000);
  QCOMPARE(cli.state(), QProcess::Running);
  killServer();
  QVERIFY(cli.waitForFinished(10000));
  QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
  QCOMPARE(cli.exitCode(), 1);
  const QString said = QString::fromLocal8Bit(cli.readAllStandardError());
  QVERIFY2(said.contains(QLatin1String("sound server")), qPrintable(said));
#endif
}

void TestSoundServer::hungSoundServerNeverHoldsUpThePlayer_data() {
  QTest::addColumn<QString>("output");  // TREMOLUX_SOUND_OUTPUT of the second run
  QTest::newRow("pulse") << QStringLiteral("pulse");
  QTest::newRow("qt") << QStringLiteral("qt");
}

// A sound server that hangs (stopped by SIGSTOP, as a stalled sink or an
// overloaded server hangs) must not freeze the window: Purge mid-sound, Play
// while the server cannot answer, and destroying the player (as quitting
// does) each return at once while a timer on this thread keeps ticking. Once
// the server goes on, the next Play plays. The command-line tool, stopped
// with Ctrl+C while its server hangs, exits at once. A player that opens,
// writes or joins its feeding thread on this thread hangs for as long as
// the server does. Runs as a second run of this one test, with a sound
// server of its own, once for each output (the Qt one is the fallback).
void TestSoundServer::hungSoundServerNeverHoldsUpThePlayer() {
#ifndef Q_OS_UNIX
  QSKIP("a sound server of the test's own is started and stopped on Unix only");
#else
  const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
  if (pulseaudio.isEmpty()) QSKIP("no pulseaudio program to run a sound server with");
  if (!IsOwnServerRun()) {
    QFETCH(QString, output);
    QVERIFY(RunWithOwnServer(QStringLiteral("hungSoundServerNeverHoldsUpThePlayer:") +
                                 QString::fromLatin1(QTest::currentDataTag()),
                             output));
    return;
  }
  QProcess server;
  QVERIFY(guitest::StartPrivateSoundServer(server, pulseaudio));
  const QString socket =
      qEnvironmentVariable(kOwnServerDir) + QStringLiteral("/runtime/pulse/native");
  QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 10000);
  WriteTone(Path("long.wav"), 440, 3.0, 8000, 16);
  WriteTone(Path("short.wav"), 440, 0.5, 8000, 16);
  QCOMPARE(m_player->Play(Path("long.wav")), CSoundPlayer::PlayResult::Playing);
  QTRY_VERIFY_WITH_TIMEOUT(m_player->PositionSeconds() > 0.2, 5000);

  QElapsedTimer call;
  qint64 longestCallMs = 0;
  const auto timed = [&](const char* name, const auto& what) {
    call.start();
    what();
    qInfo("server stopped: %s returned in %lld ms", name, call.elapsed());
    longestCallMs = std::max(longestCallMs, call.elapsed());
  };
  {
    const FrozenServer frozen(server.processId());
    TickGaps ticks;
    QTest::qWait(400);  // the server's queue is full: the feeding thread waits in a write
    QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);
    timed("Purge", [&] { m_player->Purge(); });
    QCOMPARE(finished.count(), 1);
    QVERIFY(!m_player->IsPlaying());
    // Cannot connect while the server hangs.
    timed("Play", [&] { m_player->Play(Path("long.wav")); });
    QVERIFY(m_player->IsPlaying());
    QTest::qWait(300);
    timed("Purge", [&] { m_player->Purge(); });
    timed("Play", [&] { m_player->Play(Path("long.wav")); });
    QTest::qWait(300);
    timed("~CSoundPlayer", [&] { m_player.reset(); });  // quitting with a sound on a hung server
    QTest::qWait(100);
    const qint64 gapMs = ticks.LongestMs();
    qInfo("server stopped: longest call %lld ms, longest gap between timer ticks %lld ms",
          longestCallMs, gapMs);
    QVERIFY2(longestCallMs < 200, qPrintable(QString::number(longestCallMs)));
    QVERIFY2(gapMs < 200, qPrintable(QString::number(gapMs)));
  }
  m_player = std::make_unique<CSoundPlayer>();
  QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);
  QCOMPARE(m_player->Play(Path("short.wav")), CSoundPlayer::PlayResult::Playing);
  QTRY_VERIFY_WITH_TIMEOUT(m_player->PositionSeconds() > 0.2, 10000);
  QVERIFY(finished.wait(10000));
  QVERIFY2(m_player->LastError().isEmpty(), qPrintable(m_player->LastError()));

  // The command-line tool's play, its server stopped a second into the
  // sound, then Ctrl+C: the sound is stopped and the tool ends at once.
  QProcess cli;
  cli.start(QStringLiteral(TREMOLUX_CLI),
            {QStringLiteral("play"), QStringLiteral(TREMOLUX_DEMO_C3D), QStringLiteral("--channel"),
             QStringLiteral("0"), QStringLiteral("--rate"), QStringLiteral("44100"),
             QStringLiteral("--bits"), QStringLiteral("16")});
  QVERIFY(cli.waitForStarted());
  QTest::qWait(1000);
  QCOMPARE(cli.state(), QProcess::Running);
  {
    const FrozenServer frozen(server.processId());
    QTest::qWait(400);
    QElapsedTimer exiting;
    exiting.start();
    QCOMPARE(::kill(static_cast<pid_t>(cli.processId()), SIGINT), 0);
    QVERIFY(cli.waitForFinished(5000));
    qInfo("the command-line tool exited %lld ms after Ctrl+C", exiting.elapsed());
    QVERIFY2(exiting.elapsed() < 1000, qPrintable(QString::number(exiting.elapsed())));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 0);
  }
  server.kill();
  server.waitForFinished();
#endif
}

TREMOLUX_SOUND_TEST_GUILESS_MAIN(TestSoundServer)
#include "tst_soundserver.moc"
