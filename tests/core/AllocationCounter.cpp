#include "tests/core/AllocationCounter.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// Each block carries its size in a header of the default new alignment, so
// that delete without a size can take its bytes off the live total.
constexpr std::size_t kHeader = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
static_assert(kHeader >= sizeof(std::size_t));

// The tests run on one thread; gtest's own threads (none by default) would
// need atomics here.
long g_live = 0;
std::size_t g_liveBytes = 0;
std::size_t g_peakBytes = 0;
long g_failAt = -1;         // fail the allocation with this number; -1: never
long g_counted = 0;         // allocations numbered since arming
std::size_t g_minSize = 0;  // only allocations of at least this size are numbered

void* Allocate(std::size_t size) {
  if (g_failAt >= 0 && size >= g_minSize && g_counted++ == g_failAt) throw std::bad_alloc();
  if (size > static_cast<std::size_t>(-1) - kHeader) throw std::bad_alloc();
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  ++g_live;
  g_liveBytes += size;
  g_peakBytes = std::max(g_peakBytes, g_liveBytes);
  return block + kHeader;
}

void Release(void* p) {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  --g_live;
  g_liveBytes -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
// The nothrow forms too (std::stable_sort's temporary buffer takes them):
// where a sanitizer runtime supplies its own, a block from its nothrow new
// would otherwise reach this delete without a header.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace alloccount {

long Live() { return g_live; }
std::size_t LiveBytes() { return g_liveBytes; }
std::size_t PeakBytes() { return g_peakBytes; }
void ResetPeak() { g_peakBytes = g_liveBytes; }
long Counted() { return g_counted; }

FailingAllocation::FailingAllocation(long n, std::size_t minSize) {
  g_failAt = n;
  g_counted = 0;
  g_minSize = minSize;
}

FailingAllocation::~FailingAllocation() { g_failAt = -1; }

}  // namespace alloccount
