#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <filesystem>

#include "common/WholeFile.h"

// The file name `path` as the system takes it: UTF-16 on Windows, the
// bytes Qt encodes file names to elsewhere.
inline std::filesystem::path FsPathOf(const QString& path) {
#ifdef _WIN32
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Writes `bytes` to `path` whole or not at all, by the rules of the one
// whole-or-nothing writer the programs share (common/WholeFile.h): a regular
// file is replaced only once everything is on disk, a symbolic link stays a
// link and its target is replaced, a device or a pipe is written in place.
// False (errno says why) leaves no new file; `path` then holds what it did,
// except a device or pipe that took part of the bytes.
inline bool SaveWhole(const QString& path, const QByteArray& bytes) {
  return WriteWholeFile(FsPathOf(path), [&bytes](std::FILE* file) {
    const auto size = static_cast<std::size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, file) == size;
  });
}
