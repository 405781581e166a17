#include "gui/platform/PlatformSoundHost.h"

#include <QFile>
#include <utility>

#include "gui/platform/MessageBox.h"
#include "gui/platform/WaitCursor.h"
#include "gui/player/SoundPlayer.h"

CPlatformSoundHost::CPlatformSoundHost(QWidget* parent,
                                       std::function<void(const std::string&)> setStatus,
                                       std::function<void(const std::string&)> showHint)
    : m_parent(parent), m_setStatus(std::move(setStatus)), m_showHint(std::move(showHint)) {}

void CPlatformSoundHost::ShowHint(const std::string& text) {
  if (m_showHint) m_showHint(text);
}

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
  // Returns at once: a sound that finds no output to play on ends later with
  // the player's Finished and its LastError, which the window shows.
  player->Play(name, m_loop ? CSoundPlayer::PlayMode::Loop : CSoundPlayer::PlayMode::Once);
}
