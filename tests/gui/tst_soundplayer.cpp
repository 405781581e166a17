// Real playback, checked by ear: the sound player plays WAVE files written by
// the program's own writer into the default output while the test records
// the capture source "NullCapture" (the private PulseAudio server's null sink,
// remapped; scripts/test starts it). What was heard must be the right tone
// for the right time, a rewritten file must play its new content, Purge must
// cut a sound at once, an empty sound must do nothing, a stalled event
// loop must not be heard, a sound server that comes and goes must only
// stop what plays, and one that hangs must never hold up the player's thread.
#include <QAudioDevice>
#include <QAudioSource>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <numbers>
#include <thread>

#include "core/sound/WaveSynthesis.h"
#include "gui/player/SoundPlayer.h"
#include "tests/gui/SoundServerSupport.h"
#include "tests/gui/SoundTestMain.h"

namespace {

constexpr int kCaptureRate = 44100;

// Writes a mono WAVE file of a sine tone through the program's header and
// amplitude mapping: stored values around the silence level 2048.
void WriteTone(const QString& path, double hz, double seconds, std::uint32_t rate, int bits) {
  const auto n = static_cast<std::uint32_t>(seconds * rate);
  const std::uint32_t blockAlign = bits == 16 ? 2 : 1;
  const auto header = sound::WaveHeader(rate, bits, n * blockAlign);
  QByteArray bytes(reinterpret_cast<const char*>(header.data()), 44);
  for (std::uint32_t i = 0; i < n; ++i) {
    const double s = 2048.0 + 1000.0 * std::sin(2 * std::numbers::pi * hz * i / rate);
    if (bits == 16) {
      const auto v = static_cast<std::uint16_t>(sound::PcmSample16(static_cast<float>(s)));
      bytes.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
    } else {
      bytes.append(static_cast<char>(sound::PcmSample8(static_cast<float>(s))));
    }
  }
  const std::uint32_t riff = static_cast<std::uint32_t>(bytes.size()) - 8;
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((riff >> (8 * i)) & 0xFF);
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

// Records the capture source into memory while it is alive.
class Recorder {
 public:
  explicit Recorder(const QAudioDevice& device) {
    QAudioFormat format;
    format.setSampleRate(kCaptureRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_source = std::make_unique<QAudioSource>(device, format);
    m_source->setBufferSize(format.bytesForDuration(20000));
    m_io = m_source->start();
    QObject::connect(m_io, &QIODevice::readyRead, [this] { m_data += m_io->readAll(); });
    m_clock.start();
  }
  // Milliseconds since recording started, as the capture timeline counts them.
  qint64 Elapsed() const { return m_clock.elapsed(); }
  std::vector<std::int16_t> Stop() {
    m_data += m_io->readAll();
    m_source->stop();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(m_data.size()) / 2);
    std::memcpy(samples.data(), m_data.constData(), samples.size() * 2);
    return samples;
  }

 private:
  std::unique_ptr<QAudioSource> m_source;
  QIODevice* m_io = nullptr;
  QByteArray m_data;
  QElapsedTimer m_clock;
};

// What a recording holds: where the sound is (the first and last sample
// clearly above silence: the tones peak near 16000), how long it lasts, and
// its frequency from the zero crossings between its ends.
struct Heard {
  double startMs = -1, endMs = -1, hz = 0;
  double DurationMs() const { return endMs - startMs; }
};

// True when a sound of `ms` was heard whole: a cut tail shows as a shorter
// sound; a gap (an underrun of a loaded machine) may lengthen it a little.
bool WholeLength(const Heard& heard, double ms) {
  return heard.DurationMs() >= ms - 5 && heard.DurationMs() <= ms + 30;
}

Heard Analyse(const std::vector<std::int16_t>& s) {
  Heard h;
  std::size_t first = s.size(), last = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (std::abs(s[i]) > 4000) {
      first = std::min(first, i);
      last = i + 1;
    }
  }
  if (first >= last) return h;
  h.startMs = first * 1000.0 / kCaptureRate;
  h.endMs = last * 1000.0 / kCaptureRate;
  int crossings = 0;
  std::size_t from = 0, to = 0;
  for (std::size_t i = first + 1; i < last; ++i) {
    if ((s[i - 1] < 0) != (s[i] < 0)) {
      if (crossings++ == 0) from = i;
      to = i;
    }
  }
  if (crossings > 1) h.hz = (crossings - 1) / 2.0 / (double(to - from) / kCaptureRate);
  return h;
}

// The longest run of near-silence, in samples, between the first and last
// loud sample of a recorded tone: a tone crosses zero in a sample or two, so
// anything longer is a gap in the feed.
std::size_t LongestGap(const std::vector<std::int16_t>& s) {
  std::size_t first = s.size(), last = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (std::abs(s[i]) > 4000) {
      first = std::min(first, i);
      last = i;
    }
  }
  std::size_t longest = 0, run = 0;
  for (std::size_t i = first; i < last; ++i) {
    run = std::abs(s[i]) < 2000 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

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

class TestSoundPlayer : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void playsTheToneForItsWholeLength_data();
  void playsTheToneForItsWholeLength();
  void rewrittenFilePlaysItsNewContent();
  void purgeCutsTheSoundAtOnce();
  void emptySoundIsHarmless();
  void rejectsWhatIsNotAMonoPcmWave();
  void stalledEventLoopIsNotHeard();
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
  QAudioDevice m_capture;
  std::unique_ptr<CSoundPlayer> m_player;
};

// Set in the second run of soundServerComesAndGoes: the folder where that
// run starts and kills a sound server of its own.
constexpr const char* kOwnServerDir = "TREMOLUX_TEST_OWN_SOUND_SERVER_DIR";

bool TestSoundPlayer::IsOwnServerRun() { return qEnvironmentVariableIsSet(kOwnServerDir); }

bool TestSoundPlayer::RunWithOwnServer(const QString& function, const QString& output) {
  QTemporaryDir dir;
  QProcessEnvironment env = guitest::PrivateSoundEnvironment(dir.path());
  env.insert(QString::fromLatin1(kOwnServerDir), dir.path());
  if (!output.isEmpty()) env.insert(QStringLiteral("TREMOLUX_SOUND_OUTPUT"), output);
  return guitest::RunTestAgain(env, function);
}

void TestSoundPlayer::PlayFindsNoServer(const QString& name) {
  QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);
  QCOMPARE(m_player->Play(Path(name)), CSoundPlayer::PlayResult::Playing);
  QVERIFY(finished.wait(10000));
  QVERIFY(!m_player->IsPlaying());
  QVERIFY2(m_player->LastError().contains(QLatin1String("sound server")),
           qPrintable(m_player->LastError()));
}

void TestSoundPlayer::initTestCase() {
  QVERIFY(m_dir.isValid());
  m_player = std::make_unique<CSoundPlayer>();
  QCOMPARE(CSoundPlayer::Instance(), m_player.get());
  if (IsOwnServerRun()) return;  // no server yet, by design
  if (QMediaDevices::defaultAudioOutput().isNull()) {
    QSKIP(
        "no audio output device: playback cannot be checked (scripts/test starts a private "
        "PulseAudio server with a null sink for this test)");
  }
  for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
    if (d.description() == QLatin1String("NullCapture")) m_capture = d;
  }
  if (m_capture.isNull()) {
    QSKIP(
        "no capture source \"NullCapture\": what is played cannot be recorded (scripts/test "
        "starts a private PulseAudio server providing it)");
  }
}

void TestSoundPlayer::playsTheToneForItsWholeLength_data() {
  QTest::addColumn<double>("hz");
  QTest::addColumn<int>("rate");
  QTest::addColumn<int>("bits");
  QTest::newRow("16-bit 440 Hz at 8000") << 440.0 << 8000 << 16;
  QTest::newRow("8-bit 660 Hz at 11025") << 660.0 << 11025 << 8;
  QTest::newRow("16-bit 1000 Hz at 44100") << 1000.0 << 44100 << 16;
}

// The sound must start, keep its pitch and last its full second: a cut tail
// or a stale or silent play fails here.
void TestSoundPlayer::playsTheToneForItsWholeLength() {
  QFETCH(double, hz);
  QFETCH(int, rate);
  QFETCH(int, bits);
  WriteTone(Path("tone.wav"), hz, 1.0, static_cast<std::uint32_t>(rate), bits);
  Recorder recorder(m_capture);
  QTest::qWait(200);
  QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);
  QCOMPARE(m_player->Play(Path("tone.wav")), CSoundPlayer::PlayResult::Playing);
  QVERIFY(m_player->IsPlaying());
  QVERIFY(finished.wait(3000));
  QVERIFY(!m_player->IsPlaying());
  QTest::qWait(200);
  const Heard heard = Analyse(recorder.Stop());
  QVERIFY2(heard.startMs >= 0, "nothing was heard");
  QVERIFY2(WholeLength(heard, 1000), qPrintable(QString::number(heard.DurationMs())));
  QVERIFY2(std::fabs(heard.hz - hz) <= hz * 0.005, qPrintable(QString::number(heard.hz)));
}

// The player reads the file whole at Play: the file may be rewritten at once
// (the next build does so) or deleted, and the next Play hears the new bytes.
void TestSoundPlayer::rewrittenFilePlaysItsNewContent() {
  WriteTone(Path("same.wav"), 440, 0.4, 8000, 16);
  QCOMPARE(m_player->Play(Path("same.wav")), CSoundPlayer::PlayResult::Playing);
  WriteTone(Path("same.wav"), 880, 0.4, 8000, 16);  // while the 440 Hz sound plays
  m_player->WaitForEnd();

  Recorder recorder(m_capture);
  QTest::qWait(200);
  QCOMPARE(m_player->Play(Path("same.wav")), CSoundPlayer::PlayResult::Playing);
  QVERIFY(QFile::remove(Path("same.wav")));
  m_player->WaitForEnd();
  QTest::qWait(200);
  const Heard heard = Analyse(recorder.Stop());
  QVERIFY2(std::fabs(heard.hz - 880) <= 4, qPrintable(QString::number(heard.hz)));
  QVERIFY2(WholeLength(heard, 400), qPrintable(QString::number(heard.DurationMs())));
}

// Stop must be heard within 100 ms. The capture's own latency is the same at
// the start and the stop, so the heard length may exceed the time between
// Play and Purge by no more than that.
void TestSoundPlayer::purgeCutsTheSoundAtOnce() {
  WriteTone(Path("long.wav"), 500, 3.0, 22050, 16);
  Recorder recorder(m_capture);
  QTest::qWait(200);
  QSignalSpy finished(m_player.get(), &CSoundPlayer::Finished);
  QElapsedTimer clock;
  clock.start();
  QCOMPARE(m_player->Play(Path("long.wav")), CSoundPlayer::PlayResult::Playing);
  QTest::qWait(600);
  m_player->Purge();
  const qint64 playedMs = clock.elapsed();
  QCOMPARE(finished.count(), 1);
  QVERIFY(!m_player->IsPlaying());
  m_player->Purge();  // nothing plays: nothing happens
  QCOMPARE(finished.count(), 1);
  QTest::qWait(500);
  const Heard heard = Analyse(recorder.Stop());
  QVERIFY2(heard.startMs >= 0, "nothing was heard");
  QVERIFY2(
      heard.DurationMs() <= playedMs + 100,
      qPrintable(QStringLiteral("heard %1 ms of %2 ms").arg(heard.DurationMs()).arg(playedMs)));
  QVERIFY(heard.DurationMs() >= playedMs - 150);
}

// A 44-byte sound (what a refused resampling writes) stops what plays and
// plays nothing, without an error or a hang.
void TestSoundPlayer::emptySoundIsHarmless() {
  const auto header = sound::WaveHeader(8000, 16, 0);
  QByteArray bytes(reinterpret_cast<const char*>(header.data()), 44);
  bytes[4] = 36;
  QFile file(Path("empty.wav"));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();

  WriteTone(Path("tone.wav"), 440, 2.0, 8000, 16);
  Recorder recorder(m_capture);
  QTest::qWait(200);
  QCOMPARE(m_player->Play(Path("tone.wav")), CSoundPlayer::PlayResult::Playing);
  QTest::qWait(300);
  QCOMPARE(m_player->Play(Path("empty.wav")), CSoundPlayer::PlayResult::Empty);
  QVERIFY(!m_player->IsPlaying());
  m_player->WaitForEnd();  // returns at once
  QTest::qWait(500);
  const Heard heard = Analyse(recorder.Stop());
  QVERIFY2(heard.DurationMs() <= 300 + 100, qPrintable(QString::number(heard.DurationMs())));
}

void TestSoundPlayer::rejectsWhatIsNotAMonoPcmWave() {
  QFile file(Path("junk.wav"));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("RIFF\0\0\0\0WAVEjunk", 16);
  file.close();
  QCOMPARE(m_player->Play(Path("junk.wav")), CSoundPlayer::PlayResult::Unreadable);
  QVERIFY(!m_player->LastError().isEmpty());
  QCOMPARE(m_player->Play(Path("missing.wav")), CSoundPlayer::PlayResult::Unreadable);
  QVERIFY(!m_player->IsPlaying());
}

// A 20-second tone while the player's thread is blocked for 250 ms at a
// time (a long paint, a busy X server): the sound server, recording its own
// output (not through this process, whose event loop is the one stalled),
// must hear no gap longer than 5 ms, and the tone to its end. A player fed
// from the stalled thread through its 100 ms queue underruns at every stall.
void TestSoundPlayer::stalledEventLoopIsNotHeard() {
#if defined(__SANITIZE_ADDRESS__)
  QSKIP("the normal build plays this; the sanitizers would only slow it down");
#endif
  const QString raw = Path("stalled.raw");
  QProcess recorder;
  recorder.start(QStringLiteral("parecord"),
                 {QStringLiteral("--device=nulcap"), QStringLiteral("--raw"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                  QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=20"), raw});
  if (!recorder.waitForStarted(5000)) QSKIP("parecord (pulseaudio-utils) is not installed");
  QTest::qWait(300);
  WriteTone(Path("long.wav"), 440, 20.0, 44100, 16);
  QCOMPARE(m_player->Play(Path("long.wav")), CSoundPlayer::PlayResult::Playing);
  QElapsedTimer clock;
  clock.start();
  while (m_player->IsPlaying() && clock.elapsed() < 30000) {
    QThread::msleep(250);  // the stall
    QTest::qWait(20);
  }
  m_player->Purge();  // a sound still playing after 30 s has been stretched by gaps
  QTest::qWait(300);
  recorder.terminate();
  QVERIFY(recorder.waitForFinished(5000));
  QFile file(raw);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
  std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
  const double gapMs = LongestGap(samples) * 1000.0 / kCaptureRate;
  qInfo("longest quiet run within the tone: %.2f ms", gapMs);
  QVERIFY2(gapMs <= 5.0, qPrintable(QStringLiteral("a gap of %1 ms").arg(gapMs)));
  const Heard heard = Analyse(samples);
  QVERIFY2(WholeLength(heard, 20000), qPrintable(QString::number(heard.DurationMs())));
}

// No server when the program starts, then one: the next Play plays. The
// server killed while a sound plays: Finished with a reason, no hang. The
// server back: the next Play plays again, without a new player. Runs as a
// second run of this one test, whose sound server is its own to kill.
void TestSoundPlayer::soundServerComesAndGoes() {
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

void TestSoundPlayer::hungSoundServerNeverHoldsUpThePlayer_data() {
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
void TestSoundPlayer::hungSoundServerNeverHoldsUpThePlayer() {
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

TREMOLUX_SOUND_TEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
