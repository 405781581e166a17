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

c3d::SampleExtremes CPlotSummary::Scan(std::int64_t begin, std::int64_t end) const {
  const auto count = static_cast<std::size_t>(end - begin);
  const auto from = static_cast<std::size_t>(begin);
  // ScanExtremes, its scan inlined: the spans are short.
  if (m_integer) {
    c3d::ExtremesScan<std::int16_t> scan;
    scan.Add(static_cast<const std::int16_t*>(m_samples) + from, count);
    return scan.Result();
  }
  c3d::ExtremesScan<float> scan;
  scan.Add(static_cast<const float*>(m_samples) + from, count);
  return scan.Result();
}

c3d::SampleExtremes CPlotSummary::Extremes(std::int64_t first, std::int64_t last) const {
  c3d::SampleExtremes e;
  AnyPiece(first, last, [&](const Piece& piece) {
    e = c3d::Merge(e,
                   piece.level >= 0 ? At(piece.level, piece.begin) : Scan(piece.begin, piece.end));
    return false;
  });
  return e;
}

CPlotSummary::Bracket CPlotSummary::Bracketing(std::int64_t first, std::int64_t last) const {
  Bracket bracket;
  const auto wholeBlocks = static_cast<std::int64_t>(m_levels.empty() ? 0 : m_levels[0].size());
  AnyPiece(first, last, [&](const Piece& piece) {
    if (piece.level >= 0) {
      bracket.inside = c3d::Merge(bracket.inside, At(piece.level, piece.begin));
      return false;
    }
    // A ragged span lies in at most two level-0 blocks.
    const std::int64_t lastBlock = (piece.end - 1) >> kShift;
    if (lastBlock >= wholeBlocks) {
      bracket.around = c3d::Merge(bracket.around, Scan(piece.begin, piece.end));
      return false;
    }
    for (std::int64_t b = piece.begin >> kShift; b <= lastBlock; ++b)
      bracket.around = c3d::Merge(bracket.around, At(0, b << kShift));
    return false;
  });
  bracket.around = c3d::Merge(bracket.around, bracket.inside);
  return bracket;
}
