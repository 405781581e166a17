#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Number decoding shared by the reader's steps, and the checked conversions
// that keep NaN, infinities and out-of-range values away from undefined casts.
// Everything here assembles values from bytes explicitly, so it gives the same
// result on any host byte order.

// The processor that wrote a file, which fixes its number formats: byte 3 of
// the parameter section holds 83 plus this value.
//   Intel: 16-bit integers and IEEE floats little-endian.
//   Dec:   16-bit integers little-endian; floats in DEC (VAX F) format.
//   Mips:  16-bit integers and IEEE floats big-endian.
enum class Processor : std::uint8_t { Intel = 1, Dec = 2, Mips = 3 };

namespace c3d {

// The float whose IEEE single-precision bits are `bits`, and back. Where the
// library lacks std::bit_cast (libc++ 13), a copy of the four bytes does the same.
inline float FloatFromBits(std::uint32_t bits) {
#if defined(__cpp_lib_bit_cast)
  return std::bit_cast<float>(bits);
#else
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
#endif
}

inline std::uint32_t BitsFromFloat(float value) {
#if defined(__cpp_lib_bit_cast)
  return std::bit_cast<std::uint32_t>(value);
#else
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
#endif
}

// The four stored bytes b0..b3 (file order) as one word, b0 lowest.
inline std::uint32_t StoredWord(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// A 16-bit value stored low byte first (Intel and DEC files).
inline std::int16_t Int16Little(const unsigned char* b) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | (b[1] << 8)));
}

// A 16-bit value stored high byte first (MIPS files).
inline std::int16_t Int16Big(const unsigned char* b) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[1] | (b[0] << 8)));
}

// IEEE single precision stored little-endian (Intel files).
inline float IntelFloatBits(std::uint32_t stored) { return FloatFromBits(stored); }

// IEEE single precision stored big-endian (MIPS files): all four bytes reversed.
inline float MipsFloatBits(std::uint32_t stored) {
  const std::uint32_t host = (stored >> 24) | ((stored >> 8) & 0x0000FF00u) |
                             ((stored << 8) & 0x00FF0000u) | (stored << 24);
  return FloatFromBits(host);
}

// DEC (VAX F-floating) stored as two little-endian 16-bit words, high-order
// word first. Exchanging the words gives IEEE's bit layout with an exponent 2
// higher (DEC's bias is 128 and its hidden bit sits below the point), so one
// is taken off the top byte, wrapping within 8 bits. Four zero bytes are 0.0.
// Exponents too small for the subtraction are not treated specially.
inline float DecFloatBits(std::uint32_t stored) {
  std::uint32_t host = (stored >> 16) | (stored << 16);
  if (stored != 0) {
    const std::uint32_t top = ((host >> 24) - 1u) & 0xFFu;
    host = (host & 0x00FFFFFFu) | (top << 24);
  }
  return FloatFromBits(host);
}

// A stored 16-bit integer of a file written by processor P.
template <Processor P>
inline std::int16_t DecodeInt16(const unsigned char* b) {
  return P == Processor::Mips ? Int16Big(b) : Int16Little(b);
}

// A stored float (four bytes in file order) of a file written by processor P:
// the one place that knows which format each processor writes.
template <Processor P>
inline float DecodeFloat(const unsigned char* b) {
  const std::uint32_t stored = StoredWord(b);
  if constexpr (P == Processor::Dec) {
    return DecFloatBits(stored);
  } else if constexpr (P == Processor::Mips) {
    return MipsFloatBits(stored);
  } else {
    return IntelFloatBits(stored);
  }
}

inline std::int16_t DecodeInt16(const unsigned char* b, Processor p) {
  return p == Processor::Mips ? DecodeInt16<Processor::Mips>(b) : DecodeInt16<Processor::Intel>(b);
}

inline float DecodeFloat(const unsigned char* b, Processor p) {
  switch (p) {
    case Processor::Dec:
      return DecodeFloat<Processor::Dec>(b);
    case Processor::Mips:
      return DecodeFloat<Processor::Mips>(b);
    case Processor::Intel:
      break;
  }
  return DecodeFloat<Processor::Intel>(b);
}

// Truncates toward zero into a 64-bit integer: NaN gives 0, values beyond
// the range give its nearest end. Never undefined.
inline std::int64_t TruncateToInt64(double v) {
  if (std::isnan(v)) return 0;
  // 2^63 is exactly representable; everything at or above it saturates.
  constexpr double kLimit = 9223372036854775808.0;
  if (v >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (v <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);  // in range: truncation toward zero is intended
}

// Clamps a 64-bit integer into the 32-bit range.
inline std::int32_t SaturateToInt32(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);  // in range after the checks above
}

// Rounds a double to single precision as IEEE arithmetic does, without the
// undefined cast of an out-of-range value: magnitudes from the largest float
// plus half a unit in the last place (2^128 - 2^103) upward become infinities
// of the same sign; NaN stays NaN.
inline float NarrowToFloat(double v) {
  constexpr double kOverflow = 0x1.ffffffp+127;
  if (v >= kOverflow) return std::numeric_limits<float>::infinity();
  if (v <= -kOverflow) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);  // within float's range (or NaN): rounds to nearest
}

}  // namespace c3d
