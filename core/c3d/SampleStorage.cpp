#include "core/c3d/SampleStorage.h"

#include <cstddef>
#include <limits>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace c3d {

std::uint64_t PhysicalMemoryBytes() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
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
