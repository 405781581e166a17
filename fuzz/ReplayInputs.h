#pragma once

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

// The input files a replay runner takes from one path: the file itself, or
// every regular file under a folder (recursively, in name order) except
// notes (*.md) and hidden files.
namespace fuzzreplay {

inline std::vector<std::filesystem::path> InputFiles(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) return {path};
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ec)) {
    const std::filesystem::path& f = entry.path();
    if (entry.is_regular_file(ec) && f.extension() != ".md" && f.filename().string()[0] != '.')
      found.push_back(f);
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace fuzzreplay
