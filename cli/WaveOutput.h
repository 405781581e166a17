#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/sound/SoundHost.h"
#include "core/sound/SoundSpec.h"
#include "core/sound/WaveBuild.h"

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
sound::WaveOutcome WriteWaveFile(const CC3d& c3d, const sound::SoundSpec& spec,
                                 const std::filesystem::path& out, sound::ISoundHost& host);
