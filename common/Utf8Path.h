#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// File names on the command line are UTF-8 on every system (main converts
// Windows' UTF-16 command line). A std::filesystem::path made from a plain
// std::string reads it in the C library's narrow encoding, which on Windows
// is not UTF-8; these keep names intact there and are the identity elsewhere,
// where a name is bytes (valid UTF-8 or not) and passes through unchanged.

// The path named by UTF-8 `text`.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
  return std::filesystem::path(text);
#endif
}

// The UTF-8 text of `path`.
inline std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

// std::fopen of `path` in binary `mode` ("rb", "wb"): by its UTF-16 name on
// Windows.
inline std::FILE* OpenPath(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}
