#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// How much sample storage a load may allocate. A C3D header is a few hundred
// bytes that can claim 65536 frames of 65535 channels: the storage is sized
// in 64-bit arithmetic and judged here before anything is allocated.
namespace c3d {

// Bytes of physical memory of this machine (sysconf on POSIX systems,
// GlobalMemoryStatusEx on Windows), or 0 when the system does not say (the limit then rests on the
// other rules).
std::uint64_t PhysicalMemoryBytes();

// Storage that frames missing from a truncated file may fill by repeating the
// last frame read, beyond what the file holds: this much...
inline constexpr std::uint64_t kRepeatAllowanceBytes = 32ull << 20;
// ...plus this many times the data bytes the file holds. A file of at most
// 1 MB can thus never make a load allocate more than about 37 MiB of samples
// (36 MiB repeated + 1 MiB read), which leaves room under 100 MB for the
// parameter records' own bound; a recording cut short after a real transfer
// (a few frames present, the header's full count claimed) still loads.
inline constexpr std::uint64_t kRepeatAllowanceFactor = 4;

// True when `storageBytes` of sample blocks may be allocated for
// a data section of which `presentBytes` actually lie in the source:
// - never more than `physicalBytes` (0: unknown, not checked), since more
//   would end in the system's out-of-memory killer or endless swapping;
// - never more than the address space can index;
// - frames missing from a short file (storage beyond the bytes present) may
//   take at most kRepeatAllowanceBytes + kRepeatAllowanceFactor x present.
//   A complete file always passes: its storage never exceeds its data bytes.
bool SampleStorageCanBeHeld(std::uint64_t storageBytes, std::uint64_t presentBytes,
                            std::uint64_t physicalBytes);

// Storage from this size up is mapped directly from the system (see
// AllocateSampleStorage): two huge pages of 2 MiB, below which huge pages
// could back little or none of it.
inline constexpr std::size_t kMappedStorageMinBytes = 4u << 20;

// One allocation of `bytes` (> 0) bytes for all sample blocks of a load, left
// uninitialised: the reader writes every byte, so zero-filling it first would
// touch all of it twice. Null when the system cannot provide it; never throws.
// - From kMappedStorageMinBytes up, on Linux: an anonymous mapping aligned to
//   2 MiB and advised for transparent huge pages (one page fault per 2 MiB
//   instead of per 4 KiB where the system offers them; plain pages where it
//   does not). Released to the system as a whole when freed.
// - Otherwise (smaller, or other systems): operator new[].
// The storage is freed when the last shared_ptr to it (or aliasing it) goes.
std::shared_ptr<std::byte[]> AllocateSampleStorage(std::size_t bytes);

// Bytes of sample storage currently held in direct mappings, which operator
// new does not see; with the heap's own figures, what loads hold in all.
std::uint64_t MappedSampleStorageBytes();

}  // namespace c3d
