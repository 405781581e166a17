#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/c3d/C3d.h"

namespace c3dtest {

// One analog channel described in memory, for a CC3d filled by hand (no
// file, no reader): the raw values (stored as int16, truncated, when
// `integer`, else as floats), the channel's offset and scale, and its
// extremes (by default those of the raw values, NaN left out).
struct HandChannel {
  std::vector<float> raw;
  bool integer = false;
  float offset = 0.0f;
  float scale = 1.0f;
  std::optional<float> min, max;
};

// A CC3d holding that one channel: up to 65535 samples as one frame of
// that many samples, more as frames of 1000 (the count must then be a
// multiple of 1000). The caller owns the result.
std::unique_ptr<CC3d> HandFilledC3d(const HandChannel& channel);

}  // namespace c3dtest
