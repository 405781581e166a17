#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/c3d/C3d.h"
#include "core/c3d/SampleExtremes.h"

// The reader's own header: CC3d::Load and LoadFromMemory use it, nothing
// outside core/c3d includes it.
namespace c3d {

// C3D files are made of 512-byte blocks numbered from 1: block n starts at
// byte (n - 1) x 512.
inline constexpr std::int64_t kBlockSize = 512;

inline std::int64_t BlockStart(std::int64_t block) { return (block - 1) * kBlockSize; }

// The data section's walk (C3dSamples.cpp): where a frame's values go, the
// decoder of one file's frames, and the channels' extremes scans.
struct FrameLayout;
class ChannelScans;
class FrameWalk;
using DecodeFn = void (*)(const unsigned char*, std::int64_t, std::int64_t, const FrameLayout&);

}  // namespace c3d

// One reading of a C3D file into a CC3d: the steps of Load and the scratch
// they share (the source being read, the memory the parameter records hold).
// Lives on the stack of CC3d::Load for one call; writes the CC3d's members and
// records, which the CC3d owns, and reads through the CC3d's m_file, which
// must be open.
class CC3dReader {
 public:
  explicit CC3dReader(CC3d& c3d);
  CC3dReader(const CC3dReader&) = delete;
  CC3dReader& operator=(const CC3dReader&) = delete;
  ~CC3dReader();

  // ReadAll, closing the source, and the analog scaling. True when the file
  // was read; false has set m_loadError and left whatever was built before
  // the failure for Clear. Converts allocation failures into NotEnoughMemory
  // so no exception leaves the core.
  bool Read();

  // --- the same reading with the data section fed in pieces (CC3dStreamLoad) ---
  // ReadAll's steps up to the data section's frames, with the sample
  // storage allocated; false has set m_loadError. May throw bad_alloc.
  bool ReadUntilSampleData();
  // True while frames are still to be decoded from fed bytes.
  bool WantsSampleData() const;
  // Decodes `size` bytes of the source that begin at byte `position`; pieces
  // come in order without gaps from position 0 on (bytes before the data
  // section are skipped). May throw bad_alloc.
  void FeedSampleData(const unsigned char* bytes, std::size_t size, std::int64_t position);
  // The data ended: fills the frames no bytes came for (as a short file
  // does) and computes each channel's extremes.
  void EndSampleData();

 private:
  // --- the reading steps, in the order Read runs them ---
  // Each reads m_file; a false result has set m_loadError.
  // ReadEvents cannot fail: a missing or invalid table means no events.
  // ReadFrameRange cannot fail: it keeps the header's range unless the
  // parameters state a longer recording that the data section holds.
  // AllocateSamples refuses (NotEnoughMemory) storage that is empty, larger
  // than physical memory or far beyond the bytes the file holds (see
  // SampleStorage.h), and keeps nothing when an allocation fails part-way.
  // StartSampleData allocates and prepares the frame walk (none when there
  // are no frame records to read); ReadSampleData then reads every frame (a
  // short file repeats the frame it ends in) and computes the channel
  // extremes.
  bool ReadAll();
  bool ReadHeader();
  void ReadEvents();
  bool ReadParameters();
  bool ReadGroup(std::int16_t nameLength, std::int16_t id);
  bool ReadParameter(std::int16_t nameLength, std::int16_t id);
  void ReadFrameRange();
  bool AllocateSamples();
  bool StartSampleData();
  // Integer and float files share one frame walk: the element width and
  // the decoding both follow m_bIntegerData. A large section that the
  // source holds whole is read in parts on several threads
  // (ReadInParts), any other by ReadFrames; both scan every channel's
  // extremes as its samples are decoded.
  bool ReadSampleData();
  bool ReadInParts(unsigned parts, c3d::DecodeFn decode, const c3d::FrameLayout& layout,
                   c3d::ChannelScans& scans);
  bool ReadFrames();
  // Each channel's m_fMin and m_fMax from the scan of all its samples.
  void ComputeAnalogExtremes(const std::vector<c3d::SampleExtremes>& extremes);

  // The first byte of the data section, and the bytes of one frame record
  // ((4N + A) elements of SampleWidth() bytes).
  std::int64_t DataStart() const;
  std::int64_t FrameBytes() const;
  // True when the sample storage of `frames` frames passes the bounds of
  // SampleStorage.h against the bytes the source holds, and every channel's
  // sample count fits GetAnalogSampleCount's int. False for frames <= 0.
  bool StorageCanBeHeld(std::int64_t frames) const;

  // Records why loading stopped; returns false for the caller to pass on.
  bool Fail(C3dLoadError error);
  // Fail for a read m_file reported as failed: Shrank when the file got
  // shorter than it was at opening, ReadError otherwise.
  bool FailedRead();
  // Seeks m_file; a failure records ReadError.
  bool SeekTo(std::int64_t position);
  // Reads `size` bytes; bytes beyond the end of the source read as zeros.
  // False (ReadError recorded) only when the source reports an error.
  bool ReadZeroFilled(void* buffer, std::size_t size);
  // A text field of `length` bytes: its text ends at its first NUL byte.
  bool ReadText(std::size_t length, std::string& text);
  // Seeks to a record's offset target; a target that does not lie beyond
  // the record's first byte would make the walk loop and fails the load.
  bool SeekNextRecord(std::int64_t recordStart, std::int64_t target);

  // Adds `bytes` to the memory the group and parameter records hold; false
  // (NotEnoughMemory recorded) once the total passes the bound set by the
  // size of the source. Records may overlap, or claim thousands of empty rows
  // in a few bytes: without a bound a small file could exhaust memory.
  bool HoldParameterMemory(std::uint64_t bytes);

  CC3d& m_c3d;          // what is read goes here
  CByteSource& m_file;  // m_c3d's source, open while the reader runs
  std::uint64_t m_parameterMemory = 0;
  // The data section's walk, made by StartSampleData: where values go, the
  // file's decoder, the extremes scans, and the walk (null without frame
  // records to read).
  std::unique_ptr<c3d::FrameLayout> m_layout;
  c3d::DecodeFn m_decode = nullptr;
  std::unique_ptr<c3d::ChannelScans> m_scans;
  std::unique_ptr<c3d::FrameWalk> m_walk;
};
