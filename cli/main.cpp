#include <cstdio>

#include "cli/Commands.h"
#include "cli/QtCompanion.h"

int g_exitCode = 0;

int main(int argc, char** argv) {
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
  return g_exitCode;
}
