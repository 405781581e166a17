#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/sound/Filters.h"
#include "core/sound/PitchTone.h"
#include "core/sound/SoundLevel.h"

namespace sound {

// What a channel is heard as.
enum class SoundMode {
  Waveform,  // the channel's values themselves, resampled; the default
  Pitch,     // a tone whose frequency follows the value
  Auto,      // chosen per channel: silence, a cleaned-up waveform, or pitch
};

// A stretch of a channel's stored values: [first, first + count).
struct SampleSpan {
  int first = 0;
  int count = 0;
};

// What one sound is made of: which channel, which of its values, and how
// they become PCM. A plain value, copied freely; each choice a sound can
// make is one field here, so the functions that build, save and play a
// sound take one SoundRecipe instead of a parameter per choice. Every field
// has a default member initializer, so designated initializers may name
// only the fields that differ: {.channel = 2, .bits = 8, .rate = 8000}.
// The defaults of mode, pitch, filters and speed give the plain waveform.
struct SoundRecipe {
  int channel = 0;                                 // 0-based index into CC3d::m_analogs
  std::optional<SampleSpan> range = std::nullopt;  // the values played; none: the whole channel
  int bits = 16;                                   // sample width, 8 or 16
  float rate = 0.0f;  // output rate in Hz as chosen; the build uses it truncated to a whole number
  SoundLevel level = SoundLevel::AsRecorded;  // how stored values map to PCM amplitudes
  SoundMode mode = SoundMode::Waveform;       // what the channel is heard as
  PitchRange pitch = {};                 // Pitch: the tone's Hz at the lowest and highest value
  std::vector<FilterSpec> filters = {};  // Waveform: applied in order at the analog rate
  int speed = 1;  // Waveform: the channel taken as sampled at speed x its analog rate, 1..1000
  // Stored-value indices (0-based, of the whole channel) at which a short
  // 2 kHz tick is mixed into the sound; those outside the values played are
  // left out. Empty: no tick, and the sound is exactly as without the field.
  std::vector<std::int64_t> ticks = {};
  // A second channel (0-based index into CC3d::m_analogs) for the right ear:
  // a two-channel sound, `channel` on the left, each channel built with the
  // same choices as its mono sound would be. None: the mono sound.
  std::optional<int> right = std::nullopt;
};

// Whether spec asks for the plain waveform: Waveform, no filter, speed 1,
// the sound of the fixed 12-bit or fitted mapping of the resampled values.
inline bool PlainWaveform(const SoundRecipe& spec) {
  return spec.mode == SoundMode::Waveform && spec.filters.empty() && spec.speed == 1;
}

}  // namespace sound
