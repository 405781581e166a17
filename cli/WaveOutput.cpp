#include "cli/WaveOutput.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <span>
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

// The encoder's bytes into a stdio stream, each write checked.
class CFileSink : public sound::IByteSink {
 public:
  explicit CFileSink(std::FILE* file) : m_file(file) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
  }

 private:
  std::FILE* m_file;
};

}  // namespace

bool WriteWholeFile(const std::filesystem::path& named,
                    const std::function<bool(std::FILE*)>& write) {
  errno = 0;
  if (IsDeviceOrPipe(named)) return WriteAndClose(std::fopen(named.string().c_str(), "wb"), write);
  const std::filesystem::path out = ReplacedFile(named);
  const std::filesystem::path part = PartName(out);
  std::error_code ec;
  if (WriteAndClose(std::fopen(part.string().c_str(), "wb"), write)) {
    std::filesystem::rename(part, out, ec);
    if (!ec) return true;
    errno = ec.value();
  }
  const int reason = errno;
  std::filesystem::remove(part, ec);
  errno = reason;
  return false;
}

sound::WaveOutcome WriteWaveFile(const CC3d& c3d, const sound::SoundSpec& spec,
                                 const std::filesystem::path& out, sound::ISoundHost& host) {
  const std::optional<sound::RawChannel> samples = sound::SpecSamples(c3d, spec, host);
  if (!samples) return sound::WaveOutcome::Failed;
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  std::optional<sound::WaveOutcome> built;
  const auto complete = [](sound::WaveOutcome outcome) {
    return outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty;
  };
  const bool whole = WriteWholeFile(out, [&](std::FILE* file) {
    CFileSink sink(file);
    built = sound::EncodeSpec(c3d, spec, *samples, soundBuffer, sink, host);
    return complete(*built);
  });
  if (whole) return *built;
  // A failed build has shown its message; a file that could not be opened,
  // or a whole sound that did not reach the disk or its name, has not.
  if (built && !complete(*built)) return *built;
  host.ShowMessage(Messages::kCouldNotCreate);
  return sound::WaveOutcome::NotCreated;
}
