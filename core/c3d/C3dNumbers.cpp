#include "core/c3d/C3dNumbers.h"

#include "core/c3d/C3d.h"

float CC3d::DecToFloat(std::uint32_t stored) { return c3d::DecFloatBits(stored); }

float CC3d::MipsToFloat(std::uint32_t stored) { return c3d::MipsFloatBits(stored); }

std::uint16_t CC3d::SwapWord(std::uint16_t value) {
  return static_cast<std::uint16_t>((value >> 8) | (value << 8));  // keeps the low 16 bits
}
