#include "gui/sound/SoundDlgSettings.h"

#include <QSettings>
#include <QString>

#include "gui/res/Version.h"

namespace {

const char* const kSettingsGroup = "Sound Dialog";
const char* const kLevelKey = "Level";
const char* const kSizeKey = "Size";
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

QSize StoredSize() { return CDialogSettings().value(QString::fromLatin1(kSizeKey)).toSize(); }

void StoreSize(const QSize& size) {
  CDialogSettings().setValue(QString::fromLatin1(kSizeKey), size);
}

}  // namespace sounddlg
