// Runs a parser fuzz target without libFuzzer, so every build replays its
// seeds, its found crash inputs and a fixed number of mutations of each seed.
//
// usage: tremolux_parser_replay TARGET [--mutations N] [--seed S] [--optional] PATH...
//        tremolux_parser_replay TARGET --write-seeds DIR
// TARGET is wave, rate, param or plot. PATH is a file or a folder (searched
// recursively); a path after --optional may be absent. --write-seeds writes
// the target's seeds into DIR (the start of a libFuzzer corpus) and runs
// nothing. When a run aborts, its input is saved as replay-crash.bin in the
// current folder.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/Mutations.h"
#include "fuzz/ParserTargets.h"
#include "fuzz/ReplayInputs.h"

namespace fs = std::filesystem;

namespace {

struct Target {
  const char* name;
  int (*run)(const std::uint8_t*, std::size_t);
  std::vector<std::vector<std::uint8_t>> (*seeds)();
};

constexpr Target kTargets[] = {
    {"wave", fuzztarget::WaveTarget, fuzztarget::WaveSeeds},
    {"rate", fuzztarget::RateTarget, fuzztarget::RateSeeds},
    {"param", fuzztarget::ParamTextTarget, fuzztarget::ParamTextSeeds},
    {"plot", fuzztarget::PlotTarget, fuzztarget::PlotSeeds},
};

const std::vector<std::uint8_t>* g_running = nullptr;

extern "C" void SaveAndExit(int) {
  if (g_running != nullptr) {
    if (std::FILE* f = std::fopen("replay-crash.bin", "wb")) {
      std::fwrite(g_running->data(), 1, g_running->size(), f);
      std::fclose(f);
      std::fprintf(stderr, "replay: the input was saved as replay-crash.bin\n");
    }
  }
  std::_Exit(134);
}

std::vector<std::uint8_t> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool AddInputs(const fs::path& path, bool optional, std::vector<fs::path>& files) {
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    std::fprintf(stderr, "replay: %s %s\n", path.string().c_str(),
                 optional ? "is absent: skipped" : "does not exist");
    return optional;
  }
  const std::vector<fs::path> found = fuzzreplay::InputFiles(path);
  files.insert(files.end(), found.begin(), found.end());
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tremolux_parser_replay wave|rate|param|plot [--mutations N] [--seed S] "
               "[--optional] PATH...\n"
               "       tremolux_parser_replay wave|rate|param|plot --write-seeds DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string name = argv[1];
  const auto target = std::find_if(std::begin(kTargets), std::end(kTargets),
                                   [&name](const Target& t) { return name == t.name; });
  if (target == std::end(kTargets)) return Usage();

  long mutations = 0;
  unsigned long seed = 20261209;
  bool optional = false;
  std::vector<fs::path> files;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--write-seeds" && hasValue) {
      const fs::path dir = argv[++i];
      fs::create_directories(dir);
      int k = 0;
      for (const auto& s : target->seeds()) {
        std::ofstream out(dir / (name + "-seed-" + std::to_string(k++)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
      }
      return 0;
    } else if (a == "--mutations" && hasValue) {
      mutations = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--seed" && hasValue) {
      seed = std::strtoul(argv[++i], nullptr, 10);
    } else if (a == "--optional") {
      optional = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage();
    } else {
      if (!AddInputs(a, optional, files)) return Usage();
      optional = false;
    }
  }
  std::signal(SIGABRT, SaveAndExit);

  std::size_t runs = 0;
  const auto run = [&](const std::vector<std::uint8_t>& bytes) {
    g_running = &bytes;
    target->run(bytes.data(), bytes.size());
    ++runs;
  };
  for (const fs::path& f : files) run(ReadWhole(f));
  int k = 0;
  for (const auto& s : target->seeds()) {
    run(s);
    fuzzmutations::Mutator mutator(seed, name + std::to_string(k++));
    for (long m = 0; m < mutations; ++m) run(mutator.Mutate(s));
  }
  g_running = nullptr;
  std::printf("replay %s: %zu files, %zu runs; no invariant broken\n", name.c_str(), files.size(),
              runs);
  return 0;
}
