#pragma once

#include <cstdint>

// How much sample storage a load may allocate. A C3D header is a few hundred
// bytes that can claim 65536 frames of 65535 channels: the storage is sized
// in 64-bit arithmetic and judged here before anything is allocated.
namespace c3d {

// Bytes of physical memory of this machine, or 0 when the platform gives no
// standard way to ask (the limit then rests on the other rules).
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

// True when `storageBytes` of zero-filled sample blocks may be allocated for
// a data section of which `presentBytes` actually lie in the source:
// - never more than `physicalBytes` (0: unknown, not checked), since more
//   would end in the system's out-of-memory killer or endless swapping;
// - never more than the address space can index;
// - frames missing from a short file (storage beyond the bytes present) may
//   take at most kRepeatAllowanceBytes + kRepeatAllowanceFactor x present.
//   A complete file always passes: its storage never exceeds its data bytes.
bool SampleStorageCanBeHeld(std::uint64_t storageBytes, std::uint64_t presentBytes,
                            std::uint64_t physicalBytes);

}  // namespace c3d
