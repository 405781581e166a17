#include "gui/platform/PlatformSoundHost.h"

#include <QFile>
#include <utility>

#include "core/Messages.h"
#include "gui/platform/MessageBox.h"
#include "gui/platform/WaitCursor.h"
#include "gui/player/SoundPlayer.h"

CPlatformSoundHost::CPlatformSoundHost(QWidget* parent,
                                       std::function<void(const std::string&)> setStatus)
    : m_parent(parent), m_setStatus(std::move(setStatus)) {}

void CPlatformSoundHost::StopSound() {
  if (CSoundPlayer* player = CSoundPlayer::Instance()) player->Purge();
}

void CPlatformSoundHost::SetStatus(const std::string& text) {
  if (m_setStatus) m_setStatus(text);
}

void CPlatformSoundHost::ShowMessage(const std::string& text) { ShowMessageBox(m_parent, text); }

void CPlatformSoundHost::BeginWaitCursor() { ::BeginWaitCursor(); }

void CPlatformSoundHost::EndWaitCursor() { ::EndWaitCursor(); }

void CPlatformSoundHost::PlayFile(const std::filesystem::path& file) {
  CSoundPlayer* player = CSoundPlayer::Instance();
  if (player == nullptr) return;
#ifdef _WIN32
  const QString name = QString::fromStdWString(file.wstring());
#else
  const QString name = QFile::decodeName(file.string().c_str());
#endif
  // The sound is built and on disk; only the output is missing (no device,
  // the sound server gone, or a device that refuses the format).
  if (player->Play(name) == CSoundPlayer::PlayResult::NoDevice)
    SetStatus(Messages::kStatusNoDevice);
}
