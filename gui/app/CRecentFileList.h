#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The recent-file list: the paths of the last files that opened, most recent
// first, at most `size` of them. Kept in the settings store, section
// "Recent File List", values "File1".."File<size>". Owned by the
// application object; plain data, no widgets.
class CRecentFileList {
 public:
  explicit CRecentFileList(int size);

  // Puts pathName (made absolute) at the top; an entry already present moves
  // up instead of appearing twice; the oldest entry drops out when full.
  void Add(const QString& pathName);
  // Removes entry `index`; out-of-range indexes are ignored.
  void Remove(int index);

  int GetCount() const { return static_cast<int>(m_files.size()); }
  const QString& operator[](int index) const { return m_files.at(index); }
  const QStringList& GetFiles() const { return m_files; }

  // Replaces the list with the settings' entries (missing or empty values
  // are skipped). Writes the list back, removing the section's stale values.
  void ReadList(QSettings& settings);
  void WriteList(QSettings& settings) const;

  // Entry `index` as the File menu shows it: the file name alone when the
  // file lies in currentDir, otherwise the path shortened by AbbreviateName.
  QString GetDisplayName(int index, const QString& currentDir, int maxChars) const;

  // Shortens an absolute path to at most maxChars characters by replacing
  // leading folders with "...": "/a/.../c/file.c3d". The root and the file
  // name are always kept; when even "/.../file" is too long the file name
  // alone is returned, whatever its length.
  static QString AbbreviateName(const QString& path, int maxChars);

 private:
  int m_nSize;
  QStringList m_files;
};
