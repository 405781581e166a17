#include "cli/WaveOutput.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <system_error>

#include "cli/Utf8Path.h"
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
    // Joined as paths, not as narrow text, which cannot hold every name on
    // Windows.
    part = out.parent_path() / ".";
    part += out.filename().native();
    part += "." + std::to_string(random()) + ".part";
    if (!std::filesystem::exists(part, ec)) break;
  }
  return part;
}

// True when `named` is a device or a pipe (after following links): a file
// renamed over it would take the device's place instead of reaching it.
bool IsDeviceOrPipe(const std::filesystem::path& named) {
  std::error_code ec;
  const auto target = std::filesystem::status(named, ec);
  return !ec && std::filesystem::exists(target) && !std::filesystem::is_regular_file(target) &&
         !std::filesystem::is_directory(target);
}

// The file a rename must replace: a symbolic link keeps pointing where it
// did, so the file it names is replaced, also when that file does not exist
// yet (a dangling link). At most 40 links are followed, as the system does.
std::filesystem::path ReplacedFile(const std::filesystem::path& named) {
  std::filesystem::path out = named;
  std::error_code ec;
  for (int hop = 0;
       hop < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(out, ec)); ++hop) {
    const std::filesystem::path target = std::filesystem::read_symlink(out, ec);
    if (ec) break;
    out = target.is_absolute() ? target : out.parent_path() / target;
  }
  return out;
}

// Writes a stream through `write`, then closes it: true when all of it was
// written and closed without an error.
bool WriteAndClose(std::FILE* file, const std::function<bool(std::FILE*)>& write) {
  if (file == nullptr) return false;
  const bool written = write(file) && std::fflush(file) == 0 && std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

bool WriteWholeFile(const std::filesystem::path& named,
                    const std::function<bool(std::FILE*)>& write) {
  errno = 0;
  if (IsDeviceOrPipe(named)) return WriteAndClose(OpenPath(named, "wb"), write);
  const std::filesystem::path out = ReplacedFile(named);
  const std::filesystem::path part = PartName(out);
  std::error_code ec;
  if (WriteAndClose(OpenPath(part, "wb"), write)) {
    std::filesystem::rename(part, out, ec);
    if (!ec) return true;
    errno = ec.value();
  }
  const int reason = errno;
  std::filesystem::remove(part, ec);
  errno = reason;
  return false;
}

sound::WaveOutcome WriteWaveFile(const CC3d& c3d, int channel, int bits, float rate,
                                 sound::SoundLevel level, const std::filesystem::path& named,
                                 sound::ISoundHost& host) {
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  std::error_code ec;
  // A device or a pipe (/dev/null, /dev/full, a FIFO) cannot be replaced:
  // renaming a file over it would put the file where the device was. The
  // sound is built in the temporary folder (its sizes are patched in at the
  // end, which a pipe cannot seek to), then copied into it in one pass.
  if (IsDeviceOrPipe(named)) {
    const std::filesystem::path part =
        PartName(std::filesystem::temp_directory_path(ec) / "tremolux.wav");
    auto outcome = sound::WriteWave(c3d, channel, bits, rate, soundBuffer, part, host, level);
    if (outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty) {
      // Copied block by block, each write checked: a stream insertion of the
      // whole file stops quietly at the first failed write (a reader that
      // went away, a full device) and reports success.
      std::ifstream in(part, std::ios::binary);
      const auto copy = [&in](std::FILE* device) {
        char block[1 << 16];
        while (in.read(block, sizeof block) || in.gcount() > 0) {
          const auto got = static_cast<std::size_t>(in.gcount());
          if (std::fwrite(block, 1, got, device) != got) return false;
        }
        return !in.bad();
      };
      if (!in || !WriteAndClose(OpenPath(named, "wb"), copy)) {
        host.ShowMessage(Messages::kCouldNotCreate);
        outcome = sound::WaveOutcome::NotCreated;
      }
    }
    std::filesystem::remove(part, ec);
    return outcome;
  }
  const std::filesystem::path out = ReplacedFile(named);
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
