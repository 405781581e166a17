#pragma once

#include <vector>

#include "core/sound/SoundHost.h"
#include "core/sound/SoundRecipe.h"
#include "core/sound/SoundStream.h"
#include "core/sound/WaveBuild.h"
#include "core/sound/WaveEncoder.h"

class CC3d;

// The two-channel sound of a SoundRecipe with a right channel: spec.channel
// in the left ear, *spec.right in the right, as one interleaved PCM WAVE
// (left value, right value, frame after frame). Each channel is built from
// its own values exactly as EncodeSpec builds it alone (the same mode,
// filters, speed, level, range and ticks; Fit and Auto each fitted or
// chosen for that channel alone), a stretch of both at a time, so nothing
// of the whole sound is held.
namespace sound {

// What EncodeSpec does for a recipe with a right channel, into sink: the
// header (2 channels, block align 2 x bytes per value, byte rate R x block
// align), then the frames. `samples` are spec.channel's values from
// SpecSamples (which has checked *spec.right too). The wait cursor is shown
// for the build. Auto's notes for the two channels go to host.ShowHint as
// one line, each after its ear's name. Outcomes and messages as
// EncodeSpec's: PlayedEmpty when resampling was refused ("Error" shown, a
// 44-byte sound written); Failed after "Error" (a sound too long for a WAVE
// file, or the right channel unusable) or "Not Enough memory to open file";
// NotCreated after "Could not create". soundBuffer is the left channel's
// float block, never larger than kSoundStretch values.
WaveOutcome EncodeStereo(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                         std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host);

}  // namespace sound
