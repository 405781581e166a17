// The cost of the sound generators on a long channel: 6 minutes at 1000 Hz
// raised to 44100 Hz (15.9 million outputs), each output mapped to 16-bit
// PCM as a WAVE build would. Reports time per output sample. Each generator
// holds a few kilobytes whatever the length of the channel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "core/sound/AutoSound.h"
#include "core/sound/Filters.h"
#include "core/sound/PitchTone.h"
#include "core/sound/Resampler.h"

namespace {

constexpr double kAnalogRate = 1000.0;
constexpr double kOutputRate = 44100.0;
constexpr std::int64_t kCount = 360000;  // 6 minutes
constexpr std::size_t kStretch = 32768;

// An EMG-like channel as stored: noise in bursts, mains hum and an offset
// about 2048 (the silent level of 12-bit converters).
const std::vector<std::int16_t>& EmgChannel() {
  static const std::vector<std::int16_t> values = [] {
    std::vector<std::int16_t> x(kCount);
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0.0, 200.0);
    for (std::int64_t i = 0; i < kCount; ++i) {
      const double t = static_cast<double>(i) / kAnalogRate;
      const double burst = std::sin(3.0 * t) > 0.3 ? 1.0 : 0.1;
      x[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
          2100.0 + burst * noise(random) + 40.0 * std::sin(2.0 * 3.141592653589793 * 50.0 * t));
    }
    return x;
  }();
  return values;
}

// A force-plate-like channel: a slow load of 0..800 with a little noise.
const std::vector<std::int16_t>& SlowChannel() {
  static const std::vector<std::int16_t> values = [] {
    std::vector<std::int16_t> x(kCount);
    std::mt19937 random(13);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (std::int64_t i = 0; i < kCount; ++i) {
      const double t = static_cast<double>(i) / kAnalogRate;
      x[static_cast<std::size_t>(i)] =
          static_cast<std::int16_t>(400.0 + 400.0 * std::sin(1.7 * t) + noise(random));
    }
    return x;
  }();
  return values;
}

sound::SampleView View(const std::vector<std::int16_t>& values) {
  return sound::SampleView{values.data(), nullptr, static_cast<std::int64_t>(values.size())};
}

void ReportPerOutput(benchmark::State& state, std::int64_t outputs) {
  state.counters["time_per_output"] = benchmark::Counter(
      static_cast<double>(outputs),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Band-pass 20-450 Hz at the analog rate (values about 2048), then linear
// resampling to 44100 Hz and the 16-bit mapping.
void BM_BandpassThenResample(benchmark::State& state) {
  const sound::SampleView view = View(EmgChannel());
  const std::vector<sound::FilterSpec> emg = sound::ParseFilters("bandpass:20-450").specs;
  std::vector<double> values(kStretch);
  std::vector<std::int16_t> pcm(kStretch);
  std::int64_t outputs = 0;
  for (auto _ : state) {
    sound::CViewSource source(view, 2048.0);
    sound::CFilteredSource filtered(source, sound::CFilterChain(emg, kAnalogRate));
    sound::CResampler resampler(filtered, kCount,
                                sound::ResampledCount(kCount, kAnalogRate, kOutputRate));
    outputs = resampler.Length();
    while (const std::size_t n = resampler.Read(values)) {
      for (std::size_t i = 0; i < n; ++i) {
        pcm[i] = sound::PcmFromUnit16(static_cast<float>(values[i] / 2048.0));
      }
      benchmark::DoNotOptimize(pcm.data());
    }
  }
  ReportPerOutput(state, outputs);
}
BENCHMARK(BM_BandpassThenResample)->Unit(benchmark::kMillisecond);

template <typename Generator>
std::int64_t DrainTo16Bits(Generator& generator) {
  std::vector<float> samples(kStretch);
  std::vector<std::int16_t> pcm(kStretch);
  std::int64_t outputs = 0;
  while (const std::size_t n = generator.Read(samples)) {
    for (std::size_t i = 0; i < n; ++i) pcm[i] = sound::PcmFromUnit16(samples[i]);
    benchmark::DoNotOptimize(pcm.data());
    outputs += static_cast<std::int64_t>(n);
  }
  return outputs;
}

// The pitch tone of the slow channel, its look for min and max included.
void BM_PitchTone(benchmark::State& state) {
  const sound::SampleView view = View(SlowChannel());
  std::int64_t outputs = 0;
  for (auto _ : state) {
    sound::CPitchTone tone(view, kAnalogRate, kOutputRate);
    outputs = DrainTo16Bits(tone);
  }
  ReportPerOutput(state, outputs);
}
BENCHMARK(BM_PitchTone)->Unit(benchmark::kMillisecond);

// Auto, its look over the channel included: the EMG-like channel becomes a
// waveform (state.range(0) = 0), the slow one a pitch tone (1).
void BM_Auto(benchmark::State& state) {
  const sound::SampleView view = View(state.range(0) == 0 ? EmgChannel() : SlowChannel());
  std::int64_t outputs = 0;
  for (auto _ : state) {
    sound::CAutoSound sound(view, kAnalogRate, kOutputRate);
    outputs = DrainTo16Bits(sound);
  }
  ReportPerOutput(state, outputs);
}
BENCHMARK(BM_Auto)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
