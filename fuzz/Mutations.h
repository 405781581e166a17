#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Deterministic random mutations of a C3D file for the replay runner, in the
// manner of a fuzzer's mutators: byte and bit changes, 16-bit words set to
// values that steer a reader (0, 1, -1, 0x7FFF, 0x8000, block numbers),
// duplicated and removed chunks (which shift every later offset), and cuts.
// Most changes land in the first blocks, where the header and the parameter
// section decide how the rest is read. The same seed and name give the same
// sequence on every platform (std::mt19937_64 is fully specified; only its
// raw output is used). Owns its generator; used by one thread.
namespace fuzzmutations {

class Mutator {
 public:
  // `name` (a file name) varies the sequence between seed files.
  Mutator(unsigned long seed, const std::string& name);

  // A mutant of `original`: one to four changes. Never longer than
  // original.size() + 4096 bytes.
  std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t>& original);

 private:
  // Below n (n > 0), from the generator's raw output.
  std::size_t Below(std::size_t n);
  // A position in bytes of `size` bytes (size > 0), mostly within the first
  // four blocks.
  std::size_t Position(std::size_t size);
  void ChangeOnce(std::vector<std::uint8_t>& bytes);

  std::mt19937_64 m_random;
};

}  // namespace fuzzmutations
