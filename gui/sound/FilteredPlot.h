#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/sound/Filters.h"

class CC3d;
class CPlotSummary;

// The filtered values of the channel the sound dialog's plot shows, made off
// the GUI thread: Want(file, channel, filters) starts sound::FilteredChannel
// and the summary of its result on a thread of its own (cancelling a
// previous one that has not finished) and returns at once; Ready() is
// emitted on the GUI thread when the wanted values exist. A result that
// arrives after the wish changed is dropped. No filter wants nothing.
//
// Owned by the plot (a Qt child); owns its thread, which it cancels and
// joins when a new wish replaces it and when it is destroyed, so the file
// read by the thread must outlive this object (the document outlives the
// dialog).
class CFilteredPlot : public QObject {
  Q_OBJECT

 public:
  explicit CFilteredPlot(QObject* parent = nullptr);
  ~CFilteredPlot() override;
  CFilteredPlot(const CFilteredPlot&) = delete;
  CFilteredPlot& operator=(const CFilteredPlot&) = delete;

  // Asks for channel `channel` of c3d through filters; the same wish again
  // does nothing. Empty filters (or no file) want the plain channel.
  void Want(const CC3d* c3d, int channel, const std::vector<sound::FilterSpec>& filters);
  // The recording holding the wanted filtered values as its channel 0, and
  // its summary; both null while they are being made, when nothing
  // filtered is wanted, or when the filters cannot be applied.
  const CC3d* Values() const { return m_values.get(); }
  // Values() when they are those of this wish; null otherwise.
  const CC3d* ValuesFor(const CC3d* c3d, int channel,
                        const std::vector<sound::FilterSpec>& filters) const {
    return c3d == m_c3d && channel == m_channel && filters == m_filters ? m_values.get() : nullptr;
  }
  const CPlotSummary* Summary() const { return m_summary.get(); }
  // True while a thread makes the wanted values.
  bool Busy() const { return m_busy; }

 signals:
  void Ready();

 private:
  // What the thread made for the wish numbered `wish`.
  struct Result;
  void Stop();
  void Arrived(unsigned wish, std::shared_ptr<Result> result);

  const CC3d* m_c3d = nullptr;
  int m_channel = -1;
  std::vector<sound::FilterSpec> m_filters;
  unsigned m_wish = 0;  // numbers the wishes: only the last one's result is kept
  bool m_busy = false;
  std::shared_ptr<std::atomic<bool>> m_cancel;
  std::thread m_thread;
  std::unique_ptr<CC3d> m_values;
  std::unique_ptr<CPlotSummary> m_summary;
};
