#include "cli/QtCompanion.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Commands.h"

#ifdef _WIN32
#include <process.h>
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
// system tells it (Linux), else the folder of argv[0].
std::filesystem::path ProgramFolder(const char* argv0) {
  std::error_code ec;
#ifdef __linux__
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
#endif
  return std::filesystem::absolute(argv0 ? argv0 : "", ec).parent_path();
}

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
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  const std::string path = companion.string();
#ifdef _WIN32
  std::fflush(nullptr);
  const intptr_t code = _spawnv(_P_WAIT, path.c_str(), args.data());
  if (code >= 0) std::exit(static_cast<int>(code));
#else
  std::fflush(nullptr);
  execv(path.c_str(), args.data());
#endif
  std::fprintf(stderr, "tremolux-cli: play and plot need %s beside tremolux-cli (%s): %s\n",
               kCompanion, path.c_str(), std::strerror(errno));
}

#ifndef TREMOLUX_CLI_WITH_QT
void AddCompanionCommands(CLI::App& app) {
  app.add_subcommand("play", kPlayHelp)->allow_extras();
  app.add_subcommand("plot", kPlotHelp)->allow_extras();
}
#endif
