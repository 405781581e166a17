// Cost of one paint of the waveform plot into a 576 x 244 image (the sound
// dialog's plot at 96 dpi) for channels of 1, 5 and 20 million samples, and
// of the geometry walk alone. Without a summary every paint walks every
// sample; the painter gets the column-merged path (and, for comparison,
// every vertex). With the channel's summary (built once, timed apart) a
// paint of any range, the whole channel included, reads a few blocks per
// pixel column. A filter chosen in the dialog makes the filtered values
// and their summary on a thread of their own (FilteredChannel + summary,
// timed together): how long the plot shows the stored values meanwhile.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotSummary.h"
#include "core/sound/FilteredChannel.h"
#include "gui/render/PlotRender.h"

namespace {

constexpr int kWidth = 576;
constexpr int kHeight = 244;

enum class Signal { Tone, Slow };

// One float channel of n samples: a 440 Hz tone sampled at 2000 Hz (every
// segment spans much of the height, the costly case) or a slow sine.
std::unique_ptr<CC3d> MakeChannel(std::int64_t n, Signal signal) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = false;
  c3d->m_nFirstFrame = 1;
  // n = frames x S with S = 1000, frames at most 65535.
  c3d->m_nAnalogSamplesPerFrame = 1000;
  c3d->m_nLastFrame = static_cast<std::uint16_t>(n / 1000);
  auto analog = std::make_unique<CAnalog>();
  analog->m_pSamples = CSampleBlock(static_cast<std::size_t>(n) * sizeof(float));
  float* samples = analog->FloatSamples();
  const double step = signal == Signal::Tone ? 2.0 * M_PI * 440.0 / 2000.0 : 2.0 * M_PI / n * 3;
  for (std::int64_t i = 0; i < n; ++i)
    samples[i] = static_cast<float>(std::sin(step * static_cast<double>(i)));
  analog->m_fMin = -1.0f;
  analog->m_fMax = 1.0f;
  analog->m_fScale = 2.5f;
  c3d->m_analogs.push_back(std::move(analog));
  return c3d;
}

void SetSampleCounters(benchmark::State& state, std::int64_t n) {
  state.SetItemsProcessed(state.iterations() * n);
  // Seconds per sample (printed with an SI prefix, n for nanoseconds).
  state.counters["per_sample"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

void BM_PaintPlot(benchmark::State& state, Signal signal, PlotPath path) {
  const std::int64_t n = state.range(0);
  const auto c3d = MakeChannel(n, signal);
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  const PlotColors colors{Qt::white, QColor(0, 120, 215)};
  for (auto _ : state) {
    QPainter painter(&image);
    RenderAnalogPlot(painter, image.rect(), c3d.get(), 0, colors, path);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  SetSampleCounters(state, n);
}

// One paint of the range [n - n / zoom, n) with the channel's summary;
// zoom 0 paints a random range of at least 2 samples in each iteration.
void BM_PaintRange(benchmark::State& state, Signal signal) {
  const std::int64_t n = state.range(0);
  const std::int64_t zoom = state.range(1);
  const auto c3d = MakeChannel(n, signal);
  const CPlotSummary summary(*c3d, 0);
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  const PlotColors colors{Qt::white, QColor(0, 120, 215)};
  std::mt19937_64 rng(1);
  std::uniform_int_distribution<std::int64_t> at(0, n - 2);
  for (auto _ : state) {
    PlotRange range{n - n / std::max<std::int64_t>(zoom, 1), n};
    if (zoom == 0) {
      range.first = at(rng);
      range.last = std::uniform_int_distribution<std::int64_t>(range.first + 2, n)(rng);
    }
    QPainter painter(&image);
    RenderAnalogPlot(painter, image.rect(), c3d.get(), 0, colors, range, &summary);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_BuildSummary(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const auto c3d = MakeChannel(n, Signal::Tone);
  for (auto _ : state) {
    const CPlotSummary summary(*c3d, 0);
    benchmark::DoNotOptimize(summary.Count());
  }
  SetSampleCounters(state, n);
}

void BM_WalkTrace(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const auto c3d = MakeChannel(n, Signal::Tone);
  for (auto _ : state) {
    const CPlotTrace trace(c3d.get(), 0, kWidth, kHeight);
    std::int64_t sum = 0;
    trace.WalkVertices([&](const PlotPoint& p) { sum += p.x + p.y; });
    benchmark::DoNotOptimize(sum);
  }
  SetSampleCounters(state, n);
}

void BM_FilteredPlotValues(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const auto c3d = MakeChannel(n, Signal::Tone);
  c3d->m_fFrameRate = 2.0f;  // frames of 1000 samples: the tone's 2000 Hz
  const std::vector<sound::FilterSpec> emg = sound::ParseFilters("bandpass:20-450").specs;
  const std::atomic<bool> cancel{false};
  for (auto _ : state) {
    const auto values = sound::FilteredChannel(*c3d, 0, emg, cancel);
    if (!values) {
      state.SkipWithError("no filtered values");
      break;
    }
    const CPlotSummary summary(*values, 0);
    benchmark::DoNotOptimize(summary.Count());
  }
  SetSampleCounters(state, n);
}

}  // namespace

BENCHMARK_CAPTURE(BM_PaintPlot, tone, Signal::Tone, PlotPath::Merged)
    ->Arg(1'000'000)
    ->Arg(5'000'000)
    ->Arg(20'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintPlot, slow, Signal::Slow, PlotPath::Merged)
    ->Arg(1'000'000)
    ->Arg(5'000'000)
    ->Arg(20'000'000)
    ->Unit(benchmark::kMillisecond);
// The same paint handing the painter every vertex, for comparison.
BENCHMARK_CAPTURE(BM_PaintPlot, tone_every_vertex, Signal::Tone, PlotPath::EverySample)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintPlot, slow_every_vertex, Signal::Slow, PlotPath::EverySample)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
// Ranges 1/zoom of the channel long (1: the whole channel; 0: random ranges).
BENCHMARK_CAPTURE(BM_PaintRange, tone, Signal::Tone)
    ->ArgsProduct({{20'000'000}, {1, 2, 100, 10'000, 0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintRange, slow, Signal::Slow)
    ->ArgsProduct({{20'000'000}, {1, 2, 100, 10'000, 0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilteredPlotValues)->Arg(20'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildSummary)->Arg(20'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkTrace)->Arg(1'000'000)->Arg(20'000'000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // Off-screen: the benchmark needs no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
