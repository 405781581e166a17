// tremolux-cli wav: the sound dialog's Play without the dialog, into a file.
// The same rate checks, messages and build (sound::CheckPlayRate,
// sound::EncodeSpec) as the GUI's Play, so the same bytes. wav also exports many
// channels of many files into a folder at once. play is in CmdPlay.cpp.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/SoundOptions.h"
#include "cli/WaveOutput.h"
#include "common/Utf8Path.h"
#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/TrialEvents.h"
#include "core/sound/Filters.h"
#include "core/sound/PitchTone.h"
#include "core/sound/PlayChecks.h"
#include "core/sound/SoundLevel.h"
#include "core/sound/WaveSynthesis.h"

namespace clisound {

int Prepare(const std::string& path, const SoundOptions& o, CC3d& c3d, int& channel, float& rate) {
  if (!LoadOrSay(c3d, path)) return 1;
  return CheckChannelAndRate(path, o, c3d, channel, rate);
}

void AddSoundOptions(CLI::App* cmd, SoundOptions& o, const char* channelHelp) {
  cmd->add_option("--channel", o.channel, channelHelp)->required();
  cmd->add_option("--rate", o.rate,
                  "output rate in Hz: a number above the channel's analog rate (with --speed "
                  "above 1, any), at most 44100 (text after the number is ignored)")
      ->required();
  cmd->add_option("--bits", o.bits, "sample width")->required()->check(CLI::IsMember({8, 16}));
  cmd->add_option("--level", o.level,
                  "recorded: stored values taken as 12-bit (0..4095, 2048 silent), as recorders of "
                  "that kind store them; fit: the channel's lowest to highest value over the full "
                  "scale, for signed, float or scaled data (default: recorded)")
      ->check(CLI::IsMember({"recorded", "fit"}));
  cmd->add_option("--mode", o.mode,
                  "what to hear: waveform, the channel's values themselves (default); pitch, a "
                  "tone that rises and falls with the value, for slow signals such as forces, "
                  "angles or triggers; auto, chosen for each channel: silence for a constant "
                  "channel, the waveform without what lies below 20 Hz when most of it is "
                  "audible, else pitch")
      ->check(CLI::IsMember({"waveform", "pitch", "auto"}));
  cmd->add_option("--pitch", o.pitch,
                  "with --mode pitch: the tone's frequencies for the channel's lowest and highest "
                  "value, LO-HI in Hz within 20-20000 (default 200-2000)");
  cmd->add_option("--filter", o.filter,
                  "with --mode waveform: filters the channel before it is heard, in the order "
                  "given, separated by commas: highpass:HZ, lowpass:HZ, bandpass:LO-HI, notch:HZ "
                  "(mains hum), or none; every frequency below half the channel's analog rate. "
                  "For EMG: bandpass:20-450,notch:50");
  cmd->add_option("--speed", o.speed,
                  "with --mode waveform: plays the channel N times faster, 1 to 1000: the sound "
                  "lasts 1/N as long and every frequency in it is N times higher (default 1)")
      ->check(CLI::Range(1, 1000));
  cmd->add_flag("--ticks", o.ticks,
                "mixes a short 2 kHz tick into the sound at each event of the file (the "
                "header's events and the EVENT group's)");
  cmd->add_option("--from", o.from,
                  "plays from this many seconds after the first sample (default: the start)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--to", o.to,
                  "plays up to this many seconds after the first sample (default: the end)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--right", o.right,
                  "a second channel for the right ear (0-based index or label, as --channel): "
                  "a two-channel WAVE, --channel on the left, this one on the right, each built "
                  "with the same choices as it would be alone (default: one channel)");
}

}  // namespace clisound

namespace {

using namespace clisound;

// One channel of one file into the file -o names.
int RunWavSingle(const SoundOptions& o, sound::SoundRecipe spec) {
  const std::string& path = o.paths.front();
  CC3d c3d;
  int channel = 0;
  float rate = 0.0f;
  if (const int code = Prepare(path, o, c3d, channel, rate); code >= 0) return code;
  for (const std::string& refused : {ApplyRangeAndTicks(c3d, o, spec), ApplyRight(c3d, o, spec)}) {
    if (refused.empty()) continue;
    std::fprintf(stderr, "tremolux-cli: %s: %s\n", path.c_str(), refused.c_str());
    return 1;
  }
  CCliSoundHost host;
  spec.channel = channel;
  spec.bits = o.bits;
  spec.rate = rate;
  spec.level = o.Level();
  const auto outcome = WriteWaveFile(c3d, spec, PathFromUtf8(o.out), host);
  return outcome == sound::WaveOutcome::Played ? 0 : 1;
}

// "[i/n] file" on stderr while a batch runs, rewritten in place; only when
// stderr is a terminal, so logs and pipes get the messages alone.
class CProgressLine {
 public:
  explicit CProgressLine(bool shown) : m_shown(shown) {}
  ~CProgressLine() { Clear(); }
  CProgressLine(const CProgressLine&) = delete;
  CProgressLine& operator=(const CProgressLine&) = delete;

  void Show(std::size_t done, std::size_t total, const std::string& path) {
    if (!m_shown) return;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done, total, path.c_str());
    std::fflush(stderr);
    m_showing = true;
  }
  // Wipes the line, so a message can take its place.
  void Clear() {
    if (!m_showing) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_showing = false;
  }

 private:
  bool m_shown;
  bool m_showing = false;
};

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string WithoutTrailingBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Every chosen channel of every file into the folder -o names, as
// BatchWaveName calls them, each file as the single command would write it.
// A file that cannot be loaded, a channel it lacks, a refused rate or a
// failed build is named on stderr with the reason; the rest still go out,
// and the exit status is then 1.
int RunWavBatch(const SoundOptions& o, sound::SoundRecipe spec) {
  namespace fs = std::filesystem;
  const fs::path dir = PathFromUtf8(o.out);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) {
    std::fprintf(stderr, CliMessages::kCannotMakeFolder, o.out.c_str());
    return 1;
  }
  const bool all = o.channel == kAllChannels;
  bool failed = false;
  std::map<std::string, std::string> written;  // output name -> the file it came from
  CProgressLine progress(o.paths.size() > 1 && StderrIsTerminal());
  for (std::size_t f = 0; f < o.paths.size(); ++f) {
    const std::string& path = o.paths[f];
    progress.Show(f + 1, o.paths.size(), path);
    const auto say = [&](const std::string& what) {
      progress.Clear();
      std::fprintf(stderr, CliMessages::kFileSays, path.c_str(), what.c_str());
      failed = true;
    };
    CC3d c3d;
    c3d.m_strPathName = path;
    if (!c3d.Load()) {
      say(LoadErrorText(c3d.m_loadError));
      continue;
    }
    std::vector<int> channels;
    if (all) {
      for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i)
        channels.push_back(static_cast<int>(i));
      if (channels.empty()) say(CliMessages::kBatchNoAnalogChannels);
    } else if (const int channel = FindAnalogChannel(c3d, o.channel); channel >= 0) {
      channels.push_back(channel);
    } else {
      say(CliMessages::Printed(CliMessages::kBatchNoSuchChannel, o.channel.c_str()));
    }
    if (channels.empty()) continue;
    const sound::PlayRateCheck check = sound::CheckPlayRate(c3d, o.rate, o.speed);
    if (check.message != nullptr) {
      say(check.message);
      continue;
    }
    sound::SoundRecipe fileSpec = spec;
    if (const std::string refused = ApplyRangeAndTicks(c3d, o, fileSpec); !refused.empty()) {
      say(refused);
      continue;
    }
    if (const std::string refused = ApplyRight(c3d, o, fileSpec); !refused.empty()) {
      say(refused);
      continue;
    }
    const std::string stem = Utf8FromPath(PathFromUtf8(path).stem());
    const std::vector<std::string> names = AnalogChannelNames(c3d);
    for (const int channel : channels) {
      const std::string label = WithoutTrailingBlanks(names[static_cast<std::size_t>(channel)]);
      const std::string what =
          CliMessages::Printed(CliMessages::kBatchChannel, channel, label.c_str());
      const std::string name = BatchWaveName(stem, channel, label);
      if (const auto [at, fresh] = written.emplace(name, path); !fresh) {
        say(what +
            CliMessages::Printed(CliMessages::kBatchNameTaken, name.c_str(), at->second.c_str()));
        continue;
      }
      CCliSoundHost host;
      host.prefix = CliMessages::Printed(CliMessages::kFilePrefix, path.c_str()) + what;
      host.beforeMessage = [&progress] { progress.Clear(); };
      fileSpec.channel = channel;
      fileSpec.bits = o.bits;
      fileSpec.rate = check.rate;
      fileSpec.level = o.Level();
      const auto outcome = WriteWaveFile(c3d, fileSpec, dir / PathFromUtf8(name), host);
      if (outcome != sound::WaveOutcome::Played) failed = true;
    }
  }
  return failed ? 1 : 0;
}

int RunWav(const SoundOptions& o) {
  sound::SoundRecipe choices;
  if (const int code = ReadSoundChoices(o, choices); code >= 0) return code;
  if (!o.right.empty() && o.channel == kAllChannels) {
    std::fprintf(stderr, CliMessages::kRefused, CliMessages::kRefuseRightAll);
    return 2;
  }
  if (o.paths.size() > 1 || o.channel == kAllChannels) return RunWavBatch(o, std::move(choices));
  return RunWavSingle(o, std::move(choices));
}

}  // namespace

void AddSoundCommands(CLI::App& app) {
  auto wav = std::make_shared<SoundOptions>();
  CLI::App* wcmd = app.add_subcommand(
      "wav",
      "Writes analog channels as PCM WAVE files, as the sound dialog's Play does: one channel "
      "of one file (with --right, two channels in two ears) to the file -o names, or, with "
      "--channel all or several files, each channel to <file name>_<channel index>_<label>.wav "
      "in the folder -o names");
  wcmd->add_option("FILE", wav->paths, "C3D files")->required();
  AddSoundOptions(wcmd, *wav,
                  "0-based channel index, a channel label as listed, or all (every channel)");
  wcmd->add_option("-o", wav->out,
                   "WAVE file to write; with --channel all or several files, the folder to write "
                   "into (made when missing)")
      ->required();
  wcmd->callback([wav] { g_exitCode = RunWav(*wav); });
}
