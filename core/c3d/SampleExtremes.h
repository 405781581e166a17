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

// The scan of ScanExtremes taken in consecutive pieces, for a walk that
// meets the samples a run at a time: Add the pieces in order, then Result()
// is what ScanExtremes gives over all of them at once (the same one of two
// extremes that compare equal included). A scan of the stretch that
// follows can be joined on (Join) when this one holds a whole number of
// kLanes groups, so that parts of a run may be scanned apart. T is float or
// std::int16_t; allocates nothing.
template <typename T, Counted C = Counted::NotNan>
class ExtremesScan {
 public:
  static constexpr std::size_t kLanes = 16;

  ExtremesScan();
  void Add(const T* samples, std::size_t count);
  // Takes on the scan of the samples that follow this one's; this one's
  // count must be a multiple of kLanes.
  void Join(const ExtremesScan& later);
  SampleExtremes Result() const;

 private:
  static constexpr bool kFloat = std::numeric_limits<T>::has_quiet_NaN;
  static constexpr T kHighest =
      kFloat ? std::numeric_limits<T>::infinity() : std::numeric_limits<T>::max();
  static constexpr T kLowest = kFloat ? -kHighest : std::numeric_limits<T>::lowest();
  // One group of kLanes samples into the lanes: each lane keeps the first
  // of equal values it meets; strict comparisons pass NaN over.
  static void Group(const T* v, T* lo, T* hi, std::int32_t* nan);

  // The kLanes interleaved walks (lane j takes the samples j, j + kLanes,
  // ... of the whole run), and the samples of an unfinished last group,
  // which a run's end counts after the walks are merged.
  T m_lo[kLanes];
  T m_hi[kLanes];
  std::int32_t m_nan[kLanes];  // 32-bit: the width of a float comparison's result
  T m_pending[kLanes];
  std::size_t m_pendingCount = 0;
  bool m_any = false;  // some sample was added
};

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

// --- template implementation ---

template <typename T, Counted C>
ExtremesScan<T, C>::ExtremesScan() {
  for (std::size_t j = 0; j < kLanes; ++j) {
    m_lo[j] = kHighest;
    m_hi[j] = kLowest;
    m_nan[j] = 0;
  }
}

template <typename T, Counted C>
void ExtremesScan<T, C>::Group(const T* v, T* lo, T* hi, std::int32_t* nan) {
  for (std::size_t j = 0; j < kLanes; ++j) {
    const T x = v[j];
    bool counts = true;
    if constexpr (C == Counted::Finite)
      counts = x >= -std::numeric_limits<T>::max() && x <= std::numeric_limits<T>::max();
    hi[j] = counts && x > hi[j] ? x : hi[j];
    lo[j] = counts && x < lo[j] ? x : lo[j];
    if constexpr (kFloat) nan[j] |= static_cast<std::int32_t>(x != x);
  }
}

template <typename T, Counted C>
void ExtremesScan<T, C>::Add(const T* samples, std::size_t count) {
  if (count == 0) return;
  m_any = true;
  std::size_t i = 0;
  if (m_pendingCount > 0) {
    while (m_pendingCount < kLanes && i < count) m_pending[m_pendingCount++] = samples[i++];
    if (m_pendingCount < kLanes) return;
    Group(m_pending, m_lo, m_hi, m_nan);
    m_pendingCount = 0;
  }
  // The walks in locals, which the compiler keeps in vector registers.
  T lo[kLanes];
  T hi[kLanes];
  std::int32_t nan[kLanes];
  for (std::size_t j = 0; j < kLanes; ++j) {
    lo[j] = m_lo[j];
    hi[j] = m_hi[j];
    nan[j] = m_nan[j];
  }
  for (; i + kLanes <= count; i += kLanes) {
    // Group's steps, written out: through Group's pointers the walks left the
    // registers, and a 245 MB load took 76 ms instead of 55.
    for (std::size_t j = 0; j < kLanes; ++j) {
      const T x = samples[i + j];
      bool counts = true;
      if constexpr (C == Counted::Finite)
        counts = x >= -std::numeric_limits<T>::max() && x <= std::numeric_limits<T>::max();
      hi[j] = counts && x > hi[j] ? x : hi[j];
      lo[j] = counts && x < lo[j] ? x : lo[j];
      if constexpr (kFloat) nan[j] |= static_cast<std::int32_t>(x != x);
    }
  }
  for (std::size_t j = 0; j < kLanes; ++j) {
    m_lo[j] = lo[j];
    m_hi[j] = hi[j];
    m_nan[j] = nan[j];
  }
  while (i < count) m_pending[m_pendingCount++] = samples[i++];
}

template <typename T, Counted C>
void ExtremesScan<T, C>::Join(const ExtremesScan& later) {
  if (!later.m_any) return;
  // Lane j of the joined run meets this one's samples first: the later
  // extremes replace only strictly beyond them.
  for (std::size_t j = 0; j < kLanes; ++j) {
    m_hi[j] = later.m_hi[j] > m_hi[j] ? later.m_hi[j] : m_hi[j];
    m_lo[j] = later.m_lo[j] < m_lo[j] ? later.m_lo[j] : m_lo[j];
    m_nan[j] |= later.m_nan[j];
  }
  for (std::size_t j = 0; j < later.m_pendingCount; ++j) m_pending[j] = later.m_pending[j];
  m_pendingCount = later.m_pendingCount;
  m_any = true;
}

template <typename T, Counted C>
SampleExtremes ExtremesScan<T, C>::Result() const {
  SampleExtremes e;
  if (!m_any) return e;
  T lowest = kHighest;
  T highest = kLowest;
  bool anyNan = false;
  for (std::size_t j = 0; j < kLanes; ++j) {
    highest = m_hi[j] > highest ? m_hi[j] : highest;
    lowest = m_lo[j] < lowest ? m_lo[j] : lowest;
    anyNan = anyNan || m_nan[j] != 0;
  }
  for (std::size_t j = 0; j < m_pendingCount; ++j) {
    const T v = m_pending[j];
    bool counts = v == v;
    if constexpr (C == Counted::Finite)
      counts = v >= -std::numeric_limits<T>::max() && v <= std::numeric_limits<T>::max();
    if (!counts) {
      anyNan = anyNan || v != v;
      continue;
    }
    highest = v > highest ? v : highest;
    lowest = v < lowest ? v : lowest;
  }
  e.nan = anyNan;
  if constexpr (kFloat) {
    e.min = lowest;
    e.max = highest;
  } else if (lowest <= highest) {        // at least one sample: always
    e.min = static_cast<float>(lowest);  // int16 converts exactly
    e.max = static_cast<float>(highest);
  }
  return e;
}

}  // namespace c3d
