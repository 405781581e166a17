#include "core/sound/SoundStream.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace sound {

double ResampledLength(float analogRate, float outputRate, int count) {
  const double inputPeriod = 1.0 / static_cast<double>(analogRate);
  const double outputPeriod = 1.0 / static_cast<double>(outputRate);
  return std::trunc((inputPeriod * count) / outputPeriod);
}

ResamplePlan PlanResample(float analogRate, float outputRate, int count) {
  ResamplePlan plan;
  const double length = ResampledLength(analogRate, outputRate, count);
  // (count - 1) / (N - 1) in double, then rounded to float: every later use
  // of the step uses this float. |count - 1| < 2^31 and N is whole, so the
  // quotient is within float range, infinite (N = 1) or NaN.
  const float step = static_cast<float>((static_cast<double>(count) - 1.0) / (length - 1.0));
  // The step must lie in (0, 1) for each output to read inputs at or below
  // its own slot; count < 1 has nothing to resample; N must fit an int.
  if (count < 1 || !(length <= static_cast<double>(INT_MAX)) || !(step > 0.0f) || step >= 1.0f) {
    return plan;
  }
  const double lastUsable =
      std::trunc((static_cast<double>(count) - 1.0) / static_cast<double>(step));
  if (lastUsable > length - 1.0) return plan;
  plan.refused = false;
  plan.length = static_cast<int>(length);  // whole, > count >= 1 and <= INT_MAX after the checks
  plan.step = step;
  plan.lastUsable = static_cast<int>(lastUsable);  // in [0, N - 1] after the checks
  return plan;
}

CSoundStream::CSoundStream(RawChannel input, float analogRate, float outputRate)
    : m_input(input), m_resample(outputRate > analogRate) {
  if (!m_resample) {
    m_length = std::max(input.count, 0);
    m_tailStart = m_length;
    return;
  }
  const ResamplePlan plan = PlanResample(analogRate, outputRate, input.count);
  m_refused = plan.refused;
  if (plan.refused) return;
  m_length = plan.length;
  m_tailStart = plan.lastUsable + 1;
  m_step = plan.step;
}

void CSoundStream::Produce(int from, std::span<float> out) const {
  float* o = out.data();
  // from + size <= Length() <= INT_MAX: the sum fits.
  const int end = from + static_cast<int>(out.size());
  int i = from;
  if (!m_resample) {
    for (; i < end; ++i) *o++ = m_input[i];
    return;
  }
  if (i == 0 && i < end) {
    *o++ = m_input[0];  // slot 0 keeps its input value
    ++i;
  }
  // Slot i holds x[k] + (x[k + 1] - x[k]) x (t - k) with t = i x step and
  // k = trunc(t), in double, stored as float: the in-place upsampling's
  // arithmetic slot for slot. t grows with i (rounding is monotonic), so k only moves
  // up; it is taken afresh from t whenever t reaches k + 1.
  const int interpolatedEnd = std::min(end, m_tailStart);
  if (i < interpolatedEnd) {
    double jd = i;                          // i as a double, counted exactly (i < 2^31)
    int k = static_cast<int>(jd * m_step);  // 0 <= t < i: truncation is the floor
    double kd = k;
    double next = kd + 1.0;
    double xk = Input(k);
    double slope = Input(k + 1) - xk;
    for (; i < interpolatedEnd; ++i, jd += 1.0) {
      const double t = jd * m_step;
      if (t >= next) {
        k = static_cast<int>(t);  // as above, t < i
        kd = k;
        next = kd + 1.0;
        xk = Input(k);
        slope = Input(k + 1) - xk;
      }
      *o++ = static_cast<float>(xk + slope * (t - kd));  // stored as float, as the buffer holds it
    }
  }
  for (; i < end; ++i) *o++ = 0.0f;  // the top slots the interpolation leaves at 0
}

}  // namespace sound
