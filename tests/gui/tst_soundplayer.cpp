// Real playback, checked by ear: the sound player plays WAVE files written by
// the program's own writer into the default output while the test records
// the capture source "NullCapture" (the private PulseAudio server's null sink,
// remapped; scripts/test starts it). What was heard must be the right tone
// for the right time, a rewritten file must play its new content, Purge must
// cut a sound at once, an empty sound must do nothing, a stalled event
// loop must not be heard, a looped sound must run on without a gap or a
// jump at its seam. (A sound server that comes, goes or hangs:
// tst_soundserver.)
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
#include <cmath>
#include <memory>
#include <numbers>

#include "core/sound/WaveSynthesis.h"
#include "gui/player/SoundPlayer.h"
#include "tests/gui/SoundTestMain.h"
#include "tests/gui/ToneSupport.h"

using guitest::WriteTone;

namespace {

constexpr int kCaptureRate = 44100;

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
  void loopRunsOnWithoutGapOrJump();

 private:
  QString Path(const QString& name) const { return m_dir.filePath(name); }

  QTemporaryDir m_dir;
  QAudioDevice m_capture;
  std::unique_ptr<CSoundPlayer> m_player;
};

void TestSoundPlayer::initTestCase() {
  QVERIFY(m_dir.isValid());
  m_player = std::make_unique<CSoundPlayer>();
  QCOMPARE(CSoundPlayer::Instance(), m_player.get());
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

// A quarter second of a 441 Hz tone (110.25 periods: played back to back,
// each pass would jump from a crest to 0) looped for 1.2 s, as the sound
// server hears it: no quiet run longer than 1 ms, and across every seam no
// step between samples larger than the tone's own (the crossfade's slight
// change of the slope aside). It goes on past its length until Purge.
void TestSoundPlayer::loopRunsOnWithoutGapOrJump() {
#if defined(__SANITIZE_ADDRESS__)
  QSKIP("the normal build plays this; the loop's arithmetic is checked in tremolux_sound_tests");
#endif
  const QString raw = Path("loop.raw");
  QProcess recorder;
  recorder.start(QStringLiteral("parecord"),
                 {QStringLiteral("--device=nulcap"), QStringLiteral("--raw"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                  QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=20"), raw});
  if (!recorder.waitForStarted(5000)) QSKIP("parecord (pulseaudio-utils) is not installed");
  QTest::qWait(200);
  WriteTone(Path("quarter.wav"), 441, 0.25, 44100, 16);
  QCOMPARE(m_player->Play(Path("quarter.wav"), CSoundPlayer::PlayMode::Loop),
           CSoundPlayer::PlayResult::Playing);
  QTest::qWait(1200);
  QVERIFY(m_player->IsPlaying());
  const double at = m_player->PositionSeconds();
  QVERIFY2(at >= 0.0 && at < 0.25, qPrintable(QString::number(at)));
  m_player->Purge();
  QTest::qWait(150);
  recorder.terminate();
  QVERIFY(recorder.waitForFinished(5000));
  QFile file(raw);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
  std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);

  const Heard heard = Analyse(samples);
  QVERIFY2(heard.DurationMs() >= 1000, qPrintable(QString::number(heard.DurationMs())));
  const double gapMs = LongestGap(samples) * 1000.0 / kCaptureRate;
  QVERIFY2(gapMs <= 1.0, qPrintable(QStringLiteral("a quiet run of %1 ms").arg(gapMs)));
  // The tone's own largest step, from its first pass (before any seam), and
  // the largest anywhere up to 5 ms before Purge cut it.
  const auto first = static_cast<std::size_t>(heard.startMs * kCaptureRate / 1000.0);
  const auto last = static_cast<std::size_t>(heard.endMs * kCaptureRate / 1000.0);
  const auto largestStep = [&](std::size_t from, std::size_t to) {
    int largest = 0;
    for (std::size_t i = from + 1; i < to; ++i)
      largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
    return largest;
  };
  const int own = largestStep(first, first + kCaptureRate / 5);
  const int anywhere = largestStep(first, last - kCaptureRate / 200);
  qInfo("loop: longest quiet run %.2f ms, largest step %d (the tone's own %d)", gapMs, anywhere,
        own);
  QVERIFY2(anywhere <= own * 11 / 10, qPrintable(QStringLiteral("%1 > %2").arg(anywhere).arg(own)));
}

TREMOLUX_SOUND_TEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
