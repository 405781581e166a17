// The frame range of a recording longer than the header can state.
//
// The header numbers frames with 16 bits, so a recording of more than 65535
// frames cannot give its length there. Writers of such files put 1 to 65535
// (or less) in the header for older readers and the true length in the
// parameters, in one of three conventions:
//   POINT:FRAMES stored as a float (type 4) instead of the usual 16-bit integer;
//   POINT:LONG_FRAMES, a float;
//   TRIAL:ACTUAL_START_FIELD and TRIAL:ACTUAL_END_FIELD, each two 16-bit
//   words, low word first, forming an unsigned 32-bit frame number.
#include <algorithm>
#include <cmath>
#include <optional>

#include "core/c3d/C3d.h"
#include "core/c3d/C3dReader.h"

namespace {

// A frame range, first and last frame number inclusive.
struct FrameRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::int64_t Frames() const { return std::int64_t{last} - std::int64_t{first} + 1; }
};

const CParam* Parameter(const CC3d& c3d, const char* group, const char* name) {
  const int i = c3d.FindParameter(group, name);
  return i < 0 ? nullptr : c3d.m_params[static_cast<std::size_t>(i)].get();
}

// The range of `count` frames from `first`, when `p` is a float parameter
// whose first element is a whole number of frames, at least 1, such that the
// last frame number fits 32 bits.
std::optional<FrameRange> RangeFromFloatCount(const CParam* p, std::uint32_t first) {
  if (p == nullptr || p->m_nType != 4 || p->m_pValues.empty()) return std::nullopt;
  const double count = p->m_pValues[0].AsFloat();
  // NaN fails the first test; a fraction is no frame count.
  if (!(count >= 1.0) || count != std::floor(count)) return std::nullopt;
  const double last = static_cast<double>(first) + count - 1.0;
  if (last > 4294967295.0) return std::nullopt;
  // A whole number in [first, 2^32 - 1] after the checks above.
  return FrameRange{first, static_cast<std::uint32_t>(last)};
}

// A frame number stored as two 16-bit words (type 2, at least two elements),
// the low word first.
std::optional<std::uint32_t> FrameNumberFromWords(const CParam* p) {
  if (p == nullptr || p->m_nType != 2 || p->m_pValues.size() < 2) return std::nullopt;
  const auto low = static_cast<std::uint16_t>(p->m_pValues[0].AsInt16());
  const auto high = static_cast<std::uint16_t>(p->m_pValues[1].AsInt16());
  return static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16);
}

// The first convention, in the order above, that states more than
// `headerFrames` frames; one that is absent, malformed or states no more is
// passed over.
std::optional<FrameRange> StatedLongerRange(const CC3d& c3d, std::int64_t headerFrames) {
  const std::uint32_t first = c3d.m_nHeaderFirstFrame;
  const std::optional<FrameRange> stated[] = {
      RangeFromFloatCount(Parameter(c3d, "POINT", "FRAMES"), first),
      RangeFromFloatCount(Parameter(c3d, "POINT", "LONG_FRAMES"), first),
      [&]() -> std::optional<FrameRange> {
        const auto start = FrameNumberFromWords(Parameter(c3d, "TRIAL", "ACTUAL_START_FIELD"));
        const auto end = FrameNumberFromWords(Parameter(c3d, "TRIAL", "ACTUAL_END_FIELD"));
        if (!start || !end || *end < *start) return std::nullopt;
        return FrameRange{*start, *end};
      }(),
  };
  for (const auto& range : stated) {
    if (range && range->Frames() > headerFrames) return range;
  }
  return std::nullopt;
}

}  // namespace

void CC3dReader::ReadFrameRange() {
  // Without a data section that can be located, or without frame records,
  // there is nothing beyond the header's range to read.
  const std::int64_t frameBytes = FrameBytes();
  if (m_c3d.m_nDataBlock == 0 || frameBytes == 0) return;
  const std::int64_t headerFrames = std::max<std::int64_t>(m_c3d.FrameCount(), 0);
  // The parameters are believed only when the data section goes on past the
  // header's last frame by a whole frame record, and past the 512-byte block
  // that frame ends in: writers pad the data section to whole blocks, and
  // padding is not data.
  const std::int64_t headerEnd = DataStart() + headerFrames * frameBytes;
  const std::int64_t blockEnd =
      (headerEnd + c3d::kBlockSize - 1) / c3d::kBlockSize * c3d::kBlockSize;
  const std::int64_t size = m_file.Size();
  if (size < headerEnd + frameBytes || size <= blockEnd) return;

  const std::optional<FrameRange> range = StatedLongerRange(m_c3d, headerFrames);
  // A stated length the sample storage bounds refuse (a truncated copy of a
  // long recording, or a corrupt count) leaves the header's range, which
  // loads as it would without the statement.
  if (!range || !StorageCanBeHeld(range->Frames())) return;
  m_c3d.m_nFirstFrame = range->first;
  m_c3d.m_nLastFrame = range->last;
}
