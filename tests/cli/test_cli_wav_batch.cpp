// tremolux-cli wav with several files or --channel all: the names in the
// folder, the bytes (each those of the single-channel command), refusals
// named while the rest still go out, and no partial file after a failure;
// hostile outputs (pipes, links, a small disk) of wav and plot.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/C3dWriter.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

// `channels` channels at S x frameRate Hz, labelled by `labels` (fewer labels
// than channels leave the rest to be listed as "Chan <n>").
c3dtest::Recording Recording(const std::vector<std::string>& labels, int channels,
                             float frameRate = 250, bool floatData = false) {
  c3dtest::Recording rec;
  rec.floatData = floatData;
  rec.frameRate = frameRate;
  rec.samplesPerFrame = 4;
  rec.analog.assign(static_cast<std::size_t>(channels), std::vector<double>(400));
  for (std::size_t c = 0; c < rec.analog.size(); ++c) {
    for (std::size_t i = 0; i < 400; ++i) {
      rec.analog[c][i] = 2048 + (500.0 + 300.0 * c) * std::sin(0.2 * (c + 1) * i);
    }
  }
  c3dtest::AddStandardParameters(rec, labels, {}, {}, std::nullopt);
  return rec;
}

class CliWavBatch : public testing::Test {
 protected:
  c3dtest::CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "wav");
    return c3dtest::RunCli(TREMOLUX_CLI, args, dir.Path());
  }
  fs::path Write(const c3dtest::Recording& rec, const fs::path& name) {
    const fs::path file = dir / name.string();
    fs::create_directories(file.parent_path());
    EXPECT_TRUE(c3dtest::WriteFile(file.string(), c3dtest::WriteC3d(rec)));
    return file;
  }

  c3dtest::ScratchDir dir;
};

// Every channel of two files under its cleaned label (trailing blanks gone,
// '/', ':', ' ' and a Latin-1 byte as '_', an unlabelled channel as its
// listed "Chan 3"), into a folder made for it, each file the very bytes of
// the single-channel command, at both levels; nothing else is left there.
TEST_F(CliWavBatch, WritesEveryChannelUnderItsLabelAsTheSingleCommandDoes) {
  const fs::path knee = Write(Recording({"Knee/Ext: 2", "EMG \xb5V  "}, 3), "knee.c3d");
  const fs::path hip = Write(Recording({"Hip-L_1.a"}, 1, 500, true), "hip.trial.c3d");
  for (const std::string level : {"recorded", "fit"}) {
    SCOPED_TRACE(level);
    const fs::path out = dir / ("out-" + level) / "nested";
    const auto run = Run({knee.string(), hip.string(), "--channel", "all", "--rate", "8000",
                          "--bits", "16", "--level", level, "-o", out.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");  // stderr is no terminal here: no progress line
    const std::set<std::string> expected = {"knee_00_Knee_Ext__2.wav", "knee_01_EMG__V.wav",
                                            "knee_02_Chan_3.wav", "hip.trial_00_Hip-L_1.a.wav"};
    ASSERT_EQ(FilesIn(out), expected);
    const struct {
      fs::path file;
      int channel;
      const char* name;
    } singles[] = {{knee, 0, "knee_00_Knee_Ext__2.wav"},
                   {knee, 1, "knee_01_EMG__V.wav"},
                   {knee, 2, "knee_02_Chan_3.wav"},
                   {hip, 0, "hip.trial_00_Hip-L_1.a.wav"}};
    for (const auto& single : singles) {
      const fs::path one = dir / "single.wav";
      const auto alone =
          Run({single.file.string(), "--channel", std::to_string(single.channel), "--rate", "8000",
               "--bits", "16", "--level", level, "-o", one.string()});
      ASSERT_EQ(alone.exitCode, 0) << alone.err;
      const auto bytes = c3dtest::ReadFile(out / single.name);
      EXPECT_GT(bytes.size(), 44u) << single.name;
      EXPECT_TRUE(bytes == c3dtest::ReadFile(one)) << single.name;
    }
  }
}

// UTF-8 text of a name given as a UTF-8 literal, and of a path.
std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }
std::string PathUtf8(const fs::path& path) { return Utf8(path.u8string()); }

// A file name outside ASCII, and outside any one ANSI code page (Latin and
// Greek letters), is opened, printed as given and names the batch outputs,
// in a folder of such a name; a single sound is written under such a name.
TEST_F(CliWavBatch, NonAsciiNamesOpenPrintAndNameTheOutputs) {
  const fs::path rec = dir.Path() / fs::path(u8"caf\u00e9_\u0394.c3d");
  std::ofstream(rec, std::ios::binary) << std::string_view([](const std::vector<std::uint8_t>& b) {
    return std::string(b.begin(), b.end());
  }(c3dtest::WriteC3d(Recording({"Left", "Right"}, 2))));
  const auto info = c3dtest::RunCli(TREMOLUX_CLI, {"info", PathUtf8(rec)}, dir.Path());
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("File: " + PathUtf8(rec) + "\n"), std::string::npos) << info.out;

  const fs::path out = dir.Path() / fs::path(u8"sortie_\u00fc");
  const auto batch = Run(
      {PathUtf8(rec), "--channel", "all", "--rate", "8000", "--bits", "16", "-o", PathUtf8(out)});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(out))
    names.insert(PathUtf8(entry.path().filename()));
  const std::set<std::string> expected = {Utf8(u8"caf\u00e9_\u0394_00_Left.wav"),
                                          Utf8(u8"caf\u00e9_\u0394_01_Right.wav")};
  EXPECT_EQ(names, expected);

  const fs::path one = out / fs::path(u8"\u00e9\u0394.wav");
  const auto single =
      Run({PathUtf8(rec), "--channel", "0", "--rate", "8000", "--bits", "16", "-o", PathUtf8(one)});
  ASSERT_EQ(single.exitCode, 0) << single.err;
  EXPECT_EQ(c3dtest::ReadFile(one),
            c3dtest::ReadFile(out / fs::path(u8"caf\u00e9_\u0394_00_Left.wav")));
}

// One channel of several files, with a bad one among them: a file that is no
// C3D, a missing file, one without that channel, one whose analog rate the
// rate does not exceed, and a second recording of the same name, whose
// output would overwrite the first. Each is named on stderr with its reason;
// the good ones are still written; the exit status is 1.
TEST_F(CliWavBatch, NamesEachRefusalAndStillWritesTheRest) {
  const fs::path first = Write(Recording({"Left", "Right"}, 2), "a/trial.c3d");
  const fs::path garbage = dir / "garbage.c3d";
  std::ofstream(garbage) << "not a recording";
  const fs::path missing = dir / "missing.c3d";
  const fs::path mono = Write(Recording({"Only"}, 1), "mono.c3d");
  const fs::path fast = Write(Recording({"L", "R"}, 2, 2500), "fast.c3d");  // 10000 Hz
  const fs::path second = Write(Recording({"Left", "Right"}, 2, 100), "b/trial.c3d");
  const fs::path last = Write(Recording({"x", "y"}, 2), "last.c3d");
  const fs::path out = dir / "out";
  const auto run = Run({first.string(), garbage.string(), missing.string(), mono.string(),
                        fast.string(), second.string(), last.string(), "--channel", "1", "--rate",
                        "8000", "--bits", "8", "-o", out.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(FilesIn(out), (std::set<std::string>{"trial_01_Right.wav", "last_01_y.wav"}));
  const std::string prefix = "tremolux-cli: ";
  for (const std::string& line :
       {prefix + garbage.string() + ": ", prefix + missing.string() + ": ",
        prefix + mono.string() + ": no analog channel \"1\"",
        prefix + fast.string() + ": The selected freq must be greater than that of the analog data",
        prefix + second.string() +
            ": channel 1 \"Right\": not written: trial_01_Right.wav "
            "already holds a channel of " +
            first.string()}) {
    EXPECT_NE(run.err.find(line), std::string::npos) << line << "\nin:\n" << run.err;
  }
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 5) << run.err;
}

// The file is written beside its name, then renamed: when the last step
// fails (here -o names a folder), nothing is left behind and the folder is
// untouched. With --channel all, -o must be a folder that can be made.
TEST_F(CliWavBatch, AFailedOutputLeavesNoPartialFile) {
  const fs::path work = dir / "work";  // apart from the runs' captured output
  const fs::path rec = Write(Recording({"Left", "Right"}, 2), "work/rec.c3d");
  const fs::path taken = work / "taken";
  fs::create_directories(taken / "inside");
  const auto before = FilesIn(work);
  const auto run =
      Run({rec.string(), "--channel", "0", "--rate", "8000", "--bits", "16", "-o", taken.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Could not create\n");
  EXPECT_EQ(FilesIn(work), before);
  EXPECT_EQ(FilesIn(taken), std::set<std::string>{"inside"});

  const fs::path file = work / "plain-file";
  std::ofstream(file) << "x";
  const auto notFolder = Run(
      {rec.string(), "--channel", "all", "--rate", "8000", "--bits", "16", "-o", file.string()});
  EXPECT_EQ(notFolder.exitCode, 1);
  EXPECT_NE(notFolder.err.find(file.string()), std::string::npos) << notFolder.err;
}

// Only a regular file is replaced by renaming: a symbolic link stays a link
// to the new sound, and a pipe stays a pipe and receives the whole sound (as
// a device such as /dev/full stays a device, and says it is full).
TEST_F(CliWavBatch, ALinkOrAPipeIsWrittenThroughNotReplaced) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows (and Wine makes none), and "
                  "Windows has no FIFOs";
#endif
  const fs::path rec = Write(Recording({"Left"}, 1), "rec.c3d");
  const fs::path single = dir / "single.wav";
  ASSERT_EQ(
      Run({rec.string(), "--channel", "0", "--rate", "8000", "--bits", "16", "-o", single.string()})
          .exitCode,
      0);

  const fs::path real = dir / "real.wav";
  const fs::path link = dir / "link.wav";
  std::ofstream(real) << "old";
  fs::create_symlink(real, link);
  EXPECT_EQ(
      Run({rec.string(), "--channel", "0", "--rate", "8000", "--bits", "16", "-o", link.string()})
          .exitCode,
      0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(c3dtest::ReadFile(real), c3dtest::ReadFile(single));

#ifndef _WIN32
  const fs::path fifo = dir / "pipe.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::uint8_t> received;
  std::thread reader([&] { received = c3dtest::ReadFile(fifo); });
  const auto run =
      Run({rec.string(), "--channel", "0", "--rate", "8000", "--bits", "16", "-o", fifo.string()});
  reader.join();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(received, c3dtest::ReadFile(single));
#endif
}

#ifndef _WIN32
// What an output name is before a hostile run: nothing, a FIFO whose reader
// the row's shell starts, or a symbolic link to a file not made yet.
enum class OutputTarget { None, Fifo, DanglingLink };

struct HostileOutputRow {
  const char* command;
  const char* name;  // -o names "out/<name>"
  OutputTarget target;
  // Bash run before the command: "$T" is the output, "$R" a file for what a
  // reader of the FIFO received; `timeout` keeps a reader from waiting for
  // ever on a FIFO the command never opens.
  const char* shell;
  int exitCode;
  const char* said;            // in stderr; empty: nothing said
  std::set<std::string> left;  // the names in the output folder afterwards
};

// Outputs that once went wrong: replaced instead of written through, a
// failure reported as success, a partial file left behind, a file written
// under another name. Each must now fail whole (exit 1, said, nothing left
// but complete files) or be written where it was named.
TEST_F(CliWavBatch, HostileOutputsFailWholeOrAreWrittenThrough) {
  // 400 samples at 100 Hz: at 44100 Hz a sound of 345 KiB, more than a pipe
  // holds; the plot's PNG takes 1.5 KiB, its geometry 3.5 KiB.
  const fs::path rec = Write(Recording({"Left"}, 1, 25), "rec.c3d");
  const char* reads = "timeout 10 cat \"$T\" >\"$R\" &";
  const char* leaves = "timeout 10 head -c 1 \"$T\" >/dev/null &";
  const char* smallDisk = "ulimit -f 2; trap '' XFSZ;";  // files up to 2 KiB
  // Each row's comment: the fault it caught.
  const HostileOutputRow rows[] = {
      // A sound cut short by a reader that left was reported as written.
      {"wav", "pipe.wav", OutputTarget::Fifo, leaves, 1, "Could not create", {"pipe.wav"}},
      // The image was renamed over the FIFO, whose reader waited for ever.
      {"plot", "pipe.png", OutputTarget::Fifo, reads, 0, "", {"pipe.png"}},
      {"plot", "pipe.svg", OutputTarget::Fifo, reads, 0, "", {"pipe.svg"}},
      // A geometry the disk cut short was left as if whole.
      {"plot", "p.png", OutputTarget::None, smallDisk, 1, "cannot write the geometry", {"p.png"}},
      // A name that is not UTF-8 was written as U+FFFD.
      {"plot", "p\xe9.png", OutputTarget::None, "", 0, "", {"p\xe9.png"}},
      // A dangling link was replaced by the sound.
      {"wav", "link.wav", OutputTarget::DanglingLink, "", 0, "", {"link.wav", "made.wav"}},
  };
  const fs::path out = dir / "out";
  const fs::path received = dir / "received";
  for (const HostileOutputRow& row : rows) {
    SCOPED_TRACE(std::string(row.command) + " -o " + row.name);
    if (!TREMOLUX_CLI_HAS_QT && std::string(row.command) == "plot") continue;  // no plot command
    fs::remove_all(out);
    fs::create_directories(out);
    fs::remove(received);
    const fs::path target = out / row.name;
    if (row.target == OutputTarget::Fifo) {
      ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
    }
    if (row.target == OutputTarget::DanglingLink) fs::create_symlink("made.wav", target);
    std::vector<std::string> args = {
        "-c",        std::string(row.shell) + " \"$@\"; s=$?; wait; exit $s",
        "bash",      TREMOLUX_CLI,
        row.command, rec.string()};
    if (std::string(row.command) == "wav") {
      args.insert(args.end(), {"--channel", "0", "--rate", "44100", "--bits", "16"});
    } else {
      args.insert(args.end(), {"--channel", "0", "--width", "200", "--height", "100", "--geometry",
                               (out / "g.json").string()});
    }
    args.insert(args.end(), {"-o", target.string()});
    const auto run = c3dtest::RunCli("bash", args, dir.Path(),
                                     {{"T", target.string()}, {"R", received.string()}});
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
    EXPECT_NE(run.err.find(row.said), std::string::npos) << run.err;
    EXPECT_TRUE(*row.said != '\0' || run.err.empty()) << run.err;
    std::set<std::string> left = row.left;
    if (row.exitCode == 0 && std::string(row.command) == "plot") left.insert("g.json");
    EXPECT_EQ(FilesIn(out), left);
    EXPECT_EQ(fs::is_fifo(target), row.target == OutputTarget::Fifo);
    EXPECT_EQ(fs::is_symlink(target), row.target == OutputTarget::DanglingLink);
    // A reader of the FIFO received the output.
    EXPECT_EQ(c3dtest::ReadFile(received).empty(), row.shell != reads);
  }
}
#endif

}  // namespace
