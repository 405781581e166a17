// The trial's events through tremolux-cli: info --json lists the EVENT
// group's events, wav --ticks places a tick at an event's sample, --from and
// --to refuse unusable ranges, plot --events draws and lists the events.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

namespace {

namespace fs = std::filesystem;

// One silent channel ("As recorded" 2048) of 200 frames at 100 Hz, 10
// samples per frame (1000 Hz), frames 51 to 250 (the recording starts at
// 0.5 s), with two EVENT group events: Left Foot Strike at 0.75 s (sample
// 250) and Right Foot Off at 3 s (outside), and one header event at 1.5 s.
c3dtest::Recording EventsRecording() {
  c3dtest::Recording rec;
  rec.frameRate = 100.0f;
  rec.samplesPerFrame = 10;
  rec.firstFrame = 51;
  rec.analog.assign(1, std::vector<double>(2000, 2048.0));
  c3dtest::AddStandardParameters(rec, {"EMG"}, {}, {}, std::nullopt);
  constexpr std::int8_t group = 9;
  rec.records.push_back(c3dtest::GroupRec{group, "EVENT", false, "", {}});
  auto strings = [&](const char* name, std::vector<std::string> rows) {
    c3dtest::ParamRec p;
    p.groupId = group;
    p.name = name;
    p.type = -1;
    p.dims = {12, static_cast<std::uint8_t>(rows.size())};
    p.strings = std::move(rows);
    rec.records.push_back(p);
  };
  c3dtest::ParamRec used;
  used.groupId = group;
  used.name = "USED";
  used.numbers = {2};
  rec.records.push_back(used);
  strings("CONTEXTS", {"Right", "Left"});
  strings("LABELS", {"Foot Off", "Foot Strike"});
  c3dtest::ParamRec times;
  times.groupId = group;
  times.name = "TIMES";
  times.type = 4;
  times.dims = {2, 2};
  times.numbers = {0, 3.0, 0, 0.75};
  rec.records.push_back(times);
  rec.events.push_back(c3dtest::EventRec{"GEN", 1.5f, 1});
  return rec;
}

class CliEvents : public testing::Test {
 protected:
  void SetUp() override { file = dir / "events.c3d"; }
  c3dtest::CliRun Run(const std::vector<std::string>& args) {
    return c3dtest::RunCli(TREMOLUX_CLI, args, dir.Path());
  }
  void WriteRecording() {
    ASSERT_TRUE(c3dtest::WriteFile(file.string(), c3dtest::WriteC3d(EventsRecording())));
  }
  std::vector<std::string> Wav(const fs::path& out, std::vector<std::string> extra) {
    std::vector<std::string> args = {"wav",  file.string(), "--channel", "0",  "--rate",
                                     "8000", "--bits",      "16",        "-o", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  c3dtest::ScratchDir dir;
  fs::path file;
};

TEST_F(CliEvents, InfoJsonListsTrialEvents) {
  WriteRecording();
  const auto run = Run({"info", file.string(), "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json doc = nlohmann::json::parse(run.out);
  ASSERT_EQ(doc["events"].size(), 1u) << "the header's table stays apart";
  const nlohmann::json& trial = doc["trial_events"];
  ASSERT_EQ(trial.size(), 2u);
  EXPECT_EQ(trial[0]["context"], "Left");
  EXPECT_EQ(trial[0]["label"], "Foot Strike");
  EXPECT_EQ(trial[0]["description"], "");
  EXPECT_EQ(trial[0]["time"], 0.75);
  EXPECT_EQ(trial[0]["sample"], 250);
  EXPECT_EQ(trial[1]["context"], "Right");
  EXPECT_TRUE(trial[1]["sample"].is_null());
}

// Catches a --ticks that ignores the EVENT group or the header's table,
// or places a tick without the recording's start or the range's.
TEST_F(CliEvents, TicksLandOnTheEventsSamples) {
  WriteRecording();
  const fs::path plain = dir / "plain.wav", ticked = dir / "ticked.wav";
  ASSERT_EQ(Run(Wav(plain, {"--from", "0.2"})).exitCode, 0);
  const auto run = Run(Wav(ticked, {"--from", "0.2", "--ticks"}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto a = c3dtest::ReadFile(plain), b = c3dtest::ReadFile(ticked);
  ASSERT_EQ(a.size(), b.size());
  // Bursts start at output samples (250 - 200) x 8 = 400 (Left Foot Strike)
  // and (1500 - 200) x 8 = 10400 (the header's event at 1.5 s, sample 1501
  // counted from 1); a burst is one run of changed values within 10 ms.
  std::vector<std::size_t> starts;
  std::size_t last = 0;
  for (std::size_t i = 44; i + 1 < a.size(); i += 2) {
    if (a[i] == b[i] && a[i + 1] == b[i + 1]) continue;
    const std::size_t n = (i - 44) / 2;
    if (starts.empty() || n > last + 80) starts.push_back(n);
    last = n;
  }
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_NEAR(static_cast<double>(starts[0]), 400.0, 2.0);
  EXPECT_NEAR(static_cast<double>(starts[1]), 10400.0, 2.0);
}

// Each unusable range: its message, exit 1, no file.
TEST_F(CliEvents, UnusableRangesAreRefused) {
  WriteRecording();
  struct Row {
    std::vector<std::string> args;
    const char* message;
  };
  const Row rows[] = {
      {{"--from", "2.5"}, Messages::kFromPastEnd},
      {{"--from", "2", "--to", "3"}, Messages::kFromPastEnd},
      {{"--from", "1", "--to", "0.5"}, Messages::kFromAfterTo},
      {{"--from", "1", "--to", "1"}, Messages::kFromAfterTo},
      {{"--from", "1", "--to", "1.0003"}, Messages::kRangeTooShort},
      {{"--to", "0.0001"}, Messages::kRangeTooShort},
  };
  const fs::path out = dir / "never.wav";
  for (const Row& row : rows) {
    const auto run = Run(Wav(out, row.args));
    EXPECT_EQ(run.exitCode, 1) << row.message;
    EXPECT_EQ(run.err, "tremolux-cli: " + file.string() + ": " + row.message + "\n");
    EXPECT_FALSE(fs::exists(out)) << row.message;
  }
}

TEST_F(CliEvents, PlotEventsGeometry) {
  if (Run({"plot", "--help"}).exitCode != 0) GTEST_SKIP() << "built without Qt: no plot";
  WriteRecording();
  const fs::path png = dir / "p.png", with = dir / "with.json", without = dir / "without.json";
  const auto base = [&](const fs::path& geometry) {
    return std::vector<std::string>{"plot",    file.string(), "--channel",  "0",
                                    "--width", "400",         "--height",   "100",
                                    "-o",      png.string(),  "--geometry", geometry.string()};
  };
  ASSERT_EQ(Run(base(without)).exitCode, 0);
  std::vector<std::string> args = base(with);
  args.push_back("--events");
  const auto run = Run(args);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto parse = [](const fs::path& p) {
    const auto bytes = c3dtest::ReadFile(p);
    return nlohmann::json::parse(bytes.begin(), bytes.end());
  };
  const nlohmann::json a = parse(without);
  nlohmann::json b = parse(with);
  EXPECT_FALSE(a.contains("events"));
  // Sample s of 2000 lies at column s x 400 / 1999, truncated: the header's
  // event (sample 1500) and Left Foot Strike (250); Right Foot Off lies
  // outside the recording and is not drawn.
  EXPECT_EQ(b["events"], nlohmann::json::parse(R"([[300, "GEN", ""], [50, "L FS", "Left"]])"));
  b.erase("events");
  EXPECT_EQ(a, b) << "the rest of the geometry stays as it was";
}

}  // namespace
