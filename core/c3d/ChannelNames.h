#pragma once

#include <string>
#include <string_view>
#include <vector>

class CC3d;

// `s` without the blanks that pad stored C3D text to its row length.
std::string WithoutTrailingBlanks(std::string s);

// The name under which analog channel `i` (0-based) is listed to the user:
// row i of the parameter Labels of group Analog, or "Chan <i + 1>" when that
// row is absent or empty. Labels keep their stored bytes, trailing blanks
// included. `c3d` must be loaded; `i` may be any channel index.
std::string AnalogChannelName(const CC3d& c3d, int i);

// AnalogChannelName of every channel of m_analogs, in order: the names a
// channel list shows. Looks Labels up once, so listing 65535 channels of a
// file with a few hundred thousand parameter records stays quick.
std::vector<std::string> AnalogChannelNames(const CC3d& c3d);

// The units of analog channel `i` (0-based), those of its scaled values (as
// "V" or "uV"): row i of the parameter Units of group Analog without its
// trailing blanks; empty when the file gives none.
std::string AnalogChannelUnits(const CC3d& c3d, int i);

// AnalogChannelUnits of every channel of m_analogs, in order. Looks Units up
// once, as AnalogChannelNames does Labels.
std::vector<std::string> AnalogChannelUnits(const CC3d& c3d);

// How each channel of m_analogs is headed where its values are shown with
// their units (a CSV column, a lane of the stacked view), in order: its
// listed name (AnalogChannelName) without trailing blanks, then " [units]"
// when the file gives units (AnalogChannelUnits). Looks Labels and Units up
// once.
std::vector<std::string> AnalogChannelHeadings(const CC3d& c3d);

// The channel a user names by `text`: a 0-based index written in decimal
// digits (below the number of channels), else the first channel whose listed
// name (AnalogChannelName) equals text, else the first whose name equals it
// once trailing blanks are dropped from both (labels are often blank-padded).
// -1 when nothing matches.
int FindAnalogChannel(const CC3d& c3d, const std::string& text);

// Stored text (labels, units, descriptions: bytes with no declared encoding)
// as UTF-8, each byte taken as the code point of the same value (Latin-1),
// so every byte sequence gives valid UTF-8 and reads back to the same bytes.
std::string Utf8FromLatin1(std::string_view bytes);
