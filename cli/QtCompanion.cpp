#include "cli/QtCompanion.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/WindowsCommandLine.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const char* const kCompanion =
#ifdef _WIN32
    "tremolux-cli-qt.exe";
#else
    "tremolux-cli-qt";
#endif

// The folder this program was started from: the running image where the
// system tells it (Linux, Windows), else the folder of argv[0].
std::filesystem::path ProgramFolder(const char* argv0) {
  std::error_code ec;
#ifdef _WIN32
  std::wstring self(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (n > 0 && n < self.size()) return std::filesystem::path(self.substr(0, n)).parent_path();
#endif
#ifdef __linux__
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
#endif
  return std::filesystem::absolute(argv0 ? argv0 : "", ec).parent_path();
}

#ifdef _WIN32
// UTF-8 text (main's arguments are UTF-8 on Windows) as UTF-16.
std::wstring Utf16(const std::string& text) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// Runs the companion with `args` (argv[0] first) as its argument vector,
// waits for it and ends this process with its exit code. Returns only when
// it cannot be started, with errno set.
void SpawnAndExit(const std::string& path, int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  args[0] = path;
  std::wstring line = Utf16(WindowsCommandLine(args));
  const std::wstring program = Utf16(path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::fflush(nullptr);
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    errno = ENOENT;
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::exit(static_cast<int>(code));
}
#endif

}  // namespace

bool NeedsQtCompanion(int argc, char** argv) {
  // The command is the first argument that is not an option; the program
  // itself has no options that take a value.
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    return std::strcmp(argv[i], "play") == 0 || std::strcmp(argv[i], "plot") == 0;
  }
  return false;
}

void RunQtCompanion(int argc, char** argv) {
  const std::filesystem::path companion = ProgramFolder(argv[0]) / kCompanion;
#ifdef _WIN32
  // The command line is rebuilt from the arguments, each quoted as the
  // companion's runtime will split it, so "My File.c3d" stays one argument.
  const std::string path = reinterpret_cast<const char*>(companion.u8string().c_str());
  SpawnAndExit(path, argc, argv);
#else
  const std::string path = companion.string();
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  std::fflush(nullptr);
  execv(path.c_str(), args.data());
#endif
  std::fprintf(stderr, CliMessages::kNoCompanion, kCompanion, path.c_str(), std::strerror(errno));
}
