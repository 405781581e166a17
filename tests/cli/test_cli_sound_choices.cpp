// tremolux-cli wav's sound choices (--mode, --pitch, --filter, --speed):
// what is accepted and refused, with which text and exit status, and a
// batch that writes each channel as the single command does.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/C3dWriter.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

namespace cli_sound_choices_test {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Three channels at 1000 Hz (4 x 250), 2 s: a 60 Hz tone, a slow swing,
// and a constant resting at 2048.
c3dtest::Recording ThreeChannels() {
  c3dtest::Recording rec;
  rec.frameRate = 250;
  rec.samplesPerFrame = 4;
  rec.analog.assign(3, std::vector<double>(2000));
  for (std::size_t i = 0; i < 2000; ++i) {
    rec.analog[0][i] =
        2048 + 800 * std::sin(2 * std::numbers::pi * 60 * static_cast<double>(i) / 1000);
    rec.analog[1][i] =
        2048 + 1500 * std::sin(2 * std::numbers::pi * 0.7 * static_cast<double>(i) / 1000);
    rec.analog[2][i] = 2048;
  }
  c3dtest::AddStandardParameters(rec, {"EMG", "Force", "Idle"}, {}, {}, std::nullopt);
  return rec;
}

class CliSoundChoices : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(c3dtest::WriteFile(file.string(), c3dtest::WriteC3d(ThreeChannels())));
  }
  c3dtest::CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "wav");
    return c3dtest::RunCli(TREMOLUX_CLI, args, dir.Path());
  }

  c3dtest::ScratchDir dir;
  fs::path file = dir / "trial.c3d";
};

struct ChoiceRow {
  std::vector<std::string> args;  // after FILE --bits 16 -o OUT
  int exitCode;
  std::string err;  // stderr, whole; for CLI11's own refusals a part of it
  bool whole = true;
};

// One table: each row's exit status, its stderr, and a file written exactly
// when the command succeeded (a refusal leaves nothing behind).
TEST_F(CliSoundChoices, AcceptsAndRefusesWithTheirTexts) {
  const std::vector<ChoiceRow> rows = {
      {{"--channel", "0", "--rate", "8000", "--mode", "loud"}, 2, "--mode", false},
      {{"--channel", "0", "--rate", "8000", "--speed", "0"}, 2, "--speed", false},
      {{"--channel", "0", "--rate", "8000", "--speed", "1001"}, 2, "--speed", false},
      {{"--channel", "0", "--rate", "8000", "--pitch", "200-2000"},
       2,
       "tremolux-cli: --pitch is for --mode pitch\n"},
      {{"--channel", "0", "--rate", "8000", "--mode", "pitch", "--pitch", "10-2000"},
       2,
       "tremolux-cli: pitch \"10-2000\": LO and HI must lie in 20..20000 Hz, LO below HI\n"},
      {{"--channel", "0", "--rate", "8000", "--mode", "pitch", "--pitch", "low-high"},
       2,
       "tremolux-cli: pitch \"low-high\": give LO-HI in hertz, as in 200-2000\n"},
      {{"--channel", "0", "--rate", "8000", "--filter", "bandpass:450-20"},
       2,
       "tremolux-cli: filter \"bandpass:450-20\": LO must be below HI\n"},
      {{"--channel", "0", "--rate", "8000", "--filter", "highpass:20", "--mode", "auto"},
       2,
       "tremolux-cli: --filter is for --mode waveform (auto filters by itself)\n"},
      {{"--channel", "0", "--rate", "8000", "--speed", "2", "--mode", "pitch"},
       2,
       "tremolux-cli: --speed is for --mode waveform\n"},
      // The analog rate decides: at 1000 Hz no cut-off may reach 500 Hz.
      {{"--channel", "0", "--rate", "8000", "--filter", "highpass:20,lowpass:500"},
       1,
       "filter \"lowpass:500\": 500 Hz is at or above half the analog rate (500 Hz)\n"},
      {{"--channel", "0", "--rate", "500"},
       1,
       "The selected freq must be greater than that of the analog data\n"},
      {{"--channel", "0", "--rate", "44101", "--speed", "4"},
       1,
       "The selected freq must be less than 44100 Hz\n"},
      // Accepted: a rate below A sped up, "none", a pitch range, Auto's notes.
      {{"--channel", "0", "--rate", "500", "--speed", "4"}, 0, ""},
      {{"--channel", "0", "--rate", "8000", "--filter", "none", "--mode", "auto"},
       0,
       "Auto: waveform (100% of its energy above 20 Hz)\n"},
      {{"--channel", "Force", "--rate", "8000", "--mode", "pitch", "--pitch", "100-1000"}, 0, ""},
      {{"--channel", "Idle", "--rate", "8000", "--mode", "auto"},
       0,
       "constant channel: nothing to hear\n"},
      // --right: a channel the file lacks (index or label) is said, exit 1;
      // --channel all cannot pair; a label pairs as an index does.
      {{"--channel", "0", "--rate", "8000", "--right", "3"},
       1,
       "no analog channel \"3\" for --right (the file has 3)\n",
       false},
      {{"--channel", "0", "--rate", "8000", "--right", "Knee"},
       1,
       "no analog channel \"Knee\" for --right (the file has 3)\n",
       false},
      {{"--channel", "all", "--rate", "8000", "--right", "1"},
       2,
       "tremolux-cli: --right pairs one channel with another: give --channel one channel, not "
       "all\n"},
      {{"--channel", "EMG", "--rate", "8000", "--right", "Force", "--mode", "pitch"}, 0, ""},
  };
  for (const auto& row : rows) {
    std::string shown;
    for (const auto& a : row.args) shown += a + " ";
    SCOPED_TRACE(shown);
    const fs::path out = dir / "out.wav";
    fs::remove(out);
    std::vector<std::string> args = {file.string(), "--bits", "16", "-o", out.string()};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const auto run = Run(args);
    EXPECT_EQ(run.exitCode, row.exitCode);
    if (row.whole) {
      EXPECT_EQ(run.err, row.err);
    } else {
      EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(fs::exists(out), row.exitCode == 0);
  }
}

// With each set of choices, --channel all writes every channel as the
// single-channel command writes it, and names Auto's notes per channel.
TEST_F(CliSoundChoices, BatchWritesEachChannelAsTheSingleCommand) {
  const std::vector<std::vector<std::string>> choices = {
      {"--bits", "16", "--rate", "8000", "--mode", "auto"},
      {"--bits", "16", "--rate", "8000", "--filter", "bandpass:20-450,notch:50", "--level", "fit"},
      {"--bits", "8", "--rate", "8000", "--filter", "highpass:20"},
      {"--bits", "16", "--rate", "6000", "--speed", "5"},
      {"--bits", "8", "--rate", "11025", "--mode", "pitch", "--pitch", "300-900"}};
  for (std::size_t c = 0; c < choices.size(); ++c) {
    SCOPED_TRACE(c);
    const std::vector<std::string>& common = choices[c];
    const fs::path folder = dir / ("batch" + std::to_string(c));
    std::vector<std::string> batch = {file.string(), "--channel", "all", "-o", folder.string()};
    batch.insert(batch.end(), common.begin(), common.end());
    const auto run = Run(batch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    if (c == 0) {
      EXPECT_NE(run.err.find(": channel 2 \"Idle\": constant channel: nothing to hear\n"),
                std::string::npos)
          << run.err;
    }
    const std::vector<std::string> names = {"trial_00_EMG.wav", "trial_01_Force.wav",
                                            "trial_02_Idle.wav"};
    for (std::size_t ch = 0; ch < names.size(); ++ch) {
      const fs::path single = dir / "single.wav";
      std::vector<std::string> args = {file.string(), "--channel", std::to_string(ch), "-o",
                                       single.string()};
      args.insert(args.end(), common.begin(), common.end());
      ASSERT_EQ(Run(args).exitCode, 0);
      const std::string bytes = Slurp(single);
      EXPECT_GT(bytes.size(), 44u);
      EXPECT_TRUE(Slurp(folder / names[ch]) == bytes) << names[ch];
    }
  }
}

}  // namespace cli_sound_choices_test
