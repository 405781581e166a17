#include "core/c3d/SampleExtremes.h"

#include <utility>

#include "core/c3d/C3dRecords.h"

namespace c3d {
namespace {

// True when v counts as an extreme under the rule: a NaN compares false
// both ways and never counts; infinities fail the Finite test.
template <Counted C, typename T>
bool Counts(T v) {
  if constexpr (C == Counted::Finite) {
    return v >= -std::numeric_limits<T>::max() && v <= std::numeric_limits<T>::max();
  } else {
    return v == v;
  }
}

// The scan, in kLanes interleaved walks merged at the end: every lane keeps
// the first of equal values it meets and the merge keeps the lower lane's,
// which lets the compiler use vector instructions. Strict comparisons pass
// NaN over without a test of its own.
template <Counted C, typename T>
SampleExtremes Scan(const T* samples, std::size_t count) {
  constexpr std::size_t kLanes = 16;
  constexpr bool kFloat = std::numeric_limits<T>::has_quiet_NaN;
  constexpr T kHighest =
      kFloat ? std::numeric_limits<T>::infinity() : std::numeric_limits<T>::max();
  constexpr T kLowest = kFloat ? -kHighest : std::numeric_limits<T>::lowest();
  T lo[kLanes];
  T hi[kLanes];
  // NaN marks as 32-bit lanes, the width of a float comparison's result, so
  // the marks vectorise alongside the extremes.
  std::int32_t nan[kLanes];
  for (std::size_t j = 0; j < kLanes; ++j) {
    lo[j] = kHighest;
    hi[j] = kLowest;
    nan[j] = 0;
  }
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    for (std::size_t j = 0; j < kLanes; ++j) {
      const T v = samples[i + j];
      const bool counts = C == Counted::NotNan || Counts<C>(v);
      hi[j] = counts && v > hi[j] ? v : hi[j];
      lo[j] = counts && v < lo[j] ? v : lo[j];
      if constexpr (kFloat) nan[j] |= static_cast<std::int32_t>(v != v);
    }
  }
  SampleExtremes e;
  if (count == 0) return e;
  T lowest = kHighest;
  T highest = kLowest;
  bool anyNan = false;
  for (std::size_t j = 0; j < kLanes; ++j) {
    highest = hi[j] > highest ? hi[j] : highest;
    lowest = lo[j] < lowest ? lo[j] : lowest;
    anyNan = anyNan || nan[j] != 0;
  }
  for (; i < count; ++i) {
    const T v = samples[i];
    if (!Counts<C>(v)) {
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

}  // namespace

SampleExtremes ScanExtremes(const std::int16_t* samples, std::size_t count) {
  return Scan<Counted::NotNan>(samples, count);
}

SampleExtremes ScanExtremes(const float* samples, std::size_t count, Counted counted) {
  return counted == Counted::Finite ? Scan<Counted::Finite>(samples, count)
                                    : Scan<Counted::NotNan>(samples, count);
}

void WalkExtremes(const SampleExtremes& e, float first, float& min, float& max) {
  if (first != first) {
    min = max = first;  // the NaN itself, sign and payload kept
    return;
  }
  // A first sample that is not NaN is counted, so the run has extremes, and
  // the walk's are those of every value that is not NaN.
  min = e.min;
  max = e.max;
}

void PhysicalExtremes(const CAnalog& analog, float rawMin, float rawMax, float& low, float& high) {
  low = (rawMin - analog.m_fOffset) * analog.m_fScale;
  high = (rawMax - analog.m_fOffset) * analog.m_fScale;
  if (low > high) std::swap(low, high);
}

}  // namespace c3d
