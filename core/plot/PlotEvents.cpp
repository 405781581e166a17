#include "core/plot/PlotEvents.h"

#include <algorithm>

#include "core/c3d/C3d.h"

std::vector<PlotEventMark> PlotEventMarksOf(const std::vector<c3d::SampleEvent>& events,
                                            std::int64_t first, std::int64_t count, int width) {
  std::vector<PlotEventMark> marks;
  if (count <= 0) return marks;
  width = ClampPlotSize(width);
  // Vertex k lies at k x W / (n - 1), kept within the plot's width.
  const auto column = [&](std::int64_t sample) {
    if (count == 1) return 0;
    const double x = static_cast<double>(sample - first) * static_cast<double>(width) /
                     static_cast<double>(count - 1);
    // Within [0, W] for a sample of the range: the conversion is defined.
    return static_cast<int>(std::min(x, static_cast<double>(width)));
  };
  for (const c3d::SampleEvent& e : events) {
    if (e.sample < first || e.sample >= first + count) continue;
    marks.push_back(PlotEventMark{column(e.sample), e.label, e.context, e.side, e.sample, e.text});
  }
  return marks;
}

std::vector<PlotEventMark> PlotEventMarks(const CC3d& c3d, int channel, int width, int height,
                                          PlotRange range) {
  const CPlotTrace trace(&c3d, channel, width, height, range);
  return PlotEventMarksOf(c3d::EventsOnSamples(c3d), trace.First(), trace.Count(), trace.Width());
}
