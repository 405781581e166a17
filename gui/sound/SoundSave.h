#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "core/plot/PlotGeometry.h"
#include "core/sound/SoundLevel.h"
#include "gui/sound/SoundChoices.h"

class CC3d;
class QWidget;

// The sound dialog's Save...: which sound is saved, the file dialog that
// asks where, and the build written whole or not at all. Free functions; the
// dialog owns the choice and the CC3d is the document's.
namespace sounddlg {

// The sound Save writes: the one Play would build from the same choices.
struct SoundSaveChoice {
  int channel = -1;   // 0-based index into the file's analog channels
  int bits = 16;      // 8 or 16
  float rate = 0.0f;  // Hz, already accepted by the rate checks
  sound::SoundLevel level = sound::SoundLevel::AsRecorded;
  PlotRange range;           // the channel's samples [first, last) that are saved
  bool whole = true;         // range is the whole channel (else the visible part of a zoom)
  bool selection = false;    // range is the plot's selection
  SoundChoice sound;         // Sound, Pitch, Filter, Speed and ticks, as the dialog shows them
  std::optional<int> right;  // the Right ear's channel; none: a one-channel sound
};

// The file dialog's caption, naming the seconds saved (from the first
// sample of the range to its last): "Save the visible 1.200 to 3.400 s as",
// or for the whole channel "Save the whole channel, 0.000 to 2.999 s, as";
// for a selection its start and end as the plot's readout gives them
// (the end is the time just past its last sample): "Save the selection,
// 1.200 to 3.400 s, as".
QString SaveCaption(const CC3d& c3d, const SoundSaveChoice& choice);

// A file name for the saved sound, in the recording's folder: the
// recording's name and the channel's label, every character a file name
// may not carry made '_', ".wav".
QString SuggestedSoundName(const CC3d& c3d, const QString& label);

// Asks for the file to write (caption SaveCaption, the suggested name);
// empty when the user cancelled.
QString AskSoundFileName(QWidget* parent, const CC3d& c3d, const SoundSaveChoice& choice,
                         const QString& label);

// Builds the chosen sound into a temporary file of its own, then writes it
// to `path` through the one whole-or-nothing writer (SaveWhole's rules: a
// regular file replaced only when complete, a link kept and its target
// written, a device or FIFO written in place). A refused resampling or a
// failed build writes nothing. Every failure shows one message box over
// `parent` ("Could not save the sound to PATH:" and why) and leaves `path`
// as it was (a device or FIFO may have taken part of the sound). Nothing
// plays and nothing that plays is stopped. `setStatus` takes the build's
// status texts (after "Status : "). True when `path` holds the sound.
bool SaveSoundFile(QWidget* parent, const CC3d& c3d, const SoundSaveChoice& choice,
                   const QString& path, const std::function<void(const std::string&)>& setStatus);

}  // namespace sounddlg
