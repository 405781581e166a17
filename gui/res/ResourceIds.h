#pragma once

// Numeric ids of the program's resources and commands. The numbers are the
// ones the string table, the menus and the settings were designed around
// (the recent-file ids, for instance, are consecutive so that entry i of the
// list is command ID_FILE_MRU_FILE1 + i); code refers to the names only.
namespace Res {

// Resource sets.
inline constexpr int IDR_MAINFRAME = 128;  // main-frame menu, accelerators, toolbar, icon, title
inline constexpr int IDR_C3DTYPE = 129;    // document menu, document icon, template string

// Commands.
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_CLOSE = 57602;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;
inline constexpr int ID_FILE_MRU_LAST = 57631;  // sixteen ids are reserved for recent files
inline constexpr int ID_WINDOW_NEW = 57648;
inline constexpr int ID_WINDOW_ARRANGE = 57649;
inline constexpr int ID_WINDOW_CASCADE = 57650;
inline constexpr int ID_WINDOW_TILE_HORZ = 57651;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_SOUND_DIALOG = 32771;
inline constexpr int ID_FILE_EXPORT_CSV = 32772;  // File > Export > Channels as CSV...

// Status-bar panes.
inline constexpr int ID_SEPARATOR = 0;  // the message pane
inline constexpr int ID_INDICATOR_CAPS = 59137;
inline constexpr int ID_INDICATOR_NUM = 59138;
inline constexpr int ID_INDICATOR_SCRL = 59139;

// Strings that are not command prompts.
inline constexpr int AFX_IDS_APP_TITLE = 57344;    // "Tremolux"
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;  // "Ready"
inline constexpr int IDS_OPEN_FAILED = 101;        // status message: %1 the file, %2 why
inline constexpr int IDS_FILE_NOT_FOUND = 102;     // the reason for a file that does not exist
inline constexpr int IDS_CANNOT_READ_FILE = 103;   // message box: %1 the file, %2 why
inline constexpr int IDS_SUMMARY_FILE = 104;  // first line of a document's summary: %1 its title

// Why the sound player could not play, in its last error and on stderr.
inline constexpr int IDS_PLAYER_CANNOT_READ = 110;     // %1 the file, %2 the system's reason
inline constexpr int IDS_PLAYER_NOT_PLAYABLE = 111;    // %1 the file, %2 what is wrong with it
inline constexpr int IDS_PLAYER_NO_SERVER = 112;       // %1 the sound server's reason
inline constexpr int IDS_PLAYER_SERVER_STOPPED = 113;  // %1 the sound server's reason
inline constexpr int IDS_PLAYER_NO_DEVICE = 114;
inline constexpr int IDS_PLAYER_FORMAT_REFUSED = 115;  // %1 the output, %2 bits, %3 rate in Hz
inline constexpr int IDS_PLAYER_CANNOT_OPEN = 116;     // %1 the output
inline constexpr int IDS_PLAYER_OUTPUT_ERROR = 117;    // %1 the output's error number

// Images compiled into the program (tremolux.qrc, prefix /res): the one place
// code names their paths.
inline constexpr const char* kImageMainFrame = ":/res/idr_mainframe.svg";  // application icon
inline constexpr const char* kImageC3dType = ":/res/idr_c3dtype.svg";      // document windows' icon
inline constexpr const char* kImageToolbarOpen = ":/res/toolbar/open.svg";
inline constexpr const char* kImageToolbarAbout = ":/res/toolbar/about.svg";

// The recent-file list: four entries, each shown with at most 30 characters.
inline constexpr int kRecentFileCount = 4;
inline constexpr int kRecentFileDisplayChars = 30;

}  // namespace Res
