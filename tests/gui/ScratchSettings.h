#pragma once

// The scratch folder a GUI test program keeps its settings (and, without
// one of its own, Qt's runtime folder) in: created on first use under the
// temporary folder, removed with everything in it when the program ends,
// whichever way it ends (Qt Test's own main or ExitAfterSound, which skips
// the destructors of static objects).

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace guitest {

inline std::unique_ptr<QTemporaryDir>& ScratchSettingsHolder() {
  static std::unique_ptr<QTemporaryDir> dir;
  return dir;
}

// The folder, created on the first call.
inline QString ScratchSettingsDir() {
  std::unique_ptr<QTemporaryDir>& dir = ScratchSettingsHolder();
  if (!dir)
    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                          QStringLiteral("/tremolux-guitest-XXXXXX"));
  return dir->path();
}

// Removes the folder and its contents; nothing when it was never made.
// Called by the test mains before the process leaves without running
// static destructors.
inline void RemoveScratchSettingsDir() { ScratchSettingsHolder().reset(); }

}  // namespace guitest
