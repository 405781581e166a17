#include "core/c3d/SampleStorage.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace c3d {

namespace {

std::atomic<std::uint64_t> g_mappedBytes{0};

#if defined(__linux__)
// Transparent huge pages on x86-64 and most other Linux targets are 2 MiB; a
// huge page can only back a 2 MiB range that is aligned to 2 MiB.
constexpr std::size_t kHugePageBytes = 2u << 20;

std::size_t RoundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

// Frees a mapping made by MapStorage: `length` bytes from its first byte.
struct Unmap {
  std::size_t length;
  void operator()(std::byte* p) const {
    munmap(p, length);
    g_mappedBytes -= length;
  }
};

// An anonymous mapping of at least `bytes`, starting on a 2 MiB boundary and
// advised for huge pages; null on failure. The system maps at page
// granularity only, so one huge page more is asked for and the unaligned
// head and the unused tail are given back at once.
std::shared_ptr<std::byte[]> MapStorage(std::size_t bytes) {
  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return {};
  const std::size_t length = RoundUp(bytes, static_cast<std::size_t>(page));
  if (length > std::numeric_limits<std::size_t>::max() - kHugePageBytes) return {};
  const std::size_t asked = length + kHugePageBytes;
  void* raw = mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return {};
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = RoundUp(start, kHugePageBytes);
  const std::size_t head = aligned - start;
  if (head > 0) munmap(raw, head);
  if (asked - head > length)
    munmap(reinterpret_cast<void*>(aligned + length), asked - head - length);
  auto* first = reinterpret_cast<std::byte*>(aligned);
#if defined(MADV_HUGEPAGE)
  // Advice only: where huge pages are off or used up, plain pages serve.
  madvise(first, length, MADV_HUGEPAGE);
#endif
  g_mappedBytes += length;
  try {
    return std::shared_ptr<std::byte[]>(first, Unmap{length});
  } catch (const std::bad_alloc&) {
    return {};  // no control block: the shared_ptr has already unmapped it
  }
}
#endif

}  // namespace

std::shared_ptr<std::byte[]> AllocateSampleStorage(std::size_t bytes) {
#if defined(__linux__)
  if (bytes >= kMappedStorageMinBytes) return MapStorage(bytes);
#endif
  try {
    return std::shared_ptr<std::byte[]>(new std::byte[bytes]);  // default-initialised: not zeroed
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::uint64_t MappedSampleStorageBytes() { return g_mappedBytes; }

std::uint64_t PhysicalMemoryBytes() {
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
#elif defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;  // -1: not known
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#else
  return 0;
#endif
}

bool SampleStorageCanBeHeld(std::uint64_t storageBytes, std::uint64_t presentBytes,
                            std::uint64_t physicalBytes) {
  if (physicalBytes != 0 && storageBytes > physicalBytes) return false;
  if (storageBytes > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return false;
  }
  const std::uint64_t absent = storageBytes > presentBytes ? storageBytes - presentBytes : 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t allowance =
      presentBytes > (kMax - kRepeatAllowanceBytes) / kRepeatAllowanceFactor
          ? kMax
          : kRepeatAllowanceBytes + presentBytes * kRepeatAllowanceFactor;
  return absent <= allowance;
}

}  // namespace c3d
