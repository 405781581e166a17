#include "core/sound/WaveFormat.h"

#include <algorithm>
#include <cstring>

#include "core/Messages.h"

namespace sound {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool ParsePcmWave(std::span<const std::uint8_t> bytes, PcmWaveInfo& info, std::string& why) {
  // The RIFF header: "RIFF", a 32-bit size (not trusted: the file length
  // decides), "WAVE"; then chunks of a 4-byte id, a 32-bit size and the
  // data, each padded to an even length.
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    why = Messages::kWaveNotRiff;
    return false;
  }
  bool haveFormat = false;
  std::size_t at = 12;
  while (bytes.size() - at >= 8) {
    const std::uint8_t* chunk = bytes.data() + at;
    const std::size_t size = Le32(chunk + 4);
    const std::size_t body = at + 8;
    const std::size_t available = bytes.size() - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || available < 16) {
        why = Messages::kWaveFormatTooShort;
        return false;
      }
      const std::uint8_t* f = bytes.data() + body;
      const std::uint16_t tag = Le16(f);  // 1: integer PCM
      const std::uint16_t channels = Le16(f + 2);
      info.rate = Le32(f + 4);
      const std::uint16_t blockAlign = Le16(f + 12);
      info.bits = Le16(f + 14);
      info.channels = channels;
      // A frame holds one value of each channel, left before right.
      if (tag != 1 || (channels != 1 && channels != 2) || (info.bits != 8 && info.bits != 16) ||
          blockAlign != channels * (info.bits / 8)) {
        why = Messages::kWaveNotPcm;
        return false;
      }
      if (info.rate < 1 || info.rate > 44100) {
        why = Messages::kWaveRateOutOfRange;
        return false;
      }
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) {
        why = Messages::kWaveDataBeforeFormat;
        return false;
      }
      const auto frameBytes = static_cast<std::size_t>(info.channels * (info.bits / 8));
      info.dataOffset = body;
      info.dataBytes = std::min(size, available) / frameBytes * frameBytes;
      return true;
    }
    if (size > available) break;
    at = body + size + (size & 1u);  // chunks are padded to an even length
    if (at > bytes.size()) break;
  }
  why = haveFormat ? Messages::kWaveNoData : Messages::kWaveNoFormat;
  return false;
}

}  // namespace sound
