#include "gui/res/StringTable.h"

#include <array>

#include "gui/res/ResourceIds.h"

namespace Res {
namespace {

struct Entry {
  int id;
  const char* text;
};

// Prompt "\n" tooltip, as the status bar and the toolbar read them; the
// status messages, with QString::arg places.
constexpr std::array kStrings{
    Entry{AFX_IDS_APP_TITLE, "Tremolux"},
    Entry{AFX_IDS_IDLEMESSAGE, "Ready"},
    Entry{IDS_OPEN_FAILED, "Could not open %1: %2"},
    Entry{IDS_FILE_NOT_FOUND, "the file does not exist"},
    Entry{ID_FILE_OPEN, "Open an existing document\nOpen"},
    Entry{ID_FILE_CLOSE, "Close the active document\nClose"},
    Entry{ID_WINDOW_NEW, "Open another window for the active document\nNew Window"},
    Entry{ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
    Entry{ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
    Entry{ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
    Entry{ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    Entry{ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    Entry{ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
    Entry{ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
    Entry{ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    Entry{ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
};

// Every recent-file command shares one prompt.
constexpr const char* kRecentFilePrompt = "Open this document";

}  // namespace

QString LoadString(int id) {
  if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST)
    return QString::fromLatin1(kRecentFilePrompt);
  for (const Entry& e : kStrings) {
    if (e.id == id) return QString::fromLatin1(e.text);
  }
  return {};
}

QString Prompt(int id) { return LoadString(id).section(QLatin1Char('\n'), 0, 0); }

QString ToolTip(int id) {
  const QString s = LoadString(id);
  const qsizetype nl = s.indexOf(QLatin1Char('\n'));
  return nl < 0 ? QString() : s.mid(nl + 1);
}

}  // namespace Res
