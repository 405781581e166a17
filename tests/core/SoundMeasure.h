#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "core/sound/Resampler.h"

// Measurements the sound generators' tests share: the level of one
// frequency in a stretch of samples, and a view over test values.
namespace soundtest {

// The amplitude of the component at frequency f (Hz) of x, sampled at rate
// (Hz), by projection on e^(-i 2 pi f t) over the whole span. Exact for a
// steady sine over a whole number of periods; close for a long span.
template <typename T>
double AmplitudeAt(std::span<const T> x, double f, double rate) {
  std::complex<double> sum = 0.0;
  const double w = 2.0 * std::numbers::pi * f / rate;
  for (std::size_t n = 0; n < x.size(); ++n) {
    sum += static_cast<double>(x[n]) * std::polar(1.0, -w * static_cast<double>(n));
  }
  return 2.0 * std::abs(sum) / static_cast<double>(x.size());
}

template <typename T>
double Rms(std::span<const T> x) {
  double sum = 0.0;
  for (const T v : x) sum += static_cast<double>(v) * static_cast<double>(v);
  return std::sqrt(sum / static_cast<double>(x.size()));
}

inline double Db(double ratio) { return 20.0 * std::log10(ratio); }

inline std::vector<float> Sine(double f, double rate, std::int64_t count, double amplitude = 1.0,
                               double offset = 0.0) {
  std::vector<float> x(static_cast<std::size_t>(count));
  for (std::int64_t n = 0; n < count; ++n) {
    x[static_cast<std::size_t>(n)] = static_cast<float>(
        offset + amplitude * std::sin(2.0 * std::numbers::pi * f * static_cast<double>(n) / rate));
  }
  return x;
}

inline sound::SampleView View(const std::vector<float>& values) {
  return sound::SampleView{nullptr, values.data(), static_cast<std::int64_t>(values.size())};
}

// Reads a generator (anything with Read(std::span<T>)) to its end in
// stretches of `stretch` values.
template <typename T, typename Generator>
std::vector<T> ReadAll(Generator& generator, std::size_t stretch = 4096) {
  std::vector<T> out;
  std::vector<T> block(stretch);
  while (true) {
    const std::size_t n = generator.Read(std::span<T>(block));
    out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    if (n < stretch) return out;
  }
}

}  // namespace soundtest
