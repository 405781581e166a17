#pragma once

// The fixed English texts the program shows to the user, kept in one place so
// the GUI, the command-line tool and the tests all use the same bytes.

namespace Messages {

inline constexpr const char* kNotEnoughMemory = "Not Enough memory to open file";
inline constexpr const char* kFreqTooLow =
    "The selected freq must be greater than that of the analog data";
inline constexpr const char* kFreqTooHigh = "The selected freq must be less than 44100 Hz";
inline constexpr const char* kCouldNotCreate = "Could not create";
inline constexpr const char* kError = "Error";

// A file without analog channels: its summary says so, and the sound dialog
// is not opened on it.
inline constexpr const char* kNoAnalogChannels = "This file has no analog channels: there is nothing to play.";

// Sound dialog status line: kStatusPrefix followed by one of the three states.
inline constexpr const char* kStatusPrefix = "Status : ";
inline constexpr const char* kStatusIdle = " Idle";
inline constexpr const char* kStatusProcessing = " Processing";
inline constexpr const char* kStatusDone = " ";

}  // namespace Messages
