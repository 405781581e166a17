#pragma once

#include <CLI/CLI.hpp>

// Each command of tremolux-cli registers itself on the application and sets
// g_exitCode: 0 success, 1 refused or failed (after printing the same text
// the GUI would show), 2 bad usage.
extern int g_exitCode;

void AddInfoCommands(CLI::App& app);   // info, param
