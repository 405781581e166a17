#include "core/sound/Resampler.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

constexpr std::size_t kPullBlock = 1024;  // inputs pulled from a source at a time

double SpeedInputRate(double analogRate, int speed) {
  return analogRate * static_cast<double>(speed);
}

bool NeedsAntiAlias(double analogRate, int speed, double outputRate) {
  return SpeedInputRate(analogRate, speed) > outputRate;
}

}  // namespace

std::size_t CViewSource::Read(std::span<double> out) {
  const auto n = static_cast<std::size_t>(
      std::clamp<std::int64_t>(m_view.count - m_next, 0, static_cast<std::int64_t>(out.size())));
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = m_view[m_next + static_cast<std::int64_t>(i)] - m_offset;
  }
  m_next += static_cast<std::int64_t>(n);
  return n;
}

std::size_t CFilteredSource::Read(std::span<double> out) {
  const std::size_t n = m_input.Read(out);
  m_chain.Process(out.first(n));
  return n;
}

double ResampleStep(std::int64_t inCount, std::int64_t outCount) {
  if (inCount < 2 || outCount < 2) return 0.0;
  return static_cast<double>(inCount - 1) / static_cast<double>(outCount - 1);
}

std::int64_t ResampledCount(std::int64_t inCount, double inputRate, double outputRate) {
  const double n =
      std::trunc(((1.0 / inputRate) * static_cast<double>(inCount)) / (1.0 / outputRate));
  if (!(n > 0.0)) return 0;
  return static_cast<std::int64_t>(std::min(n, 9.0e18));
}

CResampler::CResampler(IValueSource& input, std::int64_t inCount, std::int64_t outCount,
                       Interpolation interpolation)
    : m_input(input),
      m_inCount(std::max<std::int64_t>(inCount, 0)),
      m_outCount(inCount > 0 ? std::max<std::int64_t>(outCount, 0) : 0),
      m_interpolation(interpolation),
      m_step(ResampleStep(inCount, outCount)),
      m_block(kPullBlock) {}

double CResampler::NextInput() {
  if (m_pulled >= m_inCount) return m_last;
  if (m_blockPos == m_blockLen) {
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(m_inCount - m_pulled, static_cast<std::int64_t>(kPullBlock)));
    m_blockLen = m_input.Read(std::span<double>(m_block).first(want));
    m_blockPos = 0;
    if (m_blockLen == 0) {  // the source ended early: hold its last value
      m_inCount = m_pulled;
      return m_last;
    }
  }
  m_last = m_block[m_blockPos++];
  ++m_pulled;
  return m_last;
}

void CResampler::Advance() {
  m_window[0] = m_window[1];
  m_window[1] = m_window[2];
  m_window[2] = m_window[3];
  m_window[3] = NextInput();
  ++m_windowK;
}

std::size_t CResampler::Read(std::span<double> out) {
  const auto n = static_cast<std::size_t>(
      std::clamp<std::int64_t>(m_outCount - m_nextOut, 0, static_cast<std::int64_t>(out.size())));
  if (n > 0 && m_windowK < 0) {
    const double first = NextInput();
    m_window[0] = first;
    m_window[1] = first;
    m_window[2] = NextInput();
    m_window[3] = NextInput();
    m_windowK = 0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(m_nextOut++) * m_step;
    auto k = static_cast<std::int64_t>(t);
    double u = t - static_cast<double>(k);
    if (k >= m_inCount - 1) {
      k = m_inCount - 1;
      u = 0.0;
    }
    while (m_windowK < k) Advance();
    const double p1 = m_window[1];
    if (u == 0.0) {
      out[i] = p1;
      continue;
    }
    const double p2 = m_window[2];
    if (m_interpolation == Interpolation::Linear) {
      out[i] = p1 + (p2 - p1) * u;
    } else {
      const double p0 = m_window[0];
      const double p3 = m_window[3];
      out[i] =
          p1 + 0.5 * u *
                   (p2 - p0 +
                    u * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + u * (3.0 * (p1 - p2) + p3 - p0)));
    }
  }
  return n;
}

CSpeedStream::CSpeedStream(IValueSource& input, std::int64_t count, double analogRate, int speed,
                           double outputRate)
    : m_antiAliased(NeedsAntiAlias(analogRate, speed, outputRate)),
      m_filtered(input, m_antiAliased ? CFilterChain::ButterworthLowPass(
                                            kAntiAliasSections, kAntiAliasCutoff * outputRate,
                                            SpeedInputRate(analogRate, speed))
                                      : CFilterChain()),
      m_resampler(m_filtered, count,
                  ResampledCount(count, SpeedInputRate(analogRate, speed), outputRate),
                  speed > 1 || m_antiAliased ? Interpolation::Cubic : Interpolation::Linear) {}

}  // namespace sound
