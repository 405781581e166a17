#include "gui/sound/SoundSave.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <system_error>
#include <vector>

#include "common/WholeFile.h"
#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/MessageBox.h"
#include "gui/platform/PlatformSoundHost.h"
#include "gui/render/SaveWhole.h"

namespace sounddlg {

namespace {

// The build of Save: status and wait cursor as for Play, but it neither
// stops what plays nor plays what it wrote, and it keeps its messages for
// the one box Save shows.
class CSaveSoundHost : public CPlatformSoundHost {
 public:
  using CPlatformSoundHost::CPlatformSoundHost;
  void StopSound() override {}
  void PlayFile(const std::filesystem::path& /*file*/) override {}
  void ShowMessage(const std::string& text) override {
    if (!m_messages.empty()) m_messages += '\n';
    m_messages += text;
  }
  const std::string& Messages() const { return m_messages; }

 private:
  std::string m_messages;
};

}  // namespace

QString SaveCaption(const CC3d& c3d, const SoundSaveChoice& choice) {
  const double rate = sound::AnalogRate(c3d);
  const double perSample = rate > 0.0 && std::isfinite(rate) ? 1.0 / rate : 0.0;
  // As many decimals as a sample period needs (1 ms: 3).
  const int decimals =
      perSample > 0.0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(perSample))), 0, 9) : 0;
  const auto seconds = [&](std::int64_t sample) {
    return QString::number(static_cast<double>(sample) * perSample, 'f', decimals);
  };
  if (choice.selection) {
    return QString::fromLatin1(Messages::kSaveSelectionCaption)
        .arg(seconds(choice.range.first), seconds(choice.range.last));
  }
  const std::int64_t last = std::max(choice.range.first, choice.range.last - 1);
  return QString::fromLatin1(choice.whole ? Messages::kSaveWholeCaption
                                          : Messages::kSaveVisibleCaption)
      .arg(seconds(choice.range.first), seconds(last));
}

QString SuggestedSoundName(const CC3d& c3d, const QString& label) {
  const QFileInfo file(QFile::decodeName(c3d.m_strPathName.c_str()));
  QString name = file.completeBaseName() + QLatin1Char('_') + label.trimmed();
  for (QChar& c : name) {
    const bool keep = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                      (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                      (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                      c == QLatin1Char('-') || c == QLatin1Char('_');
    if (!keep) c = QLatin1Char('_');
  }
  return QDir(file.absolutePath()).filePath(name + QStringLiteral(".wav"));
}

QString AskSoundFileName(QWidget* parent, const CC3d& c3d, const SoundSaveChoice& choice,
                         const QString& label) {
  return QFileDialog::getSaveFileName(parent, SaveCaption(c3d, choice),
                                      SuggestedSoundName(c3d, label),
                                      QString::fromLatin1(Messages::kSaveFilter));
}

bool SaveSoundFile(QWidget* parent, const CC3d& c3d, const SoundSaveChoice& choice,
                   const QString& path, const std::function<void(const std::string&)>& setStatus) {
  const auto fail = [&](const QString& why) {
    ShowMessageBox(parent, (QString::fromLatin1(Messages::kCouldNotSave) + QLatin1Char(' ') +
                            QDir::toNativeSeparators(path) + QStringLiteral(":\n") + why)
                               .toStdString());
    return false;
  };

  // The build writes by name, patches its header at the end and may fail
  // half-way, so it goes to a file of its own; only a whole sound goes on.
  QTemporaryFile built;
  if (!built.open()) return fail(built.errorString());
  built.close();
  CSaveSoundHost host(parent, setStatus);
  std::vector<float> buffer;  // the dialog's own buffer keeps Play's last sound
  const std::filesystem::path builtPath = FsPathOf(built.fileName());
  sound::SoundRecipe spec{
      .channel = choice.channel, .bits = choice.bits, .rate = choice.rate, .level = choice.level};
  // A range of a loaded channel: within GetAnalogSampleCount(), an int.
  if (!choice.whole)
    spec.range = sound::SampleSpan{static_cast<int>(choice.range.first),
                                   static_cast<int>(choice.range.last - choice.range.first)};
  ApplySoundChoice(choice.sound, spec);
  ApplyTicks(choice.sound, c3d, spec);
  spec.right = choice.right;
  const sound::WaveOutcome outcome = sound::WriteWave(c3d, spec, buffer, builtPath, host);
  if (outcome == sound::WaveOutcome::PlayedEmpty) {
    // A refused resampling leaves only an empty sound: nothing worth a file.
    return fail(QString::fromLatin1(Messages::kSaveRefused));
  }
  if (outcome != sound::WaveOutcome::Played) {
    return fail(QString::fromStdString(host.Messages()));
  }
  if (!CopyWholeFile(builtPath, FsPathOf(path))) {
    const int reason = errno;
    return fail(reason != 0 ? QString::fromStdString(std::generic_category().message(reason))
                            : QString::fromLatin1(Messages::kCouldNotCreate));
  }
  return true;
}

}  // namespace sounddlg
