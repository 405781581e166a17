#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/sound/PitchTone.h"
#include "core/sound/Resampler.h"
#include "core/sound/SoundFades.h"

// The Auto sound of a channel: a look over the whole channel decides how it
// can be heard (silence, its own waveform cleaned up, or a pitch tone), and
// the chosen sound is then produced a stretch at a time. Also the float to
// PCM mapping of these sounds. Standard C++ only.
namespace sound {

enum class AutoChoice { Silence, Waveform, Pitch };

// The frequency (Hz) below which a signal is felt rather than heard: the
// waveform choice removes what lies below it.
inline constexpr double kAudibleFromHz = 20.0;
// The waveform choice's peak: -1 dBFS.
inline constexpr double kWaveformPeak = 0.8912509381337456;

// What the look over a channel found.
struct AutoAnalysis {
  AutoChoice choice = AutoChoice::Silence;
  // Share (0..1) of the energy about the mean that lies above kAudibleFromHz:
  // the energy of the channel through the 20 Hz high-pass of the waveform
  // choice over the variance of its finite values (0 when the analog rate is
  // 40 Hz or less, where nothing lies above 20 Hz).
  double energyAbove = 0.0;
  double mean = 0.0;    // mean of the finite values, taken off before the high-pass
  double centre = 0.0;  // mean of the high-passed values (Waveform)
  double scale = 0.0;   // gain bringing their peak about the centre to -1 dBFS (Waveform)
  std::string hint;     // what was chosen and why, one short line
};

// The look over the count values of a view at analogRate (Hz): constant (all
// finite values equal, or none finite) gives Silence and the hint "constant
// channel: nothing to hear"; at least half of the energy above 20 Hz gives
// Waveform ("Auto: waveform (83% of its energy above 20 Hz)"); anything else
// Pitch ("Auto: pitch (slow signal, 96% of its energy below 20 Hz)"). Reads
// every value twice; allocates nothing beyond the hint.
AutoAnalysis AnalyseForAuto(SampleView view, double analogRate);

// The Auto sound of a channel at outputRate (Hz), a stretch at a time:
// - Silence: zeros.
// - Waveform: the values through the 20 Hz high-pass, minus the centre,
//   times the scale, converted to outputRate (CSpeedStream at speed 1: an
//   anti-alias low-pass when the analog rate is above outputRate) and shaped
//   by CStretchFades.
// - Pitch: CPitchTone with the default range, falling as `falling` says
//   (a channel whose SCALE is negative: the pitch follows the physical value).
// Length() = ResampledCount(count, analogRate, outputRate) in every case.
// Samples lie in [-1, 1] (a resampling down may overshoot the -1 dBFS peak
// slightly; it is clipped at full scale). Borrows the view.
class CAutoSound {
 public:
  CAutoSound(SampleView view, double analogRate, double outputRate);
  // With the analysis already made: AnalyseForAuto of the same view and rate.
  CAutoSound(SampleView view, double analogRate, double outputRate, AutoAnalysis analysis,
             bool falling = false);

  const AutoAnalysis& Analysis() const { return m_analysis; }
  std::int64_t Length() const { return m_length; }
  // Fills out with the next samples; returns how many (fewer than out.size()
  // only at the end).
  std::size_t Read(std::span<float> out);

 private:
  SampleView m_view;
  AutoAnalysis m_analysis;
  std::int64_t m_length;
  std::int64_t m_next = 0;
  // Waveform: the chain of stages, read through m_values.
  std::unique_ptr<CViewSource> m_source;
  std::unique_ptr<CFilteredSource> m_highPassed;
  std::unique_ptr<CSpeedStream> m_resampled;
  std::unique_ptr<CStretchFades> m_fades;
  std::vector<double> m_values;
  // Pitch.
  std::unique_ptr<CPitchTone> m_pitch;
};

// PCM of a sample in [-1, 1] (full scale = 1): clipped, then rounded to the
// nearest step (halves away from 0). 16 bits: x x 32767 in -32768..32767;
// 8 bits: x x 127 + 128 in 0..255 (128 is silence). NaN gives silence.
std::int16_t PcmFromUnit16(float x);
std::uint8_t PcmFromUnit8(float x);

}  // namespace sound
