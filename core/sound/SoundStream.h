#pragma once

#include <cstdint>
#include <span>

// The values of a sound: one channel's raw samples raised from the analog
// rate to a whole-number output rate by linear interpolation, produced a
// stretch of output slots at a time. Standard C++ only, no platform.
namespace sound {

// The number of output samples for `count` inputs at analogRate raised to
// outputRate: trunc(((1 / A) x count) / (1 / R)) in double precision, in
// exactly this grouping (A = 1000, R = 8000, count = 2001 gives 16007, where
// count x R / A would give 16008). Returned untruncated-to-int: the caller
// checks the range (it is NaN or infinite for A or R of 0 or NaN).
double ResampledLength(float analogRate, float outputRate, int count);

// The resampling of `count` inputs from analogRate to outputRate, decided
// before any value is touched.
struct ResamplePlan {
  bool refused = true;  // no sound can be made: "Error", and an empty sound
  int length = 0;       // N, the number of outputs (when not refused)
  float step = 0.0f;    // (count - 1) / (N - 1) rounded to float: input distance between outputs
  int lastUsable = 0;   // M = trunc((count - 1) / step): outputs above M are 0
};

// Refused when count < 1, N is not below 2^31 (or NaN), the step is not in
// (0, 1) (count 1, N 1, a ratio of 1 or less) or M > N - 1 (a float step
// rounded down, possible past 2^24 outputs).
ResamplePlan PlanResample(float analogRate, float outputRate, int count);

// The raw values of one channel as loaded: `count` 16-bit integers or 32-bit
// floats (exactly one of the pointers set), not owned. Read as floats, which
// holds every int16 exactly.
struct RawChannel {
  const std::int16_t* ints = nullptr;
  const float* floats = nullptr;
  int count = 0;

  float operator[](int i) const {
    return ints != nullptr ? static_cast<float>(ints[i]) : floats[i];
  }
};

// The sound of one channel, a stretch of output slots at a time, holding
// nothing but the plan. With resampling (outputRate above analogRate), slot
// i holds x[k] + (x[k + 1] - x[k]) x (t - k) with t = i x step and
// k = trunc(t), in double, stored as float (x: the inputs, zero past the
// last); slot 0 is x[0] and the slots above M are 0, the values an in-place
// upsampling from the top slot down leaves in its buffer. Without
// resampling, the raw values themselves. Borrows the channel's samples,
// which must outlive it.
class CSoundStream {
 public:
  CSoundStream(RawChannel input, float analogRate, float outputRate);

  bool Refused() const { return m_refused; }      // resampling refused: Length() is 0
  bool Resampling() const { return m_resample; }  // outputRate above analogRate
  int Length() const { return m_length; }         // output slots, N or count
  // The first slot past the last interpolated one (M + 1); the slots from
  // here to Length() - 1 hold 0, the unfilled top of the upsampling.
  int TailStart() const { return m_tailStart; }

  // Fills out with slots from .. from + out.size() - 1, which must lie below Length().
  void Produce(int from, std::span<float> out) const;

 private:
  // Input k as a double, zero past the last input.
  double Input(int k) const { return k < m_input.count ? static_cast<double>(m_input[k]) : 0.0; }

  RawChannel m_input;
  bool m_resample = false;
  bool m_refused = false;
  int m_length = 0;
  int m_tailStart = 0;
  double m_step = 0.0;  // the plan's float step, widened once
};

}  // namespace sound
