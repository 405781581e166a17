#include "gui/player/SoundPlayer.h"

#include <QEventLoop>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>

#include "core/sound/PcmLoop.h"
#include "core/sound/WaveFormat.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

namespace {

CSoundPlayer* g_instance = nullptr;

}  // namespace

CSoundPlayer::CSoundPlayer(QObject* parent) : QObject(parent), m_output(MakeSoundOutput()) {
  if (g_instance == nullptr) g_instance = this;
}

CSoundPlayer::~CSoundPlayer() {
  m_output->Stop();
  if (g_instance == this) g_instance = nullptr;
}

CSoundPlayer* CSoundPlayer::Instance() { return g_instance; }

CSoundPlayer::PlayResult CSoundPlayer::Play(const QString& path, PlayMode mode) {
  Purge();
  m_lastError.clear();

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Fail(Res::LoadString(Res::IDS_PLAYER_CANNOT_READ).arg(path, file.errorString()));
    return PlayResult::Unreadable;
  }
  const QByteArray bytes = file.readAll();
  file.close();

  sound::PcmWaveInfo info;
  std::string why;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
  if (!sound::ParsePcmWave(std::span(data, static_cast<std::size_t>(bytes.size())), info, why)) {
    Fail(Res::LoadString(Res::IDS_PLAYER_NOT_PLAYABLE).arg(path, QString::fromStdString(why)));
    return PlayResult::Unreadable;
  }
  if (info.dataBytes == 0) return PlayResult::Empty;

  // sizes fit: the parser took them from a QByteArray
  PcmSound sound;
  sound.samples =
      bytes.mid(static_cast<qsizetype>(info.dataOffset), static_cast<qsizetype>(info.dataBytes));
  sound.bits = info.bits;
  sound.rate = static_cast<int>(info.rate);  // at most 44100
  sound.channels = info.channels;
  sound.loop = mode == PlayMode::Loop;
  const quint64 generation = ++m_generation;
  // Called on the output's thread: the news travels to this one, where a
  // report of a sound since stopped or replaced is dropped.
  const auto onEnded = [this, generation](const QString& error) {
    QMetaObject::invokeMethod(
        this, [this, generation, error] { OnEnded(generation, error); }, Qt::QueuedConnection);
  };
  m_output->Start(sound, onEnded);
  m_durationUs =
      static_cast<qint64>(static_cast<double>(info.dataBytes) /
                          static_cast<double>(info.channels * (info.bits / 8)) * 1e6 / info.rate);
  m_rate = sound.rate;
  m_loopPass = 0;
  if (sound.loop) {
    const auto frames =
        static_cast<std::int64_t>(info.dataBytes / (info.channels * (info.bits / 8)));
    m_loopPass = frames - sound::LoopCrossfadeFrames(frames, sound.rate);
  }
  m_playing = true;
  return PlayResult::Playing;
}

void CSoundPlayer::Purge() {
  if (!m_playing) return;
  m_output->Stop();
  m_playing = false;
  emit Finished();
}

bool CSoundPlayer::IsPlaying() const { return m_playing; }

double CSoundPlayer::PositionSeconds() const {
  if (!m_playing) return -1.0;
  // The sink's own count of the sound it has played out, which the audio
  // server advances smoothly (the bytes taken from the buffer move in
  // periods of tens of milliseconds), as the output's thread last published it.
  const double seconds = static_cast<double>(m_output->ProcessedUs()) / 1e6;
  if (m_loopPass > 0) {
    // Each pass of a loop lasts its sound less the crossfade at the seam.
    const double pass = static_cast<double>(m_loopPass) / m_rate;
    return std::fmod(std::max(seconds, 0.0), pass);
  }
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
