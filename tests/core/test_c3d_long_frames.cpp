// Recordings longer than the header's 16-bit frame numbers can state: the
// length their parameters give reads whole, in each convention; a statement
// that the data section does not bear out changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <utility>

#include "tests/core/ReaderTestUtil.h"

namespace {

using c3dtest::LongFrames;
using c3dtest::Proc;
using readertest::LoadBytes;

constexpr std::uint16_t kSamplesPerFrame = 2;
constexpr std::size_t kChannels = 2;

// A ramp that 16-bit samples hold exactly, wrapping every 30000 values.
double Ramp(std::size_t i) { return static_cast<double>(i % 30000) - 15000.0; }

struct Statement {
  LongFrames convention;
  std::uint32_t frames;
};

// `dataFrames` frames at 100 Hz, two channels of S = 2 and one point, every
// value a ramp position, with an event at 900 s (frame 90001); the header
// says frames 1 to 65535 and the parameters make `statements`. One frame
// record is 16 bytes of int16, so 65535 frames end 16 bytes before a block
// boundary.
std::vector<std::uint8_t> LongFile(Proc proc, bool floatData, std::size_t dataFrames,
                                   const std::vector<Statement>& statements,
                                   std::vector<std::uint8_t> trailing = {}) {
  c3dtest::Recording rec;
  rec.proc = proc;
  rec.floatData = floatData;
  rec.samplesPerFrame = kSamplesPerFrame;
  rec.analog.assign(kChannels, {});
  for (std::size_t m = 0; m < kChannels; ++m) {
    for (std::size_t i = 0; i < dataFrames * kSamplesPerFrame; ++i)
      rec.analog[m].push_back(Ramp(i + m));
  }
  rec.points.assign(1, {});
  for (std::size_t f = 0; f < dataFrames; ++f)
    rec.points[0].insert(rec.points[0].end(), {Ramp(f), 1, 2, 3});
  c3dtest::AddStandardParameters(rec, {}, {}, {}, std::nullopt);
  rec.firstFrame = 1;
  rec.lastFrame = 65535;
  for (const Statement& s : statements) c3dtest::StateFrameCount(rec, s.convention, s.frames);
  rec.dataFrames = dataFrames;
  rec.events = {{"LATE", 900.0f, 1}};
  rec.trailing = std::move(trailing);
  return c3dtest::WriteC3d(rec);
}

struct WholeRow {
  const char* name;
  Proc proc;
  bool floatData;
  std::vector<Statement> statements;
  std::size_t dataFrames = 100000;
  friend void PrintTo(const WholeRow& row, std::ostream* os) { *os << row.name; }
};

class C3dLongFrames : public ::testing::TestWithParam<WholeRow> {};

// Catches a reader that keeps the header's 65535 frames, takes the wrong
// convention first, reads the long range at a wrong offset, or does not
// repeat a short file's last frame to the stated end.
TEST_P(C3dLongFrames, ReadsEveryFrameTheParametersState) {
  constexpr std::size_t kFrames = 100000;
  const WholeRow& row = GetParam();
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, LongFile(row.proc, row.floatData, row.dataFrames, row.statements)))
      << LoadErrorText(c3d.m_loadError);
  // Sample i of a channel as written: frames past the data repeat the last one.
  const std::size_t lastWritten = (row.dataFrames - 1) * kSamplesPerFrame;
  auto written = [&](std::size_t i) {
    return i < lastWritten ? i : lastWritten + i % kSamplesPerFrame;
  };
  EXPECT_EQ(c3d.m_nHeaderLastFrame, 65535);
  EXPECT_EQ(c3d.m_nFirstFrame, 1u);
  EXPECT_EQ(c3d.m_nLastFrame, kFrames);
  const std::size_t count = kFrames * kSamplesPerFrame;
  ASSERT_EQ(c3d.SamplesPerChannel(), static_cast<std::int64_t>(count));
  ASSERT_EQ(c3d.GetAnalogSampleCount(), static_cast<int>(count));
  for (std::size_t m = 0; m < kChannels; ++m) {
    ASSERT_EQ(c3d.m_analogs[m]->m_pSamples.size(), count * c3d.SampleWidth());
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(readertest::SampleAt(c3d, c3d.m_analogs[m]->m_pSamples, i), Ramp(written(i) + m))
          << "channel " << m << " sample " << i;
    }
    EXPECT_EQ(c3d.m_analogs[m]->m_fMin, -15000.0f);
    EXPECT_EQ(c3d.m_analogs[m]->m_fMax, 14999.0f);
  }
  // X of the point's last frame.
  EXPECT_EQ(readertest::SampleAt(c3d, c3d.m_videos[0]->m_pData, 4 * (kFrames - 1)),
            Ramp(std::min(kFrames, row.dataFrames) - 1));

  // The event at 900 s lies past frame 65535, and its sample is in storage.
  ASSERT_EQ(c3d.m_events.size(), 1u);
  EXPECT_EQ(c3d.m_events[0]->m_nFrame, 90001);
  EXPECT_EQ(c3d.m_events[0]->m_nAnalogSample, 180001);
  EXPECT_EQ(readertest::SampleAt(c3d, c3d.m_analogs[0]->m_pSamples, 180000), Ramp(written(180000)));
}

INSTANTIATE_TEST_SUITE_P(
    Conventions, C3dLongFrames,
    ::testing::Values(
        WholeRow{"PointFramesFloat", Proc::Intel, false, {{LongFrames::PointFrames, 100000}}},
        WholeRow{"PointLongFrames", Proc::Mips, true, {{LongFrames::PointLongFrames, 100000}}},
        WholeRow{"TrialFields", Proc::Dec, false, {{LongFrames::TrialFields, 100000}}},
        // The conventions are believed in order: POINT:FRAMES before TRIAL.
        WholeRow{"FramesBeforeTrial",
                 Proc::Intel,
                 true,
                 {{LongFrames::PointFrames, 100000}, {LongFrames::TrialFields, 80000}}},
        // One that states no more than the header is passed over.
        WholeRow{"NoLongerIsPassedOver",
                 Proc::Intel,
                 false,
                 {{LongFrames::PointFrames, 65535}, {LongFrames::PointLongFrames, 100000}}},
        // A copy cut short after 80000 frames repeats its last frame.
        WholeRow{"ShortFileRepeatsItsLastFrame",
                 Proc::Mips,
                 false,
                 {{LongFrames::TrialFields, 100000}},
                 80000}),
    [](const auto& row) { return std::string(row.param.name); });

struct AsTodayRow {
  const char* name;
  std::size_t dataFrames;
  std::vector<Statement> statements;
  std::vector<std::uint8_t> trailing;
  friend void PrintTo(const AsTodayRow& row, std::ostream* os) { *os << row.name; }
};

class C3dLongFramesNotBorneOut : public ::testing::TestWithParam<AsTodayRow> {};

// Catches a reader that believes a stated length the data section does not
// hold: such files read exactly as the same file without the statement.
TEST_P(C3dLongFramesNotBorneOut, ReadsAsWithoutTheStatement) {
  const AsTodayRow& row = GetParam();
  CC3d c3d;
  CC3d reference;
  ASSERT_TRUE(
      LoadBytes(c3d, LongFile(Proc::Intel, false, row.dataFrames, row.statements, row.trailing)));
  ASSERT_TRUE(LoadBytes(reference, LongFile(Proc::Intel, false, row.dataFrames, {}, row.trailing)));
  EXPECT_EQ(c3d.m_nFirstFrame, 1u);
  EXPECT_EQ(c3d.m_nLastFrame, 65535u);
  ASSERT_EQ(c3d.m_analogs.size(), reference.m_analogs.size());
  for (std::size_t m = 0; m < c3d.m_analogs.size(); ++m) {
    EXPECT_TRUE(c3d.m_analogs[m]->m_pSamples == reference.m_analogs[m]->m_pSamples) << m;
  }
  EXPECT_TRUE(c3d.m_videos[0]->m_pData == reference.m_videos[0]->m_pData);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, C3dLongFramesNotBorneOut,
    ::testing::Values(
        // The data ends with the header's last frame.
        AsTodayRow{"DataEndsWithTheHeader", 65535, {{LongFrames::PointFrames, 100000}}, {}},
        // Zeros that pad the data section to its 512-byte block hold one
        // more frame record, but are padding.
        AsTodayRow{"BlockPaddingOnly",
                   65535,
                   {{LongFrames::TrialFields, 100000}},
                   std::vector<std::uint8_t>(16, 0)},
        // 4 000 000 000 frames could not be held: the header's range stands.
        AsTodayRow{
            "BeyondTheStorageBounds", 66000, {{LongFrames::PointLongFrames, 4000000000u}}, {}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
