// Play's WAVE build: the sample count, the streamed sound against the
// whole-buffer reference bit for bit, the files it writes to the byte, and
// the order of the platform calls.
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
#include "tests/support/ReferenceResample.h"
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
  const int got = c3dtest::Resample(input, a, r, count, host);
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
    const auto outcome = sound::WriteWave(*c3d, {.channel = 0, .bits = bits, .rate = row.r},
                                          soundBuffer, dir / "s.wav", host);
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

class WriteWaveTest : public testing::Test {
 protected:
  c3dtest::ScratchDir dir;
  std::filesystem::path file = dir / "wav0001.tmp";
  RecordingSoundHost host;
  std::vector<float> soundBuffer = std::vector<float>(50);
};

// The full build of the worked example: header, the samples of both widths,
// the RIFF size equal to length - 8, and the platform calls in order.
TEST_F(WriteWaveTest, WritesTheExampleAtBothWidths) {
  const auto c3d = HandFilled({2048, 4095, 0}, 1000);
  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 2000}, soundBuffer, file, host),
      WaveOutcome::Played);
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

  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 8, .rate = 2000}, soundBuffer, file, host),
      WaveOutcome::Played);
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
  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 8, .rate = 3000}, soundBuffer, file, host),
      WaveOutcome::Played);
  const auto b = ReadAll(file);
  ASSERT_EQ(b.size(), 44u + 9);
  EXPECT_EQ(Le32(b, 4), 36u + 9);
  EXPECT_EQ(Le32(b, 40), 9u);
}

// One sample cannot be resampled (step 0): "Error", then an empty but
// complete 44-byte sound is still written and played; no samples, the same.
TEST_F(WriteWaveTest, SingleSampleWritesAndPlaysAnEmptySound) {
  const auto c3d = HandFilled({1000}, 1000);
  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 8000}, soundBuffer, file, host),
      WaveOutcome::PlayedEmpty);
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
  ASSERT_EQ(
      sound::WriteWave(*none, {.channel = 0, .bits = 8, .rate = 8000}, soundBuffer, file, host),
      WaveOutcome::PlayedEmpty);
  EXPECT_EQ(host.calls[3], "message:Error");
  EXPECT_EQ(ReadAll(file).size(), 44u);
}

// The header and the resampling both use the truncated rate.
TEST_F(WriteWaveTest, FractionalRateIsTruncated) {
  std::vector<double> ten(10, 2048);
  const auto c3d = HandFilled(ten, 1000);
  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 8000.9f}, soundBuffer, file, host),
      WaveOutcome::Played);
  const auto b = ReadAll(file);
  EXPECT_EQ(Le32(b, 24), 8000u);
  EXPECT_EQ(Le32(b, 28), 16000u);
  EXPECT_EQ(Le32(b, 40), 2u * 80);
}

// Float channels are copied unchanged; S and the frame rate both make A.
TEST_F(WriteWaveTest, FloatChannelsAreCopiedUnchanged) {
  const auto c3d = HandFilled({2048.5, 4095.25, 0.75, 100}, 500, /*floatData=*/true, 2);
  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 3000}, soundBuffer, file, host),
      WaveOutcome::Played);
  const auto expected = ResampleValues({2048.5f, 4095.25f, 0.75f, 100.0f}, 1000, 3000);
  EXPECT_EQ(soundBuffer, expected);
}

// A long build holds one stretch of the sound at a time, never the sound:
// 2.6 million outputs would be 10.6 MB as floats, 5.3 MB as bytes.
TEST_F(WriteWaveTest, LongBuildHoldsOneStretchAtATime) {
  const auto c3d = HandFilled(std::vector<double>(60000, 3000), 100, false, 10);
  const std::size_t before = alloccount::LiveBytes();
  alloccount::ResetPeak();
  ASSERT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 44100}, soundBuffer, file, host),
      WaveOutcome::Played);
  EXPECT_EQ(std::filesystem::file_size(file), 44u + 2u * 2646000u);
  EXPECT_LT(alloccount::PeakBytes() - before, 1'000'000u);
}

// A file that cannot be opened: only the message; the status stays.
TEST_F(WriteWaveTest, UnopenableFileShowsCouldNotCreateOnly) {
  const auto c3d = HandFilled({1, 2, 3}, 1000);
  EXPECT_EQ(sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 8000}, soundBuffer,
                             dir / "missing" / "x.wav", host),
            WaveOutcome::NotCreated);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "message:Could not create"}));
}

// A full disk must not end in a success status over a short file.
TEST_F(WriteWaveTest, WriteErrorIsReportedAndNothingPlays) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  const auto c3d = HandFilled(std::vector<double>(5000, 3000), 1000);
  EXPECT_EQ(sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 44100}, soundBuffer,
                             "/dev/full", host),
            WaveOutcome::NotCreated);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "status: Processing", "wait+", "wait-",
                                                  "message:Could not create", "status: Idle"}));
}

// A channel index out of range or a sample block shorter than the header's
// count is refused before the file is touched.
TEST_F(WriteWaveTest, InconsistentChannelIsRefusedBeforeTheFile) {
  auto c3d = HandFilled({1, 2, 3, 4}, 1000);
  EXPECT_EQ(
      sound::WriteWave(*c3d, {.channel = 1, .bits = 16, .rate = 8000}, soundBuffer, file, host),
      WaveOutcome::Failed);
  c3d->m_nLastFrame = 5;
  EXPECT_EQ(
      sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 8000}, soundBuffer, file, host),
      WaveOutcome::Failed);
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
        sound::WriteWave(*sliced, {.channel = 0, .bits = bits, .rate = 8000, .level = level},
                         soundBuffer, file, host);
        const auto expected = ReadAll(file);
        sound::WriteWave(*c3d,
                         {.channel = 0,
                          .range = sound::SampleSpan{span.first, span.count},
                          .bits = bits,
                          .rate = 8000,
                          .level = level},
                         soundBuffer, file, host);
        EXPECT_EQ(ReadAll(file), expected);
      }
    }
  }
  std::filesystem::remove(file);
  host.calls.clear();
  for (const Span span : {Span{-1, 10}, Span{300, 101}, Span{0, 0}}) {
    EXPECT_EQ(sound::WriteWave(*c3d,
                               {.channel = 0,
                                .range = sound::SampleSpan{span.first, span.count},
                                .bits = 16,
                                .rate = 8000},
                               soundBuffer, file, host),
              WaveOutcome::Failed);
  }
  EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "message:Error", "stop", "message:Error",
                                                  "stop", "message:Error"}));
  EXPECT_FALSE(std::filesystem::exists(file));
}

// Two ears: the stereo file's left values are, byte for byte, the mono sound
// of the left channel and its right values that of the right channel, over
// a table of choices (plain, 8-bit fitted, filtered, sped up, pitch, Auto
// choosing differently for each channel, a range with ticks). The header
// says two channels, block align and byte rate follow, the data is twice
// the mono data. Catches swapped ears, one channel's fit or Auto choice
// applied to the other, a lost byte of a 16-bit value, a mono header.
TEST_F(WriteWaveTest, TwoChannelsAreEachTheirMonoSound) {
  std::vector<double> buzz, slow;  // 1 kHz analog rate: an audible buzz and a slow swell
  for (int i = 0; i < 600; ++i) {
    buzz.push_back(2048 + 900 * std::sin(i * 1.9) + 40 * std::sin(i * 0.01));
    slow.push_back(1000 + 700 * std::sin(i * 0.01));
  }
  const auto c3d = HandFilled(buzz, 1000);
  c3d->m_analogs.push_back(std::move(HandFilled(slow, 1000)->m_analogs.front()));
  using sound::SoundMode;
  using sound::SoundRecipe;
  const SoundRecipe rows[] = {
      {.bits = 16, .rate = 8000},
      {.bits = 8, .rate = 11025, .level = sound::SoundLevel::FitToChannel},
      {.bits = 8, .rate = 8000, .filters = {{sound::FilterKind::HighPass, 20.0, 0.0}}},
      {.bits = 16, .rate = 8000, .speed = 5},
      {.bits = 16, .rate = 8000, .mode = SoundMode::Pitch},
      {.bits = 16, .rate = 8000, .mode = SoundMode::Auto},
      {.range = sound::SampleSpan{100, 300}, .bits = 16, .rate = 8000, .ticks = {150, 350}},
      {.bits = 16, .rate = 800},  // below the analog rate: the values themselves
  };
  for (const SoundRecipe& row : rows) {
    SCOPED_TRACE(testing::Message() << row.bits << " bit, mode " << static_cast<int>(row.mode));
    std::vector<std::uint8_t> mono[2];
    for (const int channel : {0, 1}) {
      SoundRecipe spec = row;
      spec.channel = channel;
      ASSERT_EQ(sound::WriteWave(*c3d, spec, soundBuffer, file, host), WaveOutcome::Played);
      mono[channel] = ReadAll(file);
    }
    SoundRecipe spec = row;
    spec.right = 1;
    host.calls.clear();
    ASSERT_EQ(sound::WriteWave(*c3d, spec, soundBuffer, file, host), WaveOutcome::Played);
    const auto b = ReadAll(file);
    const std::size_t width = row.bits / 8;
    ASSERT_EQ(b.size(), 44 + 2 * (mono[0].size() - 44));
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    const auto header = sound::WaveHeader(static_cast<std::uint32_t>(row.rate), row.bits,
                                          static_cast<std::uint32_t>(b.size() - 44), 2);
    EXPECT_TRUE(std::equal(b.begin() + 8, b.begin() + 44, header.begin() + 8));
    std::vector<std::uint8_t> ears[2] = {{mono[0].begin(), mono[0].begin() + 44},
                                         {mono[1].begin(), mono[1].begin() + 44}};
    for (std::size_t at = 44; at < b.size(); at += 2 * width) {
      ears[0].insert(ears[0].end(), b.begin() + at, b.begin() + at + width);
      ears[1].insert(ears[1].end(), b.begin() + at + width, b.begin() + at + 2 * width);
    }
    EXPECT_TRUE(ears[0] == mono[0]);
    EXPECT_TRUE(ears[1] == mono[1]);
    if (row.mode == SoundMode::Auto) {  // each channel chooses for itself, one hint line for both
      ASSERT_EQ(std::count_if(host.calls.begin(), host.calls.end(),
                              [](const std::string& c) { return c.starts_with("hint:"); }),
                1);
      const auto hint = *std::find_if(host.calls.begin(), host.calls.end(),
                                      [](const std::string& c) { return c.starts_with("hint:"); });
      EXPECT_NE(hint.find("Left: Auto: waveform"), std::string::npos) << hint;
      EXPECT_NE(hint.find("Right: Auto: pitch"), std::string::npos) << hint;
    }
  }
}

// A right channel the file lacks is refused with "Error" before the file is
// touched, and nothing plays.
TEST_F(WriteWaveTest, MissingRightChannelIsRefusedBeforeTheFile) {
  const auto c3d = HandFilled({1, 2, 3}, 1000);
  for (const int right : {-1, 1}) {
    host.calls.clear();
    EXPECT_EQ(sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 8000, .right = right},
                               soundBuffer, file, host),
              WaveOutcome::Failed);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "message:Error"}));
    EXPECT_FALSE(std::filesystem::exists(file));
  }
}

}  // namespace
