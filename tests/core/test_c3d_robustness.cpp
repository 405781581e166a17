// Malformed input must fail cleanly or load into a consistent object: every
// truncation of a small file and a few hundred random byte flips. Run under
// the sanitizer build, this also proves the absence of overflows and
// undefined conversions on these paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/c3d/ChannelNames.h"
#include "tests/core/ReaderTestUtil.h"
#include "tests/support/ScratchDir.h"

using c3dtest::Proc;
using c3dtest::Recording;
using namespace readertest;

namespace {

Recording SmallRecording(Proc proc, bool floatData) {
  Recording rec;
  rec.proc = proc;
  rec.floatData = floatData;
  rec.samplesPerFrame = 2;
  rec.analog = {{1, 2, 3, 4, 5, 6}, {-1, -2, -3, -4, -5, -6}};
  rec.points = {{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}};
  c3dtest::AddStandardParameters(rec, {"LEFT", "RIGHT"}, {0.5, 2}, {0, 1}, 1.0);
  rec.records.push_back(Numbers(2, "BYTES", 1, {3}, {1, 2, 250}));
  rec.events = {{"A", 0.01f, 1}, {"B", 0.02f, 0}};
  return rec;
}

// What every successful load must satisfy, whatever the bytes were.
void ExpectConsistent(const CC3d& c3d, bool loaded, const std::string& context) {
  SCOPED_TRACE(context);
  if (!loaded) {
    EXPECT_NE(c3d.m_loadError, C3dLoadError::None);
    return;
  }
  EXPECT_EQ(c3d.m_loadError, C3dLoadError::None);
  EXPECT_EQ(c3d.m_nGroups, static_cast<int>(c3d.m_groups.size()));
  EXPECT_EQ(c3d.m_nParams, static_cast<int>(c3d.m_params.size()));
  EXPECT_LE(c3d.m_events.size(), 18u);
  EXPECT_TRUE(c3d.m_bDataAllocated);
  ASSERT_EQ(c3d.m_analogs.size(), c3d.m_nAnalogChannels);
  ASSERT_EQ(c3d.m_videos.size(), c3d.m_nPoints);
  const std::size_t width = c3d.SampleWidth();
  const std::int64_t frames = c3d.FrameCount();
  for (std::size_t m = 0; m < c3d.m_analogs.size(); ++m) {
    ASSERT_EQ(c3d.m_analogs[m]->m_pSamples.size(),
              static_cast<std::size_t>(c3d.GetAnalogSampleCount()) * width);
    if (c3d.m_bIntegerData) {
      EXPECT_LE(c3d.m_analogs[m]->m_fMin, c3d.m_analogs[m]->m_fMax);
    }
    EXPECT_FALSE(AnalogChannelName(c3d, static_cast<int>(m)).empty());
  }
  for (const auto& video : c3d.m_videos) {
    ASSERT_EQ(video->m_pData.size(), static_cast<std::size_t>(frames) * 4 * width);
  }
  for (const auto& p : c3d.m_params) {
    ASSERT_GE(p->m_nCount, 0);
    if (p->m_nType == -1) {
      EXPECT_EQ(p->m_strings.size(), static_cast<std::size_t>(p->m_nCount));
    } else if (p->m_nType == 1 || p->m_nType == 2 || p->m_nType == 4) {
      EXPECT_EQ(p->m_pValues.size(), static_cast<std::size_t>(p->m_nCount));
    } else {
      EXPECT_TRUE(p->m_pValues.empty() && p->m_strings.empty());
    }
    EXPECT_EQ(p->m_pDimensions.size(), p->m_nDimensions);
  }
  // Every lookup over what was read answers without touching anything else.
  for (const auto& g : c3d.m_groups) {
    for (const auto& p : c3d.m_params) {
      for (int i = -1; i <= p->m_nCount; ++i)
        c3d.GetParameterString(g->m_strName, p->m_strName, i, 3);
    }
  }
}

class Malformed : public ::testing::TestWithParam<std::pair<Proc, bool>> {};

TEST_P(Malformed, EveryTruncationLoadsOnceTheHeaderIsWhole) {
  const auto bytes = c3dtest::WriteC3d(SmallRecording(GetParam().first, GetParam().second));
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    CC3d c3d;
    const bool loaded = c3d.LoadFromMemory(bytes.data(), length);
    // Missing bytes read as zeros: a cut parameter section simply ends the
    // walk, a cut data section repeats its last frame.
    EXPECT_EQ(loaded, length >= 30) << length;
    ExpectConsistent(c3d, loaded, "length " + std::to_string(length));
  }
}

TEST_P(Malformed, RandomByteFlipsLoadOrFailCleanly) {
  const auto original = c3dtest::WriteC3d(SmallRecording(GetParam().first, GetParam().second));
  std::mt19937 random(20240601u + static_cast<unsigned>(GetParam().first));
  // Flips land in the header and parameter section, where they steer the
  // reading; the data section only holds values.
  std::uniform_int_distribution<std::size_t> where(0, 1023);
  std::uniform_int_distribution<int> value(0, 255);
  std::uniform_int_distribution<int> howMany(1, 4);
  int loaded = 0;
  for (int round = 0; round < 100; ++round) {
    auto bytes = original;
    std::string context = "round " + std::to_string(round) + ":";
    for (int n = howMany(random); n > 0; --n) {
      const std::size_t at = where(random);
      bytes[at] = static_cast<std::uint8_t>(value(random));
      context += " [" + std::to_string(at) + "]=" + std::to_string(bytes[at]);
    }
    CC3d c3d;
    const bool ok = LoadBytes(c3d, bytes);
    loaded += ok ? 1 : 0;
    ExpectConsistent(c3d, ok, context);
  }
  EXPECT_GT(loaded, 0);  // the flips leave many files readable: the checks above ran
}

INSTANTIATE_TEST_SUITE_P(Formats, Malformed,
                         ::testing::Values(std::make_pair(Proc::Intel, false),
                                           std::make_pair(Proc::Dec, true),
                                           std::make_pair(Proc::Mips, false),
                                           std::make_pair(Proc::Mips, true)));

// A file cut by another program after it was opened: bytes that the size
// taken at opening promised and a read no longer finds are a failure
// (Shrank), which Load reports, not the end of the data, which Load would
// fill with zeros or repeated frames. Reading past the end of a file that
// was short from the start stays no failure.
TEST(ByteSource, AFileCutAfterOpeningFailsTheRead) {
  c3dtest::ScratchDir dir;
  const std::filesystem::path path = dir / "cut.c3d";
  ASSERT_TRUE(c3dtest::WriteFile(path.string(), std::vector<std::uint8_t>(4096, 7)));
  CByteSource source;
  ASSERT_TRUE(source.OpenFile(path.string()));
  std::filesystem::resize_file(path, 1000);
  unsigned char buffer[512];
  EXPECT_EQ(source.Read(buffer, sizeof buffer), sizeof buffer);
  EXPECT_FALSE(source.Failed());
  EXPECT_EQ(source.Read(buffer, sizeof buffer), 488u);
  EXPECT_TRUE(source.Failed());
  EXPECT_TRUE(source.Shrank());

  ASSERT_TRUE(source.OpenFile(path.string()));
  ASSERT_TRUE(source.Seek(900));
  EXPECT_EQ(source.Read(buffer, sizeof buffer), 100u);
  EXPECT_FALSE(source.Failed());
  EXPECT_FALSE(source.Shrank());
  // A folder opens with fopen, and its read error looked like a cut file.
  EXPECT_FALSE(source.OpenFile(dir.Path().string()));
}

}  // namespace
