#pragma once

#include <cstdint>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"

// The extremes of a run of raw samples: the smallest and largest value that
// is not NaN (min > max when there is none), and whether a NaN is among them.
struct PlotExtremes {
  float min = 0.0f;
  float max = 0.0f;
  bool nan = false;
};

// A summary of one analog channel for painting any range of it quickly: the
// extremes of its raw samples over aligned blocks of 2^6, 2^7, ... samples
// (each level pairs the blocks of the one below; a partial last block is
// left out and read sample by sample). Since a trace's row is a monotonic
// function of the raw sample (NaN aside, which goes to the bottom edge),
// a block's extremes tell whether all its samples lie on one row, and the
// extremes of a column's samples give its highest and lowest row.
//
// Built once per channel (one pass over the samples, about 2 x 12 bytes per
// 64 samples); reads the CC3d's sample block afterwards, which must stay
// alive and unchanged while the summary is used. Owns only its blocks.
class CPlotSummary {
 public:
  CPlotSummary() = default;
  // Summarises channel `channel` of c3d; an empty summary (Describes false
  // for every channel) when there is no such channel or it cannot be walked.
  CPlotSummary(const CC3d& c3d, int channel);

  // True when this summary was built from this channel of this file and its
  // sample block and count are still the ones summarised.
  bool Describes(const CC3d& c3d, int channel) const;
  // Samples summarised (the channel's n), 0 when empty.
  std::int64_t Count() const { return m_count; }

  // Extremes of the raw samples [first, last), 0 <= first < last <= Count().
  PlotExtremes Extremes(std::int64_t first, std::int64_t last) const;
  // First index in [first, last) whose sample trace.Row maps to a row other
  // than `row`, or `last` when there is none. `trace` must be of this channel.
  std::int64_t FirstOtherRow(const CPlotTrace& trace, std::int64_t first, std::int64_t last,
                             int row) const;
  // Last such index in [first, last), or first - 1 when there is none.
  std::int64_t LastOtherRow(const CPlotTrace& trace, std::int64_t first, std::int64_t last,
                            int row) const;
  // Raw sample i as a float (an int16 converts exactly).
  float Raw(std::int64_t i) const {
    return m_integer ? static_cast<float>(static_cast<const std::int16_t*>(m_samples)[i])
                     : static_cast<const float*>(m_samples)[i];
  }

 private:
  struct Block {
    float min, max;  // extremes of the values that are not NaN; min > max when none
    bool nan;        // a NaN lies in the block
  };
  // A piece of a range: a span of samples read one by one (level < 0), or
  // the block of level `level` that covers exactly [begin, end).
  struct Piece {
    int level;
    std::int64_t begin, end;  // samples [begin, end)
  };

  std::vector<Piece> Pieces(std::int64_t first, std::int64_t last) const;
  bool OnRow(const CPlotTrace& trace, const Block& block, int row) const;
  const Block& At(int level, std::int64_t begin) const {
    return m_levels[static_cast<std::size_t>(level)]
                   [static_cast<std::size_t>(begin >> (kShift + level))];
  }

  static constexpr int kShift = 6;  // level 0 blocks hold 2^6 samples

  const CC3d* m_c3d = nullptr;
  int m_channel = -1;
  const void* m_samples = nullptr;
  bool m_integer = true;
  std::int64_t m_count = 0;
  std::vector<std::vector<Block>> m_levels;  // level l: blocks of 2^(6 + l) samples
};

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
// vertex, computed from the summary of its channel in time that depends on
// W and log n rather than on n. `summary` must describe the trace's channel.
std::vector<PlotPoint> SummarisedTracePath(const CPlotTrace& trace, const CPlotSummary& summary);
