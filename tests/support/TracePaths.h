#pragma once

#include <vector>

#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotPath.h"

// A trace's vertices and the path the column merge makes of every one of
// them, materialised: what the summarised path and the painter are checked
// against (tests and the plot fuzz target).
namespace c3dtest {

inline std::vector<PlotPoint> TraceVertices(const CPlotTrace& trace) {
  std::vector<PlotPoint> v;
  trace.WalkVertices([&v](const PlotPoint& p) { v.push_back(p); });
  return v;
}

inline std::vector<PlotPoint> MergedTracePath(const CPlotTrace& trace) {
  std::vector<PlotPoint> out;
  const auto sink = [&out](const PlotPoint& p) { out.push_back(p); };
  CColumnMerger merger(sink);
  trace.WalkVertices([&merger](const PlotPoint& p) { merger.Push(p); });
  merger.Finish();
  return out;
}

}  // namespace c3dtest
