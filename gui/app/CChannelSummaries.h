#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

class CC3d;
class CPlotSummary;

// The min/max summaries (CPlotSummary) of every analog channel of one loaded
// file, built once per channel on threads of their own so that opening a
// large file never stalls the window: each channel's summary is announced
// (Ready) on the GUI thread as it is finished, in file order as far as the
// threads allow. Owned by the document (one per file, shared by every window
// on it); it reads the document's CC3d, which must stay loaded and unchanged
// until Stop has returned. Owns the summaries and its thread pool.
class CChannelSummaries : public QObject {
  Q_OBJECT

 public:
  explicit CChannelSummaries(QObject* parent = nullptr);
  // Stops and waits, as Stop does.
  ~CChannelSummaries() override;

  // Starts summarising every channel of c3d (after Stop of any earlier
  // start). Returns at once; Ready follows for each channel.
  void Start(const CC3d& c3d);
  // Asks the threads to stop after the channel each is summarising and waits
  // for them: afterwards nothing reads the CC3d any more. The summaries
  // already announced stay usable until the next Start or Clear.
  void Stop();
  // Stop, then forgets every summary (Get gives null for every channel).
  void Clear();

  // The summary of `channel` once announced; null before (or when there is
  // no such channel).
  const CPlotSummary* Get(int channel) const;
  // Channels summarised so far, and channels in the file.
  int ReadyCount() const { return m_nReady; }
  int ChannelCount() const { return static_cast<int>(m_ready.size()); }
  // Bytes held by the announced summaries' blocks.
  std::size_t Bytes() const;

 signals:
  // The summary of `channel` is ready (GUI thread).
  void Ready(int channel);

 private:
  void OnBuilt(int channel);

  QThreadPool m_pool;
  std::atomic<bool> m_stop{false};
  // One slot per channel, written by one worker each; read by the GUI
  // thread only once m_ready says the slot is complete.
  std::vector<std::unique_ptr<CPlotSummary>> m_summaries;
  std::vector<char> m_ready;  // set on the GUI thread when Ready is sent
  int m_nReady = 0;
};
