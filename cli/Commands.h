#pragma once

#include <CLI/CLI.hpp>
#include <string>

class CC3d;

// Each command of tremolux-cli registers itself on the application and sets
// g_exitCode: 0 success, 1 refused or failed (after printing the same text
// the GUI would show), 2 bad usage.
extern int g_exitCode;

void AddInfoCommands(CLI::App& app);   // info, param
void AddSoundCommands(CLI::App& app);  // wav
void AddCsvCommand(CLI::App& app);     // csv
#ifdef TREMOLUX_CLI_WITH_QT
void AddPlayCommand(CLI::App& app);  // play
void AddPlotCommand(CLI::App& app);  // plot
#else
// play and plot as the help lists them; the companion program carries them out.
void AddCompanionCommands(CLI::App& app);
#endif

// What play and plot do, as the help says it in both programs.
inline constexpr const char* kPlayHelp =
    "Plays one analog channel as the sound dialog's Play does; returns when it ends";
inline constexpr const char* kPlotHelp =
    "Draws one analog channel (or a time range of it, --from/--to) as the sound dialog's plot "
    "does, into a PNG or SVG file";

// Loads `path` into `c3d`; on failure says why on stderr and returns false.
bool LoadOrSay(CC3d& c3d, const std::string& path);
