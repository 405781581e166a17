#pragma once

// tremolux-cli starts without Qt: info, param and wav need only the core.
// play and plot need Qt's sound output and image writers; they are carried
// out by the companion program tremolux-cli-qt, installed beside
// tremolux-cli, which takes the same command line.

// True when argv names a command only the companion carries out.
bool NeedsQtCompanion(int argc, char** argv);

// Replaces this process with the companion, given the same arguments.
// Returns only when it cannot be started, after saying why on stderr; the
// caller then exits 1.
void RunQtCompanion(int argc, char** argv);
