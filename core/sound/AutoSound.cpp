#include "core/sound/AutoSound.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

constexpr std::size_t kValueBlock = 1024;  // resampled values produced at a time

CFilterChain AudibleHighPass(double analogRate) {
  return CFilterChain({FilterSpec{FilterKind::HighPass, kAudibleFromHz, 0.0}}, analogRate);
}

bool CanHighPass(double analogRate) { return kAudibleFromHz < analogRate / 2.0; }

std::string Percent(double share) {
  return std::to_string(static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 100.0))) + "%";
}

// The mean of the finite values, and whether they differ at all.
struct FirstLook {
  double mean = 0.0;
  bool varies = false;
};

FirstLook LookAtValues(SampleView view) {
  FirstLook look;
  double sum = 0.0;
  double first = 0.0;
  std::int64_t finite = 0;
  for (std::int64_t i = 0; i < view.count; ++i) {
    const double v = view[i];
    if (!std::isfinite(v)) continue;
    if (finite == 0) first = v;
    look.varies = look.varies || v != first;
    sum += v;
    ++finite;
  }
  if (finite > 0) look.mean = sum / static_cast<double>(finite);
  return look;
}

}  // namespace

AutoAnalysis AnalyseForAuto(SampleView view, double analogRate) {
  AutoAnalysis result;
  const FirstLook look = LookAtValues(view);
  result.mean = look.mean;
  if (!look.varies) {
    result.hint = "constant channel: nothing to hear";
    return result;
  }
  double variance = 0.0;  // sums over the finite values
  double above = 0.0;
  double sumHigh = 0.0;
  double lowest = 0.0;
  double highest = 0.0;
  std::int64_t finite = 0;
  const bool highPass = CanHighPass(analogRate);
  CFilterChain chain = highPass ? AudibleHighPass(analogRate) : CFilterChain();
  for (std::int64_t i = 0; i < view.count; ++i) {
    const double x = view[i] - look.mean;
    const double y = chain.Process(x);
    if (!std::isfinite(x)) continue;
    variance += x * x;
    if (!highPass) continue;
    above += y * y;
    sumHigh += y;
    lowest = finite == 0 ? y : std::min(lowest, y);
    highest = finite == 0 ? y : std::max(highest, y);
    ++finite;
  }
  result.energyAbove = highPass && variance > 0.0 ? above / variance : 0.0;
  if (result.energyAbove >= 0.5 && finite > 0) {
    result.centre = sumHigh / static_cast<double>(finite);
    const double peak = std::max(highest - result.centre, result.centre - lowest);
    if (peak > 0.0) {
      result.choice = AutoChoice::Waveform;
      result.scale = kWaveformPeak / peak;
      result.hint =
          "Auto: waveform (" + Percent(result.energyAbove) + " of its energy above 20 Hz)";
      return result;
    }
  }
  result.choice = AutoChoice::Pitch;
  result.hint = "Auto: pitch (slow signal, " + Percent(1.0 - result.energyAbove) +
                " of its energy below 20 Hz)";
  return result;
}

CAutoSound::CAutoSound(SampleView view, double analogRate, double outputRate)
    : CAutoSound(view, analogRate, outputRate, AnalyseForAuto(view, analogRate)) {}

CAutoSound::CAutoSound(SampleView view, double analogRate, double outputRate, AutoAnalysis analysis,
                       bool falling)
    : m_view(view),
      m_analysis(std::move(analysis)),
      m_length(ResampledCount(view.count, analogRate, outputRate)) {
  if (m_analysis.choice == AutoChoice::Pitch) {
    m_pitch = std::make_unique<CPitchTone>(view, analogRate, outputRate, PitchRange{}, falling);
  } else if (m_analysis.choice == AutoChoice::Waveform) {
    // The mean the analysis took off, so the filter sees the same values.
    m_source = std::make_unique<CViewSource>(view, m_analysis.mean);
    m_highPassed = std::make_unique<CFilteredSource>(*m_source, AudibleHighPass(analogRate));
    m_resampled =
        std::make_unique<CSpeedStream>(*m_highPassed, view.count, analogRate, 1, outputRate);
    m_fades = std::make_unique<CStretchFades>(view, m_length, analogRate);
    m_values.resize(kValueBlock);
  }
}

std::size_t CAutoSound::Read(std::span<float> out) {
  if (m_pitch) return m_pitch->Read(out);
  const auto n = static_cast<std::size_t>(
      std::clamp<std::int64_t>(m_length - m_next, 0, static_cast<std::int64_t>(out.size())));
  if (!m_resampled) {
    std::fill_n(out.begin(), n, 0.0f);
    m_next += static_cast<std::int64_t>(n);
    return n;
  }
  std::size_t done = 0;
  while (done < n) {
    const std::size_t want = std::min(n - done, m_values.size());
    const std::size_t got = m_resampled->Read(std::span<double>(m_values).first(want));
    for (std::size_t i = 0; i < got; ++i, ++m_next) {
      const double gain = m_fades->Gain(m_next);
      const double v = (m_values[i] - m_analysis.centre) * m_analysis.scale * gain;
      out[done + i] =
          gain > 0.0 && std::isfinite(v) ? static_cast<float>(std::clamp(v, -1.0, 1.0)) : 0.0f;
    }
    done += got;
    if (got < want) break;
  }
  return done;
}

namespace {

// v rounded half away from zero, then clipped to lo..hi; inlined, where the
// library's rounding functions are calls.
int RoundClipped(double v, double lo, double hi) {
  const double clipped = std::clamp(v, lo, hi);
  return static_cast<int>(clipped >= 0.0 ? clipped + 0.5 : clipped - 0.5);
}

}  // namespace

std::int16_t PcmFromUnit16(float x) {
  if (std::isnan(x)) return 0;
  return static_cast<std::int16_t>(
      RoundClipped(static_cast<double>(x) * 32767.0, -32768.0, 32767.0));
}

std::uint8_t PcmFromUnit8(float x) {
  if (std::isnan(x)) return 128;
  return static_cast<std::uint8_t>(
      RoundClipped(static_cast<double>(x) * 127.0 + 128.0, 0.0, 255.0));
}

}  // namespace sound
