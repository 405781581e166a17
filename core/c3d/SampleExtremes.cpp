#include "core/c3d/SampleExtremes.h"

#include <utility>

#include "core/c3d/C3dRecords.h"

namespace c3d {

SampleExtremes ScanExtremes(const std::int16_t* samples, std::size_t count) {
  ExtremesScan<std::int16_t> scan;
  scan.Add(samples, count);
  return scan.Result();
}

SampleExtremes ScanExtremes(const float* samples, std::size_t count, Counted counted) {
  if (counted == Counted::Finite) {
    ExtremesScan<float, Counted::Finite> scan;
    scan.Add(samples, count);
    return scan.Result();
  }
  ExtremesScan<float> scan;
  scan.Add(samples, count);
  return scan.Result();
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
