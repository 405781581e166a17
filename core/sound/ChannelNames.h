#pragma once

#include <string>

class CC3d;

// The name under which analog channel `i` (0-based) is listed to the user:
// row i of the parameter Labels of group Analog, or "Chan <i + 1>" when that
// row is absent or empty. Labels keep their stored bytes, trailing blanks
// included. `c3d` must be loaded; `i` may be any channel index.
std::string AnalogChannelName(const CC3d& c3d, int i);
