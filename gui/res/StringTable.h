#pragma once

#include <QString>

// The program's string table: the application title, the idle text of the
// status bar, the status bar's messages, and for each command its status-bar
// prompt and, after a "\n", its toolbar tooltip. Read-only data compiled
// into the program.
namespace Res {

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
