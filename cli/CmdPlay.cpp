// tremolux-cli play: builds the sound as wav does and hands it to the GUI's
// player, then waits until it ends or Ctrl+C stops it. Built with Qt only.
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <vector>

#include "cli/Commands.h"
#include "cli/SoundOptions.h"
#include "core/c3d/C3d.h"
#include "gui/platform/TempFile.h"
#include "gui/player/SoundPlayer.h"

using namespace clisound;

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

int RunPlay(const SoundOptions& o) {
  sound::SoundRecipe spec;
  if (const int code = ReadSoundChoices(o, spec); code >= 0) return code;
  CC3d c3d;
  int channel = 0;
  float rate = 0.0f;
  if (const int code = Prepare(o.paths.front(), o, c3d, channel, rate); code >= 0) return code;
  for (const std::string& refused : {ApplyRangeAndTicks(c3d, o, spec), ApplyRight(c3d, o, spec)}) {
    if (refused.empty()) continue;
    std::fprintf(stderr, "tremolux-cli: %s: %s\n", o.paths.front().c_str(), refused.c_str());
    return 1;
  }

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
  spec.channel = channel;
  spec.bits = o.bits;
  spec.rate = rate;
  spec.level = o.Level();
  const auto outcome = sound::WriteWave(c3d, spec, soundBuffer, temp.FsPath(), host);
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
  // An output that could not be opened (no sound server), or failed
  // mid-sound (the server gone), has said why on stderr; the sound was not
  // heard to its end.
  return player.LastError().isEmpty() ? 0 : 1;
}
