#pragma once

#include <optional>

#include "core/sound/SoundLevel.h"

namespace sound {

// A stretch of a channel's stored values: [first, first + count).
struct SampleSpan {
  int first = 0;
  int count = 0;
};

// What one sound is made of: which channel, which of its values, and how
// they become PCM. A plain value, copied freely; each choice a sound can
// make is one field here, so the functions that build, save and play a
// sound take one SoundSpec instead of a parameter per choice. Every field
// has a default member initializer, so designated initializers may name
// only the fields that differ: {.channel = 2, .bits = 8, .rate = 8000}.
struct SoundSpec {
  int channel = 0;                                 // 0-based index into CC3d::m_analogs
  std::optional<SampleSpan> range = std::nullopt;  // the values played; none: the whole channel
  int bits = 16;                                   // sample width, 8 or 16
  float rate = 0.0f;  // output rate in Hz as chosen; the build uses it truncated to a whole number
  SoundLevel level = SoundLevel::AsRecorded;  // how stored values map to PCM amplitudes
};

}  // namespace sound
