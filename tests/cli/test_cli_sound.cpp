// tremolux-cli wav and play end to end: the file written must be the very
// bytes the core build gives for the same recording, and every refusal must
// print the dialog's exact text and exit 1 (usage errors exit 2).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/WaveSynthesis.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RecordingSoundHost.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

namespace {

namespace fs = std::filesystem;

// Two labelled channels, S = 4 at 250 frames per second: A = 1000 Hz.
c3dtest::Recording TwoChannels(c3dtest::Proc proc, bool floatData, int frames = 200) {
  c3dtest::Recording rec;
  rec.proc = proc;
  rec.floatData = floatData;
  rec.frameRate = 250;
  rec.samplesPerFrame = 4;
  rec.analog.assign(2, std::vector<double>(static_cast<std::size_t>(frames) * 4));
  for (std::size_t i = 0; i < rec.analog[0].size(); ++i) {
    rec.analog[0][i] = 2048 + 1500 * std::sin(0.3 * static_cast<double>(i));
    rec.analog[1][i] = static_cast<double>(i % 4096);  // a ramp that wraps
  }
  c3dtest::AddStandardParameters(rec, {"Left", "Right"}, {}, {}, std::nullopt);
  return rec;
}

// The core build of the same file, loaded by the same reader.
std::vector<std::uint8_t> CoreWave(const fs::path& c3dFile, int channel, int bits, float rate,
                                   const fs::path& out,
                                   sound::SoundLevel level = sound::SoundLevel::AsRecorded) {
  CC3d c3d;
  c3d.m_strPathName = c3dFile.string();
  EXPECT_TRUE(c3d.Load());
  c3dtest::RecordingSoundHost host;
  std::vector<float> buffer(50);
  sound::WriteWave(c3d, {.channel = channel, .bits = bits, .rate = rate, .level = level}, buffer,
                   out, host);
  return c3dtest::ReadFile(out);
}

class CliSound : public testing::Test {
 protected:
  c3dtest::CliRun Run(const std::vector<std::string>& args) {
    return c3dtest::RunCli(TREMOLUX_CLI, args, dir.Path());
  }
  fs::path Write(const c3dtest::Recording& rec, const std::string& name = "rec.c3d") {
    const fs::path file = dir / name;
    EXPECT_TRUE(c3dtest::WriteFile(file.string(), c3dtest::WriteC3d(rec)));
    return file;
  }

  c3dtest::ScratchDir dir;
};

// Same bytes from the CLI and the core, for each processor format, both
// sample types, widths and levels (none given: as recorded), channels named
// by index or by label.
TEST_F(CliSound, WavIsByteIdenticalToTheCoreBuild) {
  using sound::SoundLevel;
  struct Row {
    c3dtest::Proc proc;
    bool floatData;
    const char* channel;
    int channelIndex;
    const char* bits;
    const char* rate;
    float coreRate;
    const char* level = nullptr;
    SoundLevel coreLevel = SoundLevel::AsRecorded;
  };
  const Row rows[] = {
      {c3dtest::Proc::Intel, false, "0", 0, "16", "8000", 8000},
      {c3dtest::Proc::Dec, true, "Right", 1, "8", "11025.7", 11025.7f},
      {c3dtest::Proc::Mips, false, "Left", 0, "8", "  44100 Hz", 44100},
      {c3dtest::Proc::Mips, true, "1", 1, "16", "6000", 6000},
      {c3dtest::Proc::Intel, true, "0", 0, "16", "8000", 8000, "fit", SoundLevel::FitToChannel},
      {c3dtest::Proc::Dec, false, "Right", 1, "8", "22050", 22050, "fit", SoundLevel::FitToChannel},
      {c3dtest::Proc::Intel, true, "0", 0, "16", "8000", 8000, "recorded", SoundLevel::AsRecorded},
  };
  for (const Row& row : rows) {
    const fs::path c3dFile = Write(TwoChannels(row.proc, row.floatData));
    std::vector<std::string> args = {
        "wav",    c3dFile.string(), "--channel", row.channel, "--rate",
        row.rate, "--bits",         row.bits,    "-o",        (dir / "cli.wav").string()};
    if (row.level != nullptr) args.insert(args.end(), {"--level", row.level});
    const auto run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto expected = CoreWave(c3dFile, row.channelIndex, std::stoi(row.bits), row.coreRate,
                                   dir / "core.wav", row.coreLevel);
    ASSERT_GT(expected.size(), 44u);
    EXPECT_EQ(c3dtest::ReadFile(dir / "cli.wav"), expected) << row.channel << " " << row.rate;
  }
}

// Each refusal prints exactly the dialog's text and exits 1; the rate
// checks refuse before the output file is touched.
TEST_F(CliSound, RefusalsPrintTheExactTextAndExit1) {
  const fs::path c3dFile = Write(TwoChannels(c3dtest::Proc::Intel, false));
  struct Row {
    const char* rate;
    const char* message;
  };
  const Row rows[] = {{"500", Messages::kFreqTooLow},  {"abc", Messages::kFreqTooLow},
                      {"1000", Messages::kFreqTooLow}, {"1000.5", Messages::kFreqTooLow},
                      {"nan", Messages::kFreqTooLow},  {"44101", Messages::kFreqTooHigh},
                      {"inf", Messages::kFreqTooHigh}};
  const fs::path out = dir / "never.wav";
  for (const Row& row : rows) {
    const auto run = Run({"wav", c3dFile.string(), "--channel", "0", "--rate", row.rate, "--bits",
                          "16", "-o", out.string()});
    EXPECT_EQ(run.exitCode, 1) << row.rate;
    EXPECT_EQ(run.err, std::string(row.message) + "\n") << row.rate;
    EXPECT_FALSE(fs::exists(out)) << row.rate;
  }

  const auto unwritable = Run({"wav", c3dFile.string(), "--channel", "0", "--rate", "8000",
                               "--bits", "16", "-o", (dir / "no" / "such.wav").string()});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_EQ(unwritable.err, std::string(Messages::kCouldNotCreate) + "\n");
}

// A frame rate of 0 leaves no analog rate: "Error" before the file is made.
// One sample cannot be resampled: "Error", and the empty sound is written.
TEST_F(CliSound, UnresamplableRecordingsSayError) {
  auto noRate = TwoChannels(c3dtest::Proc::Intel, false);
  noRate.frameRate = 0;
  auto single = TwoChannels(c3dtest::Proc::Intel, false, 1);
  single.samplesPerFrame = 1;
  single.analog = {{2048}, {100}};
  const fs::path out = dir / "out.wav";
  for (const auto& [rec, written] : {std::pair{noRate, false}, std::pair{single, true}}) {
    const fs::path c3dFile = Write(rec);
    const auto run = Run({"wav", c3dFile.string(), "--channel", "0", "--rate", "8000", "--bits",
                          "16", "-o", out.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, std::string(Messages::kError) + "\n");
    EXPECT_EQ(fs::exists(out), written);
    if (written) {
      EXPECT_EQ(fs::file_size(out), 44u);
    }
  }
}

TEST_F(CliSound, BadUsageExits2) {
  const fs::path c3dFile = Write(TwoChannels(c3dtest::Proc::Intel, false));
  const std::vector<std::vector<std::string>> runs = {
      {"wav", c3dFile.string(), "--channel", "2", "--rate", "8000", "--bits", "16", "-o", "x.wav"},
      {"wav", c3dFile.string(), "--channel", "Middle", "--rate", "8000", "--bits", "16", "-o",
       "x.wav"},
      {"wav", c3dFile.string(), "--channel", "0", "--rate", "8000", "--bits", "12", "-o", "x.wav"},
      {"wav", c3dFile.string(), "--rate", "8000", "--bits", "16", "-o", "x.wav"},
      {"wav", c3dFile.string(), "--channel", "0", "--rate", "8000", "--bits", "16", "--level",
       "loud", "-o", "x.wav"},
  };
  for (const auto& args : runs) {
    const auto run = Run(args);
    EXPECT_EQ(run.exitCode, 2) << args[3];
    EXPECT_FALSE(run.err.empty());
  }
  const auto missing = Run({"wav", (dir / "missing.c3d").string(), "--channel", "0", "--rate",
                            "8000", "--bits", "16", "-o", "x.wav"});
  EXPECT_EQ(missing.exitCode, 1);
}

// The demo recording and real files (integer, MIPS float, 1 sample per
// frame at 65.05 Hz): each channel, by index or listed label (here padded
// with a blank), gives the core's bytes.
TEST_F(CliSound, WavOnTheDemoAndRealFilesMatchesTheCore) {
  struct Row {
    fs::path file;
    std::string channel;
    int index;
  };
  std::vector<Row> rows = {{TREMOLUX_DEMO_C3D, "Sweep", 1}};
  const fs::path samples = TREMOLUX_SAMPLES_DIR;
  const bool haveSamples = fs::exists(samples);
  if (haveSamples) {
    rows.push_back({samples / "sample01" / "Eb015pi.c3d", "FZ1", 2});
    rows.push_back({samples / "sample01" / "Eb015sr.c3d", "3", 3});
    rows.push_back({samples / "sample13" / "Dance.c3d", "0", 0});
  }
  for (const Row& row : rows) {
    const auto run = Run({"wav", row.file.string(), "--channel", row.channel, "--rate", "22050",
                          "--bits", "16", "-o", (dir / "cli.wav").string()});
    ASSERT_EQ(run.exitCode, 0) << row.file << ": " << run.err;
    EXPECT_EQ(c3dtest::ReadFile(dir / "cli.wav"),
              CoreWave(row.file, row.index, 16, 22050, dir / "core.wav"))
        << row.file;
  }
  if (!haveSamples) GTEST_SKIP() << "real C3D files not found at " << samples;
}

// play builds like wav and returns only when the sound has ended; without an
// audio output it says so and exits 1.
TEST_F(CliSound, PlayReturnsWhenTheSoundEnds) {
  const fs::path c3dFile = Write(TwoChannels(c3dtest::Proc::Intel, false, 125));  // 0.5 s
  const auto refused =
      Run({"play", c3dFile.string(), "--channel", "0", "--rate", "44101", "--bits", "16"});
  if (refused.exitCode == 2) GTEST_SKIP() << "tremolux-cli was built without play (no Qt)";
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, std::string(Messages::kFreqTooHigh) + "\n");
  // A right ear the file lacks: said, exit 1, before anything plays.
  const auto noRight = Run({"play", c3dFile.string(), "--channel", "0", "--rate", "8000", "--bits",
                            "16", "--right", "Knee"});
  EXPECT_EQ(noRight.exitCode, 1);
  EXPECT_EQ(noRight.err, "tremolux-cli: " + c3dFile.string() +
                             ": no analog channel \"Knee\" for --right (the file has 2)\n");

  const auto start = std::chrono::steady_clock::now();
  const auto run =
      Run({"play", c3dFile.string(), "--channel", "0", "--rate", "8000", "--bits", "16"});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  if (run.exitCode == 1 && run.err.find("no audio output device") != std::string::npos) {
    GTEST_SKIP() << "no audio output device: " << run.err;
  }
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_GE(elapsed, std::chrono::milliseconds(500));
}

// The sound server still has messages for play when the sound ends (the
// drain reply, the output going idle). With each of them held back by the
// preloaded library, the process must still end with 0 and no abort from
// the audio library's teardown.
TEST_F(CliSound, PlayEndsCleanlyWhileTheSoundServerStillTalks) {
#ifndef TREMOLUX_SLOW_SOUND_DISPATCH
  GTEST_SKIP() << "built without the preloaded dispatch library (no Qt, or not Linux)";
#else
  const fs::path c3dFile = Write(TwoChannels(c3dtest::Proc::Intel, false, 50));  // 0.1 s
  const char* asan = std::getenv("ASAN_OPTIONS");
  // A sanitizer build wants its runtime first among the loaded libraries.
  const std::vector<std::pair<std::string, std::string>> env = {
      {"LD_PRELOAD", TREMOLUX_SLOW_SOUND_DISPATCH},
      {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}};
  for (int i = 0; i < 3; ++i) {
    const auto run = c3dtest::RunCli(
        TREMOLUX_CLI, {"play", c3dFile.string(), "--channel", "0", "--rate", "2000", "--bits", "8"},
        dir.Path(), env);
    if (run.exitCode == 1 && run.err.find("no audio output device") != std::string::npos) {
      GTEST_SKIP() << "no audio output device: " << run.err;
    }
    EXPECT_EQ(run.exitCode, 0) << "run " << i << ": " << run.err;
    EXPECT_EQ(run.err.find("Assertion"), std::string::npos) << run.err;
  }
#endif
}

}  // namespace
