#include "gui/player/SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <span>
#include <string>

#include "core/sound/WaveFormat.h"

namespace {

CSoundPlayer* g_instance = nullptr;

// The sink's queue, in milliseconds of sound: short, so a stop is heard at
// once and the end of the data is close to the end of what is heard. The
// sound thread refills it; nothing else runs there.
constexpr qint64 kQueueMs = 100;
// Output latency beyond the queue (mixing, device), waited for before the
// end of a sound is declared, so its tail is never cut.
constexpr qint64 kTailMarginMs = 150;
// How often the played-out position is published for the playhead.
constexpr int kPositionMs = 10;

}  // namespace

// The sink and the sound it plays, on the player's sound thread. Every member
// is touched on that thread only: the player calls in with blocking queued
// calls and hears back through queued calls to itself.
class CSinkFeeder : public QObject {
 public:
  explicit CSinkFeeder(CSoundPlayer* player) : m_player(player) {
    m_endTimer.setSingleShot(true);
    connect(&m_endTimer, &QTimer::timeout, this, [this] { Finish(QString()); });
    connect(&m_positionTimer, &QTimer::timeout, this, &CSinkFeeder::Publish);
  }
  ~CSinkFeeder() override { Stop(); }

  // Opens a sink on `device` and starts playing `pcm` from its start. False,
  // with the reason, when the output cannot be opened.
  bool Start(const QAudioDevice& device, const QAudioFormat& format, const QByteArray& pcm,
             quint64 generation, QString& error) {
    Stop();
    m_pcm = pcm;
    m_source.setBuffer(&m_pcm);
    m_source.open(QIODevice::ReadOnly);
    m_generation = generation;
    m_durationMs = m_pcm.size() / format.bytesPerFrame() * 1000 / format.sampleRate();
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(format.bytesForDuration(kQueueMs * 1000));
    // A report from the backend's own thread arrives queued; one of a sink
    // that has since been replaced carries an old generation and is dropped.
    connect(m_sink.get(), &QAudioSink::stateChanged, this,
            [this, generation](QAudio::State state) { OnStateChanged(state, generation); });
    m_clock.start();
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
  }

 private:
  void OnStateChanged(QAudio::State state, quint64 generation) {
    if (generation != m_generation || !m_sink) return;
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
    if (m_sink) m_player->m_processedUs.store(m_sink->processedUSecs());
  }

  // Ends the sound and tells the player, unless it was stopped meanwhile.
  void Finish(const QString& error) {
    if (!m_sink) return;
    Publish();
    Stop();
    CSoundPlayer* player = m_player;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        player, [player, generation, error] { player->OnEnded(generation, error); },
        Qt::QueuedConnection);
  }

  CSoundPlayer* m_player;
  std::unique_ptr<QAudioSink> m_sink;
  QByteArray m_pcm;              // the samples being played
  QBuffer m_source;              // reads m_pcm for the sink
  QTimer m_endTimer{this};       // fires when the queued tail has been heard
  QTimer m_positionTimer{this};  // publishes the played-out position
  QElapsedTimer m_clock;         // since the sound started
  qint64 m_durationMs = 0;
  quint64 m_generation = 0;
};

CSoundPlayer::CSoundPlayer(QObject* parent) : QObject(parent) {
  if (g_instance == nullptr) g_instance = this;
  m_thread.setObjectName(QStringLiteral("sound"));
  m_feeder = new CSinkFeeder(this);
  m_feeder->moveToThread(&m_thread);
  // Above the GUI's priority: a feed that comes late is heard.
  m_thread.start(QThread::TimeCriticalPriority);
}

CSoundPlayer::~CSoundPlayer() {
  StopFeeder();
  m_thread.quit();
  m_thread.wait();
  delete m_feeder;  // its thread has ended and its sink is gone
  if (g_instance == this) g_instance = nullptr;
}

CSoundPlayer* CSoundPlayer::Instance() { return g_instance; }

CSoundPlayer::PlayResult CSoundPlayer::Play(const QString& path) {
  Purge();
  m_lastError.clear();

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return PlayResult::Unreadable;
  }
  const QByteArray bytes = file.readAll();
  file.close();

  sound::PcmWaveInfo info;
  std::string why;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
  if (!sound::ParsePcmWave(std::span(data, static_cast<std::size_t>(bytes.size())), info, why)) {
    Fail(QStringLiteral("%1: %2").arg(path, QString::fromStdString(why)));
    return PlayResult::Unreadable;
  }
  if (info.dataBytes == 0) return PlayResult::Empty;

  QAudioFormat format;
  format.setSampleRate(static_cast<int>(info.rate));  // at most 44100
  format.setChannelCount(1);
  format.setSampleFormat(info.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    Fail(QStringLiteral("no audio output device"));
    return PlayResult::NoDevice;
  }
  if (!device.isFormatSupported(format)) {
    Fail(QStringLiteral("the audio output \"%1\" does not take %2-bit mono sound at %3 Hz")
             .arg(device.description())
             .arg(info.bits)
             .arg(info.rate));
    return PlayResult::NoDevice;
  }

  // sizes fit: the parser took them from a QByteArray
  const QByteArray pcm =
      bytes.mid(static_cast<qsizetype>(info.dataOffset), static_cast<qsizetype>(info.dataBytes));
  const quint64 generation = ++m_generation;
  bool started = false;
  QString error;
  m_processedUs.store(0);
  QMetaObject::invokeMethod(
      m_feeder, [&] { started = m_feeder->Start(device, format, pcm, generation, error); },
      Qt::BlockingQueuedConnection);
  if (!started) {
    Fail(error);
    return PlayResult::NoDevice;
  }
  m_durationUs = static_cast<qint64>(static_cast<double>(info.dataBytes) /
                                     static_cast<double>(info.bits / 8) * 1e6 / info.rate);
  m_playing = true;
  return PlayResult::Playing;
}

void CSoundPlayer::Purge() {
  if (!m_playing) return;
  StopFeeder();
  m_playing = false;
  emit Finished();
}

bool CSoundPlayer::IsPlaying() const { return m_playing; }

double CSoundPlayer::PositionSeconds() const {
  if (!m_playing) return -1.0;
  // The sink's own count of the sound it has played out, which the audio
  // server advances smoothly (the bytes taken from the buffer move in
  // periods of tens of milliseconds), as the sound thread last published it.
  const double seconds = static_cast<double>(m_processedUs.load()) / 1e6;
  return std::clamp(seconds, 0.0, static_cast<double>(m_durationUs) / 1e6);
}

void CSoundPlayer::WaitForEnd() {
  if (!IsPlaying()) return;
  QEventLoop loop;
  connect(this, &CSoundPlayer::Finished, &loop, &QEventLoop::quit);
  loop.exec();
}

void CSoundPlayer::OnEnded(quint64 generation, const QString& error) {
  if (generation != m_generation || !m_playing) return;  // stopped or replaced meanwhile
  if (!error.isEmpty()) Fail(error);
  m_playing = false;
  emit Finished();
}

void CSoundPlayer::Fail(const QString& reason) {
  m_lastError = reason;
  std::fprintf(stderr, "sound player: %s\n", reason.toLocal8Bit().constData());
}

void CSoundPlayer::StopFeeder() {
  QMetaObject::invokeMethod(
      m_feeder, [this] { m_feeder->Stop(); }, Qt::BlockingQueuedConnection);
}
