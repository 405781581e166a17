#include "core/plot/PlotSummary.h"

#include <utility>

namespace {

// The extremes of each of `blocks` blocks of `size` samples.
template <class T>
void SummariseBlocks(const T* samples, std::int64_t blocks, std::int64_t size,
                     c3d::SampleExtremes* out) {
  for (std::int64_t b = 0; b < blocks; ++b)
    out[b] = c3d::ScanExtremes(samples + b * size, static_cast<std::size_t>(size));
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

std::vector<CPlotSummary::Piece> CPlotSummary::Pieces(std::int64_t first, std::int64_t last) const {
  std::vector<Piece> pieces;
  const std::int64_t size0 = std::int64_t{1} << kShift;
  // The blocks lie in [alignedFirst, alignedLast); the rest is read sample by sample.
  const std::int64_t alignedFirst = (first + size0 - 1) / size0 * size0;
  const std::int64_t alignedLast = last / size0 * size0;
  if (m_levels.empty() || alignedFirst >= alignedLast) {
    pieces.push_back({-1, first, last});
    return pieces;
  }
  if (first < alignedFirst) pieces.push_back({-1, first, alignedFirst});
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
    pieces.push_back({level, i, end});
    i = end;
  }
  if (alignedLast < last) pieces.push_back({-1, alignedLast, last});
  return pieces;
}

c3d::SampleExtremes CPlotSummary::Extremes(std::int64_t first, std::int64_t last) const {
  c3d::SampleExtremes e;
  for (const Piece& piece : Pieces(first, last)) {
    if (piece.level >= 0) {
      e = c3d::Merge(e, At(piece.level, piece.begin));
      continue;
    }
    const auto count = static_cast<std::size_t>(piece.end - piece.begin);
    const auto begin = static_cast<std::size_t>(piece.begin);
    e = c3d::Merge(
        e, m_integer ? c3d::ScanExtremes(static_cast<const std::int16_t*>(m_samples) + begin, count)
                     : c3d::ScanExtremes(static_cast<const float*>(m_samples) + begin, count));
  }
  return e;
}
