// The header record: acceptance, the processor type, the derived values and
// the event table.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>

#include "tests/core/ReaderTestUtil.h"

using c3dtest::Proc;
using c3dtest::Recording;
using namespace readertest;

namespace {

Recording Small(Proc proc = Proc::Intel) {
  Recording rec;
  rec.proc = proc;
  rec.analog = {{1, 2, 3}};
  rec.records.push_back(Group(1, "POINT"));
  return rec;
}

TEST(C3dHeader, RejectsShortFilesAndAWrongKeyByte) {
  const auto good = c3dtest::WriteC3d(Small());
  for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{29}}) {
    CC3d c3d;
    EXPECT_FALSE(c3d.LoadFromMemory(good.data(), length));
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotC3d) << length;
  }
  auto wrongKey = good;
  wrongKey[1] = 0x51;
  CC3d c3d;
  EXPECT_FALSE(LoadBytes(c3d, wrongKey));
  EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotC3d);
}

TEST(C3dHeader, MissingFileCannotBeOpened) {
  CC3d c3d;
  c3d.m_strPathName = "/nonexistent/tremolux/none.c3d";
  EXPECT_FALSE(c3d.Load());
  EXPECT_EQ(c3d.m_loadError, C3dLoadError::CannotOpen);
}

struct ProcessorRow {
  const char* what;
  Proc writtenAs;
  std::uint8_t code;
  float frameRate;
  int expectedType;  // 0: rejected
};

class ProcessorType : public ::testing::TestWithParam<ProcessorRow> {};

TEST_P(ProcessorType, FollowsTheCodeThenTheFrameRate) {
  const ProcessorRow& row = GetParam();
  Recording rec = Small(row.writtenAs);
  rec.processorCode = row.code;
  rec.frameRate = row.frameRate;
  CC3d c3d;
  const bool loaded = LoadBytes(c3d, c3dtest::WriteC3d(rec));
  if (row.expectedType == 0) {
    EXPECT_FALSE(loaded);
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::UnknownProcessor);
  } else {
    ASSERT_TRUE(loaded) << LoadErrorText(c3d.m_loadError);
    EXPECT_EQ(static_cast<int>(c3d.m_nProcessorType), row.expectedType);
    EXPECT_EQ(c3d.m_fFrameRate, row.frameRate);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ProcessorType,
                         ::testing::Values(
                             // A valid code stands even when the frame rate then looks odd.
                             ProcessorRow{"DEC code, rate 0.5", Proc::Dec, 85, 0.5f, 2},
                             ProcessorRow{"MIPS code, rate 5000", Proc::Mips, 86, 5000.0f, 3},
                             // Without a code the first plausible decoding in [1, 1000) decides.
                             ProcessorRow{"no code, Intel 60", Proc::Intel, 0, 60.0f, 1},
                             ProcessorRow{"no code, DEC 60", Proc::Dec, 0, 60.0f, 2},
                             ProcessorRow{"no code, MIPS 60", Proc::Mips, 0, 60.0f, 3},
                             ProcessorRow{"no code, Intel 1.0", Proc::Intel, 0, 1.0f, 1},
                             ProcessorRow{"no code, Intel 1000", Proc::Intel, 0, 1000.0f, 0},
                             ProcessorRow{"no code, NaN", Proc::Intel, 0,
                                          std::numeric_limits<float>::quiet_NaN(), 0},
                             ProcessorRow{"code 83 wraps to 0", Proc::Intel, 83, 0.0f, 0}),
                         [](const auto& row) {
                           std::string name = row.param.what;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(C3dHeader, ScaleFactorSignSelectsTheSampleKind) {
  // 0.0 and -0.0 mean 16-bit integers; only a negative value means floats.
  for (const float scale : {0.0f, -0.0f, 0.1f, -0.1f}) {
    Recording rec = Small();
    rec.floatData = std::signbit(scale) && scale != 0.0f;
    rec.scaleFactor = scale;
    auto bytes = c3dtest::WriteC3d(rec);
    const auto stored = c3dtest::EncodeFloat(scale, Proc::Intel);
    std::copy(stored.begin(), stored.end(), bytes.begin() + 12);
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, bytes));
    EXPECT_EQ(c3d.m_bIntegerData, !(scale < 0.0f)) << scale;
  }
}

TEST(C3dHeader, ChannelCountIsValuesPerFrameOverSamplesPerFrame) {
  Recording rec = Small();
  rec.samplesPerFrame = 3;
  rec.analog = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  rec.analogPerFrame = 10;  // one surplus value per frame
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(c3d.m_nAnalogChannels, 3);

  rec.samplesPerFrame = 0;  // no samples per frame: no channels, whatever A says
  rec.analog.clear();
  CC3d none;
  ASSERT_TRUE(LoadBytes(none, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(none.m_nAnalogChannels, 0);
  EXPECT_TRUE(none.m_analogs.empty());
}

struct EventTableRow {
  std::uint16_t key;
  std::uint16_t count;
  std::size_t expected;
};

class EventTable : public ::testing::TestWithParam<EventTableRow> {};

TEST_P(EventTable, CountsOnlyWithKey12345AndAtMost18Events) {
  Recording rec = Small();
  for (int i = 0; i < 18; ++i) rec.events.push_back({"E", 0.1f * static_cast<float>(i), 1});
  rec.eventKey = GetParam().key;
  rec.eventCount = GetParam().count;
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(c3d.m_events.size(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, EventTable,
                         ::testing::Values(EventTableRow{12345, 19, 0}, EventTableRow{12345, 0, 0},
                                           EventTableRow{12345, 18, 18}, EventTableRow{12345, 3, 3},
                                           EventTableRow{57, 3, 0}));

TEST(C3dEvents, FrameAndSampleFollowTheSinglePrecisionPeriod) {
  struct Row {
    float rate;
    float time;
    std::uint16_t samplesPerFrame;
    int frame;
    int sample;
  };
  // 0.5 s at 60 Hz falls just below 30 periods: frame 30, sample 29 x S + 1.
  const Row rows[] = {
      {60.0f, 0.5f, 4, 30, 29 * 4 + 1}, {50.0f, 0.1f, 1, 6, 6}, {100.0f, 0.0f, 20, 1, 1}};
  for (const Row& row : rows) {
    for (const Proc proc : {Proc::Intel, Proc::Dec, Proc::Mips}) {
      Recording rec = Small(proc);
      rec.frameRate = row.rate;
      rec.samplesPerFrame = row.samplesPerFrame;
      rec.analog = {std::vector<double>(row.samplesPerFrame, 1.0)};
      rec.events = {{"EV", row.time, 7}};
      CC3d c3d;
      ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
      ASSERT_EQ(c3d.m_events.size(), 1u);
      EXPECT_EQ(c3d.m_events[0]->m_fTime, row.time);
      EXPECT_EQ(c3d.m_events[0]->m_nFrame, row.frame) << row.time << " s at " << row.rate;
      EXPECT_EQ(c3d.m_events[0]->m_nAnalogSample, row.sample);
      EXPECT_EQ(c3d.m_events[0]->m_nDisplay, 7);
    }
  }
}

// NaN times, infinite quotients and a zero frame rate reach the integer
// conversion: each result is defined (the sanitizer build checks the casts).
TEST(C3dEvents, NonFiniteTimesAndRatesGiveDefinedFrames) {
  constexpr float nan = std::numeric_limits<float>::quiet_NaN();
  constexpr float inf = std::numeric_limits<float>::infinity();
  struct Row {
    float rate;
    float time;
    int frame;
    int sample;
  };
  const Row rows[] = {{100.0f, nan, 1, 1},
                      {0.5f, 1e30f, INT32_MAX, INT32_MAX},
                      {100.0f, -1e30f, INT32_MIN + 1, INT32_MIN},
                      {100.0f, inf, INT32_MAX, INT32_MAX},
                      {100.0f, -2.5f, -249, -2499}};
  for (const Row& row : rows) {
    Recording rec = Small();
    rec.processorCode = 84;  // keep the type when the rate is odd
    rec.frameRate = row.rate;
    rec.samplesPerFrame = 10;
    rec.analog = {std::vector<double>(10, 1.0)};
    rec.events = {{"EV", row.time, 1}};
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
    ASSERT_EQ(c3d.m_events.size(), 1u);
    EXPECT_EQ(c3d.m_events[0]->m_nFrame, row.frame) << row.time;
    EXPECT_EQ(c3d.m_events[0]->m_nAnalogSample, row.sample) << row.time;
  }
  // A zero frame rate makes the period infinite: every finite time is frame 1.
  Recording rec = Small();
  rec.processorCode = 84;
  rec.frameRate = 0.0f;
  rec.events = {{"EV", 3.0f, 1}};
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(c3d.m_events[0]->m_nFrame, 1);
}

TEST(C3dEvents, LabelsKeepSpacesAndEndAtTheirFirstNul) {
  Recording rec = Small();
  rec.events = {{"RHS ", 1.0f, 0}, {"AB", 1.0f, 255}, {"", 1.0f, 1}, {"WXYZ", 1.0f, 1}};
  rec.patches = {{396 + 4 * 3 + 1, 0}};  // "W\0YZ": the text ends after W
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  ASSERT_EQ(c3d.m_events.size(), 4u);
  EXPECT_EQ(c3d.m_events[0]->m_strLabel, "RHS ");
  EXPECT_EQ(c3d.m_events[1]->m_strLabel, "AB");
  EXPECT_EQ(c3d.m_events[1]->m_nDisplay, 255);
  EXPECT_EQ(c3d.m_events[2]->m_strLabel, "");
  EXPECT_EQ(c3d.m_events[3]->m_strLabel, "W");
}

}  // namespace
