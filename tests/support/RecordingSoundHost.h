#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/sound/SoundHost.h"

namespace c3dtest {

// A sound host for tests: records every platform call of a build, in order,
// as short lines ("stop", "status: Processing", "message:Error", "wait+",
// "wait-", "play:<path>", "hint:<text>"), so a test can check what was done and in what order.
class RecordingSoundHost : public sound::ISoundHost {
 public:
  void StopSound() override { calls.push_back("stop"); }
  void SetStatus(const std::string& text) override { calls.push_back("status:" + text); }
  void ShowMessage(const std::string& text) override { calls.push_back("message:" + text); }
  void BeginWaitCursor() override { calls.push_back("wait+"); }
  void EndWaitCursor() override { calls.push_back("wait-"); }
  void PlayFile(const std::filesystem::path& file) override {
    calls.push_back("play:" + file.string());
  }
  void ShowHint(const std::string& text) override { calls.push_back("hint:" + text); }

  std::vector<std::string> calls;
};

}  // namespace c3dtest
