#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/Commands.h"
#include "cli/QtCompanion.h"

int g_exitCode = 0;

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A closed pipe on stdout then shows as a failed write, reported below,
  // instead of ending the process without a word.
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifndef TREMOLUX_CLI_WITH_QT
  if (NeedsQtCompanion(argc, argv)) {
    RunQtCompanion(argc, argv);
    return 1;
  }
#endif
  CLI::App app{"tremolux-cli: inspect C3D recordings and listen to their analog channels"};
  app.require_subcommand(1);
  AddInfoCommands(app);
  AddSoundCommands(app);
#ifdef TREMOLUX_CLI_WITH_QT
  AddPlayCommand(app);
  AddPlotCommand(app);
#else
  AddCompanionCommands(app);
#endif
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  // Output that could not be written (a full disk, a reader that went away)
  // is a failure, not a success with a silently shortened result.
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
    const int err = errno;
    std::fprintf(stderr, "tremolux-cli: cannot write the output: %s\n",
                 err != 0 ? std::strerror(err) : "write error");
    return 1;
  }
  return g_exitCode;
}
