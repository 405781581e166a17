#include "core/sound/PitchTone.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "core/c3d/NumberText.h"

namespace sound {

namespace {

bool ParseHz(std::string_view text, double& hz) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = numtext::ReadDouble(text.data(), end, hz);
  return ec == std::errc() && ptr == end && std::isfinite(hz);
}

// sin(phase) for a phase in [0, 2 pi): folded onto [-pi / 2, pi / 2], then
// the odd Taylor polynomial up to x^11, whose error there stays below 6e-8
// (a 16-bit step is 3e-5). Several times faster than std::sin.
double FastSine(double phase) {
  constexpr double kPi = std::numbers::pi;
  double x = phase > kPi ? phase - 2.0 * kPi : phase;
  if (x > kPi / 2.0) {
    x = kPi - x;
  } else if (x < -kPi / 2.0) {
    x = -kPi - x;
  }
  const double x2 = x * x;
  return x * (1.0 +
              x2 * (-1.0 / 6.0 +
                    x2 * (1.0 / 120.0 + x2 * (-1.0 / 5040.0 +
                                              x2 * (1.0 / 362880.0 + x2 * (-1.0 / 39916800.0))))));
}

}  // namespace

std::string ParsePitchRange(std::string_view text, PitchRange& range) {
  const auto dash = text.find('-');
  PitchRange parsed;
  if (dash == std::string_view::npos || !ParseHz(text.substr(0, dash), parsed.low) ||
      !ParseHz(text.substr(dash + 1), parsed.high)) {
    return "pitch \"" + std::string(text) + "\": give LO-HI in hertz, as in 200-2000";
  }
  if (parsed.low < kPitchMinHz || parsed.high > kPitchMaxHz || !(parsed.low < parsed.high)) {
    return "pitch \"" + std::string(text) + "\": LO and HI must lie in 20..20000 Hz, LO below HI";
  }
  range = parsed;
  return {};
}

CPitchTone::CPitchTone(SampleView view, double analogRate, double outputRate, PitchRange range,
                       bool falling)
    : m_view(view),
      m_outputRate(outputRate),
      m_range(range),
      m_length(ResampledCount(view.count, analogRate, outputRate)),
      m_step(ResampleStep(view.count, m_length)),
      m_fades(view, m_length, analogRate) {
  bool any = false;
  for (std::int64_t i = 0; i < view.count; ++i) {
    const double v = view[i];
    if (!std::isfinite(v)) continue;
    if (!any || v < m_min) m_min = v;
    if (!any || v > m_max) m_max = v;
    any = true;
  }
  m_silent = !any || !(m_max > m_min) || view.count < 2 || m_length < 2;
  if (m_silent) return;
  // Falling: (v - max) x (-ratio) is (max - v) x ratio, the turned mapping.
  m_base = falling ? m_max : m_min;
  m_logRatio = std::log(range.high / range.low) / (m_max - m_min);
  if (falling) m_logRatio = -m_logRatio;
}

double CPitchTone::FrequencyOf(double v) const {
  if (m_silent) return m_range.low;
  return m_range.low * std::exp((v - m_base) * m_logRatio);
}

std::size_t CPitchTone::Read(std::span<float> out) {
  const auto n = static_cast<std::size_t>(
      std::clamp<std::int64_t>(m_length - m_next, 0, static_cast<std::int64_t>(out.size())));
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  for (std::size_t i = 0; i < n; ++i, ++m_next) {
    const double gain = m_silent ? 0.0 : m_fades.Gain(m_next);
    if (gain <= 0.0) {
      out[i] = 0.0f;
      m_segment = -1;
      continue;
    }
    const double t = static_cast<double>(m_next) * m_step;
    const auto k = static_cast<std::int64_t>(t);
    if (k != m_segment) {  // a new pair of values: one exp for all its outputs
      m_segment = k;
      const double x0 = m_view[k];
      const double x1 = k + 1 < m_view.count ? m_view[k + 1] : x0;
      const double slope = std::isfinite(x1) ? (x1 - x0) * m_logRatio : 0.0;
      const double u = t - static_cast<double>(k);
      m_increment =
          kTwoPi * m_range.low / m_outputRate * std::exp((x0 - m_base) * m_logRatio + slope * u);
      m_growth = std::exp(slope * m_step);
    } else {
      m_increment *= m_growth;
    }
    out[i] = static_cast<float>(kPitchAmplitude * gain * FastSine(m_phase));
    m_phase += m_increment;
    if (m_phase >= kTwoPi) m_phase -= kTwoPi;
  }
  return n;
}

}  // namespace sound
