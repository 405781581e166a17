#pragma once

#include <string>

class CC3d;

// What a loaded C3D file holds, told as readable English text: the same
// summary the document window shows and `tremolux-cli info` prints.

// The summary of a loaded file, one fact per line, each line ending in "\n".
// Callers put the file's name before it (a line "File: <name>"), in the
// form their output needs: file names need not be 8-bit text.
//   Processor: <Intel|DEC|MIPS> (<code>), <16-bit integer|float> samples
//   Frames: <first> to <last> (<count> frame(s)) at <rate> Hz
//   Duration: <seconds> s
//   Points: <count>
//   Analog: <n> channel(s) at <rate> Hz, <samples> sample(s) each
//     one line per channel: index (0-based), label, units, scaled range
//   Events: <n>
//     one line per event: label, time in seconds
//   Trial events: <n>           (only for a file with an EVENT group)
//     one line per event, by time: context, label, time in seconds, and
//     "sample <n>" (0-based analog sample) or "sample none" outside the data;
//     then "  Note: <text>" when part of the group was malformed
// A file without analog channels says Messages::kNoAnalogChannels in place of
// the Analog block. Labels and units are the stored bytes (blank padding
// dropped), so the text is 8-bit, as the file's own text is. Columns are
// padded with blanks to line up in a fixed-pitch font. `c3d` must be loaded.
std::string DescribeFile(const CC3d& c3d);
