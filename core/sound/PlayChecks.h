#pragma once

#include <string_view>

class CC3d;

// The checks the sound dialog's Play makes on the typed output rate before
// any sound is stopped or written, shared with tremolux-cli wav and play.
namespace sound {

// The rate field's text as the C library's atof reads it in the "C" locale,
// whatever the process locale: leading white space skipped, an optional sign,
// then the longest decimal or hexadecimal number, "inf", "infinity" or "nan"
// (any case); what follows is ignored; text that does not begin with a
// number gives 0. Overflow gives an infinity, underflow 0, both signed.
double ReadRateText(std::string_view text);

// The outcome of CheckPlayRate.
struct PlayRateCheck {
  const char* message = nullptr;  // a Messages text to show, or nullptr: go on and build
  float rate = 0.0f;              // when message is nullptr: the rate to build at, in Hz
};

// Checks the typed rate against the analog rate A of c3d, in this order:
// below A: "The selected freq must be greater than that of the analog data";
// above 44100 once rounded to a float: "The selected freq must be less than
// 44100 Hz"; not a number: the first message; A zero, negative, infinite or
// NaN (nothing can be resampled): "Error"; a whole-number rate (the typed
// rate truncated) not above A: the first message. Reads nothing but A.
// With speed above 1 (the channel taken as sampled at speed x A, which the
// speed stage lowers to any rate), A no longer bounds the rate: a rate above
// 44100 draws the second message, one whose whole number is below 1 (or
// NaN) the first, A zero, negative, infinite or NaN "Error".
PlayRateCheck CheckPlayRate(const CC3d& c3d, std::string_view freqText, int speed = 1);

}  // namespace sound
