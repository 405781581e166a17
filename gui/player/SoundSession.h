#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

// One started sound as the player's thread and the thread feeding it share
// it: the stop flag the feeding side reads between writes, and the report of
// the sound's end, which Stop disarms. Owned through shared_ptr by the output
// and by every thread or object feeding the sound, so a feeding thread left
// behind on a hung sound server touches only what it shares in here.
class CSoundSession {
 public:
  // Called at most once with how the sound ended: empty when it was heard
  // to its end, else why the output failed. From the feeding thread.
  using EndedFn = std::function<void(const QString& error)>;

  explicit CSoundSession(EndedFn onEnded) : m_onEnded(std::move(onEnded)) {}
  CSoundSession(const CSoundSession&) = delete;
  CSoundSession& operator=(const CSoundSession&) = delete;

  // Marks the sound stopped; returns at once (it waits at most for a report
  // being posted, never for the sound server). Once it has returned, the
  // report is never made. Safe to call twice.
  void Stop() {
    EndedFn dropped;
    const std::lock_guard lock(m_mutex);
    m_stopped.store(true);
    dropped = std::move(m_onEnded);
  }
  // True once Stop has been called: the feeding side silences and leaves.
  bool Stopped() const { return m_stopped.load(); }
  // Reports the end once, unless the sound was stopped first.
  void ReportEnd(const QString& error) {
    const std::lock_guard lock(m_mutex);
    if (m_stopped.load() || !m_onEnded) return;
    const EndedFn onEnded = std::move(m_onEnded);
    m_onEnded = nullptr;
    onEnded(error);
  }

 private:
  std::atomic<bool> m_stopped{false};
  std::mutex m_mutex;  // orders a report against Stop
  EndedFn m_onEnded;   // guarded by m_mutex
};
