#pragma once
// The object `tremolux-cli info --json` prints, for the command and for the
// browser build, which calls it without the command line.

#include <cstdio>
#include <string>

class CC3d;

// What the object holds beside the header, events, groups, parameters and
// channels: the path as given, and the optional parts.
struct InfoJsonParts {
  std::string path;
  bool samples = false;  // each channel's raw samples
  bool points = false;   // each point's raw data
};

// The object for a loaded file, streamed to `out` and ended by a newline.
void WriteInfoJson(std::FILE* out, const CC3d& c3d, const InfoJsonParts& parts);

// {"path": ..., "loaded": false, "reason": ...} and a newline, for a file
// that could not be loaded (`reason` as LoadErrorText gives it).
void WriteLoadFailureJson(std::FILE* out, const std::string& path, const char* reason);
