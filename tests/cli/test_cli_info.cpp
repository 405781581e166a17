// tremolux-cli info and param, end to end: the JSON fields scripts rely on,
// the number and text forms, the failure object and the exit statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>

#include "core/c3d/C3d.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

using nlohmann::json;

namespace {

// Runs tremolux-cli with `args`, capturing both streams in `dir`.
c3dtest::CliRun Cli(const c3dtest::ScratchDir& dir, const std::vector<std::string>& args) {
  return c3dtest::RunCli(TREMOLUX_CLI, args, dir.Path());
}

std::string WriteRecording(const c3dtest::ScratchDir& dir, const c3dtest::Recording& rec,
                           const std::string& name = "test.c3d") {
  const std::string path = (dir / name).string();
  EXPECT_TRUE(c3dtest::WriteFile(path, c3dtest::WriteC3d(rec)));
  return path;
}

TEST(CliInfo, JsonCarriesEveryDocumentedField) {
  c3dtest::ScratchDir dir;
  const std::string path = WriteRecording(dir, c3dtest::DemoRecording());
  const c3dtest::CliRun run = Cli(dir, {"info", path, "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc["path"], path);
  EXPECT_EQ(doc["loaded"], true);
  EXPECT_EQ(doc["processor_type"], 1);
  EXPECT_EQ(doc["integer_data"], true);
  const json& h = doc["header"];
  EXPECT_EQ(h["param_block"], 2);
  EXPECT_EQ(h["points"], 3);
  EXPECT_EQ(h["analog_per_frame"], 80);
  EXPECT_EQ(h["first_frame"], 1);
  EXPECT_EQ(h["last_frame"], 1200);
  EXPECT_EQ(h["analog_samples_per_frame"], 20);
  EXPECT_EQ(h["data_block"], 3);
  EXPECT_EQ(h["analog_channels"], 4);
  EXPECT_EQ(h["frame_rate"], 100);
  EXPECT_EQ(h["scale_factor"].get<float>(), 0.1f);

  ASSERT_EQ(doc["events"].size(), 3u);
  const json& e = doc["events"][1];
  EXPECT_EQ(e["label"], "RTO");
  EXPECT_EQ(e["time"], 2.5);
  EXPECT_EQ(e["frame"], 251);
  EXPECT_EQ(e["analog_sample"], 5001);
  EXPECT_EQ(e["display"], 1);

  ASSERT_EQ(doc["groups"].size(), 2u);
  EXPECT_EQ(doc["groups"][1]["id"], -2);
  EXPECT_EQ(doc["groups"][1]["name"], "ANALOG");
  EXPECT_EQ(doc["groups"][1]["locked"], false);
  EXPECT_EQ(doc["groups"][1]["description"], "Analog channels");

  bool sawLabels = false;
  bool sawScale = false;
  for (const json& p : doc["parameters"]) {
    for (const char* key :
         {"group_id", "name", "locked", "type", "dimensions", "count", "description"}) {
      EXPECT_TRUE(p.contains(key)) << key;
    }
    if (p["group_id"] == 2 && p["name"] == "LABELS") {
      sawLabels = true;
      EXPECT_EQ(p["type"], -1);
      EXPECT_EQ(p["dimensions"], json::array({10, 4}));
      EXPECT_EQ(p["count"], 4);
      EXPECT_EQ(p["strings"][2], "EMG Bursts");
      EXPECT_FALSE(p.contains("values"));
    }
    if (p["group_id"] == 2 && p["name"] == "SCALE") {
      sawScale = true;
      EXPECT_EQ(p["values"][2], 0.001);  // the float's shortest text
      EXPECT_FALSE(p.contains("strings"));
    }
  }
  EXPECT_TRUE(sawLabels && sawScale);

  ASSERT_EQ(doc["analogs"].size(), 4u);
  const json& a = doc["analogs"][0];
  EXPECT_EQ(a["index"], 0);
  EXPECT_EQ(a["label"], "Tone 440  ");  // the stored row, blanks kept
  // ANALOG:UNITS row by row, padding dropped.
  EXPECT_EQ(a["units"], "V");
  EXPECT_EQ(doc["analogs"][2]["units"], "mV");
  EXPECT_EQ(doc["analogs"][3]["units"], "N");
  EXPECT_EQ(a["offset"], 2048);
  EXPECT_EQ(a["scale"].get<float>(), 0.00244141f);  // SCALE rounded to 8 decimals by its text form
  EXPECT_EQ(a["sample_count"], 24000);
  EXPECT_LT(a["min"].get<double>(), a["max"].get<double>());
  EXPECT_FALSE(a.contains("samples"));
  EXPECT_FALSE(doc.contains("points"));
}

TEST(CliInfo, SamplesAndPointsAreTheStoredValues) {
  c3dtest::ScratchDir dir;
  c3dtest::Recording rec;
  rec.floatData = true;
  rec.samplesPerFrame = 2;
  rec.analog = {{0.5, -1, 3, 4}, {1e-3, 2, 3, 1e30}};
  rec.points = {{1, 2, 3, 0, 4, 5, 6, -1}};
  const c3dtest::CliRun run =
      Cli(dir, {"info", WriteRecording(dir, rec), "--json", "--samples", "--points"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc["analogs"][0]["samples"], json::parse("[0.5,-1,3,4]"));
  EXPECT_NE(run.out.find("[0.001,2,3,1e+30]"), std::string::npos) << run.out;
  EXPECT_EQ(doc["analogs"][1]["label"], "Chan 2");
  EXPECT_EQ(doc["analogs"][1]["units"], "");  // no ANALOG:UNITS
  ASSERT_EQ(doc["points"].size(), 1u);
  EXPECT_EQ(doc["points"][0]["index"], 0);
  EXPECT_EQ(doc["points"][0]["data"], json::parse("[1,2,3,0,4,5,6,-1]"));
}

// A recording of 100000 frames states its length in the parameters (the
// header's frame numbers stop at 65535): info reports and lists all of it,
// whichever convention states it.
TEST(CliInfo, LongRecordingsReadWhole) {
  constexpr std::uint32_t kFrames = 100000;
  c3dtest::ScratchDir dir;
  for (const auto convention :
       {c3dtest::LongFrames::PointFrames, c3dtest::LongFrames::PointLongFrames,
        c3dtest::LongFrames::TrialFields}) {
    SCOPED_TRACE(static_cast<int>(convention));
    c3dtest::Recording rec;
    rec.analog.assign(1, {});
    for (std::uint32_t f = 0; f < kFrames; ++f) rec.analog[0].push_back(f % 1000);
    c3dtest::AddStandardParameters(rec, {}, {}, {}, std::nullopt);
    c3dtest::StateFrameCount(rec, convention, kFrames);
    rec.dataFrames = kFrames;
    const c3dtest::CliRun run = Cli(dir, {"info", WriteRecording(dir, rec), "--json", "--samples"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json doc = json::parse(run.out);
    EXPECT_EQ(doc["header"]["first_frame"], 1);
    EXPECT_EQ(doc["header"]["last_frame"], kFrames);
    const json& channel = doc["analogs"][0];
    EXPECT_EQ(channel["sample_count"], kFrames);
    ASSERT_EQ(channel["samples"].size(), kFrames);
    EXPECT_EQ(channel["samples"][kFrames - 1], (kFrames - 1) % 1000);
    EXPECT_EQ(channel["max"], 999);
  }
}

TEST(CliInfo, NonFiniteFloatsAndLatin1Text) {
  c3dtest::ScratchDir dir;
  c3dtest::Recording rec;
  rec.analog = {{1, 2}};
  c3dtest::GroupRec g;
  g.name = "G";
  g.description = "caf\xE9";
  rec.records.emplace_back(g);
  c3dtest::ParamRec p;
  p.groupId = 1;
  p.name = "F";
  p.type = 4;
  p.dims = {5};
  p.numbers = {0.1, std::nan(""), HUGE_VAL, -HUGE_VAL, -0.0};
  p.description =
      "\xB0"
      "C";
  rec.records.emplace_back(p);
  const c3dtest::CliRun run = Cli(dir, {"info", WriteRecording(dir, rec), "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find(R"([0.1,"NaN","Infinity","-Infinity",-0])"), std::string::npos) << run.out;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc["groups"][0]["description"], "caf\xC3\xA9");  // byte 0xE9 is U+00E9
  EXPECT_EQ(doc["parameters"][0]["description"],
            "\xC2\xB0"
            "C");

  // Every byte but NUL (255 of them: the longest description), escaped
  // exactly as a general JSON library escapes it.
  g.description.clear();
  for (int b = 1; b < 256; ++b) g.description += static_cast<char>(b);
  rec.records[0] = g;
  const c3dtest::CliRun all = Cli(dir, {"info", WriteRecording(dir, rec, "all.c3d"), "--json"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  std::string utf8;
  for (const char c : g.description) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (b >> 6));
      utf8 += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  EXPECT_NE(all.out.find("\"description\":" + json(utf8).dump()), std::string::npos) << all.out;
}

TEST(CliInfo, FailedLoadGivesTheFailureObjectAndStatus1) {
  c3dtest::ScratchDir dir;
  const std::string empty = (dir / "empty.c3d").string();
  ASSERT_TRUE(c3dtest::WriteFile(empty, {}));
  c3dtest::Recording huge;  // 65536 frames of 65535 channels in two blocks
  huge.firstFrame = 0;
  huge.lastFrame = 65535;
  huge.analogPerFrame = 65535;
  huge.writtenFrames = 0;
  struct Row {
    std::string path;
    std::string reason;
  };
  const Row rows[] = {{empty, LoadErrorText(C3dLoadError::NotC3d)},
                      {WriteRecording(dir, huge, "huge.c3d"), "Not Enough memory to open file"},
                      {(dir / "missing.c3d").string(), LoadErrorText(C3dLoadError::CannotOpen)}};
  for (const Row& row : rows) {
    const c3dtest::CliRun run = Cli(dir, {"info", row.path, "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(json::parse(run.out),
              (json{{"path", row.path}, {"loaded", false}, {"reason", row.reason}}));
    EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
    const c3dtest::CliRun plain = Cli(dir, {"info", row.path});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_TRUE(plain.out.empty());
    EXPECT_NE(plain.err.find(row.reason), std::string::npos);
  }
}

TEST(CliInfo, ReadableSummaryWithoutJson) {
  c3dtest::ScratchDir dir;
  const c3dtest::CliRun run = Cli(dir, {"info", WriteRecording(dir, c3dtest::DemoRecording())});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // The document window's summary (duration, units, physical ranges), then the stored details.
  for (const char* text :
       {"Intel", "4 channels", "Tone 440", "RHS", "ANALOG", "Duration: 12 s\n",
        "  2  EMG Bursts  mV  -1.4 to 1.4\n", "Storage: 80 analog values per frame"}) {
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  }
}

struct ParamRow {
  std::vector<std::string> args;  // after FILE
  std::string out;
};

class CliParam : public ::testing::TestWithParam<ParamRow> {};

TEST_P(CliParam, PrintsTheElementTextAndANewline) {
  c3dtest::ScratchDir dir;
  std::vector<std::string> args = {"param", WriteRecording(dir, c3dtest::DemoRecording())};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  const c3dtest::CliRun run = Cli(dir, args);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliParam,
    ::testing::Values(ParamRow{{"ANALOG", "USED"}, "4\n"},
                      ParamRow{{"analog", "scale", "2", "8"}, "0.00100000\n"},
                      ParamRow{{"ANALOG", "SCALE", "3"}, "0\n"},  // precision 0: 0.5 rounds to even
                      ParamRow{{"Analog", "Labels", "1"}, "Sweep     \n"},
                      ParamRow{{"ANALOG", "OFFSET", "3", "4"}, "2048\n"},
                      ParamRow{{"ANALOG", "OFFSET", "4"}, "\n"},  // beyond the elements
                      ParamRow{{"NOGROUP", "USED"}, "\n"}));

TEST(CliParam, StatusTwoForBadUsageAndOneForAFileItCannotLoad) {
  c3dtest::ScratchDir dir;
  const std::string demo = WriteRecording(dir, c3dtest::DemoRecording());
  EXPECT_EQ(Cli(dir, {"param", demo}).exitCode, 2);
  EXPECT_EQ(Cli(dir, {"param", demo, "ANALOG", "USED", "x"}).exitCode, 2);
  EXPECT_EQ(Cli(dir, {"info"}).exitCode, 2);
  EXPECT_EQ(Cli(dir, {"nosuchcommand"}).exitCode, 2);
  const c3dtest::CliRun missing =
      Cli(dir, {"param", (dir / "none.c3d").string(), "ANALOG", "USED"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find(LoadErrorText(C3dLoadError::CannotOpen)), std::string::npos);
}

// Output that cannot be written is a failure said on stderr: a full disk
// (/dev/full) and a reader that leaves after the first byte (a closed pipe,
// which would otherwise end the program silently with SIGPIPE).
TEST(CliOutput, UnwritableStdoutExits1WithAMessage) {
#ifdef _WIN32
  GTEST_SKIP() << "needs bash, /dev/full and SIGPIPE, which Windows does not have";
#else
  c3dtest::ScratchDir dir;
  const std::string demo = WriteRecording(dir, c3dtest::DemoRecording());
  const std::string cli = std::string("'") + TREMOLUX_CLI + "'";
  const std::string err = (dir / "err.txt").string();
  const std::string info = std::string(" info --json --samples '") + demo + "'";
  const std::string param = std::string(" param '") + demo + "' POINT RATE";
  // The pipe case needs output larger than the pipe holds, or the whole of
  // it may be written before the reader leaves.
  const std::pair<std::string, std::string> cases[] = {
      {info, " >/dev/full"}, {param, " >/dev/full"}, {info, " | head -c 1 >/dev/null"}};
  for (const auto& [args, sink] : cases) {
    SCOPED_TRACE(args + sink);
    const std::string script = cli + args + " 2>'" + err + "'" + sink + "; exit \\${PIPESTATUS[0]}";
    const int status = std::system(("bash -c \"" + script + "\"").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(err);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("cannot write the output"), std::string::npos) << said;
  }
#endif
}

}  // namespace
