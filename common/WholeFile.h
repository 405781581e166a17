#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>

// The one whole-or-nothing file writer of Tremolux (standard C++ only, so
// the Qt-free tremolux-cli and the Qt programs share it): every sound, plot,
// picture and geometry file the programs write to a name the user gave goes
// through WriteWholeFile.
//
// The rules, by what the name is:
// - a regular file, or no file yet: a new file beside it is written and
//   renamed over it once complete, so the name holds either the whole new
//   content or what it held before;
// - a symbolic link (also a chain, or one whose target does not exist yet):
//   the file it names is replaced that way, and the link stays a link;
// - a device or a pipe (/dev/null, /dev/full, a FIFO), named directly or
//   through links: written in place, since a file renamed over it would take
//   the device's place instead of reaching it. A failure there (a full
//   device, a reader that went away) cannot be undone, but is reported.

// Writes `named` by the rules above: `write` fills a stdio stream opened for
// writing, and returns false to refuse. True when `write` returned true,
// every byte was flushed and the file took its place; otherwise false with
// errno holding the system's reason (0 when it gave none: `write` refused),
// and no new file left behind.
bool WriteWholeFile(const std::filesystem::path& named,
                    const std::function<bool(std::FILE*)>& write);

// WriteWholeFile with the bytes of the file `from`, copied block by block
// (each write checked: a reader that went away or a full device is a
// failure). False as WriteWholeFile, also when `from` cannot be read.
bool CopyWholeFile(const std::filesystem::path& from, const std::filesystem::path& named);

// True when `named` is a device or a pipe after following links: a name
// WriteWholeFile writes in place.
bool IsDeviceOrPipe(const std::filesystem::path& named);

// A name in `folder` that no file has yet: ".<base>.<random>.part", hidden
// and recognisably unfinished should the process be killed while writing.
std::filesystem::path UnusedPartName(const std::filesystem::path& folder,
                                     const std::filesystem::path& base);
