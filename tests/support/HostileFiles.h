#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// C3D files of at most 1 MiB built to make a load as costly as the reader
// lets any file be: headers that claim far more frames than are written,
// parameter records that claim tens of thousands of elements from a few
// bytes, and the most channels or points a header can describe. Shared by
// the tests (memory) and the benchmarks (time).
namespace c3dtest {

inline constexpr std::size_t kHostileFileSize = std::size_t{1} << 20;

struct HostileFile {
  std::string name;
  std::vector<std::uint8_t> bytes;  // at most kHostileFileSize
  bool loads;                       // true: built to load; false: to be refused
};

std::vector<HostileFile> HostileFiles();

}  // namespace c3dtest
