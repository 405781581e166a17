#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "core/sound/SoundRecipe.h"

// The sound dialog's choices beyond the template's bits and rate: what a
// channel is heard as (Sound), the pitch range of a Pitch sound, the filter
// chain and the speed of a Waveform sound. Each is an index into a fixed
// list; the lists and their meaning as SoundRecipe fields live here, so Play,
// Save and the settings read them the same way. Plain values and functions.
class CC3d;

namespace sounddlg {

// List indices of the four drop-downs; 0 is each one's default (the plain
// waveform, 200..2000 Hz, no filter, x1); and the "Tick at events" box.
struct SoundChoice {
  int mode = 0;        // SoundModeItems(): Waveform, Pitch, Auto (sound::SoundMode's order)
  int pitch = 0;       // PitchRangeItems()
  int filter = 0;      // FilterItems()
  int speed = 0;       // SpeedItems()
  bool ticks = false;  // a tick at each event of the file, as tremolux-cli's --ticks

  bool operator==(const SoundChoice&) const = default;
};

// The entries of each drop-down, in list order.
QStringList SoundModeItems();
QStringList PitchRangeItems();
QStringList FilterItems();
QStringList SpeedItems();

// The words the settings keep for each list entry, the ones tremolux-cli
// takes for the same choice: "waveform" (--mode), "200-2000" (--pitch),
// "bandpass:20-450,notch:50" (--filter; "none"), "10" (--speed). -1 from
// the Index functions for a word no entry has.
QString ModeWord(int index);
QString PitchWord(int index);
QString FilterWord(int index);
QString SpeedWord(int index);
int ModeIndex(const QString& word);
int PitchIndex(const QString& word);
int FilterIndex(const QString& word);
int SpeedIndex(const QString& word);

// The speed factor of a Speed entry (1 to 100); 1 outside Waveform, where
// the sound plays at the channel's own rate.
int SpeedFactor(const SoundChoice& choice);

// Sets spec's mode, pitch, filters and speed from choice, as the CLI's
// options of the same words would: the pitch range only for Pitch, the
// filters and speed only for Waveform (the others keep their defaults).
// Indices out of range count as 0.
void ApplySoundChoice(const SoundChoice& choice, sound::SoundRecipe& spec);

// With choice.ticks, sets spec.ticks to the analog samples of the events of
// c3d (c3d::EventsOnSamples), as tremolux-cli --ticks does; without it
// clears them (the sound is then exactly as without ticks).
void ApplyTicks(const SoundChoice& choice, const CC3d& c3d, sound::SoundRecipe& spec);

// The filters a sound of this choice puts the channel's values through:
// the Filter entry's for Waveform, none for Pitch and Auto.
std::vector<sound::FilterSpec> ChosenFilters(const SoundChoice& choice);

}  // namespace sounddlg
