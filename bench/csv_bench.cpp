// The cost of `tremolux-cli csv`'s text: the writer (shortest round-trip text
// by std::to_chars) beside a plain snprintf("%.9g") loop over the same scaled
// values into the same sink, on 10 s of a 64-channel 2 kHz float recording
// (EMG-like noise in volts, whose shortest texts run to 8 or 9 digits); and
// the writer over the whole hour of such a recording (460.8 million values,
// 1.8 GB of samples, built in memory: nothing is written to disk). The sink
// only counts bytes, so formatting is measured, not a disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <span>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/export/ChannelsCsv.h"

namespace {

constexpr int kChannels = 64;
constexpr float kFrameRate = 100.0f;
constexpr std::uint16_t kSamplesPerFrame = 20;  // 2000 Hz

// Counts the bytes handed over and keeps the last one, so nothing is
// optimised away.
class CCountingSink : public sound::IByteSink {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override {
    m_bytes += bytes.size();
    m_last = bytes.back();
    return true;
  }
  std::uint64_t m_bytes = 0;
  std::uint8_t m_last = 0;
};

// A float recording of kChannels channels of `seconds` at 2000 Hz, built in
// memory: noise of about 50 uV in volts, a different stream per channel.
std::unique_ptr<CC3d> FloatRecording(int seconds) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = false;
  c3d->m_nAnalogSamplesPerFrame = kSamplesPerFrame;
  c3d->m_fFrameRate = kFrameRate;
  c3d->m_nFirstFrame = 1;
  c3d->m_nLastFrame = static_cast<std::uint32_t>(seconds * static_cast<int>(kFrameRate));
  const auto count = static_cast<std::size_t>(c3d->SamplesPerChannel());
  for (int c = 0; c < kChannels; ++c) {
    auto analog = std::make_unique<CAnalog>();
    analog->m_pSamples = CSampleBlock(count * sizeof(float));
    std::mt19937 random(static_cast<unsigned>(c + 1));
    std::normal_distribution<float> noise(0.0f, 5e-5f);
    float* samples = analog->FloatSamples();
    for (std::size_t i = 0; i < count; ++i) samples[i] = noise(random);
    c3d->m_analogs.push_back(std::move(analog));
  }
  return c3d;
}

std::vector<int> AllChannels() {
  std::vector<int> channels(kChannels);
  for (int c = 0; c < kChannels; ++c) channels[static_cast<std::size_t>(c)] = c;
  return channels;
}

const CC3d& TenSeconds() {
  static const std::unique_ptr<CC3d> c3d = FloatRecording(10);
  return *c3d;
}

void Report(benchmark::State& state, const CC3d& c3d, std::uint64_t bytes) {
  const auto values = static_cast<std::int64_t>(c3d.SamplesPerChannel()) * kChannels;
  state.SetItemsProcessed(state.iterations() * values);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["csv_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_CsvWriter(benchmark::State& state) {
  const CC3d& c3d = TenSeconds();
  const std::vector<int> channels = AllChannels();
  CCountingSink sink;
  for (auto _ : state) {
    sink.m_bytes = 0;
    if (csv::WriteChannelsCsv(c3d, channels, {}, sink) != csv::CsvStatus::Written)
      state.SkipWithError("the writer refused");
    benchmark::DoNotOptimize(sink.m_last);
  }
  Report(state, c3d, sink.m_bytes);
}
BENCHMARK(BM_CsvWriter)->Unit(benchmark::kMillisecond);

// The same rows by snprintf("%.9g") (nine digits: enough to read every
// float back) into a 64 KiB block handed to the same sink.
void BM_CsvPrintf(benchmark::State& state) {
  const CC3d& c3d = TenSeconds();
  const double rate = static_cast<double>(c3d.AnalogRate());
  const int count = c3d.GetAnalogSampleCount();
  std::vector<char> block(64 * 1024);
  CCountingSink sink;
  for (auto _ : state) {
    sink.m_bytes = 0;
    std::size_t used = 0;
    const auto flush = [&] {
      sink.Write(
          std::span<const std::uint8_t>(reinterpret_cast<std::uint8_t*>(block.data()), used));
      used = 0;
    };
    for (int i = 0; i < count; ++i) {
      if (block.size() - used < 32) flush();
      used += static_cast<std::size_t>(
          std::snprintf(block.data() + used, 32, "%.9g", static_cast<double>(i) / rate));
      for (const auto& a : c3d.m_analogs) {
        if (block.size() - used < 32) flush();
        const float v = a->GetScaledSample(i, a->m_fOffset, a->m_fScale, 0);
        used += static_cast<std::size_t>(
            std::snprintf(block.data() + used, 32, ",%.9g", static_cast<double>(v)));
      }
      if (block.size() - used < 32) flush();
      block[used++] = '\r';
      block[used++] = '\n';
    }
    flush();
    benchmark::DoNotOptimize(sink.m_last);
  }
  Report(state, c3d, sink.m_bytes);
}
BENCHMARK(BM_CsvPrintf)->Unit(benchmark::kMillisecond);

// The whole hour once: 64 x 7.2 million values.
void BM_CsvWriterHour(benchmark::State& state) {
  const std::unique_ptr<CC3d> c3d = FloatRecording(3600);
  const std::vector<int> channels = AllChannels();
  CCountingSink sink;
  for (auto _ : state) {
    sink.m_bytes = 0;
    if (csv::WriteChannelsCsv(*c3d, channels, {}, sink) != csv::CsvStatus::Written)
      state.SkipWithError("the writer refused");
    benchmark::DoNotOptimize(sink.m_last);
  }
  Report(state, *c3d, sink.m_bytes);
}
BENCHMARK(BM_CsvWriterHour)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
