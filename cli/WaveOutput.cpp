#include "cli/WaveOutput.h"

#include <cstdio>
#include <system_error>

#include "common/WholeFile.h"
#include "core/Messages.h"

std::string BatchWaveName(const std::string& stem, int index, const std::string& label) {
  std::string clean = label;
  while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  for (char& c : clean) {
    const bool portable = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!portable) c = '_';
  }
  char number[16];
  std::snprintf(number, sizeof number, "%02d", index);
  return stem + "_" + number + "_" + clean + ".wav";
}

sound::WaveOutcome WriteWaveFile(const CC3d& c3d, int channel, int bits, float rate,
                                 sound::SoundLevel level, const std::filesystem::path& named,
                                 sound::ISoundHost& host) {
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  std::error_code ec;
  // The build patches the sizes into the header once the samples are
  // written, which needs a file it can seek in: it goes to the temporary
  // folder, and only a complete sound is copied on to `named` by the one
  // whole-or-nothing writer (a device or a pipe in place, any other name
  // through a file renamed over it).
  const std::filesystem::path part =
      UnusedPartName(std::filesystem::temp_directory_path(ec), "tremolux.wav");
  auto outcome = sound::WriteWave(c3d, channel, bits, rate, soundBuffer, part, host, level);
  if (outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty) {
    if (!CopyWholeFile(part, named)) {
      host.ShowMessage(Messages::kCouldNotCreate);
      outcome = sound::WaveOutcome::NotCreated;
    }
  }
  std::filesystem::remove(part, ec);  // best effort; nothing else is left
  return outcome;
}
