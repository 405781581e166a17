#pragma once

#include <cstddef>
#include <cstdint>

// The loading fuzz target: one byte block goes through CC3d::LoadFromMemory
// and then through what the program runs on every loaded channel (the
// parameter queries, the channel names, the analog scaling, the Play rate
// checks, the WAVE build and the plot geometry). Any broken invariant aborts
// with a message on stderr, which libFuzzer and the replay runner report as a
// finding. Built into the libFuzzer program and, without libFuzzer, into the
// replay runner that the tests run.
namespace fuzztarget {

// How much sound one run builds. The reader lets a small input describe tens
// of megabytes of repeated frames, and a file may hold 65535 channels; the
// WAVE build and the plot run only within these bounds.
struct BuildLimits {
  int samples = 1 << 16;           // channels of at most this many samples
  double outputs = 1 << 18;        // builds of at most this many output samples (builds
                                   // the rate checks refuse before allocating always run)
  std::size_t channels = 4;        // the first channels, and the last one
  std::int64_t plotted = 1 << 20;  // channels of at most this many samples are plotted
};

// The limits of every libFuzzer run and of a replayed corpus file.
inline constexpr BuildLimits kFullLimits{};

// Sets the limits of the following runs (for runners that make many runs of
// long files: cuts and mutations).
void SetBuildLimits(const BuildLimits& limits);

// Parameters and groups whose every element is queried as text.
inline constexpr std::size_t kQueriedParameters = 64;

// Inputs this process has loaded successfully so far (for the replay summary).
std::size_t LoadedRuns();

}  // namespace fuzztarget

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
