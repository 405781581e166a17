#include "support/TempDir.h"

#include <cstdio>
#include <random>
#include <stdexcept>
#include <system_error>

namespace c3dtest {

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, "tremolux-test-%016llx",
                  static_cast<unsigned long long>(random()));
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      m_path = base / name;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;  // a directory that cannot be removed is left behind, not fatal
  std::filesystem::remove_all(m_path, ignored);
}

}  // namespace c3dtest
