#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Reading back the kind of WAVE file the program writes, for the sound
// player: RIFF WAVE, PCM, one channel or two (interleaved left, right),
// 8-bit unsigned or 16-bit signed.
namespace sound {

// Where the samples of a PCM WAVE file lie and how to play them.
struct PcmWaveInfo {
  std::uint32_t rate = 0;      // samples per second, 1 to 44100
  int bits = 0;                // 8 (unsigned) or 16 (signed little-endian)
  int channels = 1;            // 1, or 2 interleaved (left value, then right, each frame)
  std::size_t dataOffset = 0;  // first sample byte in the file
  std::size_t dataBytes = 0;   // whole frames only; may be 0
};

// Parses the RIFF chunks of `bytes` (a whole file). True when it is a one-
// or two-channel PCM WAVE of 8 or 16 bits at 1 to 44100 Hz (block align
// channels x bytes per value) with a "fmt " chunk before its "data" chunk;
// info then locates the samples. A data chunk that claims more than the
// file holds is cut to what is there (and to whole frames), and no
// pad byte is expected after it. False, with a short English reason in why,
// for anything else; info is then unspecified.
bool ParsePcmWave(std::span<const std::uint8_t> bytes, PcmWaveInfo& info, std::string& why);

}  // namespace sound
