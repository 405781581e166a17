#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

// Writes `bytes` to `path` whole or not at all: through a temporary file that
// replaces `path` only once everything is on disk. The flush before the
// commit matters: Qt 6.4's QSaveFile::commit takes a last write that the
// disk cut short (a full disk, a file-size limit) for a complete one.
// A device or a pipe (/dev/full, a FIFO), named directly or through a
// symbolic link, cannot be replaced: QSaveFile would rename its file over the
// device node. It is written in place, and a short write or a failed flush
// there (a full device, a reader that went away) is a failure.
inline bool SaveWhole(const QString& path, const QByteArray& bytes) {
  const QFileInfo target(path);  // follows symbolic links
  if (target.exists() && !target.isFile() && !target.isDir()) {
    QFile device(path);
    if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const bool written = device.write(bytes) == bytes.size();
    device.close();
    return written && device.error() == QFileDevice::NoError;
  }
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
         file.commit();
}
