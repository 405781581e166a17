#include "common/WholeFile.h"

#include <cerrno>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "common/Utf8Path.h"

std::filesystem::path UnusedPartName(const std::filesystem::path& folder,
                                     const std::filesystem::path& base) {
  std::random_device random;
  std::filesystem::path part;
  std::error_code ec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Joined as paths, not as narrow text, which cannot hold every name on
    // Windows.
    part = folder / ".";
    part += base.filename().native();
    part += "." + std::to_string(random()) + ".part";
    if (!std::filesystem::exists(part, ec)) break;
  }
  return part;
}

bool IsDeviceOrPipe(const std::filesystem::path& named) {
  std::error_code ec;
  const auto target = std::filesystem::status(named, ec);  // follows links
  return !ec && std::filesystem::exists(target) && !std::filesystem::is_regular_file(target) &&
         !std::filesystem::is_directory(target);
}

namespace {

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
  const std::filesystem::path part = UnusedPartName(out.parent_path(), out.filename());
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

bool CopyWholeFile(const std::filesystem::path& from, const std::filesystem::path& named) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  // Block by block, each write checked: a stream insertion of the whole
  // file stops quietly at the first failed write and reports success.
  return WriteWholeFile(named, [&in](std::FILE* out) {
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
      const auto got = static_cast<std::size_t>(in.gcount());
      if (std::fwrite(block, 1, got, out) != got) return false;
    }
    return !in.bad();
  });
}
