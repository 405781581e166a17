#include "core/plot/PlotSummary.h"

#include <utility>

namespace {

// The extremes of each of `blocks` blocks of `size` samples: ScanExtremes of
// each, its scan inlined here (a block is short: a call apiece would cost
// about as much as the scan).
template <class T>
void SummariseBlocks(const T* samples, std::int64_t blocks, std::int64_t size,
                     c3d::SampleExtremes* out) {
  for (std::int64_t b = 0; b < blocks; ++b) {
    c3d::ExtremesScan<T> scan;
    scan.Add(samples + b * size, static_cast<std::size_t>(size));
    out[b] = scan.Result();
  }
}

}  // namespace

CPlotSummary::CPlotSummary(const CC3d& c3d, int channel) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= c3d.m_analogs.size()) return;
  const CAnalog* analog = c3d.m_analogs[static_cast<std::size_t>(channel)].get();
  if (analog == nullptr) return;
  const std::int64_t n = c3d.SamplesPerChannel();
  if (n <= 0 || analog->m_pSamples.size() / c3d.SampleWidth() < static_cast<std::uint64_t>(n))
    return;
  m_c3d = &c3d;
  m_channel = channel;
  m_integer = c3d.m_bIntegerData;
  m_samples = analog->m_pSamples.data();
  m_count = n;

  const std::int64_t blocks = n >> kShift;
  if (blocks == 0) return;
  m_levels.emplace_back(static_cast<std::size_t>(blocks));
  if (m_integer)
    SummariseBlocks(analog->IntSamples(), blocks, std::int64_t{1} << kShift, m_levels[0].data());
  else
    SummariseBlocks(analog->FloatSamples(), blocks, std::int64_t{1} << kShift, m_levels[0].data());
  // Each level pairs the blocks of the one below; an odd last block is left out.
  while (m_levels.back().size() >= 2) {
    const std::vector<Block>& below = m_levels.back();
    std::vector<Block> level(below.size() / 2);
    for (std::size_t b = 0; b < level.size(); ++b) {
      const Block& l = below[2 * b];
      const Block& r = below[2 * b + 1];
      level[b] = c3d::Merge(l, r);
    }
    m_levels.push_back(std::move(level));
  }
}

bool CPlotSummary::Describes(const CC3d& c3d, int channel) const {
  if (m_c3d != &c3d || m_channel != channel || m_count != c3d.SamplesPerChannel()) return false;
  const CAnalog* analog = c3d.m_analogs.size() > static_cast<std::size_t>(channel)
                              ? c3d.m_analogs[static_cast<std::size_t>(channel)].get()
                              : nullptr;
  return analog != nullptr && analog->m_pSamples.data() == m_samples &&
         c3d.m_bIntegerData == m_integer;
}

void CPlotSummary::Pieces(std::int64_t first, std::int64_t last, PieceList& pieces) const {
  pieces.size = 0;
  const auto add = [&pieces](int level, std::int64_t begin, std::int64_t end) {
    pieces.items[pieces.size++] = Piece{level, begin, end};
  };
  const std::int64_t size0 = std::int64_t{1} << kShift;
  // The blocks lie in [alignedFirst, alignedLast); the rest is read sample by sample.
  const std::int64_t alignedFirst = (first + size0 - 1) / size0 * size0;
  const std::int64_t alignedLast = last / size0 * size0;
  if (m_levels.empty() || alignedFirst >= alignedLast) {
    add(-1, first, last);
    return;
  }
  if (first < alignedFirst) add(-1, first, alignedFirst);
  const int levels = static_cast<int>(m_levels.size());
  for (std::int64_t i = alignedFirst; i < alignedLast;) {
    // The largest block that starts at i and ends by alignedLast.
    int level = 0;
    while (level + 1 < levels) {
      const std::int64_t size = std::int64_t{1} << (kShift + level + 1);
      if (i % size != 0 || i + size > alignedLast) break;
      ++level;
    }
    const std::int64_t end = i + (std::int64_t{1} << (kShift + level));
    add(level, i, end);
    i = end;
  }
  if (alignedLast < last) add(-1, alignedLast, last);
}

c3d::SampleExtremes CPlotSummary::Scan(std::int64_t begin, std::int64_t end) const {
  const auto count = static_cast<std::size_t>(end - begin);
  const auto from = static_cast<std::size_t>(begin);
  return m_integer ? c3d::ScanExtremes(static_cast<const std::int16_t*>(m_samples) + from, count)
                   : c3d::ScanExtremes(static_cast<const float*>(m_samples) + from, count);
}

c3d::SampleExtremes CPlotSummary::Extremes(std::int64_t first, std::int64_t last) const {
  c3d::SampleExtremes e;
  PieceList pieces;
  Pieces(first, last, pieces);
  for (const Piece& piece : pieces)
    e = c3d::Merge(e,
                   piece.level >= 0 ? At(piece.level, piece.begin) : Scan(piece.begin, piece.end));
  return e;
}

CPlotSummary::Bracket CPlotSummary::Bracketing(std::int64_t first, std::int64_t last) const {
  Bracket bracket;
  PieceList pieces;
  Pieces(first, last, pieces);
  const auto wholeBlocks = static_cast<std::int64_t>(m_levels.empty() ? 0 : m_levels[0].size());
  for (const Piece& piece : pieces) {
    if (piece.level >= 0) {
      bracket.inside = c3d::Merge(bracket.inside, At(piece.level, piece.begin));
      continue;
    }
    // A ragged span lies in at most two level-0 blocks.
    const std::int64_t lastBlock = (piece.end - 1) >> kShift;
    if (lastBlock >= wholeBlocks) {
      bracket.around = c3d::Merge(bracket.around, Scan(piece.begin, piece.end));
      continue;
    }
    for (std::int64_t b = piece.begin >> kShift; b <= lastBlock; ++b)
      bracket.around = c3d::Merge(bracket.around, At(0, b << kShift));
  }
  bracket.around = c3d::Merge(bracket.around, bracket.inside);
  return bracket;
}
