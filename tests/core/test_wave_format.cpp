// The player's WAVE reader: it must accept every file the build writes (odd
// lengths, no samples) and refuse or bound everything else without reading
// past the bytes it was given.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/sound/WaveFormat.h"
#include "core/sound/WaveSynthesis.h"

namespace {

std::vector<std::uint8_t> WaveFile(std::uint32_t rate, int bits, std::uint32_t samples) {
  const auto h = sound::WaveHeader(rate, bits, samples * (bits / 8));
  std::vector<std::uint8_t> b(h.begin(), h.end());
  b.resize(b.size() + samples * static_cast<std::uint32_t>(bits / 8), 0x55);
  const auto riff = static_cast<std::uint32_t>(b.size() - 8);
  std::memcpy(&b[4], &riff, 4);  // the tests run on little-endian hosts, like the format
  return b;
}

TEST(WaveFormat, AcceptsWhatTheBuildWrites) {
  struct Row {
    std::uint32_t rate;
    int bits;
    std::uint32_t samples;
  };
  for (const Row row : {Row{8000, 16, 6}, Row{8000, 8, 9}, Row{44100, 16, 0}, Row{1, 8, 1}}) {
    const auto bytes = WaveFile(row.rate, row.bits, row.samples);
    sound::PcmWaveInfo info;
    std::string why;
    ASSERT_TRUE(sound::ParsePcmWave(bytes, info, why)) << why;
    EXPECT_EQ(info.rate, row.rate);
    EXPECT_EQ(info.bits, row.bits);
    EXPECT_EQ(info.dataOffset, 44u);
    EXPECT_EQ(info.dataBytes, row.samples * static_cast<std::uint32_t>(row.bits / 8));
  }
}

// A data size larger than the file, or an odd byte count at 16 bits, is
// bounded to the whole samples present.
TEST(WaveFormat, BoundsTheDataToWholeSamplesPresent) {
  auto bytes = WaveFile(8000, 16, 10);
  bytes.pop_back();  // 19 data bytes left
  sound::PcmWaveInfo info;
  std::string why;
  ASSERT_TRUE(sound::ParsePcmWave(bytes, info, why));
  EXPECT_EQ(info.dataBytes, 18u);
}

// Two channels: the player takes the channel count from the header and
// plays whole frames only; a block align that is not channels x width is
// refused. Catches a player that assumes mono and plays a stereo file at
// twice its length, or a half frame at the end.
TEST(WaveFormat, ReadsTwoChannelFilesInWholeFrames) {
  for (const int bits : {8, 16}) {
    const std::uint32_t frameBytes = 2u * static_cast<std::uint32_t>(bits / 8);
    const auto h = sound::WaveHeader(8000, bits, 5 * frameBytes, 2);
    std::vector<std::uint8_t> bytes(h.begin(), h.end());
    bytes.resize(bytes.size() + 5 * frameBytes - 1, 0x55);  // the last frame cut short
    sound::PcmWaveInfo info;
    std::string why;
    ASSERT_TRUE(sound::ParsePcmWave(bytes, info, why)) << why;
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.bits, bits);
    EXPECT_EQ(info.dataBytes, 4 * frameBytes);
    bytes[32] = static_cast<std::uint8_t>(bits / 8);  // block align of one value
    EXPECT_FALSE(sound::ParsePcmWave(bytes, info, why));
  }
}

TEST(WaveFormat, RefusesOtherFormats) {
  struct Patch {
    std::size_t at;
    std::uint8_t value;
  };
  // Offsets into the header: 0 "RIFF", 8 "WAVE", 12 "fmt ", 20 tag,
  // 22 channels, 24 rate, 32 block align, 34 bits.
  const Patch patches[] = {{0, 'X'}, {8, 'X'}, {20, 3},  {22, 2},  {24, 0},
                           {26, 1},  {32, 4},  {34, 24}, {12, 'X'}};
  for (const Patch p : patches) {
    auto bytes = WaveFile(8000, 16, 4);
    if (p.at == 24) std::memset(&bytes[24], 0, 4);  // rate 0
    bytes[p.at] = p.value;                          // 26: rate 8000 + 65536
    if (p.at == 34) bytes[32] = 3;
    sound::PcmWaveInfo info;
    std::string why;
    EXPECT_FALSE(sound::ParsePcmWave(bytes, info, why)) << "patch at " << p.at;
    EXPECT_FALSE(why.empty());
  }
}

// Every truncation fails cleanly or locates samples inside what is left.
TEST(WaveFormat, EveryTruncationStaysInBounds) {
  const auto full = WaveFile(8000, 8, 7);
  for (std::size_t size = 0; size <= full.size(); ++size) {
    const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<long>(size));
    sound::PcmWaveInfo info;
    std::string why;
    if (sound::ParsePcmWave(cut, info, why)) {
      EXPECT_LE(info.dataOffset + info.dataBytes, size);
    } else {
      EXPECT_LT(size, 44u);
    }
  }
}

}  // namespace
