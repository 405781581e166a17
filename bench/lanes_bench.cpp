// The document window's lanes: one repaint of 64 lanes of 2 million float
// samples each at 1600 x 1000 pixels (the visible lanes) and with all 64
// lanes on screen, at several zooms, with every channel's summary built;
// and a 64-channel, 2 kHz, 60-minute float recording (about 1.8 GB,
// written into a temporary folder first and deleted at the end) from
// Load to every visible lane drawn, with the summaries' memory beside the
// samples'. Runs offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/c3d/C3d.h"
#include "gui/app/CChannelSummaries.h"
#include "gui/app/CLaneView.h"
#include "tests/support/C3dWriter.h"

namespace {

constexpr int kChannels = 64;
constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

// A sine table: the generators below make billions of values.
const std::array<float, 4096>& Sines() {
  static const std::array<float, 4096> table = [] {
    std::array<float, 4096> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
      t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 4096));
    return t;
  }();
  return table;
}

// Sample i of channel m: a tone of the channel's own pitch under bursts
// that come and go, with a little noise (EMG-like: every column of a lane
// spans much of its height).
float Value(int m, std::int64_t i, std::uint32_t& noise) {
  const auto& sines = Sines();
  noise = noise * 1664525u + 1013904223u;
  const float burst =
      sines[static_cast<std::size_t>((i / 7 + m * 331) & 4095)] > 0.3f ? 1.0f : 0.1f;
  const float tone = sines[static_cast<std::size_t>((i * (37 + m)) & 4095)];
  return 500.0f * burst * tone + static_cast<float>(noise >> 24) - 128.0f;
}

// 64 float channels of n = 1000 x frames samples, built in memory.
std::unique_ptr<CC3d> MakeChannels(std::int64_t n) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = false;
  c3d->m_nFirstFrame = 1;
  c3d->m_nAnalogSamplesPerFrame = 1000;
  c3d->m_nLastFrame = static_cast<std::uint16_t>(n / 1000);
  c3d->m_fFrameRate = 2.0f;  // 2000 Hz analog
  for (int m = 0; m < kChannels; ++m) {
    auto analog = std::make_unique<CAnalog>();
    analog->m_pSamples = CSampleBlock(static_cast<std::size_t>(n) * sizeof(float));
    float* samples = analog->FloatSamples();
    std::uint32_t noise = static_cast<std::uint32_t>(m);
    analog->m_fMin = 1e30f;
    analog->m_fMax = -1e30f;
    for (std::int64_t i = 0; i < n; ++i) {
      samples[i] = Value(m, i, noise);
      analog->m_fMin = std::min(analog->m_fMin, samples[i]);
      analog->m_fMax = std::max(analog->m_fMax, samples[i]);
    }
    analog->m_fScale = 1.0f;
    c3d->m_analogs.push_back(std::move(analog));
  }
  return c3d;
}

// Turns the event loop until every channel's summary has been announced.
void WaitForSummaries(const CChannelSummaries& summaries) {
  while (summaries.ReadyCount() < summaries.ChannelCount())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// One repaint of the lanes' viewport into an image, as the window paints it.
void Repaint(CLaneView& lanes, QImage& image) {
  lanes.viewport()->render(&image);
  benchmark::DoNotOptimize(image.constBits());
}

// A repaint at zoom 1/z of the recording (1: all of it), centred; `all`
// makes the view tall enough for all 64 lanes. `moved`: the range changes
// by a sample before each repaint (its end, so that the whole recording
// changes too), so every lane is drawn anew, as after a zoom or a pan;
// otherwise the lanes' images of the last paint are current, as after a
// scroll, a readout or a playhead move.
void BM_RepaintLanes(benchmark::State& state) {
  const std::int64_t n = 2'000'000;
  const std::int64_t zoom = state.range(0);
  const bool all = state.range(1) != 0;
  const bool moved = state.range(2) != 0;
  static const std::unique_ptr<CC3d> c3d = MakeChannels(n);
  static CChannelSummaries* summaries = [] {
    auto* s = new CChannelSummaries;  // lives to the end of the program, as c3d does
    s->Start(*c3d);
    WaitForSummaries(*s);
    return s;
  }();
  CLaneView lanes;
  lanes.SetFile(c3d.get(), summaries);
  const int height = all ? lanes.RulerHeight() + kChannels * lanes.MinLaneHeight() : kHeight;
  lanes.resize(kWidth, height);
  lanes.show();  // offscreen: places the viewport
  QCoreApplication::processEvents();
  const std::int64_t length = n / zoom;
  const std::int64_t first = (n - length) / 2;
  lanes.SetVisibleRange(first, first + length);
  QImage image(lanes.viewport()->size(), QImage::Format_RGB32);
  Repaint(lanes, image);
  std::int64_t step = 0;
  for (auto _ : state) {
    if (moved) {
      step = 1 - step;
      lanes.SetVisibleRange(first, first + length - step);
    }
    Repaint(lanes, image);
  }
  int drawn = 0;
  for (int channel : lanes.ShownChannels())
    drawn += lanes.TraceRect(channel).intersects(lanes.viewport()->rect()) ? 1 : 0;
  state.counters["lanes_drawn"] = drawn;
  state.counters["lane_height"] = lanes.TraceRect(0).height() + 1;
  state.counters["view_height"] = lanes.viewport()->height();
}

// The hour-long recording: 64 float channels at 2000 Hz (10 frames a
// second of 200 samples each, so that 36,000 frames fit the header), Intel
// byte order. Written a frame at a time. Empty path on failure.
std::string WriteHourLongFile(const QString& dir) {
  constexpr int kPerFrame = 200;
  constexpr int kFrames = 36'000;
  c3dtest::Recording rec;
  rec.floatData = true;
  rec.frameRate = 10.0f;
  rec.samplesPerFrame = kPerFrame;
  rec.lastFrame = kFrames;
  rec.writtenFrames = 0;
  rec.analog.assign(kChannels, {});
  std::vector<std::string> labels;
  for (int m = 0; m < kChannels; ++m) labels.push_back("EMG" + std::to_string(m + 1));
  c3dtest::AddStandardParameters(rec, labels, std::vector<double>(kChannels, 1.0),
                                 std::vector<double>(kChannels, 0.0), std::nullopt);
  std::vector<std::uint8_t> head = c3dtest::WriteC3d(rec);
  // Header bytes 16-17: the data section's first 512-byte block, 1-based.
  const std::size_t dataBlock = head[16] | (static_cast<std::size_t>(head[17]) << 8);
  head.resize((dataBlock - 1) * 512, 0);
  const std::string path = (dir + QStringLiteral("/hour.c3d")).toStdString();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
  std::vector<float> frame(static_cast<std::size_t>(kChannels) * kPerFrame);
  std::vector<std::uint32_t> noise(kChannels);
  for (int m = 0; m < kChannels; ++m)
    noise[static_cast<std::size_t>(m)] = static_cast<std::uint32_t>(m);
  for (int f = 0; f < kFrames && ok; ++f) {
    std::size_t k = 0;
    for (int s = 0; s < kPerFrame; ++s)
      for (int m = 0; m < kChannels; ++m)
        frame[k++] = Value(m, static_cast<std::int64_t>(f) * kPerFrame + s,
                           noise[static_cast<std::size_t>(m)]);
    // x86 floats are the Intel format's bytes.
    ok = std::fwrite(frame.data(), sizeof(float), frame.size(), file) == frame.size();
  }
  ok = std::fclose(file) == 0 && ok;
  return ok ? path : std::string();
}

// Load, the summaries on their threads, and one paint of the 1600 x 1000
// view once every lane it shows is drawn (each lane is drawn as its summary
// arrives; the last arrival ends the clock).
void BM_OpenToAllLanesDrawn(benchmark::State& state) {
  static QTemporaryDir dir;
  static const std::string path = WriteHourLongFile(dir.path());
  if (path.empty()) {
    state.SkipWithError("could not write the hour-long recording");
    return;
  }
  double samplesBytes = 0.0;
  double summaryBytes = 0.0;
  double loadSeconds = 0.0;
  for (auto _ : state) {
    CC3d c3d;
    c3d.m_strPathName = path;
    const auto start = std::chrono::steady_clock::now();
    if (!c3d.Load()) {
      state.SkipWithError("the hour-long recording did not load");
      return;
    }
    loadSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CChannelSummaries summaries;
    summaries.Start(c3d);
    CLaneView lanes;
    lanes.SetFile(&c3d, &summaries);
    lanes.resize(kWidth, kHeight);
    lanes.show();
    QImage image(lanes.viewport()->size(), QImage::Format_RGB32);
    WaitForSummaries(summaries);
    Repaint(lanes, image);
    samplesBytes = static_cast<double>(c3d.SamplesPerChannel()) * sizeof(float) * kChannels;
    summaryBytes = static_cast<double>(summaries.Bytes());
    state.PauseTiming();  // releasing 1.8 GB is not part of opening
    lanes.SetFile(nullptr, nullptr);
    summaries.Clear();
    c3d.Clear();
    state.ResumeTiming();
  }
  // Of the wall time, how much Load took (the rest: summaries and paint).
  state.counters["load_ms"] = 1e3 * loadSeconds / static_cast<double>(state.iterations());
  state.counters["samples_MB"] = samplesBytes / 1e6;
  state.counters["summaries_MB"] = summaryBytes / 1e6;
  state.counters["summaries_pct"] = 100.0 * summaryBytes / samplesBytes;
}

}  // namespace

// Zooms 1 (the whole recording), 10, 1000 and 100,000 (20 samples); the
// visible lanes at 1600 x 1000, then all 64 lanes at once; drawn anew, then
// from the lanes' images.
BENCHMARK(BM_RepaintLanes)
    ->ArgsProduct({{1, 10, 1000, 100'000}, {0, 1}, {1, 0}})
    ->ArgNames({"zoom", "all64", "moved"})
    ->MeasureProcessCPUTime()  // CPU: every thread's, the lanes are drawn on several
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenToAllLanesDrawn)
    ->Iterations(2)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
