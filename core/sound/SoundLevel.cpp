#include "core/sound/SoundLevel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/c3d/C3d.h"
#include "core/c3d/SampleExtremes.h"

namespace sound {
namespace {

// Full-scale spans of the fit: -32767..+32767 (symmetric, so the middle of
// the range is exactly 0) and 1..255 (so the middle is exactly 128; 0 is
// left unused like -32768).
constexpr double kSteps16 = 65534.0;
constexpr double kSteps8 = 254.0;

// The stored values of the fixed 12-bit mapping.
constexpr double kRecordedTop = 4095.0;
constexpr double kNearSilenceFraction = 50.0;  // a span below 1/50 of 0..4095

// The range of the finite values of a scan.
RawRange RangeOf(const c3d::SampleExtremes& e) {
  if (!e.Any()) return {};
  return RawRange{true, e.min, e.max};  // float to double: exact
}

}  // namespace

RawRange ChannelRawRange(const CC3d& c3d, int channel) {
  return ChannelRawRange(c3d, channel, 0, c3d.GetAnalogSampleCount());
}

RawRange ChannelRawRange(const CC3d& c3d, int channel, int first, int count) {
  const int total = c3d.GetAnalogSampleCount();
  if (count < 1 || first < 0 || first > total - count || channel < 0 ||
      static_cast<std::size_t>(channel) >= c3d.m_analogs.size()) {
    return {};
  }
  const CAnalog* analog = c3d.m_analogs[static_cast<std::size_t>(channel)].get();
  const std::size_t width = c3d.m_bIntegerData ? 2 : 4;
  const auto n = static_cast<std::size_t>(total);
  if (analog == nullptr || analog->m_pSamples.size() < n * width) return {};
  const auto from = static_cast<std::size_t>(first);
  const auto span = static_cast<std::size_t>(count);
  // Integer samples are all finite; NaN and infinities have no place on a
  // linear scale.
  return RangeOf(c3d.m_bIntegerData ? c3d::ScanExtremes(analog->IntSamples() + from, span)
                                    : c3d::ScanExtremes(analog->FloatSamples() + from, span,
                                                        c3d::Counted::Finite));
}

CFitScale::CFitScale(const RawRange& range) : m_lowest(range.lowest) {
  // The span in double: two floats far apart (-3e38 .. 3e38) still give a
  // finite, positive span. An empty or constant range keeps the factors at 0.
  const double span = range.highest - range.lowest;
  if (range.any && span > 0.0) {
    m_perUnit16 = kSteps16 / span;
    m_perUnit8 = kSteps8 / span;
  }
}

std::int16_t CFitScale::Sample16(float s) const {
  if (m_perUnit16 == 0.0 || !std::isfinite(s)) return 0;
  // Clamped to the scale, then rounded: 0 <= p + 0.5 < 65535, so the
  // truncating conversion is the floor and stays in range.
  const double p = std::clamp((static_cast<double>(s) - m_lowest) * m_perUnit16, 0.0, kSteps16);
  return static_cast<std::int16_t>(static_cast<int>(p + 0.5) - 32767);
}

std::uint8_t CFitScale::Sample8(float s) const {
  if (m_perUnit8 == 0.0 || !std::isfinite(s)) return 128;
  // As above: 0 <= p + 0.5 < 255; level 1 is the lowest.
  const double p = std::clamp((static_cast<double>(s) - m_lowest) * m_perUnit8, 0.0, kSteps8);
  return static_cast<std::uint8_t>(static_cast<int>(p + 0.5) + 1);
}

RecordedLevelHint CheckRecordedLevel(const RawRange& range) {
  if (!range.any) return RecordedLevelHint::None;
  if (range.lowest < 0.0 || range.highest > kRecordedTop) return RecordedLevelHint::WouldWrap;
  if ((range.highest - range.lowest) * kNearSilenceFraction < kRecordedTop) {
    return RecordedLevelHint::NearSilence;
  }
  return RecordedLevelHint::None;
}

}  // namespace sound
