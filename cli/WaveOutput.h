#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/sound/SoundHost.h"
#include "core/sound/SoundRecipe.h"
#include "core/sound/WaveBuild.h"

class CC3d;

// WAVE files written by tremolux-cli: the names of a batch export and the
// build that keeps a failed one from leaving a partial file (through the
// one whole-or-nothing writer, common/WholeFile.h).

// The file name of channel `index` (0-based, as --channel takes it) of the
// recording whose file name without extension is `stem`:
// "<stem>_<index, at least 2 digits>_<label>.wav". The label loses its
// trailing blanks, then every byte outside [A-Za-z0-9._-] becomes '_', so a
// label can neither leave the folder nor make an unportable name.
std::string BatchWaveName(const std::string& stem, int index, const std::string& label);

// The sound `spec` describes, encoded straight into `out` through
// WriteWholeFile (sound::SpecSamples, then sound::EncodeSpec into the
// stream): `out` is either the whole sound or untouched (a device or a pipe
// is written in place, as the bytes come, where a failure cannot be undone;
// a failed build writes nothing there before its message). Played, or
// PlayedEmpty for the empty sound of a refused resampling (as Play leaves
// it), when the file is complete; otherwise the outcome of the build, or
// NotCreated after "Could not create" through host when the file could not
// be opened, flushed or renamed. Nothing is stopped or played, and the
// status line is not touched.
sound::WaveOutcome WriteWaveFile(const CC3d& c3d, const sound::SoundRecipe& spec,
                                 const std::filesystem::path& out, sound::ISoundHost& host);
