// Time to load (or refuse) each of the hostile 1 MiB files: headers claiming
// far more frames than are written, parameter records claiming tens of
// thousands of elements, 65535 channels or points. Each should take well
// under a second.
#include <benchmark/benchmark.h>

#include "core/c3d/C3d.h"
#include "tests/support/HostileFiles.h"

namespace {

void BM_LoadHostile(benchmark::State& state, const c3dtest::HostileFile& file) {
  for (auto _ : state) {
    CC3d c3d;
    const bool loaded = c3d.LoadFromMemory(file.bytes.data(), file.bytes.size());
    benchmark::DoNotOptimize(loaded);
    if (loaded != file.loads)
      state.SkipWithError("the load's outcome differs from the file's design");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.bytes.size()));
}

const std::vector<c3dtest::HostileFile>& Files() {
  static const std::vector<c3dtest::HostileFile> files = c3dtest::HostileFiles();
  return files;
}

const int kRegistered = [] {
  for (const auto& file : Files()) {
    benchmark::RegisterBenchmark(("LoadHostile/" + file.name).c_str(), BM_LoadHostile, file)
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
