#include "gui/player/SoundOutput.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

#ifndef TREMOLUX_HAVE_PULSE

std::unique_ptr<ISoundOutput> MakePulseSoundOutput() { return nullptr; }

#else

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "core/sound/PcmLoop.h"

namespace {

// The stream's target queue, in microseconds of sound: what the server holds
// ahead of the speaker. A stop flushes it, so its length costs nothing there;
// it is what the feeding thread and the sound server may fall behind by on a
// busy machine before a gap is heard (a private server without real-time
// priority, on two cores running four compilers, fell 20 ms short of 100 ms).
constexpr pa_usec_t kQueueUs = 250'000;
// The feeding thread writes this much sound at a time, so it notices a stop
// within about this long.
constexpr pa_usec_t kChunkUs = 10'000;
// Kept open this long after the server reports the queue empty: its count
// leaves out what the resampler and the mixer still hold (about 20 ms of an
// 8000 Hz sound on a 44100 Hz sink), which closing the stream would cut.
constexpr pa_usec_t kTailMarginUs = 100'000;

// How long the output's destructor gives the feeding threads to silence and
// close their streams (a few milliseconds on a server that answers) before
// it leaves them to end on their own, so quitting never waits for a hung server.
constexpr auto kCloseWait = std::chrono::milliseconds(100);

QString Reason(int error) { return QString::fromLocal8Bit(pa_strerror(error)); }

// One sound as its output and its feeding thread share it: the session (stop
// flag, end report) and the played-out position the thread publishes.
class CPulseSession : public CSoundSession {
 public:
  using CSoundSession::CSoundSession;

  void SetPosition(qint64 playedUs, qint64 sentUs) {
    const std::lock_guard lock(m_mutex);
    m_playedUs = playedUs;
    m_sentUs = sentUs;
    m_at = std::chrono::steady_clock::now();
  }
  // The position last published, moved on by the time since: the feeding
  // thread publishes after each write, which a full queue spaces out to tens
  // of milliseconds, and the sound plays on at its own pace between. Never
  // beyond what was written.
  qint64 ProcessedUs() const {
    const std::lock_guard lock(m_mutex);
    const auto since = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - m_at);
    return std::min(m_playedUs + since.count(), m_sentUs);
  }

 private:
  mutable std::mutex m_mutex;  // guards the three below
  qint64 m_playedUs = 0;       // played out when last published
  qint64 m_sentUs = 0;         // written to the server by then
  std::chrono::steady_clock::time_point m_at;
};

// The feeding threads still running, shared with them: the output's
// destructor waits a moment for them to end.
struct FeederCount {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;  // guarded by mutex
};

// The feeding thread's whole work for one sound: opens a stream, writes the
// samples (a loop's passes until it is stopped), waits until the server has
// played them out, closes the stream and reports how the sound ended. A stop is read between
// writes; the stream is then flushed, silencing at once what the server still holds.
void Feed(CPulseSession& session, const PcmSound& sound) {
  pa_sample_spec sampleFormat;
  sampleFormat.format = sound.bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  sampleFormat.rate = static_cast<std::uint32_t>(sound.rate);
  sampleFormat.channels = static_cast<std::uint8_t>(sound.channels);  // 1 or 2
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kQueueUs, &sampleFormat));
  // Playback starts once the whole queue is filled (at once: the sound is
  // in memory), so the sink's first requests find data. A smaller start
  // threshold is heard as a gap of that size at the start when the sink
  // asks for more than is queued yet; none at all lets the server's read
  // position run ahead of the first bytes, dropping the sound's start.
  const std::size_t frame = pa_frame_size(&sampleFormat);
  const std::size_t chunk =
      std::max(frame, pa_usec_to_bytes(kChunkUs, &sampleFormat) / frame * frame);
  attr.prebuf = attr.tlength;
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(-1);
  int code = 0;
  pa_simple* stream = pa_simple_new(nullptr, "Tremolux", PA_STREAM_PLAYBACK, nullptr,
                                    "Analog channel", &sampleFormat, nullptr, &attr, &code);
  if (stream == nullptr) {
    session.ReportEnd(Res::LoadString(Res::IDS_PLAYER_NO_SERVER).arg(Reason(code)));
    return;
  }
  // A sound shorter than the start threshold is followed by true silence
  // up to it, or it would never start. A loop fills any queue.
  QByteArray samples = sound.samples;
  if (!sound.loop && static_cast<std::size_t>(samples.size()) < attr.prebuf)
    samples.append(static_cast<qsizetype>(attr.prebuf) - samples.size(),
                   sound.bits == 8 ? '\x80' : '\0');

  // The samples in order, once or looped; read a chunk at a time.
  sound::CPcmLoop source(std::span(reinterpret_cast<const std::uint8_t*>(samples.constData()),
                                   static_cast<std::size_t>(samples.size())),
                         sound.bits, sound.rate, sound.loop, sound.channels);
  std::vector<std::uint8_t> block(chunk);
  std::size_t written = 0;
  QString failure;
  // The played-out time: what was written less what the server still
  // holds. False when the server is gone.
  const auto publish = [&](pa_usec_t& latency) {
    latency = pa_simple_get_latency(stream, &code);
    if (latency == static_cast<pa_usec_t>(-1)) return false;
    const pa_usec_t sent = pa_bytes_to_usec(written, &sampleFormat);
    session.SetPosition(static_cast<qint64>(sent > latency ? sent - latency : 0),
                        static_cast<qint64>(sent));
    return true;
  };
  pa_usec_t latency = 0;
  while (!session.Stopped()) {
    const std::size_t n = source.Read(block);
    if (n == 0) break;
    if (pa_simple_write(stream, block.data(), n, &code) < 0 || !publish(latency)) {
      failure = Res::LoadString(Res::IDS_PLAYER_SERVER_STOPPED).arg(Reason(code));
      break;
    }
    written += n;
  }
  // The tail: the server's queue and the device still hold it. The latency
  // falls while the queue plays out and stands still once the stream has
  // run dry and paused (then only the device's part is left).
  for (pa_usec_t before = static_cast<pa_usec_t>(-1); failure.isEmpty() && !session.Stopped();
       before = latency) {
    if (!publish(latency)) {
      failure = Res::LoadString(Res::IDS_PLAYER_SERVER_STOPPED).arg(Reason(code));
      break;
    }
    if (latency == 0 || latency == before) break;
    std::this_thread::sleep_for(std::chrono::microseconds(kChunkUs));
  }
  for (pa_usec_t waited = 0; failure.isEmpty() && waited < kTailMarginUs && !session.Stopped();
       waited += kChunkUs)
    std::this_thread::sleep_for(std::chrono::microseconds(kChunkUs));
  if (session.Stopped()) pa_simple_flush(stream, &code);  // silence now, not after the queue
  pa_simple_free(stream);
  session.ReportEnd(failure);
}

// A PulseAudio playback stream of its own per sound (the "simple" client
// API), opened, written and closed by a thread of its own per sound, which
// shares with the output only the sound's session and the count of running
// threads. Connecting anew at every Start finds a server that was started,
// or restarted, after the program. A thread held up by a hung server is
// left behind (stopped) when the next sound starts or the output goes, and
// ends on its own once the server answers or drops the connection.
class CPulseSoundOutput : public ISoundOutput {
 public:
  CPulseSoundOutput() = default;
  ~CPulseSoundOutput() override {
    Stop();
    std::unique_lock lock(m_feeders->mutex);
    m_feeders->ended.wait_for(lock, kCloseWait, [this] { return m_feeders->running == 0; });
  }
  CPulseSoundOutput(const CPulseSoundOutput&) = delete;
  CPulseSoundOutput& operator=(const CPulseSoundOutput&) = delete;

  void Start(const PcmSound& sound, EndedFn onEnded) override {
    Stop();
    auto session = std::make_shared<CPulseSession>(std::move(onEnded));
    m_session = session;
    {
      const std::lock_guard lock(m_feeders->mutex);
      ++m_feeders->running;
    }
    std::thread([session, sound, feeders = m_feeders] {
      Feed(*session, sound);
      const std::lock_guard lock(feeders->mutex);
      --feeders->running;
      feeders->ended.notify_all();
    }).detach();
  }

  void Stop() override {
    if (m_session) m_session->Stop();
  }

  qint64 ProcessedUs() const override { return m_session ? m_session->ProcessedUs() : 0; }

 private:
  std::shared_ptr<CPulseSession> m_session;  // the latest sound, shared with its thread
  std::shared_ptr<FeederCount> m_feeders = std::make_shared<FeederCount>();
};

}  // namespace

std::unique_ptr<ISoundOutput> MakePulseSoundOutput() {
  return std::make_unique<CPulseSoundOutput>();
}

#endif
