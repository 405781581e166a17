#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "core/sound/Filters.h"

class CC3d;

// The values a filtered Waveform sound is made of, as a recording of their
// own, so the plot that draws a channel can draw them by the same rules
// (what you see is what you hear). Standard C++ only.
namespace sound {

// A recording holding one float channel: channel `channel` of c3d through
// `filters` (CFilterChain at the file's analog rate, the sound's filter),
// applied to its stored values minus the channel's offset, the offset then
// added back, so (value - offset) x scale is the filtered physical value.
// The copy keeps the file's frames, samples per frame, frame rate, and the
// channel's offset and scale; its m_fMin and m_fMax are the extremes the
// loader would store for these values. About 4 bytes per sample.
// Null when there is no such channel, no filter, a filter that
// CheckFilterRates refuses, too little memory, or `cancel` became true
// (checked between stretches, so a cancelled call returns within one).
std::unique_ptr<CC3d> FilteredChannel(const CC3d& c3d, int channel,
                                      const std::vector<FilterSpec>& filters,
                                      const std::atomic<bool>& cancel);

}  // namespace sound
