#pragma once

#include <QString>
#include <filesystem>

// The sound dialog's temporary WAVE file: one empty file with a new unique
// name starting "wav" in the system's temporary directory, readable and
// writable by the owner only (0600). The dialog creates it when it opens,
// every Play rewrites it, and it is deleted when the dialog closes (Remove or
// the destructor). Owned by value by its user; not copyable.
class CTempFile {
 public:
  CTempFile() = default;
  CTempFile(const CTempFile&) = delete;
  CTempFile& operator=(const CTempFile&) = delete;
  ~CTempFile();

  // Creates the empty file (removing one created before). False when the
  // temporary directory cannot take a new file; Path() is then empty and a
  // later build reports "Could not create".
  bool Create();
  // Deletes the file, if any. Safe to call twice.
  void Remove();

  // The full name of the file; empty before Create and after Remove.
  const QString& Path() const { return m_path; }
  // The same name for the standard library's file streams.
  std::filesystem::path FsPath() const;

 private:
  QString m_path;
};
