#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

struct CAnalog;

// The one scan for the smallest and largest of a run of raw samples, and the
// rules its users draw from it: the loader's channel extremes (m_fMin,
// m_fMax), the plot's per-block summary and range extremes, the sound
// level's range of finite values, and the physical range of a channel.
namespace c3d {

// The extremes of a run of raw samples (int16 samples convert exactly).
struct SampleExtremes {
  float min = std::numeric_limits<float>::infinity();   // smallest value counted
  float max = -std::numeric_limits<float>::infinity();  // largest value counted
  bool nan = false;                                     // a NaN lies in the run
  // True when some value was counted (min <= max).
  bool Any() const { return min <= max; }
};

// Which values an extreme may be.
enum class Counted {
  NotNan,  // every value except NaN (infinities count)
  Finite,  // finite values only: NaN and infinities are passed over
};

// The extremes of samples[0, count); `nan` is set whatever the rule. An
// empty run gives the default (Any() false). Reads each sample once,
// allocates nothing. Of two extremes that compare equal yet differ (0.0 and
// -0.0) the scan keeps the one the loader has always stored in m_fMin and
// m_fMax: each of 16 interleaved walks keeps the first it meets, the merge
// the lowest walk's. The plot and the sound level compute with the values,
// where the sign of a zero extreme changes no row and no level.
SampleExtremes ScanExtremes(const std::int16_t* samples, std::size_t count);
SampleExtremes ScanExtremes(const float* samples, std::size_t count,
                            Counted counted = Counted::NotNan);

// Both runs' extremes together (a before b, ties keep a's value).
inline SampleExtremes Merge(const SampleExtremes& a, const SampleExtremes& b) {
  return {b.min < a.min ? b.min : a.min, b.max > a.max ? b.max : a.max, a.nan || b.nan};
}

// The extremes a walk from the first sample gives, with strict comparisons:
// a NaN first sample stays both extremes, later NaNs change nothing. From a
// scan `e` of a run of at least one sample whose first value is `first`.
// This is what the loader stores as a channel's m_fMin and m_fMax.
void WalkExtremes(const SampleExtremes& e, float first, float& min, float& max);

// The physical values (raw - offset) x scale of the raw extremes rawMin and
// rawMax of `analog`, in single precision, the lower first (a negative
// scale exchanges them).
void PhysicalExtremes(const CAnalog& analog, float rawMin, float rawMax, float& low, float& high);

}  // namespace c3d
