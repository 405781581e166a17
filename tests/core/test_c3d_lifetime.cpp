// Ownership: no exception leaves Load whichever allocation fails, and nothing
// leaks, neither after a failure part-way through the sample storage nor when
// a CC3d is destroyed without Clear. The test program's operator new counts
// allocations and can be told to fail one (AllocationCounter.h).
#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "ReaderTestUtil.h"

namespace {

using namespace readertest;
using alloccount::FailingAllocation;

// Counts the allocations one Load of `bytes` makes.
long AllocationsOfLoad(const std::vector<std::uint8_t>& bytes, std::size_t minSize) {
  FailingAllocation never(1L << 40, minSize);
  CC3d c3d;
  EXPECT_TRUE(LoadBytes(c3d, bytes));
  return alloccount::Counted();
}

TEST(C3dLifetime, EveryFailedAllocationFailsTheLoadWithoutLeaking) {
  const auto bytes = c3dtest::WriteC3d(c3dtest::DemoRecording());
  const long allocations = AllocationsOfLoad(bytes, 0);
  ASSERT_GT(allocations, 20);
  for (long n = 0; n < allocations; ++n) {
    const long before = alloccount::Live();
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
    EXPECT_EQ(alloccount::Live(), before) << "leak after failing allocation " << n;
  }
}

TEST(C3dLifetime, SampleStorageFailingPartWayKeepsNothing) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 10;
  rec.analog.assign(4, std::vector<double>(10000, 1.0));  // 20000 bytes per channel
  const auto bytes = c3dtest::WriteC3d(rec);
  const long before = alloccount::Live();
  {
    CC3d c3d;
    {
      // The one allocation of all four blocks (80000 bytes), made once the
      // channel records exist: those must go again.
      FailingAllocation storage(0, 80000);
      EXPECT_FALSE(LoadBytes(c3d, bytes));
    }
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory);
    EXPECT_TRUE(c3d.m_analogs.empty());
    EXPECT_FALSE(c3d.m_bDataAllocated);
    c3d.Clear();
  }
  EXPECT_EQ(alloccount::Live(), before);
}

TEST(C3dLifetime, DestroyingALoadedObjectWithoutClearReleasesAll) {
  const auto bytes = c3dtest::WriteC3d(c3dtest::DemoRecording());
  const long before = alloccount::Live();
  {
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, bytes));
    EXPECT_GT(alloccount::Live(), before + 10);
  }
  EXPECT_EQ(alloccount::Live(), before);
}

}  // namespace
