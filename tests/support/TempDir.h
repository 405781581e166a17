#pragma once

#include <filesystem>
#include <string>

namespace c3dtest {

// A fresh, empty directory of its own under the system's temporary folder
// for one test; it and everything in it are removed when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  // The path of `name` inside the directory, as a string.
  std::string File(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

}  // namespace c3dtest
