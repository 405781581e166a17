// The data section: frame layout, the short-file rule and the limits on
// sample storage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <limits>

#include "core/c3d/C3dNumbers.h"
#include "core/c3d/SampleExtremes.h"
#include "core/c3d/SampleStorage.h"
#include "tests/core/ReaderTestUtil.h"
#include "tests/support/ScratchDir.h"

using c3dtest::Proc;
using c3dtest::Recording;
using namespace readertest;

namespace {

constexpr std::size_t kDataStart = 1024;  // block 3, after a one-block parameter section

TEST(C3dData, NoPointsAndNoChannelsStillAllocate) {
  Recording rec;
  rec.lastFrame = 20;
  rec.samplesPerFrame = 0;
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  EXPECT_TRUE(c3d.m_bDataAllocated);
  EXPECT_TRUE(c3d.m_analogs.empty());
  EXPECT_TRUE(c3d.m_videos.empty());
}

TEST(C3dData, NoFramesWithChannelsOrPointsIsNotEnoughMemory) {
  // Last frame one below the first (F = 0), and far below it (F < 0).
  for (const std::uint16_t last : {std::uint16_t{4}, std::uint16_t{1}}) {
    for (const bool points : {false, true}) {
      Recording rec;
      rec.firstFrame = 5;
      rec.lastFrame = last;
      if (points) {
        rec.pointCount = 1;
        rec.samplesPerFrame = 0;
      } else {
        rec.analog = {{}};
      }
      rec.analogPerFrame = points ? 0 : 1;
      CC3d c3d;
      EXPECT_FALSE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
      EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory);
      EXPECT_STREQ(LoadErrorText(c3d.m_loadError), "Not Enough memory to open file");
      EXPECT_FALSE(c3d.m_bDataAllocated);
    }
  }
}

TEST(C3dData, AnalogValuesAreSampleMajorAndSurplusIsSkipped) {
  // One point, A = 10 values per frame, S = 3: M = 3 channels, the tenth value
  // of each frame is surplus. Each element is patched to 1000 + its index in
  // the file, so the mapping is checked independently of the writer's layout.
  Recording rec;
  rec.samplesPerFrame = 3;
  rec.analog = {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
  rec.analogPerFrame = 10;
  rec.points = {{0, 0, 0, 0, 0, 0, 0, 0}};
  const std::size_t elements = 2 * 14;
  for (std::size_t e = 0; e < elements; ++e) {
    const auto v = c3dtest::EncodeInt16(static_cast<std::int16_t>(1000 + e), Proc::Intel);
    rec.patches.push_back({kDataStart + 2 * e, v[0]});
    rec.patches.push_back({kDataStart + 2 * e + 1, v[1]});
  }
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  ASSERT_EQ(c3d.m_analogs.size(), 3u);
  const std::int16_t* ch2 = c3d.m_analogs[2]->IntSamples();
  // Frame 0: elements 4N + 2, 4N + 5, 4N + 8 with N = 1; frame 1 starts at 14.
  EXPECT_EQ(std::vector<int>(ch2, ch2 + 6), (std::vector<int>{1006, 1009, 1012, 1020, 1023, 1026}));
  const std::int16_t* ch0 = c3d.m_analogs[0]->IntSamples();
  EXPECT_EQ(std::vector<int>(ch0, ch0 + 3), (std::vector<int>{1004, 1007, 1010}));
  const auto* point = reinterpret_cast<const std::int16_t*>(c3d.m_videos[0]->m_pData.data());
  EXPECT_EQ(std::vector<int>(point, point + 8),
            (std::vector<int>{1000, 1001, 1002, 1003, 1014, 1015, 1016, 1017}));
  EXPECT_EQ(c3d.m_analogs[2]->m_fMin, 1006.0f);
  EXPECT_EQ(c3d.m_analogs[2]->m_fMax, 1026.0f);
}

// The frame-by-frame model of a short data section: a frame takes the bytes
// the file has for it over the previous frame's bytes (zeros before the
// first), so the frame where the file ends is a mix and every later frame
// repeats it. Values are decoded here independently of the reader's runs.
struct Model {
  std::vector<std::vector<double>> channels;
  std::vector<std::vector<double>> points;
};

Model ModelOfShortFile(const std::vector<std::uint8_t>& full, std::size_t length,
                       const Recording& rec, std::size_t frames) {
  const std::size_t w = rec.floatData ? 4 : 2;
  const std::size_t N = rec.points.size();
  const std::size_t M = rec.analog.size();
  const std::size_t S = rec.samplesPerFrame;
  const std::size_t frameBytes = (4 * N + M * S) * w;
  std::vector<std::uint8_t> buffer(frameBytes, 0);
  Model model{std::vector<std::vector<double>>(M), std::vector<std::vector<double>>(N)};
  auto element = [&](std::size_t e) -> double {
    const unsigned char* b = buffer.data() + e * w;
    if (!rec.floatData) return rec.proc == Proc::Mips ? c3d::Int16Big(b) : c3d::Int16Little(b);
    const std::uint32_t stored = c3d::StoredWord(b);
    return rec.proc == Proc::Mips  ? CC3d::MipsToFloat(stored)
           : rec.proc == Proc::Dec ? CC3d::DecToFloat(stored)
                                   : c3d::IntelFloatBits(stored);
  };
  for (std::size_t f = 0; f < frames; ++f) {
    const std::size_t at = kDataStart + f * frameBytes;
    const std::size_t delivered = length > at ? std::min(length - at, frameBytes) : 0;
    std::memcpy(buffer.data(), full.data() + at, delivered);
    for (std::size_t p = 0; p < N; ++p) {
      for (std::size_t j = 0; j < 4; ++j) model.points[p].push_back(element(4 * p + j));
    }
    for (std::size_t s = 0; s < S; ++s) {
      for (std::size_t m = 0; m < M; ++m) model.channels[m].push_back(element(4 * N + M * s + m));
    }
  }
  return model;
}

// Equal values, or both NaN (a mixed DEC frame can decode to NaN).
bool SameValue(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

class ShortDataSection : public ::testing::TestWithParam<std::pair<Proc, bool>> {};

TEST_P(ShortDataSection, MatchesTheFrameByFrameRuleAtEveryLength) {
  Recording rec;
  rec.proc = GetParam().first;
  rec.floatData = GetParam().second;
  rec.samplesPerFrame = 2;
  constexpr std::size_t kFrames = 6;
  rec.analog = {{}, {}};
  rec.points = {{}};
  for (std::size_t i = 0; i < 2 * kFrames; ++i) {
    rec.analog[0].push_back(100.0 + static_cast<double>(i));
    rec.analog[1].push_back(-300.0 - 7.0 * static_cast<double>(i));
  }
  for (std::size_t i = 0; i < 4 * kFrames; ++i)
    rec.points[0].push_back(4000.0 + 13.0 * static_cast<double>(i));
  const auto full = c3dtest::WriteC3d(rec);
  ASSERT_EQ(full.size(), kDataStart + kFrames * (4 + 4) * (rec.floatData ? 4 : 2));

  for (std::size_t length = kDataStart; length <= full.size(); ++length) {
    CC3d c3d;
    ASSERT_TRUE(c3d.LoadFromMemory(full.data(), length)) << length;
    const Model model = ModelOfShortFile(full, length, rec, kFrames);
    for (std::size_t m = 0; m < 2; ++m) {
      for (std::size_t i = 0; i < 2 * kFrames; ++i) {
        ASSERT_PRED2(SameValue, SampleAt(c3d, c3d.m_analogs[m]->m_pSamples, i),
                     model.channels[m][i])
            << "length " << length << " channel " << m << " sample " << i;
      }
    }
    for (std::size_t i = 0; i < 4 * kFrames; ++i) {
      ASSERT_PRED2(SameValue, SampleAt(c3d, c3d.m_videos[0]->m_pData, i), model.points[0][i])
          << "length " << length;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ShortDataSection,
                         ::testing::Values(std::make_pair(Proc::Intel, false),
                                           std::make_pair(Proc::Mips, false),
                                           std::make_pair(Proc::Dec, true),
                                           std::make_pair(Proc::Mips, true)));

// Many frames in a file much shorter than its header says: the reader's runs
// of frames must still give the frame-by-frame result across run boundaries.
TEST(C3dData, LongTruncatedRecordingRepeatsItsLastFrame) {
  Recording rec;
  rec.samplesPerFrame = 1;
  rec.lastFrame = 60000;  // the header claims 60000 frames
  rec.analog = {std::vector<double>(60000)};
  for (std::size_t i = 0; i < 60000; ++i) rec.analog[0][i] = static_cast<double>(i % 30000);
  const auto full = c3dtest::WriteC3d(rec);
  const std::size_t cut = kDataStart + 2 * 45000 + 1;  // inside frame 45000
  CC3d c3d;
  ASSERT_TRUE(c3d.LoadFromMemory(full.data(), cut));
  const std::int16_t* s = c3d.m_analogs[0]->IntSamples();
  EXPECT_EQ(s[44999], 14999);
  // Frame 45000: low byte from the file (45000 % 30000 = 15000 = 0x3A98),
  // high byte kept from frame 44999 (14999 = 0x3A97).
  EXPECT_EQ(s[45000], 0x3A98);
  EXPECT_EQ(s[59999], 0x3A98);
  EXPECT_EQ(c3d.m_analogs[0]->m_fMax, 29999.0f);
}

TEST(C3dData, HeadersClaimingHugeStorageAreRefusedBeforeAllocating) {
  struct Row {
    const char* what;
    std::uint16_t points;
    std::uint16_t analogPerFrame;
    std::uint16_t samplesPerFrame;
  };
  // 65536 frames of 65535 channels (8.6 GB of int16) or of 65535 points, from
  // a file of two blocks.
  const Row rows[] = {
      {"channels", 0, 65535, 1}, {"points", 65535, 0, 1}, {"samples", 0, 65535, 65535}};
  for (const Row& row : rows) {
    Recording rec;
    rec.firstFrame = 0;
    rec.lastFrame = 65535;
    rec.pointCount = row.points;
    rec.analogPerFrame = row.analogPerFrame;
    rec.samplesPerFrame = row.samplesPerFrame;
    rec.writtenFrames = 0;
    rec.truncateTo = 1100;
    CC3d c3d;
    EXPECT_FALSE(LoadBytes(c3d, c3dtest::WriteC3d(rec))) << row.what;
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory) << row.what;
    EXPECT_TRUE(c3d.m_analogs.empty());
  }
}

TEST(SampleStorageCanBeHeld, BoundsByMemoryAndByTheBytesPresent) {
  constexpr std::uint64_t MiB = 1ull << 20;
  constexpr std::uint64_t GiB = 1ull << 30;
  struct Row {
    std::uint64_t storage, present, physical;
    bool held;
  };
  const Row rows[] = {
      {100 * MiB, 100 * MiB, 0, true},          // complete file, memory unknown
      {100 * MiB, 200 * MiB, 64 * MiB, false},  // more than the machine has
      {32 * MiB, 0, 0, true},                   // repetition within the fixed allowance
      {32 * MiB + 1, 0, 0, false},
      {532 * MiB, 100 * MiB, 0, true},  // missing part up to 32 MiB + 4x what is present
      {532 * MiB + 1, 100 * MiB, 0, false},
      {37 * MiB, 1 * MiB, 0, true},  // the most a 1 MiB file may fill
      {37 * MiB + 1, 1 * MiB, 0, false},
      {(1ull << 63) - 1, 1ull << 62, 0, true},  // 4x present would wrap 64 bits
      {9 * GiB, 1024, 32 * GiB, false},         // a small file claiming gigabytes
  };
  for (const Row& r : rows) {
    // Storage beyond the address space (2^63 bytes in 32-bit builds) is never held.
    const bool addressable =
        r.storage <= static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
    EXPECT_EQ(c3d::SampleStorageCanBeHeld(r.storage, r.present, r.physical), r.held && addressable)
        << r.storage << " " << r.present << " " << r.physical;
  }
  EXPECT_GT(c3d::PhysicalMemoryBytes(), 0u);  // POSIX hosts report their memory
}

TEST(C3dLoad, FileAndMemoryGiveTheSameResult) {
  c3dtest::ScratchDir dir;
  const auto bytes = c3dtest::WriteC3d(c3dtest::DemoRecording());
  const std::string path = (dir / "demo.c3d").string();
  ASSERT_TRUE(c3dtest::WriteFile(path, bytes));
  // A writer keeps the file open: the reader shares it.
  std::ofstream holder(path, std::ios::binary | std::ios::app);
  CC3d fromFile;
  fromFile.m_strPathName = path;
  ASSERT_TRUE(fromFile.Load());
  EXPECT_FALSE(fromFile.m_file.IsOpen());  // closed again after loading
  CC3d fromMemory;
  ASSERT_TRUE(LoadBytes(fromMemory, bytes));
  EXPECT_EQ(fromFile.m_nParams, fromMemory.m_nParams);
  ASSERT_EQ(fromFile.m_analogs.size(), fromMemory.m_analogs.size());
  for (std::size_t m = 0; m < fromFile.m_analogs.size(); ++m) {
    EXPECT_EQ(fromFile.m_analogs[m]->m_pSamples, fromMemory.m_analogs[m]->m_pSamples);
  }
}

TEST(C3dLoad, ADirectoryFailsCleanly) {
  c3dtest::ScratchDir dir;
  CC3d c3d;
  c3d.m_strPathName = dir.Path().string();
  EXPECT_FALSE(c3d.Load());
  EXPECT_NE(c3d.m_loadError, C3dLoadError::None);
}

TEST(C3dLoad, ClearReleasesEverythingAndRepeatsHarmlessly) {
  CC3d c3d;
  const auto bytes = c3dtest::WriteC3d(c3dtest::DemoRecording());
  ASSERT_TRUE(LoadBytes(c3d, bytes));
  c3d.Clear();
  EXPECT_EQ(c3d.m_nGroups, 0);
  EXPECT_EQ(c3d.m_nParams, 0);
  EXPECT_TRUE(c3d.m_groups.empty() && c3d.m_params.empty() && c3d.m_events.empty());
  EXPECT_TRUE(c3d.m_analogs.empty() && c3d.m_videos.empty());
  EXPECT_FALSE(c3d.m_bDataAllocated);
  EXPECT_EQ(c3d.m_nAnalogChannels, 4);  // header members keep their values
  c3d.Clear();
  // A second Load on the same object starts from empty lists.
  ASSERT_TRUE(LoadBytes(c3d, bytes));
  ASSERT_TRUE(LoadBytes(c3d, bytes));
  EXPECT_EQ(c3d.m_nGroups, 2);
  EXPECT_EQ(static_cast<int>(c3d.m_groups.size()), 2);
}

}  // namespace

class PartedDataSection : public ::testing::TestWithParam<std::pair<Proc, bool>> {};

// A data section large enough (8 MB and more, all present) to be read in
// parts on several threads reads as written, from memory and from a file, and each channel's
// extremes are those of one scan of all its samples: a zero of each sign in lanes and parts of
// opposite order catches a join that keeps the wrong one; a NaN first sample stays both extremes.
// Intel floats and MIPS integers (the byte order swapped).
TEST_P(PartedDataSection, ReadsAsWrittenWithOneScansExtremes) {
  Recording rec;
  rec.proc = GetParam().first;
  rec.floatData = GetParam().second;
  rec.samplesPerFrame = rec.floatData ? 10 : 20;  // 53,000 frames of 4 channels: 8.5 MB
  const std::size_t n = 53'000 * std::size_t{rec.samplesPerFrame};
  rec.analog.assign(4, {});
  for (std::size_t m = 0; m < 4; ++m) {
    for (std::size_t i = 0; i < n; ++i)
      rec.analog[m].push_back(
          static_cast<double>((i * 7919 + m * 31) % 20000) / (rec.floatData ? 8.0 : 1.0) + 1.0);
  }
  const std::size_t lateLane2 = n - 16 * 100 + 2;
  rec.analog[0][5] = 0.0;  // lane 5 early, lane 2 late: the late -0 is kept
  rec.analog[0][lateLane2] = rec.floatData ? -0.0 : -3.0;
  rec.analog[2][2] = 0.0;  // both in lane 2: the early +0 is kept
  rec.analog[2][lateLane2] = rec.floatData ? -0.0 : 0.0;
  rec.analog[1][0] = rec.floatData ? std::numeric_limits<double>::quiet_NaN() : -32768.0;
  c3dtest::AddStandardParameters(rec, {}, {}, {}, std::nullopt);
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  c3dtest::ScratchDir dir;
  const std::string path = (dir / "parted.c3d").string();
  ASSERT_TRUE(c3dtest::WriteFile(path, bytes));
  CC3d fromFile;
  fromFile.m_strPathName = path;
  ASSERT_TRUE(fromFile.Load());
  CC3d fromMemory;
  ASSERT_TRUE(LoadBytes(fromMemory, bytes));
  for (const CC3d* c3d : {&fromFile, &fromMemory}) {
    ASSERT_EQ(c3d->m_analogs.size(), 4u);
    for (std::size_t m = 0; m < 4; ++m) {
      const CAnalog& analog = *c3d->m_analogs[m];
      ASSERT_EQ(c3d->SamplesPerChannel(), static_cast<std::int64_t>(n));
      std::size_t differ = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const double v = rec.floatData ? analog.FloatSamples()[i] : analog.IntSamples()[i];
        differ += SameValue(v, static_cast<float>(rec.analog[m][i])) ? 0 : 1;
      }
      EXPECT_EQ(differ, 0u) << "channel " << m;
      const c3d::SampleExtremes scan = rec.floatData ? c3d::ScanExtremes(analog.FloatSamples(), n)
                                                     : c3d::ScanExtremes(analog.IntSamples(), n);
      float min = 0.0f;
      float max = 0.0f;
      c3d::WalkExtremes(scan, static_cast<float>(SampleAt(*c3d, analog.m_pSamples, 0)), min, max);
      EXPECT_TRUE(SameValue(analog.m_fMin, min) && std::signbit(analog.m_fMin) == std::signbit(min))
          << "channel " << m;
      EXPECT_TRUE(SameValue(analog.m_fMax, max)) << "channel " << m;
    }
  }
  EXPECT_TRUE(std::signbit(fromMemory.m_analogs[0]->m_fMin));  // -0 (floats), -3
  EXPECT_FALSE(std::signbit(fromMemory.m_analogs[2]->m_fMin));
}

INSTANTIATE_TEST_SUITE_P(Formats, PartedDataSection,
                         ::testing::Values(std::make_pair(Proc::Intel, true),
                                           std::make_pair(Proc::Mips, false)));
