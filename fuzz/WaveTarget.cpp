#include <string>

#include "core/sound/WaveFormat.h"
#include "core/sound/WaveSynthesis.h"
#include "fuzz/ParserTargets.h"

// The player reads back any file it is given: the parser must locate samples
// only inside the file, and must read back exactly what the writer writes.
int fuzztarget::WaveTarget(const std::uint8_t* data, std::size_t size) {
  const auto fail = [](const char* what) { Broken("wave target", what); };
  sound::PcmWaveInfo info;
  std::string why;
  if (sound::ParsePcmWave(std::span(data, size), info, why)) {
    if (info.rate < 1 || info.rate > 44100) fail("a rate outside 1..44100 was accepted");
    if (info.bits != 8 && info.bits != 16) fail("a sample width other than 8 or 16 was accepted");
    // RIFF header (12), "fmt " chunk (8 + 16), "data" chunk header (8).
    if (info.dataOffset < 44 || info.dataOffset > size) fail("the samples start outside the file");
    if (info.dataBytes > size - info.dataOffset) fail("the samples run past the end of the file");
    if (info.dataBytes % static_cast<std::size_t>(info.bits / 8) != 0)
      fail("a part of a sample is to be played");
  } else if (why.empty()) {
    fail("a refusal without a reason");
  }

  // What the writer makes of a rate, a width and the rest as samples parses
  // back to the same values.
  CFuzzInput in(data, size);
  const std::uint32_t rate = in.Take<std::uint16_t>() % 44100u + 1u;
  const int bits = (in.Take<std::uint8_t>() & 1) != 0 ? 16 : 8;
  const std::span<const std::uint8_t> rest = in.Rest();
  const std::size_t dataBytes = rest.size() / static_cast<std::size_t>(bits / 8) * (bits / 8);
  const auto header = sound::WaveHeader(rate, bits, static_cast<std::uint32_t>(dataBytes));
  std::vector<std::uint8_t> file(header.begin(), header.end());
  file.insert(file.end(), rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(dataBytes));
  sound::PcmWaveInfo back;
  if (!sound::ParsePcmWave(file, back, why)) fail("a written WAVE file does not parse");
  if (back.rate != rate || back.bits != bits || back.dataOffset != header.size() ||
      back.dataBytes != dataBytes)
    fail("a written WAVE file parses to other values");
  return 0;
}

std::vector<std::vector<std::uint8_t>> fuzztarget::WaveSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  const struct {
    std::uint32_t rate;
    int bits;
    std::uint32_t bytes;
  } kinds[] = {{8000, 8, 16}, {44100, 16, 32}, {1, 16, 0}, {22050, 8, 1}};
  for (const auto& k : kinds) {
    const auto header = sound::WaveHeader(k.rate, k.bits, k.bytes);
    std::vector<std::uint8_t> file(header.begin(), header.end());
    for (std::uint32_t i = 0; i < k.bytes; ++i) file.push_back(static_cast<std::uint8_t>(i * 37));
    seeds.push_back(std::move(file));
  }
  return seeds;
}
