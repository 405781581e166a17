// Load of synthetic C3D files beside a plain read of the same bytes into one
// fresh buffer, in bytes per second of file (wall-clock time: what a user
// waits). Files: about 100 MB of 16-bit and float samples in Intel and MIPS
// byte order, and an 8-minute EMG recording (64 float channels at 2000 Hz,
// 245 MB).
//
// Both sides get fresh memory on every iteration, as a new process does:
// glibc's allocator otherwise raises its mapping threshold after the first
// large free and serves later blocks from pages already touched, which hides
// the page faults a first load pays. main() fixes the thresholds.
//
// Each benchmark also reports the peak resident memory it added (Linux: the
// kernel's high-water mark, reset before the first iteration), over the
// sample storage for Load (target: storage + 10%) and over the file size for
// the plain read.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/c3d/C3d.h"
#include "tests/support/C3dWriter.h"

namespace {

struct Kind {
  c3dtest::Proc proc;
  bool floatData;
  const char* name;
  std::uint16_t channels;
  std::uint16_t samplesPerFrame;  // S
  std::uint16_t points;
  std::size_t frames;
};

// 64 channels x 10 samples per frame and 40 points: 800 elements a frame.
// With at most 65536 frames, 16-bit files need 65536 frames and float files
// 32768 for about 100 MB. The EMG recording: 100 Hz frames of S = 20 give
// 2000 Hz, and 8 minutes are 48000 frames of 64 x 20 floats.
constexpr Kind kKinds[] = {{c3dtest::Proc::Intel, false, "intel_int16", 64, 10, 40, 65536},
                           {c3dtest::Proc::Intel, true, "intel_float", 64, 10, 40, 32768},
                           {c3dtest::Proc::Mips, false, "mips_int16", 64, 10, 40, 65536},
                           {c3dtest::Proc::Mips, true, "mips_float", 64, 10, 40, 32768},
                           {c3dtest::Proc::Intel, true, "emg_float_245MB", 64, 20, 0, 48000}};

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
  const std::size_t elements = std::size_t{kind.channels} * kind.samplesPerFrame + 4u * kind.points;
  c3dtest::Recording rec;
  rec.proc = kind.proc;
  rec.floatData = kind.floatData;
  rec.samplesPerFrame = kind.samplesPerFrame;
  // Frame numbers are 16-bit: 65536 frames run from 0 to 65535.
  rec.firstFrame = 0;
  rec.lastFrame = static_cast<std::uint16_t>(kind.frames - 1);
  rec.analog.assign(kind.channels, {});
  rec.pointCount = kind.points;
  rec.writtenFrames = 0;
  c3dtest::AddStandardParameters(rec, {}, {}, {}, 1.0);
  const auto head = c3dtest::WriteC3d(rec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  std::vector<unsigned char> frame(elements * width);
  const bool big = kind.proc == c3dtest::Proc::Mips;
  for (std::size_t f = 0; f < kind.frames; ++f) {
    for (std::size_t e = 0; e < elements; ++e) {
      // A slow wave per element, different for every element and frame.
      const auto v = static_cast<std::int16_t>(static_cast<int>((f * 7 + e * 131) % 4096) - 2048);
      const std::uint32_t bits = kind.floatData
                                     ? std::bit_cast<std::uint32_t>(static_cast<float>(v) * 0.25f)
                                     : static_cast<std::uint16_t>(v);
      unsigned char* b = frame.data() + e * width;
      for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = 8 * (big ? width - 1 - i : i);
        b[i] = static_cast<unsigned char>(bits >> shift);
      }
    }
    out.write(reinterpret_cast<const char*>(frame.data()),
              static_cast<std::streamsize>(frame.size()));
  }
  return path;
}

// Resident memory of this process in bytes: now, and the most since
// ResetPeakResident(). Linux only; elsewhere both are 0 and the peak
// counters read 0.
std::size_t StatusKiB(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  std::size_t kib = 0;
  const std::size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
      kib = std::strtoull(line + n + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return kib * 1024;
}
std::size_t ResidentBytes() { return StatusKiB("VmRSS"); }
std::size_t PeakResidentBytes() { return StatusKiB("VmHWM"); }
void ResetPeakResident() {
  // Writing 5 to clear_refs resets the high-water mark to the current size.
  if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

void BM_PlainRead(benchmark::State& state, Kind kind) {
  const std::string path = SyntheticFile(kind);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
  ResetPeakResident();
  const std::size_t before = ResidentBytes();
  for (auto _ : state) {
    std::unique_ptr<char[]> bytes(new char[size]);
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    const std::size_t got = std::fread(bytes.get(), 1, size, fp);
    std::fclose(fp);
    benchmark::DoNotOptimize(bytes.get());
    if (got != size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["file_MB"] = static_cast<double>(size) / 1e6;
  state.counters["peak_over_file"] =
      static_cast<double>(PeakResidentBytes() - before) / static_cast<double>(size);
}

void BM_Load(benchmark::State& state, Kind kind) {
  const std::string path = SyntheticFile(kind);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
  std::size_t storage = 0;
  ResetPeakResident();
  const std::size_t before = ResidentBytes();
  for (auto _ : state) {
    CC3d c3d;
    c3d.m_strPathName = path;
    if (!c3d.Load()) state.SkipWithError(LoadErrorText(c3d.m_loadError));
    storage = 0;
    for (const auto& a : c3d.m_analogs) storage += a->m_pSamples.size();
    for (const auto& v : c3d.m_videos) storage += v->m_pData.size();
    benchmark::DoNotOptimize(c3d.m_analogs.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["storage_MB"] = static_cast<double>(storage) / 1e6;
  state.counters["peak_over_storage"] =
      static_cast<double>(PeakResidentBytes() - before) / static_cast<double>(storage);
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // Fixed thresholds (glibc's initial values): every block of 128 KiB or more
  // is its own fresh mapping, returned to the system when freed.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
#endif
  for (const Kind& kind : kKinds) {
    benchmark::RegisterBenchmark((std::string("PlainRead/") + kind.name).c_str(), BM_PlainRead,
                                 kind)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Load/") + kind.name).c_str(), BM_Load, kind)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  if (KeptDir() == nullptr) std::filesystem::remove_all(BenchDir(), ignored);
  return 0;
}
