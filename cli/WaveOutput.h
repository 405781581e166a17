#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/sound/SoundLevel.h"
#include "core/sound/WaveSynthesis.h"

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

// sound::WriteWave into a temporary file, copied to `out` by WriteWholeFile
// once the sound is complete (Played, or PlayedEmpty: the empty sound of a refused
// resampling, as Play leaves it). Any other outcome, or a failed rename
// ("Could not create" is then shown through host), leaves `out` untouched
// (a device or a pipe may have taken part of it) and no new file behind.
sound::WaveOutcome WriteWaveFile(const CC3d& c3d, int channel, int bits, float rate,
                                 sound::SoundLevel level, const std::filesystem::path& out,
                                 sound::ISoundHost& host);
