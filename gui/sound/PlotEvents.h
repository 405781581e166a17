#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "core/c3d/TrialEvents.h"
#include "core/plot/PlotEvents.h"

class CC3d;

// The events of the file the sound dialog's plot shows (c3d::EventsOnSamples:
// the header's table and the EVENT group), read once per file, and what the
// plot does with them: their marks for the range it draws (the same
// geometry as tremolux-cli plot --events), the tooltip of the mark under the
// mouse, and the event before or after a sample for "[" and "]". A plain
// value owned by the plot; reads the file only in Follow.
class CPlotEvents {
 public:
  // Reads the events of c3d when it is another file than the last one
  // (null: none).
  void Follow(const CC3d* c3d);
  bool Empty() const { return m_events.empty(); }

  // The marks of the events among `count` samples from `first` drawn `width`
  // pixels wide (PlotEventMarksOf).
  std::vector<PlotEventMark> Marks(std::int64_t first, std::int64_t count, int width) const;
  // The full text and time of the mark nearest column x (within 3 pixels),
  // "Left Foot Strike at 1.250 s", the seconds counted from the first sample
  // as the ruler counts them; empty when no mark is that near.
  static QString TipAt(const std::vector<PlotEventMark>& marks, int x, double secondsPerSample);
  // The sample of the first event after `sample` (direction > 0) or the
  // last one before it (direction < 0); -1 when there is none.
  std::int64_t Neighbour(double sample, int direction) const;

 private:
  const CC3d* m_c3d = nullptr;
  std::int64_t m_count = -1;  // the file's samples per channel when read
  std::vector<c3d::SampleEvent> m_events;
  std::vector<std::int64_t> m_sorted;  // their samples, ascending
};
