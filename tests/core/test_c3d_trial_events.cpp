// The EVENT parameter group's events: times from the minutes and seconds
// rows, the analog sample under a first frame other than 1, all three
// processor formats, malformed groups, and the counts of real recordings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/FileSummary.h"
#include "core/c3d/TrialEvents.h"
#include "tests/support/C3dWriter.h"

namespace {

constexpr std::int8_t kEventGroup = 9;

// One analog channel of `frames` frames at 100 Hz, 10 samples per frame
// (1000 Hz), starting at `firstFrame`, in processor format `proc`.
c3dtest::Recording EventRecording(c3dtest::Proc proc, std::uint16_t firstFrame, int frames) {
  c3dtest::Recording rec;
  rec.proc = proc;
  rec.frameRate = 100.0f;
  rec.samplesPerFrame = 10;
  rec.firstFrame = firstFrame;
  rec.analog.assign(1, std::vector<double>(static_cast<std::size_t>(frames) * 10, 0.0));
  c3dtest::AddStandardParameters(rec, {"EMG"}, {1.0}, {0.0}, 1.0);
  rec.records.push_back(c3dtest::GroupRec{kEventGroup, "EVENT", false, "events", {}});
  return rec;
}

void AddStrings(c3dtest::Recording& rec, const char* name, const std::vector<std::string>& rows) {
  c3dtest::ParamRec p;
  p.groupId = kEventGroup;
  p.name = name;
  p.type = -1;
  p.dims = {16, static_cast<std::uint8_t>(rows.size())};
  p.strings = rows;
  rec.records.push_back(p);
}

void AddUsed(c3dtest::Recording& rec, int used) {
  c3dtest::ParamRec p;
  p.groupId = kEventGroup;
  p.name = "USED";
  p.type = 2;
  p.numbers = {static_cast<double>(used)};
  rec.records.push_back(p);
}

// TIMES as 2 x n floats: (minutes, seconds) per event.
void AddTimes(c3dtest::Recording& rec, const std::vector<std::pair<double, double>>& times) {
  c3dtest::ParamRec p;
  p.groupId = kEventGroup;
  p.name = "TIMES";
  p.type = 4;
  p.dims = {2, static_cast<std::uint8_t>(times.size())};
  for (const auto& [minutes, seconds] : times) {
    p.numbers.push_back(minutes);
    p.numbers.push_back(seconds);
  }
  rec.records.push_back(p);
}

c3d::TrialEvents Read(const c3dtest::Recording& rec) {
  CC3d c3d;
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  EXPECT_TRUE(c3d.LoadFromMemory(bytes.data(), bytes.size()));
  return c3d::ReadTrialEvents(c3d);
}

class TrialEventsFormats : public ::testing::TestWithParam<c3dtest::Proc> {};

// Catches rows read the wrong way round, a start frame left out of the
// sample, a wrong rounding, unsorted output or an out-of-range sample kept.
TEST_P(TrialEventsFormats, TimesSamplesAndOrder) {
  // Frames 51 to 250: the recording starts at 0.5 s and ends before 2.5 s.
  c3dtest::Recording rec = EventRecording(GetParam(), 51, 200);
  AddUsed(rec, 4);
  AddStrings(rec, "CONTEXTS", {"Right", "Left", "General", "Left"});
  AddStrings(rec, "LABELS", {"Foot Off", "Foot Strike", "Event", "Foot Strike"});
  AddStrings(rec, "DESCRIPTIONS", {"toe leaves", "heel down", "", "late"});
  AddTimes(rec, {{0, 1.2}, {0, 0.7503}, {0, 0.2}, {1, 0.0}});
  const c3d::TrialEvents t = Read(rec);
  EXPECT_EQ(t.note, "");
  ASSERT_EQ(t.events.size(), 4u);
  EXPECT_EQ(t.events[0].label, "Event");
  EXPECT_FALSE(t.events[0].sample.has_value()) << "0.2 s lies before the first frame";
  EXPECT_EQ(t.events[1].context, "Left");
  EXPECT_EQ(t.events[1].label, "Foot Strike");
  EXPECT_EQ(t.events[1].description, "heel down");
  EXPECT_NEAR(t.events[1].time, 0.7503, 1e-6);
  EXPECT_EQ(t.events[1].sample, std::optional<std::int64_t>(250));  // 250.3 rounds down
  EXPECT_EQ(t.events[2].sample, std::optional<std::int64_t>(700));
  EXPECT_NEAR(t.events[3].time, 60.0, 1e-9) << "minutes count 60 s each";
  EXPECT_FALSE(t.events[3].sample.has_value()) << "60 s lies past the end";
}

INSTANTIATE_TEST_SUITE_P(AllProcessors, TrialEventsFormats,
                         ::testing::Values(c3dtest::Proc::Intel, c3dtest::Proc::Dec,
                                           c3dtest::Proc::Mips));

struct MalformedCase {
  const char* name;
  int used;
  bool withTimes;
  double secondTime;
  std::size_t expected;
  std::string note;
};

class TrialEventsMalformed : public ::testing::TestWithParam<MalformedCase> {};

// Catches a malformed group failing the load, dropping the whole events or
// keeping a broken one, or saying nothing about it.
TEST_P(TrialEventsMalformed, WholeEventsAndANote) {
  const MalformedCase& c = GetParam();
  c3dtest::Recording rec = EventRecording(c3dtest::Proc::Intel, 1, 100);
  AddUsed(rec, c.used);
  AddStrings(rec, "CONTEXTS", {"Left", "Right"});
  AddStrings(rec, "LABELS", {"Foot Strike", "Foot Off"});
  if (c.withTimes) AddTimes(rec, {{0, 0.1}, {0, c.secondTime}});
  const c3d::TrialEvents t = Read(rec);
  EXPECT_EQ(t.events.size(), c.expected);
  EXPECT_EQ(t.note, c.note);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, TrialEventsMalformed,
    ::testing::Values(MalformedCase{"Whole", 2, true, 0.2, 2, ""},
                      MalformedCase{"UsedBeyondArrays", 5, true, 0.2, 2,
                                    Messages::kTrialEventsShort},
                      MalformedCase{"NoTimes", 2, false, 0.2, 0, Messages::kTrialEventsNoTimes},
                      MalformedCase{"NaNTime", 2, true, std::numeric_limits<double>::quiet_NaN(), 1,
                                    Messages::kTrialEventsBadTime}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TrialEvents, ShortLabelsAndSides) {
  EXPECT_EQ(c3d::ShortEventLabel("Left", "Foot Strike"), "L FS");
  EXPECT_EQ(c3d::ShortEventLabel("right", "foot off"), "R FO");
  EXPECT_EQ(c3d::ShortEventLabel("", "Take_off"), "TO");
  EXPECT_EQ(c3d::EventSide(" Left"), 'L');
  EXPECT_EQ(c3d::EventSide("Right"), 'R');
  EXPECT_EQ(c3d::EventSide("General"), 'G');
}

// Catches a summary that leaves the events out or adds a block to files
// without an EVENT group.
TEST(TrialEvents, SummaryListsThem) {
  c3dtest::Recording rec = EventRecording(c3dtest::Proc::Intel, 1, 100);
  const std::vector<std::uint8_t> plain = c3dtest::WriteC3d(rec);
  AddUsed(rec, 1);
  AddStrings(rec, "CONTEXTS", {"Left"});
  AddStrings(rec, "LABELS", {"Foot Strike"});
  AddTimes(rec, {{0, 0.25}});
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  CC3d c3d;
  ASSERT_TRUE(c3d.LoadFromMemory(bytes.data(), bytes.size()));
  EXPECT_NE(DescribeFile(c3d).find("Trial events: 1\n  Left  Foot Strike  0.25 s  sample 250\n"),
            std::string::npos)
      << DescribeFile(c3d);
  CC3d without;
  ASSERT_TRUE(without.LoadFromMemory(plain.data(), plain.size()));
  EXPECT_EQ(DescribeFile(without).find("Trial events"), std::string::npos);
}

// Catches an event of either kind lost, one outside the recording kept, the
// header's events placed after the group's, or a plot text without the
// context or description.
TEST(TrialEvents, BothKindsOnTheSamples) {
  c3dtest::Recording rec = EventRecording(c3dtest::Proc::Intel, 1, 100);  // 1000 samples
  rec.events = {c3dtest::EventRec{"HS", 0.5f, 1}, c3dtest::EventRec{"FAR", 9.0f, 1}};
  AddUsed(rec, 3);
  AddStrings(rec, "CONTEXTS", {"Right", "Left", "General"});
  AddStrings(rec, "LABELS", {"Foot Off", "Foot Strike", "Jump"});
  AddStrings(rec, "DESCRIPTIONS", {"toe leaves", "", ""});
  AddTimes(rec, {{0, 0.75}, {0, 0.25}, {0, 5.0}});
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  CC3d c3d;
  ASSERT_TRUE(c3d.LoadFromMemory(bytes.data(), bytes.size()));
  const std::vector<c3d::SampleEvent> events = c3d::EventsOnSamples(c3d);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].sample, c3d.m_events[0]->m_nAnalogSample - 1);
  EXPECT_EQ(events[0].text, "HS");
  EXPECT_EQ(events[0].side, 'G');
  EXPECT_EQ(events[1].sample, 250);
  EXPECT_EQ(events[1].label, "L FS");
  EXPECT_EQ(events[1].text, "Left Foot Strike");
  EXPECT_EQ(events[2].sample, 750);
  EXPECT_EQ(events[2].side, 'R');
  EXPECT_EQ(events[2].text, "Right Foot Off (toe leaves)");
}

struct RealFile {
  const char* path;
  std::size_t count;
};

class TrialEventsRealFiles : public ::testing::TestWithParam<RealFile> {};

TEST_P(TrialEventsRealFiles, Counts) {
  const std::filesystem::path path = std::filesystem::path(TREMOLUX_SAMPLES_DIR) / GetParam().path;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "absent: " << path;
  CC3d c3d;
  c3d.m_strPathName = path.string();
  ASSERT_TRUE(c3d.Load());
  const c3d::TrialEvents t = c3d::ReadTrialEvents(c3d);
  EXPECT_EQ(t.events.size(), GetParam().count);
  EXPECT_EQ(t.note, "");
  for (std::size_t i = 1; i < t.events.size(); ++i)
    EXPECT_LE(t.events[i - 1].time, t.events[i].time);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, TrialEventsRealFiles,
    ::testing::Values(
        RealFile{"sample00/Vicon Motion Systems/pyCGM2 lower limb CGM24 Walking01.c3d", 18},
        RealFile{"sample03/gait-pig.c3d", 9}, RealFile{"ezc3d/Qualisys.c3d", 7},
        RealFile{"btkdata/Analysis.c3d", 6},
        RealFile{"sample00/Motion Analysis Corporation/Sample_Jump2.c3d", 4}));

}  // namespace
