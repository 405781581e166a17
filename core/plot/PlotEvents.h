#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/c3d/TrialEvents.h"
#include "core/plot/PlotGeometry.h"

class CC3d;

// Where a recording's events stand on the waveform plot: a column per event
// among the samples drawn, with the short label and side its line is drawn
// with. Plain numbers for any painter (the command-line tool's image and
// geometry, the sound dialog's plot).

// One event drawn over the plot: a thin vertical line at column x, in the
// colour of its side, with a short label at its top.
struct PlotEventMark {
  int x = 0;                // column in [0, W], as the trace's vertex of the event's sample
  std::string label;        // short form: "L FS" for Left Foot Strike, a header event's own label
  std::string context;      // the event's context as stored; empty for a header event
  char side = 'G';          // 'L' left, 'R' right, 'G' general
  std::int64_t sample = 0;  // the event's analog sample (0-based, of the whole channel)
  std::string text;         // the event in full (SampleEvent::text)
};

// The marks of `events` whose sample lies among the `count` samples from
// `first` on that a plot `width` pixels wide draws, in the order given.
// Vertex k of those samples lies at column trunc(k x W / (count - 1)) (0
// when count is 1), at most W: where the trace puts the event's sample.
// Empty when count is not positive.
std::vector<PlotEventMark> PlotEventMarksOf(const std::vector<c3d::SampleEvent>& events,
                                            std::int64_t first, std::int64_t count, int width);

// The events of c3d (EventsOnSamples: the header's table first, then the
// EVENT group's by time) whose analog sample lies among the samples the
// plot of `channel` at width x height over `range` draws. Empty when the
// plot draws no trace.
std::vector<PlotEventMark> PlotEventMarks(const CC3d& c3d, int channel, int width, int height,
                                          PlotRange range);
