#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "cli/QtCompanion.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, whose types these use.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <string>
#include <vector>
#endif

#ifdef _WIN32
namespace {

// The command line as UTF-8, whatever the ANSI code page: the system keeps it
// in UTF-16, and the C runtime's narrow argv would lose every character
// outside the code page. File names are then UTF-8 throughout; the
// application manifest makes the narrow file functions read them so.
struct Utf8Arguments {
  std::vector<std::string> text;
  std::vector<char*> argv;

  bool Read() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return false;
    for (int i = 0; i < count; ++i) {
      const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string arg(bytes > 0 ? static_cast<std::size_t>(bytes) : 1, '\0');
      if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), bytes, nullptr, nullptr);
      arg.resize(std::strlen(arg.c_str()));
      text.push_back(std::move(arg));
    }
    LocalFree(wide);
    for (std::string& arg : text) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return true;
  }
};

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Output is bytes (WAVE data, stored parameter text, JSON with "\n" line
  // ends), the same on every system: no "\r\n" translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  Utf8Arguments utf8;
  if (utf8.Read()) {
    argc = static_cast<int>(utf8.text.size());
    argv = utf8.argv.data();
  }
#endif
#ifdef SIGPIPE
  // A closed pipe on stdout then shows as a failed write, which
  // RunCommandLine reports, instead of ending the process without a word.
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifndef TREMOLUX_CLI_WITH_QT
  if (NeedsQtCompanion(argc, argv)) {
    RunQtCompanion(argc, argv);
    return 1;
  }
#endif
#ifdef TREMOLUX_CLI_WITH_QT
  static constexpr QtCommands kQt{RunPlay, RunPlot, RunPlotAll};
  return RunCommandLine(argc, argv, &kQt);
#else
  return RunCommandLine(argc, argv, nullptr);
#endif
}
