#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Writes `bytes` to `path` whole or not at all: through a temporary file that
// replaces `path` only once everything is on disk. The flush before the
// commit matters: Qt 6.4's QSaveFile::commit takes a last write that the
// disk cut short (a full disk, a file-size limit) for a complete one.
inline bool SaveWhole(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
         file.commit();
}
