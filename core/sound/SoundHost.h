#pragma once

#include <filesystem>
#include <string>

namespace sound {

// The platform services a sound build calls, in the order WriteWave calls
// them. The sound dialog implements them with widgets and the sound player;
// the command-line tool and the tests with stderr and recorders. Not owned
// by the build; it only borrows the host for the duration of one call.
class ISoundHost {
 public:
  virtual ~ISoundHost() = default;
  virtual void StopSound() = 0;                           // purge what plays; nothing plays: no-op
  virtual void SetStatus(const std::string& text) = 0;    // text after "Status : "
  virtual void ShowMessage(const std::string& text) = 0;  // modal, one OK button
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void PlayFile(const std::filesystem::path& file) = 0;  // asynchronous, returns at once
  // A short note on what the build chose, not a fault ("constant channel:
  // nothing to hear"): a hint line, a line on stderr; never modal.
  virtual void ShowHint(const std::string& text) = 0;
};

}  // namespace sound
