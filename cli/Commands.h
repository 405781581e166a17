#pragma once

#include <string>

class CC3d;
namespace CLI {
class App;
}
namespace clisound {
struct SoundOptions;
}

// Each command of tremolux-cli registers itself on the application and sets
// g_exitCode: 0 success, 1 refused or failed (after printing the same text
// the GUI would show), 2 bad usage.
extern int g_exitCode;

void AddInfoCommands(CLI::App& app);   // info, param
void AddSoundCommands(CLI::App& app);  // wav
void AddCsvCommand(CLI::App& app);     // csv

// --channel's word for every channel: wav makes a sound of each, plot
// stacks them on one time axis.
inline constexpr const char* kAllChannels = "all";

// plot's options.
struct PlotOptions {
  std::string path;
  std::string channel;
  int width = 0;
  int height = 0;
  bool widthGiven = false;   // --width is required but for the stacked view
  bool heightGiven = false;  // --height likewise
  std::string out;
  std::string geometry;
  double from = 0.0;  // seconds from the first sample, when fromGiven
  double to = 0.0;    // seconds, when toGiven
  bool fromGiven = false;
  bool toGiven = false;
  bool events = false;  // draw the file's events (and list them in the geometry)
};

// Largest width or height plot accepts: a 32767 x 32767 image is already 4 GiB.
inline constexpr int kMaxImageSide = 32767;

// play and plot as tremolux-cli-qt carries them out (CmdPlay.cpp,
// CmdPlot.cpp); each returns the exit status. The command line itself is
// parsed in the commands shared by both programs, so that CLI11 is compiled
// once, without Qt.
int RunPlay(const clisound::SoundOptions& o);
int RunPlot(const PlotOptions& o);     // one channel, --width and --height given
int RunPlotAll(const PlotOptions& o);  // --channel all: the stacked view
struct QtCommands {
  int (*play)(const clisound::SoundOptions&);
  int (*plot)(const PlotOptions&);
  int (*plotAll)(const PlotOptions&);
};

// Parses the command line and runs the command it names; returns the
// process's exit status. play and plot are carried out by `qt`; without it
// (tremolux-cli, which hands them to the companion before parsing) they are
// only listed, as the help shows them.
int RunCommandLine(int argc, char** argv, const QtCommands* qt);

// What play and plot do, as the help says it in both programs.
inline constexpr const char* kPlayHelp =
    "Plays one analog channel as the sound dialog's Play does; returns when it ends";
inline constexpr const char* kPlotHelp =
    "Draws one analog channel (or a time range of it, --from/--to) as the sound dialog's plot "
    "does, into a PNG or SVG file; --channel all stacks every channel on one time axis";

// Loads `path` into `c3d`; on failure says why on stderr and returns false.
bool LoadOrSay(CC3d& c3d, const std::string& path);
