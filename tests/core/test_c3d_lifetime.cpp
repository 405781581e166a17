// Ownership: no exception leaves Load whichever allocation fails, and nothing
// leaks, neither after a failure part-way through the sample storage nor when
// a CC3d is destroyed without Clear. This file replaces the global operator
// new of the test program with a counting one that can be told to fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "ReaderTestUtil.h"

namespace {

long g_live = 0;            // allocations not yet released
long g_failAt = -1;         // fail the allocation with this number; -1: never
long g_counted = 0;         // allocations numbered since arming
std::size_t g_minSize = 0;  // only allocations of at least this size are numbered

void* Allocate(std::size_t size) {
  if (g_failAt >= 0 && size >= g_minSize && g_counted++ == g_failAt) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  ++g_live;
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  --g_live;
  std::free(p);
}

// Arms the failure of the `n`-th allocation (from 0) of at least `minSize`
// bytes for the lifetime of the object.
struct FailingAllocation {
  FailingAllocation(long n, std::size_t minSize) {
    g_failAt = n;
    g_counted = 0;
    g_minSize = minSize;
  }
  ~FailingAllocation() { g_failAt = -1; }
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

using namespace readertest;

// Counts the allocations one Load of `bytes` makes.
long AllocationsOfLoad(const std::vector<std::uint8_t>& bytes, std::size_t minSize) {
  FailingAllocation never(1L << 40, minSize);
  CC3d c3d;
  EXPECT_TRUE(LoadBytes(c3d, bytes));
  return g_counted;
}

TEST(C3dLifetime, EveryFailedAllocationFailsTheLoadWithoutLeaking) {
  const auto bytes = c3dtest::WriteC3d(c3dtest::DemoRecording());
  const long allocations = AllocationsOfLoad(bytes, 0);
  ASSERT_GT(allocations, 20);
  for (long n = 0; n < allocations; ++n) {
    const long before = g_live;
    {
      CC3d c3d;
      bool loaded = true;
      {
        FailingAllocation fail(n, 0);
        loaded = LoadBytes(c3d, bytes);  // must not throw
      }
      EXPECT_FALSE(loaded) << "allocation " << n;
      EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory) << "allocation " << n;
    }  // destroyed without Clear
    EXPECT_EQ(g_live, before) << "leak after failing allocation " << n;
  }
}

TEST(C3dLifetime, SampleStorageFailingPartWayKeepsNothing) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 10;
  rec.analog.assign(4, std::vector<double>(10000, 1.0));  // 20000 bytes per channel
  const auto bytes = c3dtest::WriteC3d(rec);
  const long before = g_live;
  {
    CC3d c3d;
    {
      FailingAllocation third(2, 20000);  // the third channel's block
      EXPECT_FALSE(LoadBytes(c3d, bytes));
    }
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory);
    EXPECT_TRUE(c3d.m_analogs.empty());
    EXPECT_FALSE(c3d.m_bDataAllocated);
    c3d.Clear();
  }
  EXPECT_EQ(g_live, before);
}

TEST(C3dLifetime, DestroyingALoadedObjectWithoutClearReleasesAll) {
  const auto bytes = c3dtest::WriteC3d(c3dtest::DemoRecording());
  const long before = g_live;
  {
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, bytes));
    EXPECT_GT(g_live, before + 10);
  }
  EXPECT_EQ(g_live, before);
}

}  // namespace
