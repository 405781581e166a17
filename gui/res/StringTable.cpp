#include "gui/res/StringTable.h"

#include <array>

#include "gui/res/ResourceIds.h"

namespace Res {
namespace {

// Prompt "\n" tooltip, as the status bar and the toolbar read them; the
// status messages, with QString::arg places.
constexpr std::array kStrings{
    StringEntry{AFX_IDS_APP_TITLE, "Tremolux"},
    StringEntry{AFX_IDS_IDLEMESSAGE, "Ready"},
    StringEntry{IDS_OPEN_FAILED, "Could not open %1: %2"},
    StringEntry{IDS_FILE_NOT_FOUND, "the file does not exist"},
    StringEntry{IDS_CANNOT_READ_FILE, "Cannot read the file %1:\n%2."},
    StringEntry{IDS_SUMMARY_FILE, "File: %1"},
    StringEntry{IDS_PLAYER_CANNOT_READ, "cannot read %1: %2"},
    StringEntry{IDS_PLAYER_NOT_PLAYABLE, "%1: %2"},
    StringEntry{IDS_PLAYER_NO_SERVER, "no sound server: %1"},
    StringEntry{IDS_PLAYER_SERVER_STOPPED, "the sound server stopped the sound: %1"},
    StringEntry{IDS_PLAYER_NO_DEVICE, "no audio output device"},
    StringEntry{IDS_PLAYER_FORMAT_REFUSED,
                "the audio output \"%1\" does not take %2-bit mono sound at %3 Hz"},
    StringEntry{IDS_PLAYER_CANNOT_OPEN, "the audio output \"%1\" cannot be opened"},
    StringEntry{IDS_PLAYER_OUTPUT_ERROR, "the audio output stopped with error %1"},
    StringEntry{ID_INDICATOR_CAPS, "CAP"},
    StringEntry{ID_INDICATOR_NUM, "NUM"},
    StringEntry{ID_INDICATOR_SCRL, "SCRL"},
    StringEntry{ID_FILE_OPEN, "Open an existing document\nOpen"},
    StringEntry{ID_FILE_CLOSE, "Close the active document\nClose"},
    StringEntry{
        ID_FILE_EXPORT_CSV,
        "Write the shown channels over the visible time as comma-separated text\nExport CSV"},
    StringEntry{ID_WINDOW_NEW, "Open another window for the active document\nNew Window"},
    StringEntry{ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
    StringEntry{ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
    StringEntry{ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
    StringEntry{ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    StringEntry{ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    StringEntry{ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
    StringEntry{ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
    StringEntry{ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    StringEntry{ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    // Every recent-file command shares the first one's prompt.
    StringEntry{ID_FILE_MRU_FILE1, "Open this document"},
};

}  // namespace

std::span<const StringEntry> StringEntries() { return kStrings; }

QString LoadString(int id) {
  if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) id = ID_FILE_MRU_FILE1;
  for (const StringEntry& e : kStrings) {
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
