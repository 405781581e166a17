#pragma once

#include <cstdint>
#include <vector>

#include "core/plot/PlotGeometry.h"

class CPlotSummary;

// A trace's pixel columns and its drawn path found from a channel summary,
// in time that depends on the width and log n rather than on n: what a
// paint of a long channel or range walks instead of every sample.

// The first vertex of each column of a trace of n samples whose x
// accumulates `xStep` in single precision from 0 (column (int)min(x, W)):
// element c is the index of the first vertex in column c or beyond, for
// c = 0 .. W + 1 (so W + 1 gives n, and columns c .. c + 1 hold the
// vertices [starts[c], starts[c + 1])). Walks the accumulation in closed
// form: within one binade of floats the rounded step is constant once one
// step has been taken, so the cost grows with the binades crossed and W,
// not with n.
std::vector<std::int64_t> PlotColumnStarts(float xStep, std::int64_t n, int width);

// The path that CColumnMerger makes of `trace`'s vertices, vertex for
// vertex, computed from the summary of its channel. `summary` must
// describe the trace's channel.
std::vector<PlotPoint> SummarisedTracePath(const CPlotTrace& trace, const CPlotSummary& summary);
