#include "gui/app/CRecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kSection = QStringLiteral("Recent File List");
const QString kEntryFormat = QStringLiteral("File%1");  // numbered from 1
}  // namespace

CRecentFileList::CRecentFileList(int size) : m_nSize(size) {}

void CRecentFileList::Add(const QString& pathName) {
  const QString path = QDir::cleanPath(QFileInfo(pathName).absoluteFilePath());
  m_files.removeAll(path);
  m_files.prepend(path);
  while (m_files.size() > m_nSize) m_files.removeLast();
}

void CRecentFileList::Remove(int index) {
  if (index >= 0 && index < m_files.size()) m_files.removeAt(index);
}

void CRecentFileList::ReadList(QSettings& settings) {
  m_files.clear();
  settings.beginGroup(kSection);
  for (int i = 1; i <= m_nSize; ++i) {
    const QString path = settings.value(kEntryFormat.arg(i)).toString();
    if (!path.isEmpty() && !m_files.contains(path)) m_files.append(path);
  }
  settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
  settings.remove(kSection);
  settings.beginGroup(kSection);
  for (int i = 0; i < m_files.size(); ++i) settings.setValue(kEntryFormat.arg(i + 1), m_files[i]);
  settings.endGroup();
}

QString CRecentFileList::GetDisplayName(int index, const QString& currentDir, int maxChars) const {
  const QString& path = m_files.at(index);
  const QFileInfo info(path);
  if (!currentDir.isEmpty() && QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(currentDir))
    return info.fileName();
  return AbbreviateName(QDir::toNativeSeparators(path), maxChars);
}

QString CRecentFileList::AbbreviateName(const QString& path, int maxChars) {
  if (path.size() <= maxChars) return path;
  const QChar sep = QDir::separator();
  const QString ellipsis = QStringLiteral("...");
  // Root: "/" on POSIX, "C:\" or "\\server\share\" on Windows.
  qsizetype rootEnd = path.indexOf(sep);
  if (path.startsWith(QString(2, sep))) rootEnd = path.indexOf(sep, path.indexOf(sep, 2) + 1);
  const QString root = rootEnd < 0 ? QString() : path.left(rootEnd + 1);
  const qsizetype nameStart = path.lastIndexOf(sep) + 1;
  const QString name = path.mid(nameStart);
  // Keep as many trailing folders as fit after root + "...".
  QString tail = sep + name;
  if (root.size() + ellipsis.size() + tail.size() > maxChars) return name;
  qsizetype cut = nameStart - 1;  // index of the separator before the name
  while (cut > root.size()) {
    const qsizetype prev = path.lastIndexOf(sep, cut - 1);
    if (prev < root.size() - 1) break;
    const QString longer = path.mid(prev, cut - prev) + tail;
    if (root.size() + ellipsis.size() + longer.size() > maxChars) break;
    tail = longer;
    cut = prev;
  }
  return root + ellipsis + tail;
}
