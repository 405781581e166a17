#include "gui/platform/TempFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

CTempFile::~CTempFile() { Remove(); }

bool CTempFile::Create() {
  Remove();
  // QTemporaryFile makes the name unique and creates the file with owner-only
  // permissions; it is closed at once so every build can reopen it by name
  // (Windows refuses a second handle to a file held open without sharing).
  QTemporaryFile file(QDir::tempPath() + QStringLiteral("/wavXXXXXX.tmp"));
  file.setAutoRemove(false);
  if (!file.open()) return false;
  m_path = file.fileName();
  file.close();
  return true;
}

void CTempFile::Remove() {
  if (m_path.isEmpty()) return;
  QFile::remove(m_path);
  m_path.clear();
}

std::filesystem::path CTempFile::FsPath() const {
  if (m_path.isEmpty()) return {};
#ifdef _WIN32
  return std::filesystem::path(m_path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(m_path).toStdString());
#endif
}
