#pragma once
// What wav (CmdSound.cpp), play (CmdPlay.cpp, built with Qt only) and the
// browser build (SoundChoices.cpp without the command-line parser) share:
// their options, the command line's sound host, and the preparation that
// loads the file and checks the channel and rate as the dialog's Play does.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/sound/SoundLevel.h"
#include "core/sound/SoundRecipe.h"
#include "core/sound/WaveSynthesis.h"

class CC3d;
namespace CLI {
class App;
}

namespace clisound {

struct SoundOptions {
  std::vector<std::string> paths;  // wav: one or more files; play: exactly one
  std::string channel;
  std::string rate;
  int bits = 16;
  std::string level = "recorded";  // "recorded" or "fit"
  std::string mode = "waveform";   // "waveform", "pitch" or "auto"
  std::string pitch;               // "LO-HI" in Hz; empty: the default range
  std::string filter;              // SPEC[,SPEC...]; empty: no filter
  int speed = 1;
  std::string out;
  bool ticks = false;          // a tick at each event of the file
  std::optional<double> from;  // seconds from the first sample; none: from the start
  std::optional<double> to;    // seconds from the first sample; none: to the end
  std::string right;           // the right ear's channel, as --channel names one; empty: mono

  sound::SoundLevel Level() const {
    return level == "fit" ? sound::SoundLevel::FitToChannel : sound::SoundLevel::AsRecorded;
  }
};

// The command line's sound host: messages go to stderr, one per line, after
// `prefix` (empty for a single sound: the GUI's very text); the status line
// and the wait cursor have no place here. Playback, when asked for, is left
// to the caller's callback.
class CCliSoundHost : public sound::ISoundHost {
 public:
  void StopSound() override {
    if (onStop) onStop();
  }
  void SetStatus(const std::string&) override {}
  void ShowMessage(const std::string& text) override {
    if (beforeMessage) beforeMessage();
    std::fprintf(stderr, "%s%s\n", prefix.c_str(), text.c_str());
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void PlayFile(const std::filesystem::path& file) override {
    if (onPlay) onPlay(file);
  }
  // A note, after the same prefix as a message; not a failure.
  void ShowHint(const std::string& text) override { ShowMessage(text); }

  std::string prefix;
  std::function<void()> beforeMessage;  // e.g. wipes a progress line
  std::function<void()> onStop;
  std::function<void(const std::filesystem::path&)> onPlay;
};

// The sound choices of --mode, --pitch, --filter and --speed as the fields
// of a spec (the others left at their defaults). Returns -1 when they are
// understood, else 2 after saying why on stderr: a pitch range or filter
// text that cannot be read, --pitch without --mode pitch, --filter or
// --speed with another mode than waveform.
int ReadSoundChoices(const SoundOptions& o, sound::SoundRecipe& choices);

// Loads the file, finds the channel and checks the rate as the dialog's Play
// does (at the chosen speed). Returns the exit code to end with, or -1 when
// the build may go on (then channel and rate are set).
int Prepare(const std::string& path, const SoundOptions& o, CC3d& c3d, int& channel, float& rate);

// Prepare's checks for a file already loaded (`path` names it in messages).
int CheckChannelAndRate(const std::string& path, const SoundOptions& o, const CC3d& c3d,
                        int& channel, float& rate);

// --from, --to and --ticks for one loaded file, as spec's range and ticks.
// Returns "" when they apply, else the message to show (a start past the
// end or not before --to, a range shorter than one sample); spec is then
// unchanged. The ticks are the analog samples of the header's events and
// of the EVENT group's events that lie inside the recording.
std::string ApplyRangeAndTicks(const CC3d& c3d, const SoundOptions& o, sound::SoundRecipe& spec);

// --right for one loaded file, as spec.right. Returns "" when it applies
// (or is not given), else the message to show: the file has no such
// channel (found as --channel finds one); spec is then unchanged.
std::string ApplyRight(const CC3d& c3d, const SoundOptions& o, sound::SoundRecipe& spec);

// The options wav and play share, after FILE.
void AddSoundOptions(CLI::App* cmd, SoundOptions& o, const char* channelHelp);

}  // namespace clisound
