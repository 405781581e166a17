#pragma once

#include <span>
#include <vector>

#include "core/sound/SoundHost.h"

// The rate conversion done on a whole buffer, in place: the reference model
// of the streamed CSoundStream. Tests, the benchmark and the fuzz targets
// compare the product's streamed values with these, bit for bit.
namespace c3dtest {

// Values of Interpolate's status.
inline constexpr int kInterpolateDone = 0;
inline constexpr int kInterpolateBadStep = 1;   // step not in (0, 1)
inline constexpr int kInterpolateTooShort = 2;  // the output cannot cover the input

// Resample's result when a buffer could not be allocated ("Not Enough memory
// to open file" has been shown); 0 means refused ("Error" has been shown).
inline constexpr int kResampleNoMemory = -1;

// Upsamples buffer in place, from the top slot down, so one buffer serves as
// input and output. buffer holds the input in slots 0..lastIn and zeros
// above, lastOut + 1 slots in all. step (the input distance between output
// slots, a float in (0, 1)) is used as given. Out: lastUsable = M, the highest
// output slot that still lies inside the input (trunc(lastIn / step)), and
// status: kInterpolateDone, kInterpolateBadStep (nothing changed) or
// kInterpolateTooShort (M > lastOut, or the buffer is shorter than lastOut + 1;
// nothing changed). Slots above M become 0; slot 0 keeps its value.
void Interpolate(std::span<float> buffer, const int& lastOut, const int& lastIn, const float& step,
                 int& lastUsable, int& status);

// Raises the first `count` values of soundBuffer from analogRate to
// outputRate (Hz), as sound::PlanResample plans it. Shows the wait cursor
// while it works. Checks the step before touching anything. Result: N, the
// number of values now in soundBuffer; 0 when refused ("Error" shown: the
// plan refused, or count beyond the buffer), or kResampleNoMemory when the
// work buffer could not be had; in both cases soundBuffer is left as it was.
int Resample(std::vector<float>& soundBuffer, float analogRate, float outputRate, int count,
             sound::ISoundHost& host);

}  // namespace c3dtest
