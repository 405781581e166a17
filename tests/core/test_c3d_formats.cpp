// One recording written in all six combinations of processor format and
// sample kind must load to the same members, parameters, events and samples:
// only the processor type (and, between integer and float files, the element
// type and the scale factor's sign) may differ.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/core/ReaderTestUtil.h"

using c3dtest::Proc;
using c3dtest::Recording;
using namespace readertest;

namespace {

Recording SixWayRecording(Proc proc, bool floatData) {
  Recording rec;
  rec.proc = proc;
  rec.floatData = floatData;
  rec.scaleFactor = 0.25f;
  rec.frameRate = 60.0f;
  rec.firstFrame = 7;
  rec.samplesPerFrame = 3;
  // Integral sample values, so integer and float files hold the same numbers.
  rec.analog = {{0, 1, -1, 32767, -32768, 100, 200, 300, 400}, {5, 6, 7, 8, 9, 10, 11, 12, 13}};
  rec.points = {{1, 2, 3, 0, 4, 5, 6, -1, 7, 8, 9, 16}};
  c3dtest::AddStandardParameters(rec, {"EMG L", "EMG R"}, {0.5, 0.25}, {-3, 4}, 2.0);
  rec.records.push_back(Group(3, "EXTRA", "all parameter types"));
  rec.records.push_back(Numbers(3, "BYTES", 1, {3}, {0, 200, 255}));
  rec.records.push_back(Numbers(3, "WORDS", 2, {2, 3}, {-1, 0, 1, -32768, 32767, 42}));
  rec.records.push_back(Numbers(3, "REALS", 4, {4}, {1.0, -2.5, 0.1, 1e-9}));
  rec.records.push_back(Numbers(3, "SCALAR", 4, {}, {3.5}));
  rec.records.push_back(Chars(3, "ROWS", {4, 3}, {"ab", "cdef", ""}));
  rec.records.push_back(Numbers(3, "ODD", 3, {2}, {}));
  rec.events = {{"RHS", 0.5f, 1}, {"LTO ", 0.1f, 200}};
  return rec;
}

struct Combination {
  Proc proc;
  bool floatData;
};

class SixCombinations : public ::testing::TestWithParam<Combination> {};

TEST_P(SixCombinations, LoadLikeTheIntelIntegerFile) {
  CC3d reference;
  const auto referenceBytes = c3dtest::WriteC3d(SixWayRecording(Proc::Intel, false));
  ASSERT_TRUE(LoadBytes(reference, referenceBytes));

  const auto [proc, floatData] = GetParam();
  CC3d c3d;
  const auto bytes = c3dtest::WriteC3d(SixWayRecording(proc, floatData));
  ASSERT_TRUE(LoadBytes(c3d, bytes)) << LoadErrorText(c3d.m_loadError);

  EXPECT_EQ(static_cast<int>(c3d.m_nProcessorType), static_cast<int>(proc));
  EXPECT_EQ(c3d.m_bIntegerData, !floatData);
  EXPECT_EQ(c3d.m_fScaleFactor, floatData ? -0.25f : 0.25f);
  EXPECT_EQ(c3d.m_nParamBlock, reference.m_nParamBlock);
  EXPECT_EQ(c3d.m_nPoints, reference.m_nPoints);
  EXPECT_EQ(c3d.m_nAnalogPerFrame, reference.m_nAnalogPerFrame);
  EXPECT_EQ(c3d.m_nFirstFrame, reference.m_nFirstFrame);
  EXPECT_EQ(c3d.m_nLastFrame, reference.m_nLastFrame);
  EXPECT_EQ(c3d.m_nAnalogSamplesPerFrame, reference.m_nAnalogSamplesPerFrame);
  EXPECT_EQ(c3d.m_nDataBlock, reference.m_nDataBlock);
  EXPECT_EQ(c3d.m_nAnalogChannels, reference.m_nAnalogChannels);
  EXPECT_EQ(c3d.m_fFrameRate, reference.m_fFrameRate);

  ExpectSameRecords(c3d, reference);
  ExpectSameAnalogs(c3d, reference);
  ASSERT_EQ(c3d.m_videos.size(), reference.m_videos.size());
  for (std::size_t p = 0; p < c3d.m_videos.size(); ++p) {
    for (std::size_t i = 0; i < 4u * 3u; ++i) {
      EXPECT_EQ(SampleAt(c3d, c3d.m_videos[p]->m_pData, i),
                SampleAt(reference, reference.m_videos[p]->m_pData, i));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    ProcessorAndSampleKind, SixCombinations,
    ::testing::Values(Combination{Proc::Intel, false}, Combination{Proc::Intel, true},
                      Combination{Proc::Dec, false}, Combination{Proc::Dec, true},
                      Combination{Proc::Mips, false}, Combination{Proc::Mips, true}));

// The reference file itself: the values arrive where the layout puts them.
TEST(SixCombinations, ReferenceHoldsTheWrittenValues) {
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(SixWayRecording(Proc::Dec, true))));
  ASSERT_EQ(c3d.m_analogs.size(), 2u);
  EXPECT_EQ(c3d.GetAnalogSampleCount(), 9);
  EXPECT_EQ(c3d.m_analogs[0]->FloatSamples()[3], 32767.0f);
  EXPECT_EQ(c3d.m_analogs[0]->m_fMin, -32768.0f);
  EXPECT_EQ(c3d.m_analogs[0]->m_fMax, 32767.0f);
  EXPECT_EQ(c3d.m_analogs[1]->FloatSamples()[8], 13.0f);
  EXPECT_EQ(c3d.m_analogs[0]->m_fOffset, -3.0f);
  EXPECT_EQ(c3d.m_analogs[0]->m_fScale, 1.0f);  // SCALE 0.5 x GEN_SCALE 2
  ASSERT_EQ(c3d.m_videos.size(), 1u);
  EXPECT_EQ(SampleAt(c3d, c3d.m_videos[0]->m_pData, 7), -1.0);  // frame 1's fourth word
  EXPECT_EQ(SampleAt(c3d, c3d.m_videos[0]->m_pData, 8), 7.0);
}

}  // namespace
