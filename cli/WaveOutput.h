#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/sound/SoundLevel.h"
#include "core/sound/WaveSynthesis.h"

class CC3d;

// WAVE files written by tremolux-cli: the names of a batch export and the
// write-then-rename that keeps a failed build from leaving a partial file.

// Writes the file `out` whole or not at all: `write` fills a new stdio
// stream beside it, which is renamed to `out` once `write` returned true and
// every byte reached the disk. Otherwise (write refused, a full disk, a
// failed rename) the new file is removed and `out` is untouched; false, with
// errno holding the system's reason (0 when it gave none).
// A symbolic link `out` stays a link (the file it names is replaced); a
// device or a pipe is written in place, where a failure cannot be undone.
bool WriteWholeFile(const std::filesystem::path& out, const std::function<bool(std::FILE*)>& write);

// The file name of channel `index` (0-based, as --channel takes it) of the
// recording whose file name without extension is `stem`:
// "<stem>_<index, at least 2 digits>_<label>.wav". The label loses its
// trailing blanks, then every byte outside [A-Za-z0-9._-] becomes '_', so a
// label can neither leave the folder nor make an unportable name.
std::string BatchWaveName(const std::string& stem, int index, const std::string& label);

// sound::WriteWave into a new file beside `out`, renamed to `out` once the
// sound is complete (Played, or PlayedEmpty: the empty sound of a refused
// resampling, as Play leaves it). Any other outcome, or a failed rename
// ("Could not create" is then shown through host), removes the new file:
// `out` is either the whole sound or untouched. A symbolic link `out` stays
// a link (the file it names is replaced); a device or pipe is written in
// place, and a failed write or seek there says "Could not create".
sound::WaveOutcome WriteWaveFile(const CC3d& c3d, int channel, int bits, float rate,
                                 sound::SoundLevel level, const std::filesystem::path& out,
                                 sound::ISoundHost& host);
