#include "core/c3d/ByteSource.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <share.h>
#else
#include <sys/types.h>
#endif
#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>

#include <cerrno>
#define TREMOLUX_HAVE_PREAD 1
#endif

namespace {

// 64-bit seek and tell: plain fseek/ftell take a long, which is 32 bits on
// Windows and would cut files above 2 GB.
int SeekFile(std::FILE* fp, std::int64_t position, int whence) {
#ifdef _WIN32
  return _fseeki64(fp, position, whence);
#else
  return fseeko(fp, static_cast<off_t>(position), whence);
#endif
}

std::int64_t TellFile(std::FILE* fp) {
#ifdef _WIN32
  return _ftelli64(fp);
#else
  return static_cast<std::int64_t>(ftello(fp));
#endif
}

}  // namespace

CByteSource::~CByteSource() { Close(); }

bool CByteSource::OpenFile(const std::string& path) {
  Close();
  // A folder is no file to read, though POSIX fopen opens one for reading.
  std::error_code ec;
  if (std::filesystem::is_directory(std::filesystem::path(path), ec)) return false;
#ifdef _WIN32
  // Deny nothing: other programs may keep reading or writing the file.
  m_fp = _fsopen(path.c_str(), "rb", _SH_DENYNO);
#else
  // POSIX opens never lock a file against other readers or writers.
  m_fp = std::fopen(path.c_str(), "rb");
#endif
  if (m_fp == nullptr) return false;
  // The size is taken once, at opening; a file that grows while it is read
  // is read as it was then.
  if (SeekFile(m_fp, 0, SEEK_END) == 0) m_size = TellFile(m_fp);
  if (m_size < 0 || SeekFile(m_fp, 0, SEEK_SET) != 0) {
    Close();
    return false;
  }
  m_position = 0;
  m_failed = false;
  m_shrank = false;
  return true;
}

void CByteSource::OpenMemory(const void* data, std::size_t size) {
  OpenMemoryHead(data, size, static_cast<std::int64_t>(size));
}

void CByteSource::OpenMemoryHead(const void* data, std::size_t available, std::int64_t size) {
  Close();
  m_memory = static_cast<const unsigned char*>(data);
  m_memoryOpen = true;
  m_size = size;
  m_available = std::min(static_cast<std::int64_t>(available), size);
  m_pastAvailable = false;
  m_position = 0;
  m_failed = false;
  m_shrank = false;
}

void CByteSource::Close() {
  if (m_fp != nullptr) std::fclose(m_fp);
  m_fp = nullptr;
  m_memory = nullptr;
  m_memoryOpen = false;
  m_available = 0;
  m_size = 0;
  m_position = 0;
}

bool CByteSource::IsOpen() const { return m_fp != nullptr || m_memoryOpen; }

bool CByteSource::Seek(std::int64_t position) {
  if (!IsOpen() || position < 0) {
    m_failed = true;
    return false;
  }
  if (m_fp != nullptr && SeekFile(m_fp, position, SEEK_SET) != 0) {
    m_failed = true;
    return false;
  }
  m_position = position;
  return true;
}

std::size_t CByteSource::Read(void* buffer, std::size_t size) {
  if (!IsOpen()) {
    m_failed = true;
    return 0;
  }
  std::size_t got = 0;
  if (size == 0) return 0;
  if (m_fp != nullptr) {
    got = std::fread(buffer, 1, size, m_fp);
    const std::int64_t promised =
        std::min<std::int64_t>(m_size - m_position, static_cast<std::int64_t>(size));
    if (got < size && std::ferror(m_fp)) {
      m_failed = true;  // e.g. a folder, or an input/output error
    } else if (static_cast<std::int64_t>(got) < promised) {
      // The size taken at opening promised more: the file was cut meanwhile,
      // and what follows would be read as zeros or repeated frames.
      m_failed = true;
      m_shrank = true;
    }
  } else {
    if (m_available < m_size && m_position < m_size &&
        (m_position >= m_available ||
         size > static_cast<std::uint64_t>(m_available - m_position))) {
      m_pastAvailable = true;
    }
    if (m_position < m_available) {
      const auto left = static_cast<std::uint64_t>(m_available - m_position);
      got = left < size ? static_cast<std::size_t>(left) : size;
      if (got > 0) std::memcpy(buffer, m_memory + m_position, got);
    }
  }
  m_position += static_cast<std::int64_t>(got);
  return got;
}

bool CByteSource::CanReadAt() const {
#if defined(TREMOLUX_HAVE_PREAD)
  return IsOpen();
#else
  return m_memoryOpen;
#endif
}

std::size_t CByteSource::ReadAt(void* buffer, std::size_t size, std::int64_t position,
                                bool& error) const {
  error = false;
  if (!CanReadAt() || position < 0) {
    error = true;
    return 0;
  }
  if (m_memoryOpen) {
    if (position >= m_available) return 0;
    const auto left = static_cast<std::uint64_t>(m_available - position);
    const std::size_t got = left < size ? static_cast<std::size_t>(left) : size;
    if (got > 0) std::memcpy(buffer, m_memory + position, got);
    return got;
  }
#if defined(TREMOLUX_HAVE_PREAD)
  // pread reads at its own offset: neither the stream's buffer nor its
  // position is involved.
  const int fd = fileno(m_fp);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = pread(fd, static_cast<unsigned char*>(buffer) + got, size - got,
                            static_cast<off_t>(position + static_cast<std::int64_t>(got)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = true;
      break;
    }
    if (n == 0) break;  // the end of the file
    got += static_cast<std::size_t>(n);
  }
  return got;
#else
  error = true;
  return 0;
#endif
}
