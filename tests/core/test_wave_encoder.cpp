// The WAVE encoder: the amplitude mapping and the header to the bit, and the
// stream of bytes it hands its sink: header first and complete, samples a
// stretch at a time, nothing after a refused write, and the size limit of a
// WAVE file.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/sound/SoundStream.h"
#include "core/sound/WaveEncoder.h"

namespace {

std::uint32_t HeaderLe32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t HeaderLe16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

struct PcmRow {
  float s;
  std::int16_t v16;
  std::uint8_t v8;
};

class PcmMapping : public testing::TestWithParam<PcmRow> {};

// Truncation toward zero, no clipping: values past full scale wrap to their
// low bits, also far beyond 2^31 where a plain cast would be undefined.
TEST_P(PcmMapping, TruncatesAndKeepsTheLowBits) {
  const auto row = GetParam();
  EXPECT_EQ(sound::PcmSample16(row.s), row.v16) << row.s;
  EXPECT_EQ(sound::PcmSample8(row.s), row.v8) << row.s;
}

INSTANTIATE_TEST_SUITE_P(
    WaveEncoder, PcmMapping,
    testing::Values(PcmRow{2048, 0, 128}, PcmRow{2047, -16, 128}, PcmRow{2049, 16, 128},
                    PcmRow{2866.800048828125f, 13100, 179}, PcmRow{3685.60009765625f, 26201, 230},
                    PcmRow{3276, 19648, 204}, PcmRow{1637.9998779296875f, -6560, 103},
                    PcmRow{0, -32768, 0}, PcmRow{4095, 32752, 255},
                    PcmRow{4096, -32768, 0},           // 32768 and 256 wrap
                    PcmRow{6000, -2304, 119},          // 63232 -> -2304; 247 + 128 -> 119
                    PcmRow{-100, 31168, 250},          // -34368 -> 31168; -134 + 128 -> 250
                    PcmRow{268437536.0f, 512, 130},    // (2^28 + 32) x 16 = 2^32 + 512
                    PcmRow{-268433440.0f, -512, 126},  // the same below silence
                    PcmRow{1e30f, 0, 128},             // all low bits of 2^99 x m are zero
                    PcmRow{std::nanf(""), 0, 128}, PcmRow{HUGE_VALF, 0, 128},
                    PcmRow{-HUGE_VALF, 0, 128}));

// The mapping takes short cuts for values far beyond full scale (a damaged
// float file holds them in plenty); each must give the bits the exact
// remainder gives, at every binary exponent a float sample can reach.
TEST(WaveEncoder, HugeSamplesKeepTheExactLowBits) {
  const auto low16 = [](double v) {
    const double rest = std::fmod(std::trunc(v), 65536.0);
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(rest)) &
                                      0xFFFFu);
  };
  for (int e = 20; e <= 127; ++e) {
    for (const float m : {1.0f, 1.0000001f, 1.3333333f, 1.9999999f}) {
      for (const float sign : {1.0f, -1.0f}) {
        const float s = sign * std::ldexp(m, e);
        const double d = (static_cast<double>(s) - 2048.0) * 0.00048828125;
        EXPECT_EQ(static_cast<std::uint16_t>(sound::PcmSample16(s)), low16(d * 32768.0)) << s;
        EXPECT_EQ(sound::PcmSample8(s),
                  static_cast<std::uint8_t>((low16(d * 128.0) + 128u) & 0xFFu))
            << s;
      }
    }
  }
}

TEST(WaveEncoder, HeaderFieldsForBothWidths) {
  struct Row {
    int bits;
    std::uint32_t avg;
    std::uint16_t align, bitsField;
  };
  for (const Row row : {Row{16, 16000, 2, 16}, Row{8, 8000, 1, 8}}) {
    const auto h = sound::WaveHeader(8000, row.bits, 1234);
    const std::vector<std::uint8_t> b(h.begin(), h.end());
    EXPECT_EQ(std::memcmp(&b[0], "RIFF", 4), 0);
    EXPECT_EQ(HeaderLe32(b, 4), 0u);
    EXPECT_EQ(std::memcmp(&b[8], "WAVEfmt ", 8), 0);
    EXPECT_EQ(HeaderLe32(b, 16), 16u);
    EXPECT_EQ(HeaderLe16(b, 20), 1);
    EXPECT_EQ(HeaderLe16(b, 22), 1);
    EXPECT_EQ(HeaderLe32(b, 24), 8000u);
    EXPECT_EQ(HeaderLe32(b, 28), row.avg);
    EXPECT_EQ(HeaderLe16(b, 32), row.align);
    EXPECT_EQ(HeaderLe16(b, 34), row.bitsField);
    EXPECT_EQ(std::memcmp(&b[36], "data", 4), 0);
    EXPECT_EQ(HeaderLe32(b, 40), 1234u);
  }
}

// Two channels: a frame holds a value of each, so block align and byte
// rate double; the bits field stays the width of one value. Catches a
// header that says mono, or counts a frame as one value.
TEST(WaveEncoder, TwoChannelHeaderCountsFrames) {
  struct Row {
    int bits;
    std::uint32_t avg;
    std::uint16_t align;
  };
  for (const Row row : {Row{16, 32000, 4}, Row{8, 16000, 2}}) {
    const auto h = sound::WaveHeader(8000, row.bits, 1236, 2);
    const std::vector<std::uint8_t> b(h.begin(), h.end());
    EXPECT_EQ(HeaderLe16(b, 22), 2);
    EXPECT_EQ(HeaderLe32(b, 24), 8000u);
    EXPECT_EQ(HeaderLe32(b, 28), row.avg);
    EXPECT_EQ(HeaderLe16(b, 32), row.align);
    EXPECT_EQ(HeaderLe16(b, 34), row.bits);
    EXPECT_EQ(HeaderLe32(b, 40), 1236u);
  }
}

// A sink that keeps every write apart, and refuses the write numbered
// `refuse` (0-based; -1: none).
class CWriteLog : public sound::IByteSink {
 public:
  explicit CWriteLog(int refuse = -1) : m_refuse(refuse) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    if (static_cast<int>(writes.size()) == m_refuse) {
      refused = true;
      return false;
    }
    writes.emplace_back(bytes.begin(), bytes.end());
    return true;
  }
  std::vector<std::vector<std::uint8_t>> writes;
  bool refused = false;

 private:
  int m_refuse;
};

// 70000 outputs of a ramp at 16 bits: the header alone first, complete (its
// RIFF size is the length - 8 of all that follows), then whole stretches of
// kSoundStretch samples and the rest; the float block never holds more than
// one stretch. Then the same sound with each write refused in turn: Encode
// reports it and writes nothing after it.
TEST(WaveEncoder, StreamsTheHeaderThenStretchesAndStopsAtARefusedWrite) {
  std::vector<float> input(7000);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(i % 4096);
  sound::RawChannel raw;
  raw.floats = input.data();
  raw.count = static_cast<int>(input.size());
  const sound::CSoundStream stream(raw, 1000, 10000);
  ASSERT_EQ(stream.Length(), 70000);
  const sound::CWaveEncoder encoder(stream, 10000, 16, std::nullopt);

  CWriteLog log;
  std::vector<float> soundBuffer;
  ASSERT_EQ(encoder.Encode(soundBuffer, log), sound::CWaveEncoder::Result::Written);
  ASSERT_EQ(log.writes.size(), 4u);
  EXPECT_EQ(log.writes[0].size(), 44u);
  EXPECT_EQ(log.writes[1].size(), 2u * sound::kSoundStretch);
  EXPECT_EQ(log.writes[2].size(), 2u * sound::kSoundStretch);
  EXPECT_EQ(log.writes[3].size(), 2u * (70000 - 2 * sound::kSoundStretch));
  EXPECT_EQ(HeaderLe32(log.writes[0], 4), 36u + 140000u);
  EXPECT_EQ(HeaderLe32(log.writes[0], 40), 140000u);
  EXPECT_LE(soundBuffer.capacity(), static_cast<std::size_t>(sound::kSoundStretch));
  std::vector<float> last(70000 - 2 * sound::kSoundStretch);
  stream.Produce(2 * sound::kSoundStretch, last);
  EXPECT_EQ(soundBuffer, last);

  for (int refuse = 0; refuse < 4; ++refuse) {
    CWriteLog failing(refuse);
    EXPECT_EQ(encoder.Encode(soundBuffer, failing), sound::CWaveEncoder::Result::SinkFailed);
    EXPECT_TRUE(failing.refused);
    ASSERT_EQ(failing.writes.size(), static_cast<std::size_t>(refuse));
    for (int i = 0; i < refuse; ++i) EXPECT_EQ(failing.writes[i], log.writes[i]) << i;
  }
}

// The RIFF chunk size is 32 bits and counts 36 header bytes: the longest
// sound (an int's worth of samples) fits at 8 bits, not at 16.
TEST(WaveEncoder, RefusesSoundsBeyondTheRiffSize) {
  sound::RawChannel raw;
  raw.count = INT_MAX;
  raw.ints = nullptr;
  const sound::CSoundStream stream(raw, 1000, 1000);  // no resampling: the raw values
  ASSERT_EQ(stream.Length(), INT_MAX);
  EXPECT_TRUE(sound::CWaveEncoder(stream, 1000, 8, std::nullopt).FitsWave());
  const sound::CWaveEncoder wide(stream, 1000, 16, std::nullopt);
  EXPECT_EQ(wide.DataBytes(), 2ull * INT_MAX);
  EXPECT_FALSE(wide.FitsWave());
}

}  // namespace
