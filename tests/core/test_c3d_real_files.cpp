// Real C3D files written by other programs (the folder named by
// TREMOLUX_SAMPLES_DIR; its SOURCES.md lists what each file holds). The
// header values of its table are read from SOURCES.md itself, so every
// listed file is checked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/c3d/ChannelNames.h"
#include "tests/core/ReaderTestUtil.h"

namespace fs = std::filesystem;

namespace {

fs::path SamplesDir() { return fs::path(TREMOLUX_SAMPLES_DIR); }

#define SKIP_WITHOUT_SAMPLES()                  \
  if (!fs::exists(SamplesDir() / "SOURCES.md")) \
  GTEST_SKIP() << "no sample files at " << SamplesDir() << " (TREMOLUX_SAMPLES_DIR)"

bool LoadSample(CC3d& c3d, const std::string& relative) {
  c3d.m_strPathName = (SamplesDir() / relative).string();
  return c3d.Load();
}

// One row of SOURCES.md's table of files.
struct Listed {
  std::string file;
  std::string proc, samples, points, channels, s, frames;
};

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  std::getline(in, cell, '|');  // before the first bar
  while (std::getline(in, cell, '|')) {
    const auto first = cell.find_first_not_of(' ');
    const auto last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
  }
  return cells;
}

std::vector<Listed> ListedFiles() {
  std::ifstream in(SamplesDir() / "SOURCES.md");
  std::vector<Listed> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| `", 0) != 0) continue;  // table rows naming a file
    const auto c = Cells(line);
    if (c.size() < 11) continue;
    // File | Repository | Path | Bytes | SHA-256 | Proc | Samples | Points | Channels | S | Frames
    rows.push_back({c[0].substr(1, c[0].size() - 2), c[5], c[6], c[7], c[8], c[9], c[10]});
  }
  return rows;
}

TEST(RealFiles, EveryListedFileLoadsWithTheListedHeaderValues) {
  SKIP_WITHOUT_SAMPLES();
  const auto rows = ListedFiles();
  ASSERT_GE(rows.size(), 50u) << "SOURCES.md table not understood";
  for (const Listed& row : rows) {
    SCOPED_TRACE(row.file);
    CC3d c3d;
    const bool loaded = LoadSample(c3d, row.file);
    if (row.proc == "-") {  // the 0-byte file
      EXPECT_FALSE(loaded);
      EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotC3d);
      continue;
    }
    ASSERT_TRUE(loaded) << LoadErrorText(c3d.m_loadError);
    EXPECT_EQ(std::to_string(static_cast<int>(c3d.m_nProcessorType)), row.proc.substr(0, 1));
    EXPECT_EQ(c3d.m_bIntegerData ? "int" : "float", row.samples);
    EXPECT_EQ(std::to_string(c3d.m_nPoints), row.points);
    EXPECT_EQ(std::to_string(c3d.m_nAnalogChannels), row.channels);
    EXPECT_EQ(std::to_string(c3d.m_nAnalogSamplesPerFrame), row.s);
    EXPECT_EQ(std::to_string(c3d.FrameCount()), row.frames);
    EXPECT_EQ(c3d.m_analogs.size(), c3d.m_nAnalogChannels);
    for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i) {
      EXPECT_FALSE(AnalogChannelName(c3d, static_cast<int>(i)).empty());
    }
  }
}

// The six encodings of one trial: the same groups, parameters, events and
// analog samples in every processor format and sample kind.
TEST(RealFiles, TheSixSample01EncodingsAgree) {
  SKIP_WITHOUT_SAMPLES();
  const char* files[] = {"Eb015pi.c3d", "Eb015pr.c3d", "Eb015vi.c3d",
                         "Eb015vr.c3d", "Eb015si.c3d", "Eb015sr.c3d"};
  CC3d reference;
  ASSERT_TRUE(LoadSample(reference, std::string("sample01/") + files[0]));
  ASSERT_EQ(reference.m_events.size(), 3u);
  EXPECT_EQ(reference.m_events[0]->m_strLabel, "RIC ");
  EXPECT_EQ(reference.m_events[1]->m_strLabel, "RHS ");
  EXPECT_EQ(reference.m_events[2]->m_strLabel, "RTO ");
  EXPECT_EQ(AnalogChannelName(reference, 0), "FX1 ");
  for (const char* file : files) {
    SCOPED_TRACE(file);
    CC3d c3d;
    ASSERT_TRUE(LoadSample(c3d, std::string("sample01/") + file));
    EXPECT_EQ(c3d.m_fFrameRate, reference.m_fFrameRate);
    readertest::ExpectSameRecords(c3d, reference, c3d.FindParameter("POINT", "SCALE"));
    readertest::ExpectSameAnalogs(c3d, reference);
  }
}

TEST(RealFiles, LongDescriptionsAndPaddedLabelsSurvive) {
  SKIP_WITHOUT_SAMPLES();
  CC3d bkin;
  ASSERT_TRUE(LoadSample(bkin, "sample22/BKINtechnologies.c3d"));
  std::size_t longest = 0;
  for (const auto& p : bkin.m_params) longest = std::max(longest, p->m_strDescription.size());
  EXPECT_EQ(longest, 163u);  // a description length byte above 127

  CC3d walk;  // NUL-padded POINT:UNITS rows
  ASSERT_TRUE(LoadSample(walk, "sample06/newwalk.c3d"));
  const int units = walk.FindParameter("POINT", "UNITS");
  ASSERT_GE(units, 0);
  ASSERT_FALSE(walk.m_params[units]->m_strings.empty());
  EXPECT_EQ(walk.GetParameterString("POINT", "UNITS", 0, 0), "mm");

  CC3d emg;  // event labels beginning with a blank
  ASSERT_TRUE(LoadSample(emg, "sample30/emgwl.c3d"));
  ASSERT_EQ(emg.m_events.size(), 3u);
  EXPECT_EQ(emg.m_events[0]->m_strLabel, " TE0");
  EXPECT_EQ(emg.m_events[2]->m_strLabel, " TE2");
}

TEST(RealFiles, ParameterWalkStopsAtTheDataSection) {
  SKIP_WITHOUT_SAMPLES();
  CC3d c3d;  // its last record runs into the data section
  ASSERT_TRUE(LoadSample(c3d, "sample18/bad_parameter_section.c3d"));
  std::set<std::string> names;
  for (const auto& g : c3d.m_groups) names.insert(g->m_strName);
  EXPECT_EQ(names, (std::set<std::string>{"POINT", "ANALOG", "FORCE_PLATFORM", "EMG", "EVENT"}));
  EXPECT_EQ(c3d.m_events.size(), 7u);
}

TEST(RealFiles, ThousandsOfParametersAndRepeatedGroupNames) {
  SKIP_WITHOUT_SAMPLES();
  CC3d c3d;
  ASSERT_TRUE(LoadSample(c3d, "sample33/bigparlove.c3d"));
  EXPECT_EQ(c3d.m_nParams, 2947);
  int processing = 0;
  for (const auto& g : c3d.m_groups) processing += g->m_strName == "PROCESSING" ? 1 : 0;
  EXPECT_EQ(processing, 2);
}

TEST(RealFiles, ATruncatedFileRepeatsItsLastFrame) {
  SKIP_WITHOUT_SAMPLES();
  CC3d c3d;  // the header announces 1149 frames, the file holds 29
  ASSERT_TRUE(LoadSample(c3d, "ezc3d/Optotrak.c3d"));
  ASSERT_EQ(c3d.m_videos.size(), 54u);
  // The file ends exactly after frame index 28: every later frame repeats it.
  constexpr std::size_t kFrameBytes = 4 * sizeof(float);
  int moving = 0;  // points that moved between the last two frames read
  for (const auto& video : c3d.m_videos) {
    const std::byte* last = video->m_pData.data() + 28 * kFrameBytes;
    moving += std::memcmp(last, video->m_pData.data() + 27 * kFrameBytes, kFrameBytes) != 0 ? 1 : 0;
    for (std::size_t f = 29; f < 1149; ++f) {
      ASSERT_EQ(std::memcmp(video->m_pData.data() + f * kFrameBytes, last, kFrameBytes), 0)
          << "frame " << f;
    }
  }
  EXPECT_GT(moving, 0);  // the repetition is the reader's, not the recording's
}

}  // namespace
