// tremolux-cli wav and play: the sound dialog's Play without the dialog. The
// same rate checks, messages and build (sound::CheckPlayRate, sound::WriteWave)
// as the GUI, so the same bytes; play hands the file to the GUI's player.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "c3d/C3d.h"
#include "sound/ChannelNames.h"
#include "sound/PlayChecks.h"
#include "sound/SoundLevel.h"
#include "sound/WaveSynthesis.h"

#ifdef TREMOLUX_CLI_WITH_QT
#include <QCoreApplication>
#include <QTimer>

#include "platform/ProcessExit.h"
#include "platform/SoundPlayer.h"
#include "platform/TempFile.h"
#endif

namespace {

struct SoundOptions {
  std::string path;
  std::string channel;
  std::string rate;
  int bits = 16;
  std::string level = "recorded";  // "recorded" or "fit"
  std::string out;

  sound::SoundLevel Level() const {
    return level == "fit" ? sound::SoundLevel::FitToChannel : sound::SoundLevel::AsRecorded;
  }
};

// The command line's sound host: messages go to stderr, one per line, the
// status line and the wait cursor have no place here. Playback, when asked
// for, is left to the caller's callback.
class CCliSoundHost : public sound::ISoundHost {
 public:
  void StopSound() override {
    if (onStop) onStop();
  }
  void SetStatus(const std::string&) override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void PlayFile(const std::filesystem::path& file) override {
    if (onPlay) onPlay(file);
  }

  std::function<void()> onStop;
  std::function<void(const std::filesystem::path&)> onPlay;
};

// Loads the file, finds the channel and checks the rate as the dialog's Play
// does. Returns the exit code to end with, or -1 when the build may go on
// (then channel and rate are set).
int Prepare(const SoundOptions& o, CC3d& c3d, int& channel, float& rate) {
  if (!LoadOrSay(c3d, o.path)) return 1;
  channel = FindAnalogChannel(c3d, o.channel);
  if (channel < 0) {
    std::fprintf(stderr, "tremolux-cli: %s: no analog channel \"%s\" (the file has %zu)\n",
                 o.path.c_str(), o.channel.c_str(), c3d.m_analogs.size());
    return 2;
  }
  const sound::PlayRateCheck check = sound::CheckPlayRate(c3d, o.rate);
  if (check.message != nullptr) {
    std::fprintf(stderr, "%s\n", check.message);
    return 1;
  }
  rate = check.rate;
  return -1;
}

int RunWav(const SoundOptions& o) {
  CC3d c3d;
  int channel = 0;
  float rate = 0.0f;
  if (const int code = Prepare(o, c3d, channel, rate); code >= 0) return code;
  CCliSoundHost host;
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  const auto outcome =
      sound::WriteWave(c3d, channel, o.bits, rate, soundBuffer, std::filesystem::path(o.out), host,
                       o.Level());
  return outcome == sound::WaveOutcome::Played ? 0 : 1;
}

#ifdef TREMOLUX_CLI_WITH_QT

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

int RunPlay(const SoundOptions& o) {
  CC3d c3d;
  int channel = 0;
  float rate = 0.0f;
  if (const int code = Prepare(o, c3d, channel, rate); code >= 0) return code;

  static int argc = 1;
  static char name[] = "tremolux-cli";
  static char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  CSoundPlayer player;
  CTempFile temp;
  temp.Create();  // a failure shows up in the build as "Could not create"

  CCliSoundHost host;
  CSoundPlayer::PlayResult played = CSoundPlayer::PlayResult::Unreadable;
  host.onStop = [&player] { player.Purge(); };
  host.onPlay = [&](const std::filesystem::path&) { played = player.Play(temp.Path()); };
  std::vector<float> soundBuffer(50);
  const auto outcome =
      sound::WriteWave(c3d, channel, o.bits, rate, soundBuffer, temp.FsPath(), host, o.Level());
  if (outcome != sound::WaveOutcome::Played) return 1;
  if (played != CSoundPlayer::PlayResult::Playing) return 1;  // the player said why

  // Ctrl+C stops the sound; the wait then ends like at the end of the sound.
  g_interrupted = 0;
  const auto previous = std::signal(SIGINT, OnInterrupt);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&player] {
    if (g_interrupted) player.Purge();
  });
  poll.start(50);
  player.WaitForEnd();
  std::signal(SIGINT, previous);
  return 0;
}

#endif

void AddSoundOptions(CLI::App* cmd, SoundOptions& o) {
  cmd->add_option("FILE", o.path, "C3D file")->required();
  cmd->add_option("--channel", o.channel, "0-based channel index, or a channel label as listed")
      ->required();
  cmd->add_option("--rate", o.rate, "output rate in Hz, read as the dialog reads its Freq field")
      ->required();
  cmd->add_option("--bits", o.bits, "sample width")->required()->check(CLI::IsMember({8, 16}));
  cmd->add_option("--level", o.level,
                  "recorded: stored values taken as 12-bit (0..4095, 2048 silent), as recorders of "
                  "that kind store them; fit: the channel's lowest to highest value over the full "
                  "scale, for signed, float or scaled data (default: recorded)")
      ->check(CLI::IsMember({"recorded", "fit"}));
}

}

void AddSoundCommands(CLI::App& app) {
  auto wav = std::make_shared<SoundOptions>();
  CLI::App* wcmd = app.add_subcommand(
      "wav", "Writes one analog channel as a mono PCM WAVE file, as the sound dialog's Play does");
  AddSoundOptions(wcmd, *wav);
  wcmd->add_option("-o", wav->out, "WAVE file to write")->required();
  wcmd->callback([wav] { g_exitCode = RunWav(*wav); });

#ifdef TREMOLUX_CLI_WITH_QT
  auto play = std::make_shared<SoundOptions>();
  CLI::App* pcmd = app.add_subcommand(
      "play", "Plays one analog channel as the sound dialog's Play does; returns when it ends");
  AddSoundOptions(pcmd, *play);
  // RunPlay has removed its temporary file and closed the player when it
  // returns; the process then ends without the audio library's teardown.
  pcmd->callback([play] { ExitAfterSound(RunPlay(*play)); });
#endif
}
