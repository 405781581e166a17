#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/sound/SoundHost.h"
#include "core/sound/SoundRecipe.h"
#include "core/sound/WaveBuild.h"

class CC3d;

// The sounds beside the plain waveform, as WAVE bytes for a sink: the
// waveform filtered and/or sped up, the pitch tone and the Auto choice. The
// generators of Filters.h, Resampler.h, PitchTone.h and AutoSound.h run a
// stretch at a time, so no whole-channel or whole-sound copy is made.
// EncodeSpec dispatches here for every spec that is not PlainWaveform.
namespace sound {

// Encodes `samples` (from SpecSamples of the same spec) as the sound spec
// chooses, into sink, at the whole-number rate R = trunc(spec.rate):
// - Waveform: the values through spec.filters at the analog rate A, then
//   taken as sampled at spec.speed x A and converted to R (CSpeedStream).
//   "As recorded" filters value - 2048 and maps the result + 2048 with
//   PcmSample16 / PcmSample8, so the silent level stays silent; "Fit to
//   channel" fits the range of the filtered values (a first pass over the
//   channel finds it) with CFitScale, or the raw range when unfiltered.
// - Pitch: CPitchTone over spec.pitch, its mapping turned round for a
//   channel whose m_fScale is negative, so the pitch rises with the physical
//   value (as does Auto's pitch); Auto: CAutoSound, whose hint (what it
//   chose, "constant channel: nothing to hear") goes to host.ShowHint.
//   Both through PcmFromUnit16 / PcmFromUnit8; the level plays no part.
// Filters and speed apply to Waveform only. The wait cursor is shown for the
// build and removed before any message. Played when every byte reached the
// sink; Failed after "Error" (a sound too long for a WAVE file) or "Not
// Enough memory to open file"; NotCreated after "Could not create" (the sink
// refused a write). soundBuffer is used as the float block of each stretch
// and ends holding at most kSoundStretch values.
WaveOutcome EncodeChoices(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                          std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host);

class CPitchTone;
class CAutoSound;
class CWaveformValues;

// The PCM of one sound EncodeChoices builds, a stretch at a time, without
// its header: the generator the recipe chooses and its float-to-PCM mapping.
// EncodeChoices writes the header and then Next until Length(); a
// two-channel sound reads two of them side by side. Borrows samples (and
// through them the CC3d), which must outlive it; owns its generator.
class CChoicePcm {
 public:
  // Sets up the generator (for Auto, the look over the channel; for a
  // fitted filtered waveform, the pass that finds its range). hint receives
  // Auto's note (what it chose and why) as soon as it is known. May throw
  // std::bad_alloc.
  CChoicePcm(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
             const std::function<void(const std::string&)>& hint);
  ~CChoicePcm();
  CChoicePcm(const CChoicePcm&) = delete;
  CChoicePcm& operator=(const CChoicePcm&) = delete;

  std::int64_t Length() const { return m_length; }  // samples of the sound
  // The PCM bytes of the next values.size() samples (fewer than that may
  // remain: the missing ones are silent) into out, room for values.size()
  // samples of the recipe's width; values is the float block they are
  // produced in. Returns the number of bytes. May throw std::bad_alloc.
  std::size_t Next(std::span<float> values, std::uint8_t* out);

 private:
  struct Mapping;
  std::unique_ptr<CPitchTone> m_pitch;
  std::unique_ptr<CAutoSound> m_auto;
  std::unique_ptr<CWaveformValues> m_waveform;
  std::unique_ptr<Mapping> m_mapping;
  std::int64_t m_length = 0;
  int m_blockAlign = 2;  // bytes per sample, 1 or 2
};

}  // namespace sound
