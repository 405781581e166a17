#include "gui/sound/SoundDlgSettings.h"

#include <QSettings>
#include <QString>
#include <algorithm>

#include "gui/res/Version.h"

namespace {

const char* const kSettingsGroup = "Sound Dialog";
const char* const kLevelKey = "Level";
const char* const kSizeKey = "Size";
const char* const kModeKey = "Sound";
const char* const kPitchKey = "Pitch";
const char* const kFilterKey = "Filter";
const char* const kSpeedKey = "Speed";
const char* const kTicksKey = "Ticks";
const char* const kLevelRecorded = "recorded";
const char* const kLevelFit = "fit";

// The program's settings, opened on the dialog's group.
class CDialogSettings : public QSettings {
 public:
  CDialogSettings()
      : QSettings(QString::fromLatin1(Res::kOrganizationName),
                  QString::fromLatin1(Res::kApplicationName)) {
    beginGroup(QString::fromLatin1(kSettingsGroup));
  }
};

}  // namespace

namespace sounddlg {

sound::SoundLevel StoredLevel() {
  const QString level = CDialogSettings().value(QString::fromLatin1(kLevelKey)).toString();
  return level == QLatin1String(kLevelFit) ? sound::SoundLevel::FitToChannel
                                           : sound::SoundLevel::AsRecorded;
}

void StoreLevel(sound::SoundLevel level) {
  CDialogSettings().setValue(
      QString::fromLatin1(kLevelKey),
      QString::fromLatin1(level == sound::SoundLevel::FitToChannel ? kLevelFit : kLevelRecorded));
}

SoundChoice StoredSoundChoice() {
  const CDialogSettings settings;
  const auto read = [&settings](const char* key, int (*index)(const QString&)) {
    return std::max(0, index(settings.value(QString::fromLatin1(key)).toString()));
  };
  return {.mode = read(kModeKey, ModeIndex),
          .pitch = read(kPitchKey, PitchIndex),
          .filter = read(kFilterKey, FilterIndex),
          .speed = read(kSpeedKey, SpeedIndex),
          .ticks = settings.value(QString::fromLatin1(kTicksKey), false).toBool()};
}

void StoreSoundChoice(const SoundChoice& choice) {
  CDialogSettings settings;
  settings.setValue(QString::fromLatin1(kModeKey), ModeWord(choice.mode));
  settings.setValue(QString::fromLatin1(kPitchKey), PitchWord(choice.pitch));
  settings.setValue(QString::fromLatin1(kFilterKey), FilterWord(choice.filter));
  settings.setValue(QString::fromLatin1(kSpeedKey), SpeedWord(choice.speed));
  settings.setValue(QString::fromLatin1(kTicksKey), choice.ticks);
}

QSize StoredSize() { return CDialogSettings().value(QString::fromLatin1(kSizeKey)).toSize(); }

void StoreSize(const QSize& size) {
  CDialogSettings().setValue(QString::fromLatin1(kSizeKey), size);
}

}  // namespace sounddlg
