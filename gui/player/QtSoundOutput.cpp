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

#include "gui/player/SoundOutput.h"

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

// The sink and the sound it plays, on the output's sound thread. Every
// member is touched on that thread only: the output calls in with blocking
// queued calls.
class CSinkFeeder : public QObject {
 public:
  explicit CSinkFeeder(std::atomic<qint64>& processedUs) : m_processedUs(processedUs) {
    m_endTimer.setSingleShot(true);
    connect(&m_endTimer, &QTimer::timeout, this, [this] { Finish(QString()); });
    connect(&m_positionTimer, &QTimer::timeout, this, &CSinkFeeder::Publish);
  }
  ~CSinkFeeder() override { Stop(); }

  // Opens a sink on `device` and starts playing `pcm` from its start. False,
  // with the reason, when the output cannot be opened.
  bool Start(const QAudioDevice& device, const QAudioFormat& format, const QByteArray& pcm,
             ISoundOutput::EndedFn onEnded, QString& error) {
    Stop();
    m_pcm = pcm;
    m_source.setBuffer(&m_pcm);
    m_source.open(QIODevice::ReadOnly);
    m_onEnded = std::move(onEnded);
    m_durationMs = m_pcm.size() / format.bytesPerFrame() * 1000 / format.sampleRate();
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(format.bytesForDuration(kQueueMs * 1000));
    // A report from the backend's own thread arrives queued; one of a sink
    // that has since been replaced is dropped.
    const QAudioSink* sink = m_sink.get();
    connect(m_sink.get(), &QAudioSink::stateChanged, this,
            [this, sink](QAudio::State state) { OnStateChanged(state, sink); });
    m_clock.start();
    m_processedUs.store(0);
    m_sink->start(&m_source);
    if (m_sink->state() == QAudio::StoppedState || m_sink->error() == QAudio::OpenError ||
        m_sink->error() == QAudio::FatalError) {
      error = QStringLiteral("the audio output \"%1\" cannot be opened").arg(device.description());
      Stop();
      return false;
    }
    m_positionTimer.start(kPositionMs);
    return true;
  }

  // Stops at once and releases the sink and the sound. No-op when idle.
  void Stop() {
    m_endTimer.stop();
    m_positionTimer.stop();
    if (m_sink) {
      m_sink->disconnect(this);
      m_sink->stop();
      m_sink.reset();
    }
    m_source.close();
    m_pcm.clear();
    m_onEnded = nullptr;
  }

 private:
  void OnStateChanged(QAudio::State state, const QAudioSink* sink) {
    if (sink != m_sink.get()) return;
    if (state == QAudio::IdleState && m_source.atEnd()) {
      // Everything has been handed to the output, whose queue and latency
      // still hold the tail: end once the whole sound has been heard.
      const qint64 queuedMs = m_sink->format().durationForBytes(m_sink->bufferSize()) / 1000;
      const qint64 untilEnd = std::max(m_durationMs - m_clock.elapsed(), queuedMs);
      // Clamped to what a timer takes (a 1 Hz sound can last for years).
      const qint64 waitMs = std::min<qint64>(untilEnd + kTailMarginMs, INT_MAX);
      if (!m_endTimer.isActive()) m_endTimer.start(static_cast<int>(waitMs));
    } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
      const QString error =
          QStringLiteral("the audio output stopped with error %1").arg(m_sink->error());
      // Released outside the sink's own signal.
      QMetaObject::invokeMethod(
          this, [this, error] { Finish(error); }, Qt::QueuedConnection);
    }
  }

  void Publish() {
    if (m_sink) m_processedUs.store(m_sink->processedUSecs());
  }

  // Ends the sound and says so, unless it was stopped meanwhile.
  void Finish(const QString& error) {
    if (!m_sink) return;
    Publish();
    const ISoundOutput::EndedFn onEnded = std::move(m_onEnded);
    Stop();
    if (onEnded) onEnded(error);
  }

  std::atomic<qint64>& m_processedUs;
  std::unique_ptr<QAudioSink> m_sink;
  QByteArray m_pcm;  // the samples being played
  QBuffer m_source;  // reads m_pcm for the sink
  ISoundOutput::EndedFn m_onEnded;
  QTimer m_endTimer{this};       // fires when the queued tail has been heard
  QTimer m_positionTimer{this};  // publishes the played-out position
  QElapsedTimer m_clock;         // since the sound started
  qint64 m_durationMs = 0;
};

// Qt Multimedia's QAudioSink on a thread of its own. Qt 6.4 connects to the
// audio server once per process: an output that was absent at the first
// use, or has gone, stays unusable until the program restarts.
class CQtSoundOutput : public ISoundOutput {
 public:
  CQtSoundOutput() {
    m_thread.setObjectName(QStringLiteral("sound"));
    m_feeder = new CSinkFeeder(m_processedUs);
    m_feeder->moveToThread(&m_thread);
    // Above the GUI's priority: a feed that comes late is heard.
    m_thread.start(QThread::TimeCriticalPriority);
  }
  ~CQtSoundOutput() override {
    Stop();
    m_thread.quit();
    m_thread.wait();
    delete m_feeder;  // its thread has ended and its sink is gone
  }
  CQtSoundOutput(const CQtSoundOutput&) = delete;
  CQtSoundOutput& operator=(const CQtSoundOutput&) = delete;

  bool Start(const PcmSound& sound, EndedFn onEnded, QString& error) override {
    Stop();
    QAudioFormat format;
    format.setSampleRate(sound.rate);
    format.setChannelCount(1);
    format.setSampleFormat(sound.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
      error = QStringLiteral("no audio output device");
      return false;
    }
    if (!device.isFormatSupported(format)) {
      error = QStringLiteral("the audio output \"%1\" does not take %2-bit mono sound at %3 Hz")
                  .arg(device.description())
                  .arg(sound.bits)
                  .arg(sound.rate);
      return false;
    }
    bool started = false;
    QMetaObject::invokeMethod(
        m_feeder,
        [&] {
          started = m_feeder->Start(device, format, sound.samples, std::move(onEnded), error);
        },
        Qt::BlockingQueuedConnection);
    return started;
  }

  void Stop() override {
    QMetaObject::invokeMethod(
        m_feeder, [this] { m_feeder->Stop(); }, Qt::BlockingQueuedConnection);
  }

  qint64 ProcessedUs() const override { return m_processedUs.load(); }

 private:
  QThread m_thread;                 // the sound thread
  CSinkFeeder* m_feeder = nullptr;  // lives on m_thread
  std::atomic<qint64> m_processedUs{0};
};

}  // namespace

std::unique_ptr<ISoundOutput> MakeQtSoundOutput() { return std::make_unique<CQtSoundOutput>(); }

std::unique_ptr<ISoundOutput> MakeSoundOutput() {
  if (qEnvironmentVariable("TREMOLUX_SOUND_OUTPUT") != QLatin1String("qt")) {
    if (auto pulse = MakePulseSoundOutput()) return pulse;
  }
  return MakeQtSoundOutput();
}
