// The command line of both programs, tremolux-cli and tremolux-cli-qt: every
// command registered on one CLI11 application, parsed, and run.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/SoundOptions.h"
#include "common/ProcessExit.h"

int g_exitCode = 0;

namespace {

void AddPlayCommand(CLI::App& app, const QtCommands& qt) {
  auto play = std::make_shared<clisound::SoundOptions>();
  play->paths.resize(1);
  CLI::App* pcmd = app.add_subcommand("play", kPlayHelp);
  pcmd->add_option("FILE", play->paths.front(), "C3D file")->required();
  AddSoundOptions(pcmd, *play, "0-based channel index, or a channel label as listed");
  // RunPlay has removed its temporary file and closed the player when it
  // returns; the process then ends without the audio library's teardown.
  pcmd->callback([play, run = qt.play] { ExitAfterSound(run(*play)); });
}

void AddPlotCommand(CLI::App& app, const QtCommands& qt) {
  auto o = std::make_shared<PlotOptions>();
  CLI::App* cmd = app.add_subcommand("plot", kPlotHelp);
  cmd->add_option("FILE", o->path, "C3D file")->required();
  cmd->add_option("--channel", o->channel,
                  "0-based channel index, or a channel label as listed; or all: every channel "
                  "stacked as lanes on one time axis (label and units at the left of each lane, "
                  "a time ruler under them), each lane drawn as the plot of that channel alone")
      ->required();
  cmd->add_option("--width", o->width,
                  "plot width in pixels (required; with --channel all the picture's, default 1600)")
      ->check(CLI::Range(1, kMaxImageSide))
      ->each([o](const std::string&) { o->widthGiven = true; });
  cmd->add_option("--height", o->height,
                  "plot height in pixels (required; with --channel all the picture's, default 60 "
                  "per lane and the ruler's)")
      ->check(CLI::Range(1, kMaxImageSide))
      ->each([o](const std::string&) { o->heightGiven = true; });
  cmd->add_option("-o", o->out, "image to write: OUT.png or OUT.svg")->required();
  cmd->add_option("--geometry", o->geometry,
                  "also write the primitives as JSON: grid [x1,y1,x2,y2], trace [x,y] (one "
                  "vertex per sample), markers [left,top,right,bottom]");
  cmd->add_option("--from", o->from,
                  "draw only the samples from this time on, in seconds from the first sample "
                  "(0 or later); the range is drawn as the whole channel would be, scaled to its "
                  "own smallest and largest value")
      ->each([o](const std::string&) { o->fromGiven = true; });
  cmd->add_option("--to", o->to,
                  "draw only the samples up to this time, in seconds (later than --from; a time "
                  "past the end means the end)")
      ->each([o](const std::string&) { o->toGiven = true; });
  cmd->add_flag("--events", o->events,
                "draws a thin line at each event inside the range, labelled at its top (\"L FS\": "
                "Left Foot Strike), red for left, green for right, purple otherwise; the geometry "
                "gains events [x, label, context]");
  cmd->callback([o, plot = qt.plot, plotAll = qt.plotAll] {
    if (o->channel == kAllChannels) {
      g_exitCode = plotAll(*o);
      return;
    }
    // One channel's plot has no default size: refused as CLI11 refuses a
    // missing required option.
    if (!o->widthGiven) throw CLI::RequiredError("--width");
    if (!o->heightGiven) throw CLI::RequiredError("--height");
    g_exitCode = plot(*o);
  });
}

}  // namespace

int RunCommandLine(int argc, char** argv, const QtCommands* qt) {
  CLI::App app{"tremolux-cli: inspect C3D recordings and listen to their analog channels"};
  // File names such as "/data/trial.c3d" are arguments, never "/option"
  // switches (which CLI11 accepts on Windows by default). Subcommands take
  // this setting from the app when they are added.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  AddInfoCommands(app);
  AddSoundCommands(app);
  AddCsvCommand(app);
  if (qt != nullptr) {
    AddPlayCommand(app, *qt);
    AddPlotCommand(app, *qt);
  } else {
    // As the help lists them; the companion program carries them out.
    app.add_subcommand("play", kPlayHelp)->allow_extras();
    app.add_subcommand("plot", kPlotHelp)->allow_extras();
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  // Output that could not be written (a full disk, a reader that went away)
  // is a failure, not a success with a silently shortened result.
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
    const int err = errno;
    std::fprintf(stderr, CliMessages::kCannotWriteOutput,
                 err != 0 ? std::strerror(err) : "write error");
    return 1;
  }
  return g_exitCode;
}
