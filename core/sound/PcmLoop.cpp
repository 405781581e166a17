#include "core/sound/PcmLoop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace sound {

namespace {

// A sample as a signed value: 8-bit PCM is unsigned with silence at 128,
// 16-bit PCM is signed little-endian.
float Decode(const std::uint8_t* p, std::size_t width) {
  if (width == 1) return static_cast<float>(static_cast<int>(p[0]) - 128);
  return static_cast<float>(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
}

void Encode(float value, std::uint8_t* p, std::size_t width) {
  // Rounded to the nearest step and kept within the width: a mix of two
  // values within range stays within it, but rounding may reach an end.
  if (width == 1) {
    p[0] = static_cast<std::uint8_t>(std::clamp(std::lround(value) + 128, 0L, 255L));
    return;
  }
  const long v = std::clamp(std::lround(value), -32768L, 32767L);
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
  p[0] = static_cast<std::uint8_t>(bits & 0xFF);
  p[1] = static_cast<std::uint8_t>(bits >> 8);
}

}  // namespace

std::int64_t LoopCrossfadeFrames(std::int64_t frames, int rate) {
  // Both are small positive numbers here; the product is exact in double.
  const auto wanted = static_cast<std::int64_t>(kLoopCrossfadeSeconds * std::max(rate, 0));
  return std::clamp<std::int64_t>(wanted, 0, std::max<std::int64_t>(frames, 0) / 2);
}

void CrossfadeSeam(std::span<const float> tail, std::span<const float> head, std::span<float> out) {
  const double n = static_cast<double>(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(i) + 0.5) / n);
    out[i] = static_cast<float>(static_cast<double>(tail[i]) * (1.0 - w) +
                                static_cast<double>(head[i]) * w);
  }
}

CPcmLoop::CPcmLoop(std::span<const std::uint8_t> pcm, int bits, int rate, bool loop, int channels)
    : m_pcm(pcm),
      m_width(bits == 8 ? 1 : 2),
      m_bytesPerFrame(m_width * static_cast<std::size_t>(std::max(channels, 1))),
      m_frames(static_cast<std::int64_t>(pcm.size() / m_bytesPerFrame)),
      m_pass(m_frames),
      m_loop(loop && m_frames > 0) {
  if (!m_loop) return;
  const std::int64_t fade = LoopCrossfadeFrames(m_frames, rate);
  m_pass = m_frames - fade;
  const auto n = static_cast<std::size_t>(fade);
  std::vector<float> tail(n), head(n), mixed(n);
  const std::size_t tailStart = static_cast<std::size_t>(m_pass) * m_bytesPerFrame;
  m_seam.resize(n * m_bytesPerFrame);
  // Each channel's values at its own offset in the frame, mixed on their own.
  for (std::size_t offset = 0; offset < m_bytesPerFrame; offset += m_width) {
    for (std::size_t i = 0; i < n; ++i) {
      tail[i] = Decode(&m_pcm[tailStart + i * m_bytesPerFrame + offset], m_width);
      head[i] = Decode(&m_pcm[i * m_bytesPerFrame + offset], m_width);
    }
    CrossfadeSeam(tail, head, mixed);
    for (std::size_t i = 0; i < n; ++i)
      Encode(mixed[i], &m_seam[i * m_bytesPerFrame + offset], m_width);
  }
}

std::int64_t CPcmLoop::SoundFrameAt(std::int64_t streamFrame) const {
  if (!m_loop || m_pass <= 0) return std::clamp<std::int64_t>(streamFrame, 0, m_frames);
  return std::max<std::int64_t>(streamFrame, 0) % m_pass;
}

std::size_t CPcmLoop::Read(std::span<std::uint8_t> out) {
  const auto wanted = static_cast<std::int64_t>(out.size() / m_bytesPerFrame);
  const auto seamFrames = static_cast<std::int64_t>(m_seam.size() / m_bytesPerFrame);
  std::int64_t done = 0;
  while (done < wanted) {
    // One run of samples from one block: the sound or the seam.
    const std::uint8_t* from = nullptr;
    std::int64_t available = 0;
    if (!m_loop) {
      if (m_position >= m_frames) break;
      from = &m_pcm[static_cast<std::size_t>(m_position) * m_bytesPerFrame];
      available = m_frames - m_position;
    } else {
      const std::int64_t inPass = m_position % m_pass;
      if (m_position >= m_pass && inPass < seamFrames) {
        from = &m_seam[static_cast<std::size_t>(inPass) * m_bytesPerFrame];
        available = seamFrames - inPass;
      } else {
        from = &m_pcm[static_cast<std::size_t>(inPass) * m_bytesPerFrame];
        available = m_pass - inPass;
      }
    }
    const std::int64_t n = std::min(available, wanted - done);
    std::memcpy(&out[static_cast<std::size_t>(done) * m_bytesPerFrame], from,
                static_cast<std::size_t>(n) * m_bytesPerFrame);
    done += n;
    m_position += n;
  }
  return static_cast<std::size_t>(done) * m_bytesPerFrame;
}

}  // namespace sound
