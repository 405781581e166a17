#pragma once

#include <QString>
#include <span>

// The program's string table: the application title, the idle text of the
// status bar, the status bar's messages and lock-key indicators, the message
// boxes' texts, the sound player's reasons for not playing, and for each
// command its status-bar prompt and, after a "\n", its toolbar tooltip. The
// one place the GUI's own texts live (the texts it shares with the
// command-line tool are in core/Messages.h). Read-only data compiled into the
// program.
namespace Res {

// One string of the table: its resource id and its Latin-1 text.
struct StringEntry {
  int id;
  const char* text;
};

// Every string of the table, in table order, for code that walks them all.
std::span<const StringEntry> StringEntries();

// The whole string of resource `id`; empty when the table has none (command
// ID_VIEW_SOUND_DIALOG, for instance, has no string).
QString LoadString(int id);

// The part of string `id` before the first "\n": the prompt shown in the
// status bar while the command's menu item is highlighted. Empty when none.
QString Prompt(int id);

// The part of string `id` after the first "\n": the tooltip of the command's
// toolbar button. Empty when the string has no such part.
QString ToolTip(int id);

}  // namespace Res
