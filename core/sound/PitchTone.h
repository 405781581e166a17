#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/sound/Resampler.h"
#include "core/sound/SoundFades.h"

// The pitch sound of a channel: a sine whose frequency follows the value,
// for signals too slow to be heard as a waveform (forces, angles, triggers).
// Standard C++ only.
namespace sound {

// The frequencies the lowest and highest value map to, in Hz.
struct PitchRange {
  double low = 200.0;
  double high = 2000.0;
};

inline constexpr double kPitchMinHz = 20.0;
inline constexpr double kPitchMaxHz = 20000.0;
// The tone's peak: -10 dBFS (full scale = 1).
inline constexpr double kPitchAmplitude = 0.31622776601683794;

// Reads "LO-HI" (decimal Hz, 20 <= LO < HI <= 20000). Result: an empty
// error text and range set, or the error text (range unchanged).
std::string ParsePitchRange(std::string_view text, PitchRange& range);

// The tone for the count values of a view at analogRate, written at
// outputRate (Hz), a stretch at a time. Over the finite values, min..max
// maps logarithmically onto range: f = low x (high / low)^((v - min) /
// (max - min)). With `falling` (a channel whose SCALE is negative, so its
// physical value falls as the stored value rises) the mapping is turned
// round, f = low x (high / low)^((max - v) / (max - min)): the pitch rises
// with the physical value, as the plot does. The value is read between the channel's samples by
// linear interpolation at each output (output j at input position j x step, as CResampler places
// it); the phase advances by 2 pi f / outputRate per output (kept in double, so the wave never
// jumps when f moves). Peak kPitchAmplitude, shaped by CStretchFades (5 ms fades; silent where a
// value is NaN or infinite). Length() = ResampledCount(count, analogRate, outputRate), the duration
// of the plain waveform sound. A constant channel (all finite values equal, or none finite, or
// fewer than 2 values) is silent of the same length. Borrows the view; range must be valid.
class CPitchTone {
 public:
  CPitchTone(SampleView view, double analogRate, double outputRate, PitchRange range = {},
             bool falling = false);

  std::int64_t Length() const { return m_length; }
  bool Silent() const { return m_silent; }
  double MinValue() const { return m_min; }
  double MaxValue() const { return m_max; }
  // The frequency of a held value v in min..max, in Hz.
  double FrequencyOf(double v) const;
  // Fills out with the next samples in [-1, 1]; returns how many (fewer than
  // out.size() only at the end).
  std::size_t Read(std::span<float> out);

 private:
  SampleView m_view;
  double m_outputRate;
  PitchRange m_range;
  std::int64_t m_length;
  double m_step;
  double m_min = 0.0;
  double m_max = 0.0;
  bool m_silent = true;
  double m_base = 0.0;      // the value heard at range.low: min, or max when falling
  double m_logRatio = 0.0;  // log(high / low) / (max - min), negative when falling
  double m_phase = 0.0;     // radians, in [0, 2 pi)
  // The pair of values (k, k + 1) the last output lay between (-1: none),
  // the phase step of that output, and the factor by which the step grows
  // from one output to the next between them (the frequency is exponential
  // in the value, which is linear in time there).
  std::int64_t m_segment = -1;
  double m_increment = 0.0;
  double m_growth = 1.0;
  std::int64_t m_next = 0;
  CStretchFades m_fades;
};

}  // namespace sound
