// The WAVE build: sample count, float step, in-place interpolation, amplitude
// mapping and header, checked to the bit against worked examples, plus
// properties on generated signals and the order of the platform calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/WaveSynthesis.h"
#include "tests/core/AllocationCounter.h"
#include "tests/support/RecordingSoundHost.h"
#include "tests/support/ScratchDir.h"

namespace {

using c3dtest::RecordingSoundHost;
using sound::WaveOutcome;

// A CC3d filled by hand: one channel holding `samples`, S samples per frame,
// so the analog rate is S x frameRate.
std::unique_ptr<CC3d> HandFilled(const std::vector<double>& samples, float frameRate,
                                 bool floatData = false, std::uint16_t perFrame = 1) {
  auto c3d = std::make_unique<CC3d>();
  c3d->m_bIntegerData = !floatData;
  c3d->m_nAnalogSamplesPerFrame = perFrame;
  c3d->m_fFrameRate = frameRate;
  c3d->m_nFirstFrame = 1;
  c3d->m_nLastFrame = static_cast<std::uint16_t>(samples.size() / perFrame);
  auto analog = std::make_unique<CAnalog>();
  analog->m_pSamples = CSampleBlock(samples.size() * (floatData ? 4 : 2));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (floatData) {
      analog->FloatSamples()[i] = static_cast<float>(samples[i]);
    } else {
      analog->IntSamples()[i] = static_cast<std::int16_t>(samples[i]);
    }
  }
  c3d->m_analogs.push_back(std::move(analog));
  return c3d;
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::vector<float> ResampleValues(std::vector<float> input, float a, float r, int* n = nullptr) {
  RecordingSoundHost host;
  const int count = static_cast<int>(input.size());
  const int got = sound::Resample(input, a, r, count, host);
  if (n != nullptr) *n = got;
  return input;
}

struct LengthRow {
  float a, r;
  int count, n;
  bool floatData = false;  // the channel's stored type, for the streamed build
};

class ResampledLength : public testing::TestWithParam<LengthRow> {};

// The grouping of the division decides N: count x R / A would give 16008 for
// 2001 samples, and rounding instead of truncating would give 919 for A = 1200.
TEST_P(ResampledLength, TruncatesTheReciprocalQuotient) {
  const auto row = GetParam();
  EXPECT_EQ(sound::ResampledLength(row.a, row.r, row.count), row.n);
}

// The bytes a build wrote before it streamed: Resample's whole buffer
// through the fixed mapping, after the header.
std::vector<std::uint8_t> WaveOfBuffer(const std::vector<float>& buffer, std::uint32_t rate,
                                       int bits) {
  const int align = bits / 8;
  const auto h = sound::WaveHeader(rate, bits, static_cast<std::uint32_t>(buffer.size() * align));
  std::vector<std::uint8_t> bytes(h.begin(), h.end());
  bytes.reserve(bytes.size() + buffer.size() * static_cast<std::size_t>(align));
  const std::uint32_t riff = static_cast<std::uint32_t>(36 + buffer.size() * align);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
  for (const float v : buffer) {
    if (bits == 16) {
      const auto s = static_cast<std::uint16_t>(sound::PcmSample16(v));
      bytes.push_back(static_cast<std::uint8_t>(s & 0xFFu));
      bytes.push_back(static_cast<std::uint8_t>(s >> 8));
    } else {
      bytes.push_back(sound::PcmSample8(v));
    }
  }
  return bytes;
}

// The streamed build against the whole-buffer one on every row: each output
// slot, produced in stretches that do not divide the sound, has Resample's
// bits (the slots past M or none, as for A = 1200, the zero beyond the last
// input, a k that moves on most slots near a ratio of 1, past 2^24 outputs),
// and WriteWave's file is the old file byte for byte at both widths. Refused
// rows are refused by both.
TEST_P(ResampledLength, StreamedBuildMatchesResampleBitForBit) {
  const auto row = GetParam();
  // Stored values across the whole int16 range, so the mapping wraps too.
  std::uint32_t seed = static_cast<std::uint32_t>(row.count) * 2654435761u;
  std::vector<double> stored(static_cast<std::size_t>(row.count));
  for (double& v : stored) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<double>(seed >> 16) - 32768.0 + (row.floatData ? (seed & 0xFFu) / 256.0 : 0.0);
  }
  // Up to 65535 frames: long channels as frames of 100 samples.
  const std::uint16_t perFrame = row.count > 65535 ? 100 : 1;
  ASSERT_EQ(row.count % perFrame, 0);
  const auto c3d = HandFilled(stored, row.a / perFrame, row.floatData, perFrame);
  ASSERT_EQ(sound::AnalogRate(*c3d), row.a);

  std::vector<float> input(stored.begin(), stored.end());
  int n = 0;
  const auto buffer = ResampleValues(input, row.a, row.r, &n);
  sound::RawChannel raw;
  raw.count = row.count;
  raw.floats = input.data();
  const sound::CSoundStream stream(raw, row.a, row.r);
  ASSERT_EQ(stream.Refused(), n == 0);
  ASSERT_EQ(stream.Length(), n);
  if (n > 0) {
    std::vector<float> streamed(static_cast<std::size_t>(n));
    for (int from = 0; from < n; from += 4099) {
      const int length = std::min(4099, n - from);
      stream.Produce(from, std::span<float>(streamed).subspan(static_cast<std::size_t>(from),
                                                              static_cast<std::size_t>(length)));
    }
    ASSERT_EQ(std::memcmp(streamed.data(), buffer.data(), buffer.size() * sizeof(float)), 0);
    for (int i = stream.TailStart(); i < n; ++i)
      ASSERT_EQ(buffer[static_cast<std::size_t>(i)], 0.0f);
  }

  c3dtest::ScratchDir dir;
  for (const int bits : {16, 8}) {
    RecordingSoundHost host;
    std::vector<float> soundBuffer(50);
    const auto outcome = sound::WriteWave(*c3d, 0, bits, row.r, soundBuffer, dir / "s.wav", host);
    ASSERT_EQ(outcome, n > 0 ? WaveOutcome::Played : WaveOutcome::PlayedEmpty);
    const auto expected = WaveOfBuffer(n > 0 ? buffer : std::vector<float>{},
                                       static_cast<std::uint32_t>(row.r), bits);
    const auto got = ReadAll(dir / "s.wav");
    ASSERT_EQ(got.size(), expected.size()) << bits;
    ASSERT_TRUE(got == expected) << bits << "-bit bytes differ";
    EXPECT_LE(soundBuffer.size(), static_cast<std::size_t>(sound::kSoundStretch));
  }
}

INSTANTIATE_TEST_SUITE_P(
    WaveSynthesis, ResampledLength,
    testing::Values(LengthRow{1000, 8000, 10000, 80000}, LengthRow{1000, 8000, 2001, 16007},
                    LengthRow{1200, 11025, 100, 918}, LengthRow{1000, 2000, 3, 6},
                    LengthRow{1000, 3000, 4, 12},
                    LengthRow{65.05f, 44100, 1000, 677940, true},  // fractional analog rate
                    LengthRow{2000, 8000, 39800, 159200, true},    // a float EMG recording
                    LengthRow{6000, 8000, 5000, 6666},             // k moves on 3 slots of 4
                    LengthRow{1000, 44100, 400000, 17640000},      // past 2^24 outputs
                    LengthRow{1000, 44100, 3600000, 158760000},    // step rounded down: refused
                    LengthRow{1000, 8000, 1, 8}));                 // step 0: refused

// The worked example: the float step 0.4000000059604645 is slightly above
// 0.4, so M = 4 and the top slot is 0; each value is rounded to float.
TEST(WaveSynthesis, ResamplesTheThreeSampleExampleToTheBit) {
  int n = 0;
  const auto out = ResampleValues({2048, 4095, 0}, 1000, 2000, &n);
  ASSERT_EQ(n, 6);
  EXPECT_EQ(out, (std::vector<float>{2048.0f, 2866.800048828125f, 3685.60009765625f, 3276.0f,
                                     1637.9998779296875f, 0.0f}));

  std::vector<float> buffer{2048, 4095, 0, 0, 0, 0};
  int lastUsable = -7, status = -7;
  const float step = static_cast<float>(2.0 / 5.0);
  ASSERT_EQ(static_cast<double>(step), 0.4000000059604645);
  sound::Interpolate(buffer, 5, 2, step, lastUsable, status);
  EXPECT_EQ(status, sound::kInterpolateDone);
  EXPECT_EQ(lastUsable, 4);
  EXPECT_EQ(buffer, out);
}

TEST(WaveSynthesis, ResamplesTheRampExampleWithItsTopSlotZero) {
  int n = 0;
  const auto out = ResampleValues({0, 100, 200, 300}, 1000, 3000, &n);
  ASSERT_EQ(n, 12);
  EXPECT_EQ(out[10], 272.727294921875f);
  EXPECT_EQ(out[11], 0.0f);
  std::vector<float> buffer{0, 100, 200, 300, 0, 0, 0, 0, 0, 0, 0, 0};
  int lastUsable = 0, status = 0;
  sound::Interpolate(buffer, 11, 3, static_cast<float>(3.0 / 11.0), lastUsable, status);
  EXPECT_EQ(lastUsable, 10);
  EXPECT_EQ(buffer, out);
}

// Slot by slot, the interpolation as first stated: the kernel works a run of
// slots at a time and must give exactly these bits for every slot.
std::vector<float> InterpolateSlotBySlot(std::vector<float> x, int count, float step) {
  const int n = static_cast<int>(x.size());
  const int m = static_cast<int>((count - 1) / static_cast<double>(step));
  for (int i = n - 1; i >= 1; --i) {
    if (i > m) {
      x[static_cast<std::size_t>(i)] = 0;
      continue;
    }
    const double t = i * static_cast<double>(step);
    const auto k = static_cast<std::size_t>(t);
    x[static_cast<std::size_t>(i)] =
        static_cast<float>(x[k] + (static_cast<double>(x[k + 1]) - x[k]) * (t - k));
  }
  return x;
}

TEST(WaveSynthesis, InterpolateMatchesTheSlotBySlotFormulaBitForBit) {
  std::uint32_t seed = 7;
  const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  const std::pair<int, int> shapes[] = {{2, 3},       {3, 6},          {4, 12},      {17, 100},
                                        {100, 918},   {1000, 44100},   {997, 44099}, {2001, 16007},
                                        {360, 15876}, {50000, 1102500}};
  for (const auto& [count, n] : shapes) {
    std::vector<float> buffer(static_cast<std::size_t>(n));
    for (int i = 0; i < count; ++i) {
      buffer[static_cast<std::size_t>(i)] = static_cast<float>(next() % 8192) - 2048.5f;
    }
    const float step = static_cast<float>((count - 1.0) / (n - 1.0));
    const auto expected = InterpolateSlotBySlot(buffer, count, step);
    int lastUsable = 0, status = -1;
    sound::Interpolate(buffer, n - 1, count - 1, step, lastUsable, status);
    ASSERT_EQ(status, sound::kInterpolateDone) << count << " -> " << n;
    ASSERT_EQ(std::memcmp(buffer.data(), expected.data(), buffer.size() * sizeof(float)), 0)
        << count << " -> " << n;
  }
}

// Refusals must leave the buffer untouched: a step outside (0, 1) would read
// beyond the input, an output shorter than the input's reach would drop it.
TEST(WaveSynthesis, InterpolateRefusesStepsOutOfRangeAndShortOutputs) {
  const std::vector<float> input{1, 2, 3, 0, 0};
  for (float step : {0.0f, -0.5f, 1.0f, 1.5f, std::nanf("")}) {
    auto buffer = input;
    int lastUsable = 0, status = 0;
    sound::Interpolate(buffer, 4, 2, step, lastUsable, status);
    EXPECT_EQ(status, sound::kInterpolateBadStep) << step;
    EXPECT_EQ(buffer, input);
  }
  auto buffer = input;
  int lastUsable = 0, status = 0;
  sound::Interpolate(buffer, 4, 2, 0.25f, lastUsable, status);  // reaches slot 8
  EXPECT_EQ(status, sound::kInterpolateTooShort);
  EXPECT_EQ(lastUsable, 8);
  sound::Interpolate(buffer, 9, 2, 0.25f, lastUsable, status);  // buffer of 5 slots only
  EXPECT_EQ(status, sound::kInterpolateTooShort);
  EXPECT_EQ(buffer, input);
}

// Resample's checks come before anything is allocated or copied: one input
// value (step 0), no values, a ratio of 1, an output too long for an int,
// and a float step rounded down past 2^24 outputs (M = 60000001 > N - 1).
TEST(WaveSynthesis, ResampleRefusalsShowErrorAndKeepTheBuffer) {
  struct Row {
    std::vector<float> input;
    float a, r;
    int count;
  };
  const Row rows[] = {{{7}, 1000, 8000, 1},        {{}, 1000, 8000, 0},
                      {{1, 2, 3}, 1000, 1000, 3},  {{1, 2, 3}, 1, 1e9f, 3},
                      {{1, 2, 3}, 1, 20000000, 3}, {{1, 2, 3}, 0, 8000, 3},
                      {{1, 2, 3}, 1000, 8000, 5}};  // count beyond the buffer
  for (const auto& row : rows) {
    auto buffer = row.input;
    RecordingSoundHost host;
    EXPECT_EQ(sound::Resample(buffer, row.a, row.r, row.count, host), 0) << row.r;
    EXPECT_EQ(buffer, row.input);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"wait+", "message:Error", "wait-"}));
  }
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
    WaveSynthesis, PcmMapping,
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
TEST(WaveSynthesis, HugeSamplesKeepTheExactLowBits) {
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

TEST(WaveSynthesis, HeaderFieldsForBothWidths) {
  struct Row {
    int bits;
    std::uint32_t avg;
    std::uint16_t align, bitsField;
  };
  for (const Row row : {Row{16, 16000, 2, 16}, Row{8, 8000, 1, 8}}) {
    const auto h = sound::WaveHeader(8000, row.bits, 1234);
    const std::vector<std::uint8_t> b(h.begin(), h.end());
    EXPECT_EQ(std::memcmp(&b[0], "RIFF", 4), 0);
    EXPECT_EQ(Le32(b, 4), 0u);
    EXPECT_EQ(std::memcmp(&b[8], "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le32(b, 16), 16u);
    EXPECT_EQ(Le16(b, 20), 1);
    EXPECT_EQ(Le16(b, 22), 1);
    EXPECT_EQ(Le32(b, 24), 8000u);
    EXPECT_EQ(Le32(b, 28), row.avg);
    EXPECT_EQ(Le16(b, 32), row.align);
    EXPECT_EQ(Le16(b, 34), row.bitsField);
    EXPECT_EQ(std::memcmp(&b[36], "data", 4), 0);
    EXPECT_EQ(Le32(b, 40), 1234u);
  }
}

class WriteWaveTest : public testing::Test {
 protected:
  c3dtest::ScratchDir dir;
  std::filesystem::path file = dir / "wav0001.tmp";
  RecordingSoundHost host;
  std::vector<float> soundBuffer = std::vector<float>(50);
};

// The full build of the worked example: header, the samples of both widths,
// the RIFF size patched to length - 8, and the platform calls in order.
TEST_F(WriteWaveTest, WritesTheExampleAtBothWidths) {
  const auto c3d = HandFilled({2048, 4095, 0}, 1000);
  ASSERT_EQ(sound::WriteWave(*c3d, 0, 16, 2000, soundBuffer, file, host), WaveOutcome::Played);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "status: Processing", "wait+", "wait-",
                                                  "status: ", "play:" + file.string()}));
  auto b = ReadAll(file);
  ASSERT_EQ(b.size(), 44u + 12);
  EXPECT_EQ(Le32(b, 4), 48u);
  EXPECT_EQ(Le32(b, 24), 2000u);
  EXPECT_EQ(Le32(b, 40), 12u);
  const std::int16_t want16[] = {0, 13100, 26201, 19648, -6560, -32768};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<std::int16_t>(Le16(b, 44 + 2 * i)), want16[i]);
  EXPECT_EQ(soundBuffer.size(), 6u);

  ASSERT_EQ(sound::WriteWave(*c3d, 0, 8, 2000, soundBuffer, file, host), WaveOutcome::Played);
  b = ReadAll(file);
  EXPECT_EQ(b, ([] {
              const auto h = sound::WaveHeader(2000, 8, 6);
              std::vector<std::uint8_t> v(h.begin(), h.end());
              v[4] = 42;  // RIFF size 36 + 6
              for (std::uint8_t s : {128, 179, 230, 204, 103, 0}) v.push_back(s);
              return v;
            })());
}

// An odd number of 8-bit samples: the file ends right after the last sample,
// with no pad byte, and the RIFF size counts exactly what is there.
TEST_F(WriteWaveTest, OddLength8BitFileHasNoPadByte) {
  const auto c3d = HandFilled({2048, 4095, 0}, 1000);
  ASSERT_EQ(sound::WriteWave(*c3d, 0, 8, 3000, soundBuffer, file, host), WaveOutcome::Played);
  const auto b = ReadAll(file);
  ASSERT_EQ(b.size(), 44u + 9);
  EXPECT_EQ(Le32(b, 4), 36u + 9);
  EXPECT_EQ(Le32(b, 40), 9u);
}

// One sample cannot be resampled (step 0): "Error", then an empty but
// complete 44-byte sound is still written and played; no samples, the same.
TEST_F(WriteWaveTest, SingleSampleWritesAndPlaysAnEmptySound) {
  const auto c3d = HandFilled({1000}, 1000);
  ASSERT_EQ(sound::WriteWave(*c3d, 0, 16, 8000, soundBuffer, file, host), WaveOutcome::PlayedEmpty);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"stop", "status: Processing", "wait+", "message:Error",
                                      "wait-", "status: ", "play:" + file.string()}));
  const auto b = ReadAll(file);
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(Le32(b, 4), 36u);
  EXPECT_EQ(Le32(b, 40), 0u);
  EXPECT_EQ(soundBuffer, std::vector<float>{1000});  // the raw value stays

  // No samples at all (the last frame before the first) ends the same way.
  auto none = HandFilled({1000}, 1000);
  none->m_nFirstFrame = 2;
  none->m_nLastFrame = 0;
  host.calls.clear();
  ASSERT_EQ(sound::WriteWave(*none, 0, 8, 8000, soundBuffer, file, host), WaveOutcome::PlayedEmpty);
  EXPECT_EQ(host.calls[3], "message:Error");
  EXPECT_EQ(ReadAll(file).size(), 44u);
}

// The header and the resampling both use the truncated rate.
TEST_F(WriteWaveTest, FractionalRateIsTruncated) {
  std::vector<double> ten(10, 2048);
  const auto c3d = HandFilled(ten, 1000);
  ASSERT_EQ(sound::WriteWave(*c3d, 0, 16, 8000.9f, soundBuffer, file, host), WaveOutcome::Played);
  const auto b = ReadAll(file);
  EXPECT_EQ(Le32(b, 24), 8000u);
  EXPECT_EQ(Le32(b, 28), 16000u);
  EXPECT_EQ(Le32(b, 40), 2u * 80);
}

// Float channels are copied unchanged; S and the frame rate both make A.
TEST_F(WriteWaveTest, FloatChannelsAreCopiedUnchanged) {
  const auto c3d = HandFilled({2048.5, 4095.25, 0.75, 100}, 500, /*floatData=*/true, 2);
  ASSERT_EQ(sound::WriteWave(*c3d, 0, 16, 3000, soundBuffer, file, host), WaveOutcome::Played);
  const auto expected = ResampleValues({2048.5f, 4095.25f, 0.75f, 100.0f}, 1000, 3000);
  EXPECT_EQ(soundBuffer, expected);
}

// A long build holds one stretch of the sound at a time, never the sound:
// 2.6 million outputs would be 10.6 MB as floats, 5.3 MB as bytes.
TEST_F(WriteWaveTest, LongBuildHoldsOneStretchAtATime) {
  const auto c3d = HandFilled(std::vector<double>(60000, 3000), 100, false, 10);
  const std::size_t before = alloccount::LiveBytes();
  alloccount::ResetPeak();
  ASSERT_EQ(sound::WriteWave(*c3d, 0, 16, 44100, soundBuffer, file, host), WaveOutcome::Played);
  EXPECT_EQ(std::filesystem::file_size(file), 44u + 2u * 2646000u);
  EXPECT_LT(alloccount::PeakBytes() - before, 1'000'000u);
}

// A file that cannot be opened: only the message; the status stays.
TEST_F(WriteWaveTest, UnopenableFileShowsCouldNotCreateOnly) {
  const auto c3d = HandFilled({1, 2, 3}, 1000);
  EXPECT_EQ(sound::WriteWave(*c3d, 0, 16, 8000, soundBuffer, dir / "missing" / "x.wav", host),
            WaveOutcome::NotCreated);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "message:Could not create"}));
}

// A full disk must not end in a success status over a short file.
TEST_F(WriteWaveTest, WriteErrorIsReportedAndNothingPlays) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  const auto c3d = HandFilled(std::vector<double>(5000, 3000), 1000);
  EXPECT_EQ(sound::WriteWave(*c3d, 0, 16, 44100, soundBuffer, "/dev/full", host),
            WaveOutcome::NotCreated);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "status: Processing", "wait+", "wait-",
                                                  "message:Could not create", "status: Idle"}));
}

// A channel index out of range or a sample block shorter than the header's
// count is refused before the file is touched.
TEST_F(WriteWaveTest, InconsistentChannelIsRefusedBeforeTheFile) {
  auto c3d = HandFilled({1, 2, 3, 4}, 1000);
  EXPECT_EQ(sound::WriteWave(*c3d, 1, 16, 8000, soundBuffer, file, host), WaveOutcome::Failed);
  c3d->m_nLastFrame = 5;
  EXPECT_EQ(sound::WriteWave(*c3d, 0, 16, 8000, soundBuffer, file, host), WaveOutcome::Failed);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"stop", "message:Error", "stop", "message:Error"}));
  EXPECT_FALSE(std::filesystem::exists(file));
}

// A span of a channel builds, byte for byte, the sound of a channel holding
// only that span (Fit to channel fitted to the span's own range), at both
// widths; a span outside the channel is refused with "Error" before the
// file is touched. Catches an offset applied twice or not at all, and a fit
// to the whole channel's range.
TEST_F(WriteWaveTest, RangeIsTheSoundOfTheSlicedChannel) {
  std::vector<double> samples;
  for (int i = 0; i < 400; ++i)
    samples.push_back(2048 + (i < 200 ? 100 : 1500) * std::sin(i * 0.3));
  const auto c3d = HandFilled(samples, 1000);
  struct Span {
    int first, count;
  };
  for (const Span span : {Span{0, 400}, Span{10, 120}, Span{250, 150}, Span{399, 1}}) {
    for (const auto level : {sound::SoundLevel::AsRecorded, sound::SoundLevel::FitToChannel}) {
      for (const int bits : {8, 16}) {
        SCOPED_TRACE(testing::Message() << span.first << "+" << span.count << ", " << bits);
        const auto sliced =
            HandFilled(std::vector<double>(samples.begin() + span.first,
                                           samples.begin() + span.first + span.count),
                       1000);
        sound::WriteWave(*sliced, 0, bits, 8000, soundBuffer, file, host, level);
        const auto expected = ReadAll(file);
        sound::WriteWaveRange(*c3d, 0, span.first, span.count, bits, 8000, soundBuffer, file, host,
                              level);
        EXPECT_EQ(ReadAll(file), expected);
      }
    }
  }
  std::filesystem::remove(file);
  host.calls.clear();
  for (const Span span : {Span{-1, 10}, Span{300, 101}, Span{0, 0}}) {
    EXPECT_EQ(
        sound::WriteWaveRange(*c3d, 0, span.first, span.count, 16, 8000, soundBuffer, file, host),
        WaveOutcome::Failed);
  }
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "message:Error", "stop", "message:Error",
                                                  "stop", "message:Error"}));
  EXPECT_FALSE(std::filesystem::exists(file));
}

// Properties over generated signals and rate pairs: a constant stays that
// constant, a ramp stays a straight ramp, only the top slot may be dropped
// below 2^24 outputs, and the sound lasts as long as the recording.
TEST(WaveSynthesis, ConstantsAndRampsSurviveResampling) {
  for (float a : {100.0f, 1000.0f, 1200.0f, 2000.0f, 65.05f}) {
    for (float r : {6000.0f, 8000.0f, 11025.0f, 22050.0f, 44100.0f}) {
      for (int count : {2, 17, 1000}) {
        int n = 0;
        const auto flat =
            ResampleValues(std::vector<float>(static_cast<std::size_t>(count), 1234.5f), a, r, &n);
        ASSERT_GT(n, count);
        EXPECT_LT(std::fabs(n / static_cast<double>(r) - count / static_cast<double>(a)), 1.0 / r);
        std::vector<float> rampIn(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) rampIn[static_cast<std::size_t>(i)] = static_cast<float>(i);
        const auto ramp = ResampleValues(rampIn, a, r);
        const double step = static_cast<float>((count - 1.0) / (n - 1.0));
        int nonzeroTop = n - 1;
        while (nonzeroTop > 0 && flat[static_cast<std::size_t>(nonzeroTop)] == 0.0f) --nonzeroTop;
        EXPECT_GE(nonzeroTop, n - 2) << a << " " << r << " " << count;
        for (int i = 0; i <= nonzeroTop; ++i) {
          const auto ui = static_cast<std::size_t>(i);
          ASSERT_EQ(flat[ui], 1234.5f) << a << " " << r << " " << count << " slot " << i;
          ASSERT_NEAR(ramp[ui], i * step, 1e-4 * count) << a << " " << r << " slot " << i;
          if (i > 0) {
            ASSERT_GE(ramp[ui], ramp[ui - 1]);
          }
        }
      }
    }
  }
}

}  // namespace
