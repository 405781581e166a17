#pragma once

#include <CLI/CLI.hpp>
#include <string>

class CC3d;

// Each command of tremolux-cli registers itself on the application and sets
// g_exitCode: 0 success, 1 refused or failed (after printing the same text
// the GUI would show), 2 bad usage.
extern int g_exitCode;

void AddInfoCommands(CLI::App& app);   // info, param
void AddSoundCommands(CLI::App& app);  // wav, and play when built with Qt
#ifdef TREMOLUX_CLI_WITH_QT
void AddPlotCommand(CLI::App& app);    // plot
#endif

// Loads `path` into `c3d`; on failure says why on stderr and returns false.
bool LoadOrSay(CC3d& c3d, const std::string& path);
