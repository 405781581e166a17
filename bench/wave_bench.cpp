// The cost of a long sound: a 6-minute channel at 1000 Hz raised to 44100 Hz
// (15.9 million outputs, below the 2^24 past which the float step may make
// the interpolation refuse), beside a plain copy of as many floats. Reports
// time per output sample and the peak of heap memory during one build beside
// its budget: the streamed build may hold at most 4 MB beyond the loaded
// recording, whatever its length (a 30-minute channel, 79 million outputs,
// shows it does not grow). The sound choices beside the plain waveform (Auto,
// a band-pass, pitch) are measured the same way against a budget of 8 MB,
// and a two-channel sound against twice the budget of one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <span>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/sound/Filters.h"
#include "core/sound/WaveSynthesis.h"
#include "tests/support/ReferenceResample.h"

// Heap accounting for the whole program: every allocation through operator
// new is counted, so a build's peak can be read off around one call.
namespace {

std::atomic<std::size_t> g_heapNow{0};
std::atomic<std::size_t> g_heapPeak{0};

// Each block carries its size in front, aligned for any type.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* CountedAlloc(std::size_t size) {
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(raw) = size;
  const std::size_t now = g_heapNow.fetch_add(size) + size;
  std::size_t peak = g_heapPeak.load();
  while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(raw) + kHeader;
}

void CountedFree(void* p) noexcept {
  if (p == nullptr) return;
  void* raw = static_cast<char*>(p) - kHeader;
  g_heapNow.fetch_sub(*static_cast<std::size_t*>(raw));
  std::free(raw);
}

}  // namespace

void* operator new(std::size_t size) { return CountedAlloc(size); }
void* operator new[](std::size_t size) { return CountedAlloc(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace {

constexpr float kAnalogRate = 1000.0f;
constexpr float kOutputRate = 44100.0f;
constexpr int kCount = 6 * 60 * 1000;    // 6 minutes at 1000 Hz
constexpr double kBuildBudgetMB = 4.0;   // heap a build may hold beyond the loaded recording
constexpr double kChoiceBudgetMB = 8.0;  // the same for the filtered, pitch and Auto sounds

// A host that does nothing: the platform's part is not measured.
class CQuietHost : public sound::ISoundHost {
 public:
  void StopSound() override {}
  void SetStatus(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void PlayFile(const std::filesystem::path&) override {}
  void ShowHint(const std::string&) override {}
};

// One integer channel of `count` samples at 1000 Hz: 100 per frame at 10
// frames/s (a multiple of 100 samples, at most 65535 frames). A slow tone
// (8 Hz), or with `emg` noise in bursts about 2048 with 50 Hz hum.
std::unique_ptr<CC3d> Recording(int count, bool emg = false) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = true;
  c3d->m_nAnalogSamplesPerFrame = 100;
  c3d->m_fFrameRate = 10.0f;
  c3d->m_nFirstFrame = 1;
  c3d->m_nLastFrame = static_cast<std::uint16_t>(count / 100);
  auto analog = std::make_unique<CAnalog>();
  analog->m_pSamples = CSampleBlock(static_cast<std::size_t>(count) * 2);
  std::mt19937 random(11);
  std::normal_distribution<double> noise(0.0, 300.0);
  for (int i = 0; i < count; ++i) {
    // Stored values in 0..4096 around the silence level 2048.
    const double burst = std::sin(0.003 * i) > 0.3 ? 1.0 : 0.1;
    analog->IntSamples()[i] =
        static_cast<std::int16_t>(emg ? 2048 + burst * noise(random) + 40 * std::sin(0.1 * M_PI * i)
                                      : 2048 + 1500 * std::sin(0.05 * i));
  }
  c3d->m_analogs.push_back(std::move(analog));
  return c3d;
}

std::unique_ptr<CC3d> SixMinuteRecording() { return Recording(kCount); }

std::size_t OutputCount(int count = kCount) {
  return static_cast<std::size_t>(sound::ResampledLength(kAnalogRate, kOutputRate, count));
}

void ReportPerOutput(benchmark::State& state, std::size_t outputs) {
  state.counters["outputs"] = static_cast<double>(outputs);
  state.counters["time_per_output"] = benchmark::Counter(
      static_cast<double>(outputs),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The whole build as Play runs it, streamed: plan, then interpolate, map and
// write a stretch at a time. Arguments: minutes of recording, and the level
// (0 "As recorded", 1 "Fit to channel", which also scans the channel's range).
void BM_WriteWave16Bit(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0)) * 60 * 1000;
  const auto level =
      state.range(1) != 0 ? sound::SoundLevel::FitToChannel : sound::SoundLevel::AsRecorded;
  const auto c3d = Recording(count);
  const auto file = std::filesystem::temp_directory_path() / "tremolux-wave-bench.wav";
  CQuietHost host;
  std::vector<float> soundBuffer(50);
  std::size_t peak = 0;
  for (auto _ : state) {
    const std::size_t before = g_heapNow.load();
    g_heapPeak.store(before);
    const auto outcome =
        sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = kOutputRate, .level = level},
                         soundBuffer, file, host);
    if (outcome != sound::WaveOutcome::Played) state.SkipWithError("the build failed");
    peak = std::max(peak, g_heapPeak.load() - before);
  }
  const std::size_t n = OutputCount(count);
  ReportPerOutput(state, n);
  state.counters["loaded_MB"] = static_cast<double>(c3d->m_analogs[0]->m_pSamples.size()) / 1e6;
  state.counters["peak_heap_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["budget_MB"] = kBuildBudgetMB;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
  std::filesystem::remove(file);
}

// The sound choices on 6 minutes at 1000 Hz to 44100 Hz, 16 bits, as the
// whole build: 0 Auto of an EMG-like channel (the waveform choice: analysis,
// high-pass, anti-aliased resampling, fades), 1 Auto of a slow channel (the
// pitch choice), 2 the EMG band-passed 20-450 Hz "as recorded", 3 the same
// under fit (a first pass finds the filtered range), 4 pitch.
void BM_WriteWaveChoice(benchmark::State& state) {
  const int choice = static_cast<int>(state.range(0));
  const auto c3d = Recording(kCount, choice != 1 && choice != 4);
  sound::SoundRecipe spec{.bits = 16, .rate = kOutputRate};
  if (choice <= 1) spec.mode = sound::SoundMode::Auto;
  if (choice == 2 || choice == 3) spec.filters = sound::ParseFilters("bandpass:20-450").specs;
  if (choice == 3) spec.level = sound::SoundLevel::FitToChannel;
  if (choice == 4) spec.mode = sound::SoundMode::Pitch;
  const auto file = std::filesystem::temp_directory_path() / "tremolux-choice-bench.wav";
  CQuietHost host;
  std::vector<float> soundBuffer(50);
  std::size_t peak = 0;
  for (auto _ : state) {
    const std::size_t before = g_heapNow.load();
    g_heapPeak.store(before);
    if (sound::WriteWave(*c3d, spec, soundBuffer, file, host) != sound::WaveOutcome::Played) {
      state.SkipWithError("the build failed");
    }
    peak = std::max(peak, g_heapPeak.load() - before);
  }
  ReportPerOutput(state, OutputCount());
  state.counters["peak_heap_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["budget_MB"] = kChoiceBudgetMB;
  std::filesystem::remove(file);
}

// Two ears on 6 minutes at 1000 Hz to 44100 Hz, 16 bits: an EMG-like
// channel left and a slow one right, as 0 the plain waveform, 1 Auto (the
// waveform choice left, pitch right), 2 band-passed 20-450 Hz. The frames
// are built a stretch of both channels at a time: the peak heap stays
// within the one-channel budget doubled, whatever the length.
void BM_WriteWaveTwoEars(benchmark::State& state) {
  const int choice = static_cast<int>(state.range(0));
  const auto c3d = Recording(kCount, true);
  c3d->m_analogs.push_back(std::move(Recording(kCount)->m_analogs.front()));
  sound::SoundRecipe spec{.bits = 16, .rate = kOutputRate, .right = 1};
  if (choice == 1) spec.mode = sound::SoundMode::Auto;
  if (choice == 2) spec.filters = sound::ParseFilters("bandpass:20-450").specs;
  const auto file = std::filesystem::temp_directory_path() / "tremolux-ears-bench.wav";
  CQuietHost host;
  std::vector<float> soundBuffer(50);
  std::size_t peak = 0;
  for (auto _ : state) {
    const std::size_t before = g_heapNow.load();
    g_heapPeak.store(before);
    if (sound::WriteWave(*c3d, spec, soundBuffer, file, host) != sound::WaveOutcome::Played) {
      state.SkipWithError("the build failed");
    }
    peak = std::max(peak, g_heapPeak.load() - before);
  }
  ReportPerOutput(state, OutputCount());
  state.counters["peak_heap_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["budget_MB"] = 2 * (choice == 0 ? kBuildBudgetMB : kChoiceBudgetMB);
  std::filesystem::remove(file);
}

// The streamed interpolation alone: every output produced into one stretch,
// nothing mapped or written.
void BM_StreamProduce(benchmark::State& state) {
  const auto c3d = SixMinuteRecording();
  sound::RawChannel raw;
  raw.ints = c3d->m_analogs[0]->IntSamples();
  raw.count = kCount;
  const sound::CSoundStream stream(raw, kAnalogRate, kOutputRate);
  std::vector<float> stretch(static_cast<std::size_t>(sound::kSoundStretch));
  for (auto _ : state) {
    for (int from = 0; from < stream.Length(); from += sound::kSoundStretch) {
      const int length = std::min(sound::kSoundStretch, stream.Length() - from);
      stream.Produce(from, std::span<float>(stretch.data(), static_cast<std::size_t>(length)));
      benchmark::DoNotOptimize(stretch.data());
    }
  }
  ReportPerOutput(state, static_cast<std::size_t>(stream.Length()));
}

// The whole-buffer reference of the rate conversion: work buffer, copy in,
// interpolate, hand over.
void BM_Resample(benchmark::State& state) {
  const auto c3d = SixMinuteRecording();
  CQuietHost host;
  std::vector<float> input(static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i)
    input[static_cast<std::size_t>(i)] = c3d->m_analogs[0]->IntSamples()[i];
  std::vector<float> buffer;
  for (auto _ : state) {
    state.PauseTiming();
    buffer = input;
    state.ResumeTiming();
    benchmark::DoNotOptimize(c3dtest::Resample(buffer, kAnalogRate, kOutputRate, kCount, host));
  }
  ReportPerOutput(state, OutputCount());
}

// The reference's in-place kernel alone on a buffer that is already mapped and holds
// the input: the arithmetic without allocation.
void BM_InterpolateWarm(benchmark::State& state) {
  const std::size_t n = OutputCount();
  std::vector<float> input(static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i)
    input[static_cast<std::size_t>(i)] = 2048.0f + static_cast<float>(i % 1000);
  std::vector<float> buffer(n);
  const int lastOut = static_cast<int>(n) - 1;
  const int lastIn = kCount - 1;
  const float step = static_cast<float>((kCount - 1.0) / (static_cast<double>(n) - 1.0));
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(input.begin(), input.end(), buffer.begin());
    std::fill(buffer.begin() + kCount, buffer.end(), 0.0f);
    state.ResumeTiming();
    int lastUsable = 0;
    int status = 0;
    c3dtest::Interpolate(buffer, lastOut, lastIn, step, lastUsable, status);
    benchmark::DoNotOptimize(buffer.data());
  }
  ReportPerOutput(state, n);
}

// The baseline: as many floats copied, into a buffer allocated beforehand
// (bandwidth only) or freshly (with the page faults a new buffer costs).
void BM_PlainCopy(benchmark::State& state) {
  const std::size_t n = OutputCount();
  const bool fresh = state.range(0) != 0;
  const std::vector<float> from(n, 1.5f);
  std::vector<float> to(fresh ? 0 : n);
  for (auto _ : state) {
    if (fresh) {
      std::vector<float> target(n);
      std::copy(from.begin(), from.end(), target.begin());
      benchmark::DoNotOptimize(target.data());
    } else {
      std::copy(from.begin(), from.end(), to.begin());
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
    }
  }
  ReportPerOutput(state, n);
}

}  // namespace

BENCHMARK(BM_WriteWave16Bit)
    ->Args({6, 0})
    ->Args({6, 1})
    ->Args({30, 0})
    ->ArgNames({"minutes", "fit"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_WriteWaveChoice)
    ->DenseRange(0, 4)
    ->ArgName("choice")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_WriteWaveTwoEars)
    ->DenseRange(0, 2)
    ->ArgName("choice")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_StreamProduce)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_InterpolateWarm)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlainCopy)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("fresh")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

BENCHMARK_MAIN();
