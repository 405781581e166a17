#include "core/sound/WaveEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace sound {
namespace {

// Stored values are taken to lie in 0..4096 with 2048 as silence.
constexpr double kSilence = 2048.0;
constexpr double kFullScale = 0.00048828125;  // 1 / 2048, exact in binary

// The low 16 bits of trunc(v), two's complement, for any finite v. Below
// 2^63 in magnitude a truncating cast to a 64-bit integer is defined and
// keeps every low bit. From 2^68 on a double's last mantissa bit is worth at
// least 2^16, so the low 16 bits are all zero. In between, fmod (which is
// exact) removes the multiples of 2^16 first. fmod works through the
// exponent difference bit by bit: keeping it to that narrow band keeps a
// channel of huge values (common in damaged float files) as quick to build
// as any other.
std::uint16_t Low16(double v) {
  const double magnitude = std::fabs(v);
  if (magnitude < 2147483648.0) {
    // Truncation toward zero is the mapping; |v| < 2^31 keeps the cast defined.
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
  }
  if (magnitude < 9223372036854775808.0) {
    // |v| < 2^63: the cast to int64 is defined; its low bits are the answer.
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(v)) &
                                      0xFFFFu);
  }
  if (magnitude >= 295147905179352825856.0) return 0;     // 2^68: a multiple of 2^16
  const double rest = std::fmod(std::trunc(v), 65536.0);  // exact, in (-65536, 65536)
  // rest is a whole number within int32; masking gives its two's-complement low bits.
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(rest)) &
                                    0xFFFFu);
}

void PutLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
}

// Maps one stretch of the sound to PCM bytes, little-endian, into out
// (room for values.size() samples). `filled` values from the start are
// sound; the rest are the unfilled top slots of the resampling (value 0):
// As recorded maps them like any value, as before (full negative scale),
// Fit to channel makes them silent. Returns the number of bytes.
std::size_t MapStretch(std::span<const float> values, std::size_t filled, int blockAlign,
                       const CFitScale* fit, std::uint8_t* out) {
  std::uint8_t* p = out;
  const std::size_t n = values.size();
  if (fit == nullptr) {
    if (blockAlign == 2) {
      for (std::size_t i = 0; i < n; ++i, p += 2) {
        PutLe16(p, static_cast<std::uint16_t>(PcmSample16(values[i])));
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) *p++ = PcmSample8(values[i]);
    }
  } else if (blockAlign == 2) {
    std::size_t i = 0;
    for (; i < filled; ++i, p += 2)
      PutLe16(p, static_cast<std::uint16_t>(fit->Sample16(values[i])));
    for (; i < n; ++i, p += 2) PutLe16(p, 0);
  } else {
    std::size_t i = 0;
    for (; i < filled; ++i) *p++ = fit->Sample8(values[i]);
    for (; i < n; ++i) *p++ = 128;  // 8-bit PCM is unsigned: 128 is silence
  }
  return static_cast<std::size_t>(p - out);
}

}  // namespace

std::int16_t PcmSample16(float s) {
  const double d = (static_cast<double>(s) - kSilence) * kFullScale;
  if (!std::isfinite(d)) return 0;
  // The low 16 bits as a two's-complement value (defined modulo 2^16 in C++20).
  return static_cast<std::int16_t>(Low16(d * 32768.0));
}

std::uint8_t PcmSample8(float s) {
  const double d = (static_cast<double>(s) - kSilence) * kFullScale;
  if (!std::isfinite(d)) return 128;
  // (v + 128) modulo 256: the low byte of v, shifted so silence is 128.
  return static_cast<std::uint8_t>((Low16(d * 128.0) + 128u) & 0xFFu);
}

std::array<std::uint8_t, 44> WaveHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes,
                                        int channels) {
  const std::uint16_t width = bits == 16 ? 2 : 1;  // bytes per value
  const std::uint16_t count = channels == 2 ? 2 : 1;
  const std::uint16_t blockAlign = width * count;  // bytes per frame: one value per channel
  std::array<std::uint8_t, 44> h{};
  std::memcpy(&h[0], "RIFF", 4);
  PutLe32(&h[4], 0);  // RIFF chunk size: filled in by the encoder, which knows the data size
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  PutLe32(&h[16], 16);     // format chunk size of plain PCM
  PutLe16(&h[20], 1);      // format tag 1: PCM
  PutLe16(&h[22], count);  // channels: 1 mono, 2 stereo
  PutLe32(&h[24], rate);
  PutLe32(&h[28], rate * blockAlign);  // average bytes per second (R <= 44100 after the checks)
  PutLe16(&h[32], blockAlign);
  PutLe16(&h[34], static_cast<std::uint16_t>(width * 8));  // bits per sample, 8 or 16
  std::memcpy(&h[36], "data", 4);
  PutLe32(&h[40], dataBytes);
  return h;
}

CWaveEncoder::CWaveEncoder(const CSoundStream& sound, std::uint32_t rate, int bits,
                           std::optional<CFitScale> fit)
    : m_sound(sound), m_rate(rate), m_blockAlign(bits == 16 ? 2 : 1), m_fit(std::move(fit)) {}

std::uint64_t CWaveEncoder::DataBytes() const {
  return static_cast<std::uint64_t>(m_sound.Length()) * static_cast<std::uint64_t>(m_blockAlign);
}

std::array<std::uint8_t, 44> WaveFileHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes,
                                            int channels) {
  auto header = WaveHeader(rate, bits, dataBytes, channels);
  PutLe32(&header[4], 36u + dataBytes);  // RIFF chunk size: the file's length - 8
  return header;
}

std::array<std::uint8_t, 44> CWaveEncoder::Header() const {
  // In range when FitsWave(): DataBytes() <= 0xFFFFFFFF - 36.
  return WaveFileHeader(m_rate, m_blockAlign * 8, static_cast<std::uint32_t>(DataBytes()));
}

CWaveEncoder::Result CWaveEncoder::Encode(std::vector<float>& soundBuffer, IByteSink& sink) const {
  const int n = m_sound.Length();
  const std::size_t stretch = static_cast<std::size_t>(std::min(n, kSoundStretch));
  std::vector<std::uint8_t> bytes;
  try {
    soundBuffer.reserve(stretch);
    bytes.resize(stretch * static_cast<std::size_t>(m_blockAlign));
  } catch (const std::exception&) {  // bad_alloc or length_error
    return Result::NoMemory;
  }
  const auto header = Header();
  if (!sink.Write(header)) return Result::SinkFailed;
  for (int from = 0; from < n;) {
    const int length = std::min(kSoundStretch, n - from);
    soundBuffer.resize(static_cast<std::size_t>(length));  // within the reserved block
    const std::size_t size = Stretch(from, soundBuffer, bytes.data());
    if (!sink.Write(std::span<const std::uint8_t>(bytes.data(), size))) return Result::SinkFailed;
    from += length;
  }
  return Result::Written;
}

std::size_t CWaveEncoder::Stretch(int from, std::span<float> values, std::uint8_t* out) const {
  m_sound.Produce(from, values);
  const int length = static_cast<int>(values.size());  // at most Length() - from
  const int filled = std::clamp(m_sound.TailStart() - from, 0, length);
  const CFitScale* fit = m_fit ? &*m_fit : nullptr;
  return MapStretch(values, static_cast<std::size_t>(filled), m_blockAlign, fit, out);
}

}  // namespace sound
