// Runs the loading fuzz target without libFuzzer, so a gcc build (and the
// sanitizer build of the tests) replays the corpus, every found crash input,
// every truncation of the seeds and a fixed number of mutations of each.
// Cuts and mutations build less sound (see kCutLimits); every other check of
// the target runs on every input.
//
// usage: tremolux_load_replay [--truncations] [--mutations N] [--seed S|today]
//                             [--shard K/N] [--max-size BYTES] [--optional] PATH...
// PATH is a file or a folder (searched recursively, in name order). A path
// after --optional may be absent (the real sample files are not part of a
// plain clone); any other absent path is an error. --max-size skips larger
// files among the paths after it. --shard K/N keeps files K, K + N, K + 2N...
// of the list (from 0), so the tests can split one long run into several.
// --seed today takes the number of days since 1970-01-01 (UTC): each day's
// runs try mutations no earlier day tried, and the seed is printed, so a
// failing run can be repeated with --seed N.
// When a run aborts, the input it ran is saved as replay-crash.c3d in the
// current folder.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/c3d/C3d.h"
#include "fuzz/LoadTarget.h"
#include "fuzz/Mutations.h"
#include "fuzz/ReplayInputs.h"

#if defined(__SANITIZE_ADDRESS__)
#define TREMOLUX_REPLAY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define TREMOLUX_REPLAY_SANITIZED 1
#endif
#endif
#if defined(TREMOLUX_REPLAY_SANITIZED)
#include <sanitizer/common_interface_defs.h>
#endif

namespace fs = std::filesystem;

namespace {

// Truncations: every length through the header, the events, the parameter
// section and the first two frames (where a cut changes how the file is
// read), but not beyond this many bytes...
constexpr std::size_t kEveryLengthUpTo = 65536;
// ...then every this many bytes (a prime, so the cuts fall at every offset
// within the frames of the data section) and every one of the last bytes.
constexpr std::size_t kLengthStride = 509;
constexpr std::size_t kLastLengths = 64;
// Cuts build no sound (beyond the header a cut changes only the parameter
// text and the sample values, never how a build runs); mutations build one
// short sound each. Tens of thousands of runs then stay within the tests' time.
constexpr fuzztarget::BuildLimits kCutLimits{0, 0, 0, 0};
constexpr fuzztarget::BuildLimits kMutantLimits{4096, 4096, 1, 1 << 14};

// The input being run, saved when the process dies on it.
const std::vector<std::uint8_t>* g_running = nullptr;

void SaveRunningInput() {
  if (g_running == nullptr) return;
  if (std::FILE* f = std::fopen("replay-crash.c3d", "wb")) {
    std::fwrite(g_running->data(), 1, g_running->size(), f);
    std::fclose(f);
    std::fprintf(stderr, "replay: the input was saved as replay-crash.c3d\n");
  }
}

extern "C" void OnAbort(int) {
  SaveRunningInput();
  std::_Exit(134);
}

struct Options {
  bool truncations = false;
  long mutations = 0;
  unsigned long seed = 20240611;
  std::uintmax_t maxSize = static_cast<std::uintmax_t>(-1);
  unsigned long shard = 0;
  unsigned long shards = 1;
  std::vector<fs::path> files;
};

std::vector<std::uint8_t> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

unsigned long DaysSinceEpoch() {
  const auto now = std::chrono::system_clock::now();
  return static_cast<unsigned long>(
      std::chrono::floor<std::chrono::days>(now).time_since_epoch().count());
}

bool AddPath(Options& o, const fs::path& path, bool optional) {
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    std::fprintf(stderr, "replay: %s %s\n", path.string().c_str(),
                 optional ? "is absent: skipped" : "does not exist");
    return optional;
  }
  for (const auto& f : fuzzreplay::InputFiles(path)) {
    if (fs::file_size(f, ec) <= o.maxSize) o.files.push_back(f);
  }
  return true;
}

bool ParseArguments(int argc, char** argv, Options& o) {
  bool optional = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--truncations") {
      o.truncations = true;
    } else if (a == "--mutations" && hasValue) {
      o.mutations = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--seed" && hasValue) {
      const std::string seed = argv[++i];
      o.seed = seed == "today" ? DaysSinceEpoch() : std::strtoul(seed.c_str(), nullptr, 10);
    } else if (a == "--shard" && hasValue) {
      if (std::sscanf(argv[++i], "%lu/%lu", &o.shard, &o.shards) != 2 || o.shard >= o.shards)
        return false;
    } else if (a == "--max-size" && hasValue) {
      o.maxSize = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--optional") {
      optional = true;
    } else if (!a.empty() && a[0] == '-') {
      return false;
    } else {
      if (!AddPath(o, a, optional)) return false;
      optional = false;
    }
  }
  return true;
}

// The length up to which every truncation is tried: the first byte of the
// third frame, as the file's own header places it.
std::size_t EveryLengthUpTo(const std::vector<std::uint8_t>& bytes) {
  CC3d c3d;
  c3d.LoadFromMemory(bytes.data(), bytes.size());
  const std::size_t width = c3d.SampleWidth();
  const std::size_t frameBytes = (std::size_t{c3d.m_nAnalogPerFrame} + 4u * c3d.m_nPoints) * width;
  const std::size_t dataStart = c3d.m_nDataBlock > 0 ? (c3d.m_nDataBlock - 1u) * 512u : 0;
  return std::min(kEveryLengthUpTo, dataStart + 2 * frameBytes);
}

void Run(const std::vector<std::uint8_t>& bytes, std::size_t length, std::size_t& runs) {
  g_running = &bytes;
  LLVMFuzzerTestOneInput(bytes.data(), length);
  ++runs;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArguments(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: tremolux_load_replay [--truncations] [--mutations N] [--seed S] "
                 "[--shard K/N] [--max-size BYTES] [--optional] PATH...\n");
    return 2;
  }
  if (o.mutations > 0) {
    std::printf("replay: %ld mutations of each file from seed %lu (--seed %lu repeats them)\n",
                o.mutations, o.seed, o.seed);
    std::fflush(stdout);
  }
  std::signal(SIGABRT, OnAbort);
#if defined(TREMOLUX_REPLAY_SANITIZED)
  __sanitizer_set_death_callback(SaveRunningInput);
#endif

  std::size_t runs = 0;
  std::size_t files = 0;
  std::vector<std::uint8_t> cut;
  for (std::size_t n = o.shard; n < o.files.size(); n += o.shards) {
    const fs::path& path = o.files[n];
    ++files;
    const std::vector<std::uint8_t> bytes = ReadWhole(path);
    fuzztarget::SetBuildLimits(fuzztarget::kFullLimits);
    Run(bytes, bytes.size(), runs);
    if (o.truncations) {
      fuzztarget::SetBuildLimits(kCutLimits);
      const std::size_t everyUpTo = EveryLengthUpTo(bytes);
      for (std::size_t length = 0; length < bytes.size(); ++length) {
        const bool every = length <= everyUpTo || length + kLastLengths >= bytes.size();
        if (!every && length % kLengthStride != 0) continue;
        // A copy of exactly `length` bytes, so reading past it is caught.
        cut.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        Run(cut, cut.size(), runs);
      }
    }
    if (o.mutations > 0) {
      fuzztarget::SetBuildLimits(kMutantLimits);
      fuzzmutations::Mutator mutator(o.seed, path.filename().string());
      for (long k = 0; k < o.mutations; ++k) {
        const std::vector<std::uint8_t> mutant = mutator.Mutate(bytes);
        Run(mutant, mutant.size(), runs);
      }
    }
  }
  g_running = nullptr;
  std::printf("replay: %zu files, %zu runs, %zu loaded; no invariant broken\n", files, runs,
              fuzztarget::LoadedRuns());
  return files == 0 ? 1 : 0;
}
