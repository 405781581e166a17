#pragma once

#include <QSize>

#include "core/sound/SoundLevel.h"
#include "gui/sound/SoundChoices.h"

// What the sound dialog remembers between runs, in the program's settings
// (organisation "Vandrel", application "Tremolux") beside the recent-file
// list, group "Sound Dialog": the Level choice, under the name tremolux-cli's
// --level gives it ("recorded", "fit"), the Sound, Pitch, Filter and
// Speed choices under the words of --mode, --pitch, --filter and --speed,
// "Tick at events" as a boolean, and the dialog's size in pixels.
// Plain functions over QSettings; nothing is kept in memory.
namespace sounddlg {

// The stored level; AsRecorded when none (or an unknown word) is stored.
sound::SoundLevel StoredLevel();
void StoreLevel(sound::SoundLevel level);

// The stored Sound, Pitch, Filter and Speed choices; an entry whose word is
// missing or unknown is the list's first. Ticks: off unless stored on.
SoundChoice StoredSoundChoice();
void StoreSoundChoice(const SoundChoice& choice);

// The stored size; an invalid QSize when none is stored.
QSize StoredSize();
void StoreSize(const QSize& size);

}  // namespace sounddlg
