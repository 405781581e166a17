#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

// The fuzz targets of the smaller parsers and formatters that take outside
// input: the player's WAVE parser, the rate text reader with the Play checks,
// the parameter text formatting and the plot geometry. Each takes one byte
// block, runs it and aborts with a message on stderr when an invariant
// breaks (a finding for libFuzzer and the replay runner). Each is built into
// a libFuzzer program of its own (ParserEntry.cpp) and, all together, into
// the replay runner the tests run (parser_replay.cpp).
namespace fuzztarget {

int WaveTarget(const std::uint8_t* data, std::size_t size);
int RateTarget(const std::uint8_t* data, std::size_t size);
int ParamTextTarget(const std::uint8_t* data, std::size_t size);
int PlotTarget(const std::uint8_t* data, std::size_t size);

// Inputs that reach deep into a target at once: the start of its corpus and
// of the replay runner's mutations.
std::vector<std::vector<std::uint8_t>> WaveSeeds();
std::vector<std::vector<std::uint8_t>> RateSeeds();
std::vector<std::vector<std::uint8_t>> ParamTextSeeds();
std::vector<std::vector<std::uint8_t>> PlotSeeds();

// Says which invariant of `target` broke and aborts.
[[noreturn]] void Broken(const char* target, const char* what);

// Reads fixed-size values off the front of a fuzz input; past its end every
// byte reads as zero, so any input decodes to something.
class CFuzzInput {
 public:
  CFuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  template <class T>
  T Take() {
    unsigned char bytes[sizeof(T)] = {};
    const std::size_t n = std::min(sizeof(T), m_size - m_at);
    if (n > 0) std::memcpy(bytes, m_data + m_at, n);
    m_at += n;
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }
  // What is left, consumed.
  std::span<const std::uint8_t> Rest() {
    const std::span<const std::uint8_t> rest(m_data + m_at, m_size - m_at);
    m_at = m_size;
    return rest;
  }
  std::size_t Remaining() const { return m_size - m_at; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
};

}  // namespace fuzztarget
