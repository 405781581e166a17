#include "cli/WaveOutput.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

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

namespace {

// A name beside `out` that no file has yet: ".<name>.<random>.part", hidden
// and recognisably unfinished should the process be killed mid-build.
std::filesystem::path PartName(const std::filesystem::path& out) {
  std::random_device random;
  std::filesystem::path part;
  std::error_code ec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    part = out.parent_path() /
           ("." + out.filename().string() + "." + std::to_string(random()) + ".part");
    if (!std::filesystem::exists(part, ec)) break;
  }
  return part;
}

}  // namespace

sound::WaveOutcome WriteWaveFile(const CC3d& c3d, int channel, int bits, float rate,
                                 sound::SoundLevel level, const std::filesystem::path& named,
                                 sound::ISoundHost& host) {
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  std::error_code ec;
  // A device or a pipe (/dev/null, /dev/full, a FIFO) cannot be replaced:
  // renaming a file over it would put the file where the device was. The
  // sound is built in the temporary folder (its sizes are patched in at the
  // end, which a pipe cannot seek to), then copied into it in one pass.
  const auto target = std::filesystem::status(named, ec);
  if (!ec && std::filesystem::exists(target) && !std::filesystem::is_regular_file(target)) {
    const std::filesystem::path part =
        PartName(std::filesystem::temp_directory_path(ec) / "tremolux.wav");
    auto outcome = sound::WriteWave(c3d, channel, bits, rate, soundBuffer, part, host, level);
    if (outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty) {
      std::ifstream in(part, std::ios::binary);
      std::ofstream device(named, std::ios::binary | std::ios::out);
      device << in.rdbuf();
      device.close();
      if (!in || device.fail()) {
        host.ShowMessage(Messages::kCouldNotCreate);
        outcome = sound::WaveOutcome::NotCreated;
      }
    }
    std::filesystem::remove(part, ec);
    return outcome;
  }
  // A symbolic link keeps pointing where it did: the file it names is replaced.
  std::filesystem::path out = named;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(named, ec))) {
    const auto resolved = std::filesystem::weakly_canonical(named, ec);
    if (!ec) out = resolved;
  }
  const std::filesystem::path part = PartName(out);
  auto outcome = sound::WriteWave(c3d, channel, bits, rate, soundBuffer, part, host, level);
  if (outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty) {
    std::filesystem::rename(part, out, ec);
    if (!ec) return outcome;
    host.ShowMessage(Messages::kCouldNotCreate);
    outcome = sound::WaveOutcome::NotCreated;
  }
  std::filesystem::remove(part, ec);  // best effort; nothing else is left
  return outcome;
}
