#include "gui/player/SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <span>
#include <string>

#include "core/sound/WaveFormat.h"

namespace {

CSoundPlayer* g_instance = nullptr;

// The sink's queue, in milliseconds of sound: short, so a stop is heard at
// once and the end of the data is close to the end of what is heard.
constexpr qint64 kQueueMs = 100;
// Output latency beyond the queue (mixing, device), waited for before the
// end of a sound is declared, so its tail is never cut.
constexpr qint64 kTailMarginMs = 150;

}  // namespace

CSoundPlayer::CSoundPlayer(QObject* parent) : QObject(parent) {
  if (g_instance == nullptr) g_instance = this;
  m_endTimer.setSingleShot(true);
  connect(&m_endTimer, &QTimer::timeout, this, [this] {
    StopSink();
    emit Finished();
  });
}

CSoundPlayer::~CSoundPlayer() {
  StopSink();
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
  m_pcm =
      bytes.mid(static_cast<qsizetype>(info.dataOffset), static_cast<qsizetype>(info.dataBytes));
  m_source.setBuffer(&m_pcm);
  m_source.open(QIODevice::ReadOnly);
  m_bytesPerSecond = format.bytesForDuration(1'000'000);
  m_durationMs = static_cast<qint64>(info.dataBytes / static_cast<std::size_t>(info.bits / 8) *
                                     1000 / info.rate);

  m_sink = std::make_unique<QAudioSink>(device, format);
  m_sink->setBufferSize(format.bytesForDuration(kQueueMs * 1000));
  const quint64 generation = ++m_generation;
  // Queued when the backend reports from its own thread: a late report of a
  // sink that has since been replaced carries an old generation and is dropped.
  connect(m_sink.get(), &QAudioSink::stateChanged, this,
          [this, generation](QAudio::State state) { OnStateChanged(state, generation); });
  m_clock.start();
  m_sink->start(&m_source);
  if (m_sink->state() == QAudio::StoppedState || m_sink->error() == QAudio::OpenError ||
      m_sink->error() == QAudio::FatalError) {
    Fail(QStringLiteral("the audio output \"%1\" cannot be opened").arg(device.description()));
    StopSink();
    return PlayResult::NoDevice;
  }
  return PlayResult::Playing;
}

void CSoundPlayer::Purge() {
  if (!m_sink) return;
  StopSink();
  emit Finished();
}

bool CSoundPlayer::IsPlaying() const { return m_sink != nullptr; }

double CSoundPlayer::PositionSeconds() const {
  if (!m_sink || m_bytesPerSecond <= 0) return -1.0;
  // The sink's own count of the sound it has played out, which the audio
  // server advances smoothly (the bytes taken from the buffer move in
  // periods of tens of milliseconds).
  const double seconds = static_cast<double>(m_sink->processedUSecs()) / 1e6;
  return std::clamp(seconds, 0.0, static_cast<double>(m_durationMs) / 1000.0);
}

void CSoundPlayer::WaitForEnd() {
  if (!IsPlaying()) return;
  QEventLoop loop;
  connect(this, &CSoundPlayer::Finished, &loop, &QEventLoop::quit);
  loop.exec();
}

void CSoundPlayer::OnStateChanged(QAudio::State state, quint64 generation) {
  if (generation != m_generation || !m_sink || m_stopping) return;
  if (state == QAudio::IdleState && m_source.atEnd()) {
    // Everything has been handed to the output, whose queue and latency
    // still hold the tail: stop once the whole sound has been heard.
    const qint64 queuedMs = m_sink->format().durationForBytes(m_sink->bufferSize()) / 1000;
    const qint64 untilEnd = std::max(m_durationMs - m_clock.elapsed(), queuedMs);
    // Clamped to what a timer takes (a 1 Hz sound can last for years).
    const qint64 waitMs = std::min<qint64>(untilEnd + kTailMarginMs, INT_MAX);
    if (!m_endTimer.isActive()) m_endTimer.start(static_cast<int>(waitMs));
  } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
    Fail(QStringLiteral("the audio output stopped with error %1").arg(m_sink->error()));
    m_endTimer.start(0);  // released outside the sink's own signal
  }
}

void CSoundPlayer::Fail(const QString& reason) {
  m_lastError = reason;
  std::fprintf(stderr, "sound player: %s\n", reason.toLocal8Bit().constData());
}

void CSoundPlayer::StopSink() {
  m_endTimer.stop();
  if (m_sink) {
    m_stopping = true;
    m_sink->disconnect(this);
    m_sink->stop();
    m_sink.reset();
    m_stopping = false;
  }
  m_source.close();
  m_pcm.clear();
}
