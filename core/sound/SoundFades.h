#pragma once

#include <cstdint>

#include "core/sound/Resampler.h"

// The fades of a sound built from a channel: every stretch of finite values
// rises from silence over its first 5 ms and falls back over its last, and
// is silent wherever a value it would interpolate is NaN or infinite. So a
// sound starts and ends at 0, and a gap in the recording is a soft pause,
// not a click. Standard C++ only.
namespace sound {

// The length of a fade, in seconds.
inline constexpr double kFadeSeconds = 0.005;

// The gain, 0..1, of each output of a sound that spreads the count values of
// a view over outCount outputs (output j at input position t = j x step, as
// CResampler places it). The gain is min(1, (t - s) / F, (e - t) / F) where
// s..e is the run of finite inputs around t and F is 5 ms of recording time
// (0.005 x analogRate inputs), and 0 where t leans on a non-finite input. It
// is 0 at the first and last output. Asked for outputs in increasing order,
// it reads each input at most twice; borrows the view.
class CStretchFades {
 public:
  CStretchFades(SampleView view, std::int64_t outCount, double analogRate);
  // The gain of output j; j must not decrease from one call to the next.
  double Gain(std::int64_t j);

 private:
  void FindRun(std::int64_t from);  // the first run of finite inputs at or after from

  SampleView m_view;
  double m_step;
  double m_fadeInputs;
  std::int64_t m_runStart = 0;
  std::int64_t m_runEnd = -1;
};

}  // namespace sound
