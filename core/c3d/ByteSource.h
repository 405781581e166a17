#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The bytes the reader reads from: a file opened read-only (sharing it with
// other readers and writers), or a caller's block of memory. Both go through
// the same Seek/Read calls so tests and the fuzzer exercise the file path's
// logic. A failed seek or read sets Failed() and is reported, never thrown.
class CByteSource {
 public:
  CByteSource() = default;
  CByteSource(const CByteSource&) = delete;
  CByteSource& operator=(const CByteSource&) = delete;
  ~CByteSource();

  bool OpenFile(const std::string& path);               // false when it cannot be opened
  void OpenMemory(const void* data, std::size_t size);  // not copied; must outlive use
  // The first `available` bytes of a source of `size` bytes whose rest has
  // not arrived yet (a stream read in order): reads reach only those bytes,
  // and a read that asks for bytes past them below `size` sets
  // ReadPastAvailable(). Not copied; must outlive use.
  void OpenMemoryHead(const void* data, std::size_t available, std::int64_t size);
  bool ReadPastAvailable() const { return m_pastAvailable; }
  void Close();
  bool IsOpen() const;

  // Absolute position in bytes; false (and Failed()) for a negative position
  // or an error of the file system. Seeking past the end is allowed.
  bool Seek(std::int64_t position);
  // Reads up to `size` bytes at the current position; returns how many came.
  // Fewer than asked at the end of the data is not a failure. Fewer than the
  // size taken at opening still holds means the file got shorter since (cut
  // by another program): Failed() and Shrank() are then set.
  std::size_t Read(void* buffer, std::size_t size);
  // Reads up to `size` bytes at `position` without moving the current
  // position or touching Failed(), so that several threads may read at
  // once (while nothing calls Seek or Read). Returns how many came; `error`
  // is set when the system reported a failure. CanReadAt() tells whether
  // this source supports it (memory always; files where the system reads
  // at a position: POSIX systems).
  bool CanReadAt() const;
  std::size_t ReadAt(void* buffer, std::size_t size, std::int64_t position, bool& error) const;
  std::int64_t Position() const { return m_position; }
  std::int64_t Size() const { return m_size; }
  bool Failed() const { return m_failed; }
  bool Shrank() const { return m_shrank; }

 private:
  std::FILE* m_fp = nullptr;
  const unsigned char* m_memory = nullptr;
  bool m_memoryOpen = false;
  std::int64_t m_available = 0;  // bytes of m_memory that may be read (m_size unless a head)
  bool m_pastAvailable = false;
  std::int64_t m_size = 0;
  std::int64_t m_position = 0;
  bool m_failed = false;
  bool m_shrank = false;
};
