// Load of synthetic C3D files of about 100 MB (16-bit and float samples, in
// Intel and MIPS byte order) beside a plain read of the same bytes into
// memory, in bytes per second of file (wall-clock time: what a user waits).
// The Load benchmarks also report the peak heap memory Load added, over the
// size of the sample storage it holds (target: within 2x of the plain read;
// peak at most storage + 10%).
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>

#include "core/c3d/C3d.h"
#include "tests/support/C3dWriter.h"

namespace {

// 64 channels x 10 samples per frame and 40 points: 800 elements a frame.
// With at most 65536 frames, 16-bit files need 65536 frames and float files
// 32768 for about 100 MB.
constexpr std::uint16_t kChannels = 64;
constexpr std::uint16_t kSamplesPerFrame = 10;
constexpr std::uint16_t kPoints = 40;
constexpr std::size_t kElements = kChannels * kSamplesPerFrame + 4 * kPoints;

struct Kind {
  c3dtest::Proc proc;
  bool floatData;
  const char* name;
};

constexpr Kind kKinds[] = {{c3dtest::Proc::Intel, false, "intel_int16"},
                           {c3dtest::Proc::Intel, true, "intel_float"},
                           {c3dtest::Proc::Mips, false, "mips_int16"},
                           {c3dtest::Proc::Mips, true, "mips_float"}};

// The files live in $TREMOLUX_BENCH_DIR when set (kept for later runs), else
// in a temporary folder removed at the end.
const char* KeptDir() { return std::getenv("TREMOLUX_BENCH_DIR"); }

std::filesystem::path BenchDir() {
  static const std::filesystem::path dir = [] {
    auto d = KeptDir() != nullptr ? std::filesystem::path(KeptDir())
                                  : std::filesystem::temp_directory_path() / "tremolux-load-bench";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// Writes the file once per process: the header and parameters through the
// test writer, then the frames directly (the writer keeps every value as a
// double, which would take four times the file in memory).
std::string SyntheticFile(const Kind& kind) {
  const std::string path = (BenchDir() / (std::string(kind.name) + ".c3d")).string();
  if (std::filesystem::exists(path)) return path;
  const std::size_t width = kind.floatData ? 4 : 2;
  const std::size_t frames = kind.floatData ? 32768 : 65536;
  c3dtest::Recording rec;
  rec.proc = kind.proc;
  rec.floatData = kind.floatData;
  rec.samplesPerFrame = kSamplesPerFrame;
  // Frame numbers are 16-bit: 65536 frames run from 0 to 65535.
  rec.firstFrame = 0;
  rec.lastFrame = static_cast<std::uint16_t>(frames - 1);
  rec.analog.assign(kChannels, {});
  rec.pointCount = kPoints;
  rec.writtenFrames = 0;
  c3dtest::AddStandardParameters(rec, {}, {}, {}, 1.0);
  const auto head = c3dtest::WriteC3d(rec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  std::vector<unsigned char> frame(kElements * width);
  const bool big = kind.proc == c3dtest::Proc::Mips;
  for (std::size_t f = 0; f < frames; ++f) {
    for (std::size_t e = 0; e < kElements; ++e) {
      // A slow wave per element, different for every element and frame.
      const auto v = static_cast<std::int16_t>(static_cast<int>((f * 7 + e * 131) % 4096) - 2048);
      const std::uint32_t bits =
          kind.floatData ? std::bit_cast<std::uint32_t>(static_cast<float>(v) * 0.25f)
                         : static_cast<std::uint16_t>(v);
      unsigned char* b = frame.data() + e * width;
      for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = 8 * (big ? width - 1 - i : i);
        b[i] = static_cast<unsigned char>(bits >> shift);
      }
    }
    out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
  }
  return path;
}

// Heap use of this program through operator new: bytes held now and the
// most held since the last reset. Sample blocks, run buffers and records all
// come from here, so the peak during Load is what Load added to memory.
std::size_t g_heldBytes = 0;
std::size_t g_peakBytes = 0;

void ResetPeak() { g_peakBytes = g_heldBytes; }

void BM_PlainRead(benchmark::State& state, Kind kind) {
  const std::string path = SyntheticFile(kind);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    std::unique_ptr<char[]> bytes(new char[size]);
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    const std::size_t got = std::fread(bytes.get(), 1, size, fp);
    std::fclose(fp);
    benchmark::DoNotOptimize(bytes.get());
    if (got != size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Load(benchmark::State& state, Kind kind) {
  const std::string path = SyntheticFile(kind);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
  double peakOverStorage = 0.0;
  double storageMB = 0.0;
  for (auto _ : state) {
    const bool measure = peakOverStorage == 0.0;
    ResetPeak();
    const std::size_t before = g_heldBytes;
    CC3d c3d;
    c3d.m_strPathName = path;
    if (!c3d.Load()) state.SkipWithError(LoadErrorText(c3d.m_loadError));
    if (measure) {
      std::size_t storage = 0;
      for (const auto& a : c3d.m_analogs) storage += a->m_pSamples.size();
      for (const auto& v : c3d.m_videos) storage += v->m_pData.size();
      storageMB = static_cast<double>(storage) / 1e6;
      peakOverStorage = static_cast<double>(g_peakBytes - before) / static_cast<double>(storage);
    }
    benchmark::DoNotOptimize(c3d.m_analogs.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["storage_MB"] = storageMB;
  state.counters["peak_over_storage"] = peakOverStorage;
}

}  // namespace

// Each block carries its size in front of it, so that every form of delete
// can account for it; 16 bytes keep the alignment of the default new. GCC
// sees the malloc/free pairs and the offset through inlining and would warn.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#pragma GCC diagnostic ignored "-Warray-bounds"
void* operator new(std::size_t size) {
  void* block = std::malloc(size + 16);
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &size, sizeof size);
  g_heldBytes += size;
  if (g_heldBytes > g_peakBytes) g_peakBytes = g_heldBytes;
  return static_cast<char*>(block) + 16;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - 16;
  std::size_t size;
  std::memcpy(&size, block, sizeof size);
  g_heldBytes -= size;
  std::free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

int main(int argc, char** argv) {
  for (const Kind& kind : kKinds) {
    benchmark::RegisterBenchmark((std::string("PlainRead/") + kind.name).c_str(), BM_PlainRead, kind)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Load/") + kind.name).c_str(), BM_Load, kind)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  if (KeptDir() == nullptr) std::filesystem::remove_all(BenchDir(), ignored);
  return 0;
}
