// tremolux-cli csv: analog channels as comma-separated text (time and scaled
// values, core/export/ChannelsCsv.h), into a file whole or not at all, or to
// stdout.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/TimeRange.h"
#include "common/Utf8Path.h"
#include "common/WholeFile.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/export/ChannelsCsv.h"

namespace {

struct CsvOptions {
  std::string path;
  std::vector<std::string> channels;  // as given; none: every channel
  TimeRange times;
  std::string out;  // a file name, or "-" for stdout
};

// The writer's blocks into a stdio stream, each write checked.
class CStreamSink : public sound::IByteSink {
 public:
  explicit CStreamSink(std::FILE* file) : m_file(file) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
  }

 private:
  std::FILE* m_file;
};

// The channels the options name, in their order (every channel when none is
// named); false after saying which one the file does not have.
bool ChosenChannels(const CC3d& c3d, const CsvOptions& o, std::vector<int>& channels) {
  channels.clear();
  if (o.channels.empty()) {
    for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i) channels.push_back(static_cast<int>(i));
    return true;
  }
  for (const std::string& name : o.channels) {
    const int c = FindAnalogChannel(c3d, name);
    if (c < 0) {
      std::fprintf(stderr, CliMessages::kNoSuchChannel, o.path.c_str(), name.c_str(),
                   c3d.m_analogs.size());
      return false;
    }
    channels.push_back(c);
  }
  return true;
}

int RunCsv(const CsvOptions& o) {
  CC3d c3d;
  if (!LoadOrSay(c3d, o.path)) return 1;
  std::vector<int> channels;
  if (!ChosenChannels(c3d, o, channels)) return 1;
  if (channels.empty()) {
    std::fprintf(stderr, CliMessages::kFileSays, o.path.c_str(),
                 CliMessages::kBatchNoAnalogChannels);
    return 1;
  }
  csv::CsvSampleRange range;
  if (!SamplesOfTimes(c3d, o.path, o.times, CliMessages::kNoTimesForCsv, range.first, range.last))
    return 1;

  // Every refusal the writer knows comes before its first byte: a refused
  // write leaves stdout empty and the output file as it was.
  csv::CsvStatus status = csv::CsvStatus::Written;
  const auto write = [&](std::FILE* file) {
    CStreamSink sink(file);
    status = csv::WriteChannelsCsv(c3d, channels, range, sink);
    return status == csv::CsvStatus::Written;
  };
  errno = 0;
  const bool written = o.out == "-" ? write(stdout) : WriteWholeFile(PathFromUtf8(o.out), write);
  if (status == csv::CsvStatus::NoTimes) {
    std::fprintf(stderr, CliMessages::kNoTimesForCsv, o.path.c_str());
    return 1;
  }
  if (status == csv::CsvStatus::EmptyRange) {  // a recording of no samples
    std::fprintf(stderr, CliMessages::kFileSays, o.path.c_str(), CliMessages::kNoSamplesToWrite);
    return 1;
  }
  if (!written) {
    const int reason = errno;
    std::fprintf(stderr, CliMessages::kCannotWrite, o.out.c_str(), CliMessages::kWhatCsv,
                 reason != 0 ? ": " : "", reason != 0 ? std::strerror(reason) : "");
    return 1;
  }
  return 0;
}

}  // namespace

void AddCsvCommand(CLI::App& app) {
  auto o = std::make_shared<CsvOptions>();
  CLI::App* cmd = app.add_subcommand(
      "csv",
      "Writes analog channels as CSV: one row per sample, the time in seconds from the first "
      "sample, then each channel's scaled value (offset and scale applied)");
  cmd->add_option("FILE", o->path, "C3D file")->required();
  cmd->add_option("--channel", o->channels,
                  "a channel to write, as a 0-based index or its label as listed; repeat for "
                  "more, in the order the columns take (default: every channel in file order)")
      ->allow_extra_args(false);  // one channel per --channel: FILE may follow it
  cmd->add_option("--from", o->times.from,
                  "write only the samples from this time on, in seconds from the first sample "
                  "(0 or later)");
  cmd->add_option("--to", o->times.to,
                  "write only the samples up to this time, in seconds (later than --from; a time "
                  "past the end means the end)");
  cmd->add_option("-o", o->out,
                  "file to write, or - for standard output. RFC 4180: comma-separated, CR LF line "
                  "ends, a header row of labels with their units in brackets, UTF-8, '.' as the "
                  "decimal point; NaN, Infinity and -Infinity for values that are no number")
      ->required();
  cmd->callback([o] { g_exitCode = RunCsv(*o); });
}
