#include "fuzz/Mutations.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace fuzzmutations {
namespace {

// The header, the event table and a parameter section of up to three blocks.
constexpr std::size_t kSteeringBytes = 4 * 512;
constexpr std::size_t kMaxChunk = 4096;

// 16-bit values that matter to a C3D reader: empty, one, the signed and
// unsigned extremes, a block number just past the header and the 12345 event
// key; written in either byte order.
constexpr std::uint16_t kWords[] = {0,      1,      2,      3,      0x7FFF, 0x8000,
                                    0xFFFF, 0xFFFE, 0x00FF, 0x0100, 12345,  512};

}  // namespace

Mutator::Mutator(unsigned long seed, const std::string& name) {
  // FNV-1a of the name, mixed into the seed.
  std::uint64_t h = 14695981039346656037ull;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  m_random.seed(h ^ seed);
}

std::size_t Mutator::Below(std::size_t n) { return static_cast<std::size_t>(m_random() % n); }

std::size_t Mutator::Position(std::size_t size) {
  const bool steering = Below(10) < 8;
  return Below(steering ? std::min(size, kSteeringBytes) : size);
}

std::vector<std::uint8_t> Mutator::Mutate(const std::vector<std::uint8_t>& original) {
  std::vector<std::uint8_t> bytes = original;
  for (std::size_t n = 1 + Below(4); n > 0; --n) ChangeOnce(bytes);
  return bytes;
}

void Mutator::ChangeOnce(std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) {
    bytes.push_back(static_cast<std::uint8_t>(Below(256)));
    return;
  }
  const std::size_t at = Position(bytes.size());
  switch (Below(7)) {
    case 0:  // any byte value
      bytes[at] = static_cast<std::uint8_t>(Below(256));
      break;
    case 1:  // one bit
      bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ (1u << Below(8)));
      break;
    case 2: {  // a steering word, little- or big-endian
      if (at + 1 >= bytes.size()) break;
      const std::uint16_t w = kWords[Below(std::size(kWords))];
      const bool big = Below(2) == 1;
      bytes[at] = static_cast<std::uint8_t>(big ? w >> 8 : w & 0xFF);
      bytes[at + 1] = static_cast<std::uint8_t>(big ? w & 0xFF : w >> 8);
      break;
    }
    case 3:  // a small step of a byte, as counts and lengths are off by one
      bytes[at] = static_cast<std::uint8_t>(bytes[at] + (Below(2) == 0 ? 1 : 255));
      break;
    case 4: {  // remove a chunk: every later offset moves back
      const std::size_t length = 1 + Below(std::min(kMaxChunk, bytes.size() - at));
      bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
      break;
    }
    case 5: {  // insert a copy of a chunk from elsewhere: later offsets move on
      const std::size_t from = Below(bytes.size());
      const std::size_t length = 1 + Below(std::min(kMaxChunk / 4, bytes.size() - from));
      const std::vector<std::uint8_t> chunk(
          bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), chunk.begin(), chunk.end());
      break;
    }
    default:  // cut the file
      bytes.resize(Below(bytes.size() + 1));
      break;
  }
}

}  // namespace fuzzmutations
