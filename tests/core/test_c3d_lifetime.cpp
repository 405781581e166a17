// Ownership: no exception leaves Load whichever allocation fails, and nothing
// leaks, neither after a failure part-way through the sample storage nor when
// a CC3d is destroyed without Clear. The test program's operator new counts
// allocations and can be told to fail one (AllocationCounter.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "core/c3d/SampleStorage.h"
#include "tests/core/AllocationCounter.h"
#include "tests/core/ReaderTestUtil.h"

namespace {

using namespace readertest;
using alloccount::FailingAllocation;

// Counts the allocations one Load of `bytes` makes.
long AllocationsOfLoad(const std::vector<std::uint8_t>& bytes, std::size_t minSize) {
  FailingAllocation never(std::numeric_limits<long>::max(), minSize);
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

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// In a child process: caps the address space at `headroom` bytes above what
// is in use and loads `bytes`. Exits 0 when the load succeeded, 10 when it
// failed for memory keeping nothing, 1 when it failed otherwise.
[[noreturn]] void LoadUnderAddressCap(const std::vector<std::uint8_t>& bytes, rlim_t headroom) {
  // The first field of statm: the pages of address space in use.
  unsigned long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1) std::_Exit(2);
  std::fclose(statm);
  const rlim_t cap = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom;
  const rlimit limit{cap, cap};
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
  CC3d c3d;
  const bool loaded = LoadBytes(c3d, bytes);
  if (loaded) std::_Exit(0);
  const bool clean = c3d.m_loadError == C3dLoadError::NotEnoughMemory && c3d.m_analogs.empty() &&
                     !c3d.m_bDataAllocated;
  std::_Exit(clean ? 10 : 1);
}
#endif

// Large sample storage is mapped from the system, not taken from operator
// new: a mapping the system refuses must fail the load like any allocation,
// keeping nothing. The load runs in a child process whose address space is
// capped (not under AddressSanitizer, whose shadow memory needs far more).
TEST(C3dLifetimeDeathTest, RefusedMappingFailsTheLoadKeepingNothing) {
#if !defined(__linux__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "needs Linux's address-space limit, without AddressSanitizer";
#else
  c3dtest::Recording rec;  // 64 channels x 65535 frames claimed: 8 MiB of int16
  rec.analog.assign(64, {});
  rec.lastFrame = 65535;
  rec.writtenFrames = 0;
  const auto bytes = c3dtest::WriteC3d(rec);
  ASSERT_GE(64u * 65535u * 2u, c3d::kMappedStorageMinBytes);
  // 2 MiB to spare refuses the mapping; 32 MiB lets the same load through,
  // so the refusal was the mapping's and not an earlier allocation's.
  EXPECT_EXIT(LoadUnderAddressCap(bytes, 2u << 20), ::testing::ExitedWithCode(10), "");
  EXPECT_EXIT(LoadUnderAddressCap(bytes, 32u << 20), ::testing::ExitedWithCode(0), "");
#endif
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
