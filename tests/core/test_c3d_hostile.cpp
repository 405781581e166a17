// Resource bounds: no file of at most 1 MiB makes a load hold more than
// 100 MB, whatever its header claims; a refused load keeps nothing. The time
// such loads take is measured in bench/hostile_load_bench.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "core/c3d/SampleStorage.h"
#include "tests/core/AllocationCounter.h"
#include "tests/core/ReaderTestUtil.h"
#include "tests/support/HostileFiles.h"

namespace {

using readertest::LoadBytes;

constexpr std::size_t kMemoryBound = 100'000'000;

TEST(C3dHostileFiles, LoadOrFailWithinTheMemoryBound) {
  for (const c3dtest::HostileFile& file : c3dtest::HostileFiles()) {
    SCOPED_TRACE(file.name);
    ASSERT_LE(file.bytes.size(), c3dtest::kHostileFileSize);
    const std::size_t before = alloccount::LiveBytes();
    const std::uint64_t mappedBefore = c3d::MappedSampleStorageBytes();
    alloccount::ResetPeak();
    std::uint64_t mapped = 0;
    {
      CC3d c3d;
      const bool loaded = LoadBytes(c3d, file.bytes);
      EXPECT_EQ(loaded, file.loads);
      if (!loaded) {
        EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory);
        EXPECT_TRUE(c3d.m_analogs.empty() && c3d.m_videos.empty());
      }
      // Large sample storage is mapped outside operator new; a load maps
      // it once and keeps it, so what is mapped now is the most it mapped.
      mapped = c3d::MappedSampleStorageBytes() - mappedBefore;
    }
    const std::size_t peak = alloccount::PeakBytes() - before + mapped;
    EXPECT_LT(peak, kMemoryBound);
    EXPECT_EQ(alloccount::LiveBytes(), before);  // nothing kept after destruction
    EXPECT_EQ(c3d::MappedSampleStorageBytes(), mappedBefore);
    std::printf("[ hostile  ] %-32s %s, peak %.1f MB\n", file.name.c_str(),
                file.loads ? "loads" : "refused", static_cast<double>(peak) / 1e6);
  }
}

// The files that make the reader repeat the most frames really do fill all
// 65535 frames: each channel changes up to its last written frame (about
// 1870 of them fit in 1 MiB) and holds that frame's value to the end. The
// bound above is thus measured on loads that hold the whole claimed storage.
TEST(C3dHostileFiles, RepeatedFramesFillTheClaimedStorage) {
  for (const c3dtest::HostileFile& file : c3dtest::HostileFiles()) {
    if (file.name != "repeated frames" && file.name != "repeated float frames") continue;
    SCOPED_TRACE(file.name);
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, file.bytes));
    ASSERT_EQ(c3d.GetAnalogSampleCount(), 65535);
    const std::size_t width = c3d.SampleWidth();
    std::size_t storage = 0;
    for (const auto& analog : c3d.m_analogs) {
      storage += analog->m_pSamples.size();
      const std::byte* s = analog->m_pSamples.data();
      std::size_t lastChange = 0;
      for (std::size_t f = 1; f < 65535; ++f) {
        if (std::memcmp(s + f * width, s + (f - 1) * width, width) != 0) lastChange = f;
      }
      EXPECT_GT(lastChange, 1800u);
      EXPECT_LT(lastChange, 1900u);
    }
    EXPECT_GT(storage, 36'000'000u);
  }
}

// A claim beyond the bound is refused before any sample storage exists.
TEST(C3dHostileFiles, RefusedClaimsAllocateNoSampleStorage) {
  for (const c3dtest::HostileFile& file : c3dtest::HostileFiles()) {
    if (file.name != "frames beyond the bound") continue;
    alloccount::ResetPeak();
    const std::size_t before = alloccount::LiveBytes();
    const std::uint64_t mappedBefore = c3d::MappedSampleStorageBytes();
    CC3d c3d;
    EXPECT_FALSE(LoadBytes(c3d, file.bytes));
    EXPECT_LT(alloccount::PeakBytes() - before, 2'000'000u);
    EXPECT_EQ(c3d::MappedSampleStorageBytes(), mappedBefore);
  }
}

}  // namespace
