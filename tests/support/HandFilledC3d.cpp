#include "tests/support/HandFilledC3d.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace c3dtest {

std::unique_ptr<CC3d> HandFilledC3d(const HandChannel& ch) {
  const std::size_t n = ch.raw.size();
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = ch.integer;
  const bool oneFrame = n <= 65535;
  c3d->m_nFirstFrame = 1;
  c3d->m_nLastFrame = static_cast<std::uint16_t>(oneFrame ? 1 : n / 1000);
  c3d->m_nAnalogSamplesPerFrame = static_cast<std::uint16_t>(oneFrame ? n : 1000);

  auto analog = std::make_unique<CAnalog>();
  analog->m_pSamples = CSampleBlock(n * (ch.integer ? sizeof(std::int16_t) : sizeof(float)));
  float lo = std::numeric_limits<float>::infinity();
  float hi = -lo;
  for (std::size_t i = 0; i < n; ++i) {
    if (ch.integer)
      analog->IntSamples()[i] = static_cast<std::int16_t>(ch.raw[i]);  // test values fit int16
    else
      analog->FloatSamples()[i] = ch.raw[i];
    if (!std::isnan(ch.raw[i])) {
      lo = std::min(lo, ch.raw[i]);
      hi = std::max(hi, ch.raw[i]);
    }
  }
  analog->m_fMin = ch.min.value_or(lo);
  analog->m_fMax = ch.max.value_or(hi);
  analog->m_fOffset = ch.offset;
  analog->m_fScale = ch.scale;
  c3d->m_analogs.push_back(std::move(analog));
  return c3d;
}

}  // namespace c3dtest
