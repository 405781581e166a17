// The file summary the document window shows and tremolux-cli info prints:
// every fact of a known recording, the physical ranges (offset and scale,
// a negative scale), and files that lack channels, units or a frame rate.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/FileSummary.h"
#include "tests/support/C3dWriter.h"

namespace {

bool LoadRecording(CC3d& c3d, const c3dtest::Recording& rec) {
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  return c3d.LoadFromMemory(bytes.data(), bytes.size());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  EXPECT_EQ(start, text.size()) << "the last line must end in a newline";
  return lines;
}

bool HasLine(const std::string& text, const std::string& line) {
  for (const std::string& l : Lines(text)) {
    if (l == line) return true;
  }
  return false;
}

// Catches a wrong rate, duration, sample count, scaling or column layout.
TEST(FileSummary, DemoRecordingToldInFull) {
  CC3d c3d;
  ASSERT_TRUE(LoadRecording(c3d, c3dtest::DemoRecording()));
  EXPECT_EQ(DescribeFile(c3d),
            "Processor: Intel (1), 16-bit integer samples\n"
            "Frames: 1 to 1200 (1200 frames) at 100 Hz\n"
            "Duration: 12 s\n"
            "Points: 3\n"
            "Analog: 4 channels at 2000 Hz, 24000 samples each\n"
            "  0  Tone 440    V   -3.65479 to 3.65479\n"
            "  1  Sweep       V   -2.92969 to 2.92969\n"
            "  2  EMG Bursts  mV  -1.4 to 1.4\n"
            "  3  Force Z     N   -800 to 800\n"
            "Events: 3\n"
            "  RHS  1 s\n"
            "  RTO  2.5 s\n"
            "  LHS  6 s\n");
}

struct RangeRow {
  const char* name;
  bool floatData;
  std::vector<double> samples;
  double scale;
  double offset;
  const char* line;  // the channel's line
};

class FileSummaryRange : public testing::TestWithParam<RangeRow> {};

// The range is that of the physical values (raw - offset) x scale, lowest
// first even when a negative scale turns the raw extremes round.
TEST_P(FileSummaryRange, IsThePhysicalRange) {
  const RangeRow& row = GetParam();
  c3dtest::Recording rec;
  rec.floatData = row.floatData;
  rec.analog = {row.samples};
  c3dtest::AddStandardParameters(rec, {"CH"}, {row.scale}, {row.offset}, 1.0);
  CC3d c3d;
  ASSERT_TRUE(LoadRecording(c3d, rec));
  const std::string text = DescribeFile(c3d);
  EXPECT_TRUE(HasLine(text, row.line)) << text;
  EXPECT_TRUE(HasLine(
      text, "Analog: 1 channel at 100 Hz, " + std::to_string(row.samples.size()) + " samples each"))
      << text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FileSummaryRange,
    testing::Values(RangeRow{"IntScaled", false, {100, 300, 250}, 0.5, 200, "  0  CH  -50 to 50"},
                    RangeRow{"NegativeScale", false, {100, 300}, -0.5, 200, "  0  CH  -50 to 50"},
                    RangeRow{"OffsetOnly", false, {-7, 9}, 1, 10, "  0  CH  -17 to -1"},
                    RangeRow{"Float", true, {0.25, -1.5, 3}, 2, 0, "  0  CH  -3 to 6"}),
    [](const testing::TestParamInfo<RangeRow>& row) { return std::string(row.param.name); });

// A points-only file says it has nothing to play instead of an Analog block.
TEST(FileSummary, FileWithoutAnalogChannelsSaysSo) {
  c3dtest::Recording rec;
  rec.points = {{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}};
  CC3d c3d;
  ASSERT_TRUE(LoadRecording(c3d, rec));
  const std::string text = DescribeFile(c3d);
  EXPECT_TRUE(HasLine(text, Messages::kNoAnalogChannels)) << text;
  EXPECT_EQ(text.find("Analog:"), std::string::npos) << text;
  EXPECT_TRUE(HasLine(text, "Points: 1")) << text;
  EXPECT_TRUE(HasLine(text, "Duration: 0.03 s")) << text;
}

// Units come from Analog:Units without their blank padding; a channel the
// parameter does not reach, or a file without it, has none.
TEST(FileSummary, UnitsTrimmedAndMissingUnitsLeftBlank) {
  c3dtest::Recording rec;
  rec.analog = {{1, 2}, {3, 4}, {5, 6}};
  c3dtest::AddStandardParameters(rec, {"A", "B", "C"}, {}, {}, std::nullopt);
  rec.records.push_back(
      c3dtest::ParamRec{2, "UNITS", false, -1, {6, 2}, {}, {"mV", "deg/s"}, ' ', {}, "", {}, {}});
  CC3d c3d;
  ASSERT_TRUE(LoadRecording(c3d, rec));
  EXPECT_EQ(AnalogChannelUnits(c3d, 0), "mV");
  EXPECT_EQ(AnalogChannelUnits(c3d, 1), "deg/s");
  EXPECT_EQ(AnalogChannelUnits(c3d, 2), "");
  EXPECT_EQ(AnalogChannelUnits(c3d), (std::vector<std::string>{"mV", "deg/s", ""}));
  const std::string text = DescribeFile(c3d);
  EXPECT_TRUE(HasLine(text, "  0  A  mV     1 to 2")) << text;
  EXPECT_TRUE(HasLine(text, "  2  C         5 to 6")) << text;

  c3dtest::Recording bare;
  bare.analog = {{1, 2}};
  CC3d noUnits;
  ASSERT_TRUE(LoadRecording(noUnits, bare));
  EXPECT_EQ(AnalogChannelUnits(noUnits, 0), "");
  EXPECT_TRUE(HasLine(DescribeFile(noUnits), "  0  Chan 1  1 to 2")) << DescribeFile(noUnits);
}

struct CountRow {
  const char* name;
  std::uint16_t frames;
  std::size_t channels;
  std::uint16_t samplesPerFrame;
  const char* framesText;  // in "Frames: 1 to <frames> (...) at 100 Hz"
  const char* analogLine;
};

class FileSummaryCounts : public testing::TestWithParam<CountRow> {};

// Counted nouns take the singular for exactly one: catches "1 frames",
// "1 channels" and "1 samples each".
TEST_P(FileSummaryCounts, SingularForOnePluralOtherwise) {
  const CountRow& row = GetParam();
  c3dtest::Recording rec;
  rec.samplesPerFrame = row.samplesPerFrame;
  rec.analog.assign(row.channels, std::vector<double>(row.frames * row.samplesPerFrame, 1.0));
  CC3d c3d;
  ASSERT_TRUE(LoadRecording(c3d, rec));
  const std::string text = DescribeFile(c3d);
  EXPECT_TRUE(HasLine(text, std::string("Frames: 1 to ") + std::to_string(row.frames) + " (" +
                                row.framesText + ") at 100 Hz"))
      << text;
  EXPECT_TRUE(HasLine(text, row.analogLine)) << text;
}

INSTANTIATE_TEST_SUITE_P(Rows, FileSummaryCounts,
                         testing::Values(CountRow{"AllOne", 1, 1, 1, "1 frame",
                                                  "Analog: 1 channel at 100 Hz, 1 sample each"},
                                         CountRow{"AllTwo", 2, 2, 1, "2 frames",
                                                  "Analog: 2 channels at 100 Hz, 2 samples each"},
                                         CountRow{"OneFrameTwoSamples", 1, 1, 2, "1 frame",
                                                  "Analog: 1 channel at 200 Hz, 2 samples each"},
                                         CountRow{"TwoFramesOneChannel", 2, 1, 1, "2 frames",
                                                  "Analog: 1 channel at 100 Hz, 2 samples each"}),
                         [](const testing::TestParamInfo<CountRow>& row) {
                           return std::string(row.param.name);
                         });

// A file that states no usable frame rate has no duration to give; dividing
// by it would print "inf" or "nan".
TEST(FileSummary, DurationUnknownWithoutAFrameRate) {
  for (const float rate : {0.0f, -25.0f}) {
    c3dtest::Recording rec;
    rec.frameRate = rate;
    rec.analog = {{1, 2, 3}};
    CC3d c3d;
    ASSERT_TRUE(LoadRecording(c3d, rec)) << rate;
    EXPECT_TRUE(HasLine(DescribeFile(c3d), "Duration: unknown")) << DescribeFile(c3d);
  }
}

}  // namespace
