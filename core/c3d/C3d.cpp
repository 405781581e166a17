// CC3d's own operations: releasing what was read, the number decoders and
// the sample count. Load and LoadFromMemory are the reader's entry points
// and live with it, in C3dReader.cpp.
#include "core/c3d/C3d.h"

#include "core/c3d/C3dNumbers.h"

void CC3d::Clear() {
  while (!m_groups.empty()) m_groups.pop_back();
  while (!m_params.empty()) m_params.pop_back();
  m_nGroups = 0;
  m_nParams = 0;
  while (!m_events.empty()) m_events.pop_back();
  FreeSamples();
}

void CC3d::FreeSamples() {
  // Each block belongs to its object: removing the object releases it.
  while (!m_analogs.empty()) m_analogs.pop_back();
  while (!m_videos.empty()) m_videos.pop_back();
  m_bDataAllocated = false;
}

int CC3d::GetAnalogSampleCount() const { return c3d::SaturateToInt32(SamplesPerChannel()); }

float CC3d::DecToFloat(std::uint32_t stored) { return c3d::DecFloatBits(stored); }

float CC3d::MipsToFloat(std::uint32_t stored) { return c3d::MipsFloatBits(stored); }

std::uint16_t CC3d::SwapWord(std::uint16_t value) {
  return static_cast<std::uint16_t>((value >> 8) | (value << 8));  // keeps the low 16 bits
}
