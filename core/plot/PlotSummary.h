#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/c3d/SampleExtremes.h"

// A summary of one analog channel for reading any range of it quickly: the
// extremes of its raw samples over aligned blocks of 2^7, 2^8, ... samples
// (each level pairs the blocks of the one below; a partial last block is
// left out and read sample by sample). It speaks of sample indices and raw
// values only; the plot geometry turns its answers into rows and columns.
//
// Built once per channel (one pass over the samples, about 2 x 12 bytes per
// 128 samples: under 5% of float samples, under 10% of 16-bit ones; blocks
// of 64 would double that and measured no faster to read); reads the
// CC3d's sample block afterwards, which must stay alive and unchanged while
// the summary is used. Owns only its blocks.
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
  // Bytes held by the summary's blocks (what it adds to the samples).
  std::size_t Bytes() const {
    std::size_t bytes = 0;
    for (const std::vector<Block>& level : m_levels) bytes += level.capacity() * sizeof(Block);
    return bytes;
  }

  // Extremes of the raw samples [first, last), 0 <= first < last <= Count():
  // those of the values that are not NaN (Any() false when there is none),
  // and whether a NaN is among them.
  c3d::SampleExtremes Extremes(std::int64_t first, std::int64_t last) const;

  // Two runs that bracket [first, last) (same bounds as Extremes), from the
  // blocks alone wherever blocks cover the range: `inside`, the extremes of
  // the blocks that lie wholly in the range (Any() and nan false when none
  // does), and `around`, those together with the level-0 blocks that hold
  // its ragged ends (the ragged samples themselves past the last whole
  // block). Every sample counted in `inside` lies in the range, and every
  // sample of the range is counted in `around`; a monotonic function of the
  // values that agrees on both agrees on the range's extremes too.
  struct Bracket {
    c3d::SampleExtremes inside, around;
  };
  // Samples in a block of the lowest level: a range shorter than a few of
  // them has little or nothing inside whole blocks.
  static constexpr std::int64_t kBlockSamples = std::int64_t{1} << 7;
  Bracket Bracketing(std::int64_t first, std::int64_t last) const;

  // Searches for a sample that `accepts` (a predicate on raw values, NaN
  // included) rejects. The values it accepts must form an interval: every
  // value between two accepted ones is accepted, so a run of samples is
  // accepted whole when its extremes are (and NaN, if it holds one).
  // First index in [first, last) whose sample is rejected, or `last` when
  // there is none.
  template <class Accepts>
  std::int64_t FirstRejected(std::int64_t first, std::int64_t last, const Accepts& accepts) const;
  // Last such index in [first, last), or first - 1 when there is none.
  template <class Accepts>
  std::int64_t LastRejected(std::int64_t first, std::int64_t last, const Accepts& accepts) const;

  // Raw sample i as a float (an int16 converts exactly).
  float Raw(std::int64_t i) const {
    return m_integer ? static_cast<float>(static_cast<const std::int16_t*>(m_samples)[i])
                     : static_cast<const float*>(m_samples)[i];
  }

 private:
  // Extremes of the values that are not NaN (min > max when none), and
  // whether a NaN lies in the block.
  using Block = c3d::SampleExtremes;
  // A piece of a range: a span of samples read one by one (level < 0), or
  // the block of level `level` that covers exactly [begin, end).
  struct Piece {
    int level;
    std::int64_t begin, end;  // samples [begin, end)
  };

  // Calls stop(piece) for the pieces of [first, last) in order until it
  // returns true (true when it did): a ragged span at either end, read
  // sample by sample, and between them the largest block that starts where
  // the one before ends (backward: that ends where the one after begins).
  template <class Stop>
  bool AnyPiece(std::int64_t first, std::int64_t last, const Stop& stop) const;
  template <class Stop>
  bool AnyPieceBackward(std::int64_t first, std::int64_t last, const Stop& stop) const;
  // Extremes of the samples [begin, end), read one by one.
  c3d::SampleExtremes Scan(std::int64_t begin, std::int64_t end) const;
  template <class Accepts>
  static bool Accepted(const Block& block, const Accepts& accepts);
  const Block& At(int level, std::int64_t begin) const {
    return m_levels[static_cast<std::size_t>(level)]
                   [static_cast<std::size_t>(begin >> (kShift + level))];
  }

  static constexpr int kShift = 7;  // level 0 blocks hold 2^7 samples (kBlockSamples)
  // The samples of [first, last) that whole level-0 blocks hold: the first
  // block boundary at or after `first`, the last at or before `last`.
  static std::pair<std::int64_t, std::int64_t> WholeBlocks(std::int64_t first, std::int64_t last) {
    const std::int64_t size0 = std::int64_t{1} << kShift;
    return {(first + size0 - 1) / size0 * size0, last / size0 * size0};
  }

  const CC3d* m_c3d = nullptr;
  int m_channel = -1;
  const void* m_samples = nullptr;
  bool m_integer = true;
  std::int64_t m_count = 0;
  std::vector<std::vector<Block>> m_levels;  // level l: blocks of 2^(6 + l) samples
};

// --- template implementation ---

template <class Accepts>
bool CPlotSummary::Accepted(const Block& block, const Accepts& accepts) {
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  if (block.nan && !accepts(kNan)) return false;
  if (!block.Any()) return true;  // only NaN
  return accepts(block.min) && accepts(block.max);
}

template <class Stop>
bool CPlotSummary::AnyPiece(std::int64_t first, std::int64_t last, const Stop& stop) const {
  const auto [alignedFirst, alignedLast] = WholeBlocks(first, last);
  if (m_levels.empty() || alignedFirst >= alignedLast) return stop(Piece{-1, first, last});
  if (first < alignedFirst && stop(Piece{-1, first, alignedFirst})) return true;
  const int levels = static_cast<int>(m_levels.size());
  for (std::int64_t i = alignedFirst; i < alignedLast;) {
    int level = 0;
    while (level + 1 < levels) {
      const std::int64_t size = std::int64_t{1} << (kShift + level + 1);
      if (i % size != 0 || i + size > alignedLast) break;
      ++level;
    }
    const std::int64_t end = i + (std::int64_t{1} << (kShift + level));
    if (stop(Piece{level, i, end})) return true;
    i = end;
  }
  return alignedLast < last && stop(Piece{-1, alignedLast, last});
}

template <class Stop>
bool CPlotSummary::AnyPieceBackward(std::int64_t first, std::int64_t last, const Stop& stop) const {
  const auto [alignedFirst, alignedLast] = WholeBlocks(first, last);
  if (m_levels.empty() || alignedFirst >= alignedLast) return stop(Piece{-1, first, last});
  if (alignedLast < last && stop(Piece{-1, alignedLast, last})) return true;
  const int levels = static_cast<int>(m_levels.size());
  for (std::int64_t j = alignedLast; j > alignedFirst;) {
    // The largest block that ends at j and starts at alignedFirst or later.
    int level = 0;
    while (level + 1 < levels) {
      const std::int64_t size = std::int64_t{1} << (kShift + level + 1);
      if (j % size != 0 || j - size < alignedFirst) break;
      ++level;
    }
    const std::int64_t begin = j - (std::int64_t{1} << (kShift + level));
    if (stop(Piece{level, begin, j})) return true;
    j = begin;
  }
  return first < alignedFirst && stop(Piece{-1, first, alignedFirst});
}

template <class Accepts>
std::int64_t CPlotSummary::FirstRejected(std::int64_t first, std::int64_t last,
                                         const Accepts& accepts) const {
  std::int64_t found = last;
  AnyPiece(first, last, [&](const Piece& piece) {
    std::int64_t begin = piece.begin;
    std::int64_t end = piece.end;
    if (piece.level >= 0) {
      if (Accepted(At(piece.level, begin), accepts)) return false;
      // Down to the first level-0 block with a rejected sample: its left
      // half when that holds one, else its right half.
      for (int level = piece.level; level > 0; --level) {
        const std::int64_t half = std::int64_t{1} << (kShift + level - 1);
        if (Accepted(At(level - 1, begin), accepts)) begin += half;
        end = begin + half;
      }
    }
    for (std::int64_t i = begin; i < end; ++i) {
      if (!accepts(Raw(i))) {
        found = i;
        return true;
      }
    }
    return false;
  });
  return found;
}

template <class Accepts>
std::int64_t CPlotSummary::LastRejected(std::int64_t first, std::int64_t last,
                                        const Accepts& accepts) const {
  std::int64_t found = first - 1;
  AnyPieceBackward(first, last, [&](const Piece& piece) {
    std::int64_t begin = piece.begin;
    std::int64_t end = piece.end;
    if (piece.level >= 0) {
      if (Accepted(At(piece.level, begin), accepts)) return false;
      // Down to the last level-0 block with a rejected sample: its right half first.
      for (int level = piece.level; level > 0; --level) {
        const std::int64_t half = std::int64_t{1} << (kShift + level - 1);
        if (!Accepted(At(level - 1, begin + half), accepts)) begin += half;
        end = begin + half;
      }
    }
    for (std::int64_t i = end - 1; i >= begin; --i) {
      if (!accepts(Raw(i))) {
        found = i;
        return true;
      }
    }
    return false;
  });
  return found;
}
