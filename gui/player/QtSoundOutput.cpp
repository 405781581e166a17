#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <optional>
#include <span>

#include "core/sound/PcmLoop.h"
#include "gui/player/SoundOutput.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

namespace {

// The sink's queue, in milliseconds of sound: short, so a stop is heard at
// once and the end of the data is close to the end of what is heard. The
// sound thread refills it; nothing else runs there.
constexpr qint64 kQueueMs = 100;
// Output latency beyond the queue (mixing, device), waited for before the
// end of a sound is declared, so its tail is never cut.
constexpr qint64 kTailMarginMs = 150;
// How often the played-out position is published for the playhead.
constexpr int kPositionMs = 10;
// How long the output's destructor gives its sound thread to release the
// sink (a few milliseconds when the audio server answers) before leaving it
// to end on its own, so quitting never waits for a hung server.
constexpr unsigned long kCloseWaitMs = 100;

// One sound as the output and its sound thread share it: the session (stop
// flag, end report) and the played-out position the thread publishes.
struct CQtSession : CSoundSession {
  using CSoundSession::CSoundSession;
  std::atomic<qint64> processedUs{0};
};

// A looped sound as a device the sink pulls from: it never runs dry.
class CPcmLoopDevice : public QIODevice {
 public:
  // Reads `pcm` (kept, frames of `channels` values) looped from its start;
  // opens the device.
  void Begin(const QByteArray& pcm, int bits, int rate, int channels) {
    m_pcm = pcm;
    m_loop.emplace(std::span(reinterpret_cast<const std::uint8_t*>(m_pcm.constData()),
                             static_cast<std::size_t>(m_pcm.size())),
                   bits, rate, true, channels);
    open(QIODevice::ReadOnly);
  }
  void End() {
    close();
    m_loop.reset();
    m_pcm.clear();
  }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    if (!m_loop || maxSize <= 0) return 0;
    return static_cast<qint64>(m_loop->Read(
        std::span(reinterpret_cast<std::uint8_t*>(data), static_cast<std::size_t>(maxSize))));
  }
  qint64 writeData(const char* /*data*/, qint64 /*maxSize*/) override { return -1; }

 private:
  QByteArray m_pcm;
  std::optional<sound::CPcmLoop> m_loop;  // reads m_pcm
};

// The sink and the sound it plays, on the output's sound thread. Every
// member is touched on that thread only: the output calls in with queued
// calls, never waiting for them.
class CSinkFeeder : public QObject {
 public:
  CSinkFeeder() {
    m_endTimer.setSingleShot(true);
    connect(&m_endTimer, &QTimer::timeout, this, [this] { Finish(QString()); });
    connect(&m_positionTimer, &QTimer::timeout, this, &CSinkFeeder::Publish);
  }
  ~CSinkFeeder() override { Release(); }

  // Opens a sink on the default output and starts playing `sound` from its
  // start; an output that cannot be opened is reported through the session.
  // Nothing happens for a session stopped before it got here.
  void Start(const std::shared_ptr<CQtSession>& session, const PcmSound& sound) {
    Release();
    if (session->Stopped()) return;
    QAudioFormat format;
    format.setSampleRate(sound.rate);
    format.setChannelCount(sound.channels);
    format.setSampleFormat(sound.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
      session->ReportEnd(Res::LoadString(Res::IDS_PLAYER_NO_DEVICE));
      return;
    }
    if (!device.isFormatSupported(format)) {
      session->ReportEnd(Res::LoadString(Res::IDS_PLAYER_FORMAT_REFUSED)
                             .arg(device.description())
                             .arg(sound.bits)
                             .arg(sound.rate));
      return;
    }
    m_session = session;
    m_pcm = sound.samples;
    QIODevice* source = &m_source;
    if (sound.loop) {
      m_loopSource.Begin(m_pcm, sound.bits, sound.rate, sound.channels);
      source = &m_loopSource;
    } else {
      m_source.setBuffer(&m_pcm);
      m_source.open(QIODevice::ReadOnly);
    }
    m_durationMs = m_pcm.size() / format.bytesPerFrame() * 1000 / format.sampleRate();
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(format.bytesForDuration(kQueueMs * 1000));
    // A report from the backend's own thread arrives queued; one of a sink
    // that has since been replaced is dropped.
    const QAudioSink* sink = m_sink.get();
    connect(m_sink.get(), &QAudioSink::stateChanged, this,
            [this, sink](QAudio::State state) { OnStateChanged(state, sink); });
    m_clock.start();
    m_sink->start(source);
    if (m_sink->state() == QAudio::StoppedState || m_sink->error() == QAudio::OpenError ||
        m_sink->error() == QAudio::FatalError) {
      Finish(Res::LoadString(Res::IDS_PLAYER_CANNOT_OPEN).arg(device.description()));
      return;
    }
    m_positionTimer.start(kPositionMs);
  }

  // Silences `session`'s sound at once and releases the sink, when it is
  // still the one playing.
  void Stop(const std::shared_ptr<CQtSession>& session) {
    if (session == m_session) Release();
  }

 private:
  // Stops the sink and releases it and the sound. No-op when idle.
  void Release() {
    m_endTimer.stop();
    m_positionTimer.stop();
    if (m_sink) {
      m_sink->disconnect(this);
      m_sink->stop();
      m_sink.reset();
    }
    m_source.close();
    m_loopSource.End();
    m_pcm.clear();
    m_session.reset();
  }

  void OnStateChanged(QAudio::State state, const QAudioSink* sink) {
    if (sink != m_sink.get()) return;
    // A loop never ends: idle, it has only fallen behind.
    if (state == QAudio::IdleState && !m_loopSource.isOpen() && m_source.atEnd()) {
      // Everything has been handed to the output, whose queue and latency
      // still hold the tail: end once the whole sound has been heard.
      const qint64 queuedMs = m_sink->format().durationForBytes(m_sink->bufferSize()) / 1000;
      const qint64 untilEnd = std::max(m_durationMs - m_clock.elapsed(), queuedMs);
      // Clamped to what a timer takes (a 1 Hz sound can last for years).
      const qint64 waitMs = std::min<qint64>(untilEnd + kTailMarginMs, INT_MAX);
      if (!m_endTimer.isActive()) m_endTimer.start(static_cast<int>(waitMs));
    } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
      const QString error = Res::LoadString(Res::IDS_PLAYER_OUTPUT_ERROR).arg(m_sink->error());
      // Released outside the sink's own signal.
      QMetaObject::invokeMethod(
          this, [this, error] { Finish(error); }, Qt::QueuedConnection);
    }
  }

  void Publish() {
    if (m_sink && m_session) m_session->processedUs.store(m_sink->processedUSecs());
  }

  // Ends the sound and says so, unless it was stopped meanwhile.
  void Finish(const QString& error) {
    if (!m_sink) return;
    Publish();
    const std::shared_ptr<CQtSession> session = m_session;
    Release();
    if (session) session->ReportEnd(error);
  }

  std::shared_ptr<CQtSession> m_session;  // of the sound playing
  std::unique_ptr<QAudioSink> m_sink;
  QByteArray m_pcm;              // the samples being played
  QBuffer m_source;              // reads m_pcm for the sink, once
  CPcmLoopDevice m_loopSource;   // or looped
  QTimer m_endTimer{this};       // fires when the queued tail has been heard
  QTimer m_positionTimer{this};  // publishes the played-out position
  QElapsedTimer m_clock;         // since the sound started
  qint64 m_durationMs = 0;
};

// Qt Multimedia's QAudioSink on a thread of its own, where the default
// output is looked up and the sink opened, fed, stopped and closed; the
// output only posts to it. Qt 6.4 connects to the audio server once per
// process: an output that was absent at the first use, or has gone, stays
// unusable until the program restarts. The thread and its feeder are the
// output's; a thread held up by a hung server when the output goes is left
// to end on its own, deleting its feeder (and itself) then.
class CQtSoundOutput : public ISoundOutput {
 public:
  CQtSoundOutput() : m_thread(new QThread), m_feeder(new CSinkFeeder) {
    m_thread->setObjectName(QStringLiteral("sound"));
    m_feeder->moveToThread(m_thread);
    // Deleted on its own thread once the thread's loop has ended.
    QObject::connect(m_thread, &QThread::finished, m_feeder, &QObject::deleteLater);
    // Above the GUI's priority: a feed that comes late is heard.
    m_thread->start(QThread::TimeCriticalPriority);
  }
  ~CQtSoundOutput() override {
    Stop();
    m_thread->quit();
    if (m_thread->wait(kCloseWaitMs)) {
      delete m_thread;
    } else {
      QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    }
  }
  CQtSoundOutput(const CQtSoundOutput&) = delete;
  CQtSoundOutput& operator=(const CQtSoundOutput&) = delete;

  void Start(const PcmSound& sound, EndedFn onEnded) override {
    Stop();
    m_session = std::make_shared<CQtSession>(std::move(onEnded));
    QMetaObject::invokeMethod(
        m_feeder,
        [feeder = m_feeder, session = m_session, sound] { feeder->Start(session, sound); },
        Qt::QueuedConnection);
  }

  void Stop() override {
    if (!m_session || m_session->Stopped()) return;
    m_session->Stop();
    QMetaObject::invokeMethod(
        m_feeder, [feeder = m_feeder, session = m_session] { feeder->Stop(session); },
        Qt::QueuedConnection);
  }

  qint64 ProcessedUs() const override { return m_session ? m_session->processedUs.load() : 0; }

 private:
  QThread* m_thread;                      // the sound thread (see the class comment)
  CSinkFeeder* m_feeder;                  // lives on m_thread, deleted there
  std::shared_ptr<CQtSession> m_session;  // the latest sound, shared with the feeder
};

}  // namespace

std::unique_ptr<ISoundOutput> MakeQtSoundOutput() { return std::make_unique<CQtSoundOutput>(); }

std::unique_ptr<ISoundOutput> MakeSoundOutput() {
  if (qEnvironmentVariable("TREMOLUX_SOUND_OUTPUT") != QLatin1String("qt")) {
    if (auto pulse = MakePulseSoundOutput()) return pulse;
  }
  return MakeQtSoundOutput();
}
