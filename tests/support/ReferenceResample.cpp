#include "tests/support/ReferenceResample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>

#include "core/Messages.h"
#include "core/sound/SoundStream.h"

namespace c3dtest {

void Interpolate(std::span<float> buffer, const int& lastOut, const int& lastIn, const float& step,
                 int& lastUsable, int& status) {
  if (!(step > 0.0f) || step >= 1.0f) {  // also NaN
    status = kInterpolateBadStep;
    return;
  }
  const double reach = static_cast<double>(lastIn) / static_cast<double>(step);
  // Saturated so the stored value is defined however far the input reaches.
  lastUsable = static_cast<int>(
      std::clamp(reach, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
  if (lastUsable > lastOut || lastOut < 0 || static_cast<std::size_t>(lastOut) >= buffer.size()) {
    status = kInterpolateTooShort;
    return;
  }
  float* x = buffer.data();
  const int top = lastUsable;
  for (int i = lastOut; i > top && i >= 1; --i) x[i] = 0.0f;
  // Slot i holds x[k] + (x[k + 1] - x[k]) x (t - k) with t = i x step and
  // k = trunc(t). The slots sharing one k form a run; taking a run at a time
  // reads its two inputs once and leaves a loop free of conversions to int
  // and of loads, with the very same arithmetic per slot. The products
  // i x step grow with i (rounding is monotonic), so each run is contiguous.
  const double dstep = step;
  for (int i = std::min(top, lastOut); i >= 1;) {
    // t < i because step < 1, so slots k and k + 1 have not been overwritten yet.
    const int k = static_cast<int>(i * dstep);  // 0 <= t < i: truncation is the floor
    const double kd = k;
    // The lowest slot of the run: the first j >= 1 with j x step >= k.
    int lo = std::max(1, static_cast<int>(std::min(std::ceil(kd / dstep), static_cast<double>(i))));
    while (lo > 1 && (lo - 1) * dstep >= kd) --lo;
    while (lo * dstep < kd) ++lo;
    const double xk = x[k];
    const double slope = static_cast<double>(x[k + 1]) - xk;  // read before slot k + 1 is written
    double jd = lo;  // j as a double, counted exactly (j < 2^31)
    for (int j = lo; j <= i; ++j, jd += 1.0) {
      // Stored as float: the buffer holds 32-bit samples.
      x[j] = static_cast<float>(xk + slope * (jd * dstep - kd));
    }
    i = lo - 1;
  }
  status = kInterpolateDone;
}

int Resample(std::vector<float>& soundBuffer, float analogRate, float outputRate, int count,
             sound::ISoundHost& host) {
  host.BeginWaitCursor();
  // Every check comes before any value is copied into the work buffer.
  const sound::ResamplePlan plan = sound::PlanResample(analogRate, outputRate, count);
  if (plan.refused || static_cast<std::size_t>(count) > soundBuffer.size()) {
    host.ShowMessage(Messages::kError);
    host.EndWaitCursor();
    return 0;
  }
  const int n = plan.length;
  std::vector<float> work;
  try {
    work.resize(static_cast<std::size_t>(n));
  } catch (const std::exception&) {  // bad_alloc, or length_error on small address spaces
    host.ShowMessage(Messages::kNotEnoughMemory);
    host.EndWaitCursor();
    return kResampleNoMemory;
  }
  std::copy_n(soundBuffer.begin(), count, work.begin());
  const int lastOut = n - 1;
  const int lastIn = count - 1;
  int lastUsable = 0;
  int status = kInterpolateDone;
  Interpolate(work, lastOut, lastIn, plan.step, lastUsable, status);
  // Handing the work buffer over releases the input block: one output-sized
  // buffer at a time, never a copy of it.
  soundBuffer.swap(work);
  host.EndWaitCursor();
  return n;
}

}  // namespace c3dtest
