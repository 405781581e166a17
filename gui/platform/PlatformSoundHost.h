#pragma once

#include <functional>
#include <string>

#include "core/sound/WaveSynthesis.h"

class QWidget;

// The sound build's platform services for a window: stop and play through
// the application's sound player (CSoundPlayer::Instance()), modal message
// boxes over `parent`, the application's wait cursor, and the status line
// and the build's notes through callbacks of the owner. The sound dialog keeps one as a member;
// it owns nothing and must not outlive `parent`.
class CPlatformSoundHost : public sound::ISoundHost {
 public:
  // showHint takes the build's notes (what Auto chose and why); none: ignored.
  CPlatformSoundHost(QWidget* parent, std::function<void(const std::string&)> setStatus,
                     std::function<void(const std::string&)> showHint = {});

  void StopSound() override;
  void SetStatus(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  // Plays the file through the registered player and returns at once;
  // without one, or when the player cannot play it, nothing is heard (the
  // player says why on stderr). No output to play on is reported later,
  // through the player's Finished and LastError (the sound dialog then
  // shows " No sound device").
  void PlayFile(const std::filesystem::path& file) override;
  // Whether PlayFile plays its file over and over until stopped (the sound
  // dialog's Loop); false at first.
  void SetLoop(bool loop) { m_loop = loop; }
  // Hands the note to the owner's showHint, when it gave one.
  void ShowHint(const std::string& text) override;

 private:
  QWidget* m_parent;
  std::function<void(const std::string&)> m_setStatus;
  std::function<void(const std::string&)> m_showHint;
  bool m_loop = false;
};
