#pragma once

#include <filesystem>
#include <vector>

#include "core/sound/SoundHost.h"
#include "core/sound/SoundRecipe.h"
#include "core/sound/WaveBuild.h"

class CC3d;

// Play's build: one analog channel made into the dialog's temporary mono
// PCM WAVE file and handed to the player, on top of the WAVE encoder
// (WaveBuild.h, WaveEncoder.h). Standard C++ only; the platform services a
// build needs (stopping and starting playback, the status line, message
// boxes, the wait cursor) come in through ISoundHost.
namespace sound {

// The Play build of the sound `spec` describes (its rate already checked
// against the analog rate and 44100 by CheckPlayRate) into `file`. Steps, in
// order: stop any sound; check `spec` ("Error" and nothing touched when
// SpecSamples refuses it); open `file` (create or truncate) or show "Could
// not create"; status " Processing"; encode the sound into the file
// (EncodeSpec: its wait cursor, its "Error" and empty sound for a refused
// resampling); close; status " "; play the file. A failure after the file
// was opened never leaves a complete-looking file behind: the file is left
// empty, the status line reads " Idle", and nothing plays. Throws nothing of
// its own.
// soundBuffer is the caller's float block, never larger than kSoundStretch
// values: afterwards it holds the last stretch written (the whole sound when
// it is no longer than that), or after a refused resampling the first raw
// values. With AsRecorded the bytes are those of PcmSample16 / PcmSample8
// applied to the upsampled values, the unfilled top slots included; with
// FitToChannel the same values go through CFitScale of the played values'
// RawRange and the unfilled top slots are silent. A spec.range builds the
// sound of a channel holding only those values (Fit fits their range),
// keeping the recording's time scale.
WaveOutcome WriteWave(const CC3d& c3d, const SoundRecipe& spec, std::vector<float>& soundBuffer,
                      const std::filesystem::path& file, ISoundHost& host);

}  // namespace sound
