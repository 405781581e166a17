#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/c3d/C3d.h"

class CC3dReader;

// A load of a CC3d from bytes that arrive in order, a piece at a time (a
// browser reads a chosen file as a stream): the same reading, result and
// failure reasons as LoadFromMemory of all the bytes, without ever holding
// them all. Begin reads the header and the parameters from the first bytes
// and allocates the sample storage; Feed decodes the data section's frames
// as their bytes come; End completes the load. Lives for one load; the CC3d
// is the caller's and must outlive it. Throws nothing.
class CC3dStreamLoad {
 public:
  // The load of a source of `size` bytes into `c3d` (whatever it held is released by Begin).
  CC3dStreamLoad(CC3d& c3d, std::int64_t size);
  CC3dStreamLoad(const CC3dStreamLoad&) = delete;
  CC3dStreamLoad& operator=(const CC3dStreamLoad&) = delete;
  ~CC3dStreamLoad();

  enum class Step {
    NeedMore,  // the reading asked for bytes past the head: Begin again with more
    Feeding,   // frames are to be decoded: Feed the bytes that follow the head, then End
    Done,      // the load is over (End tells how): no more bytes are needed
  };
  // Reads from `head`, the first `available` bytes of the source (read only
  // during the call; all of them when available >= size).
  Step Begin(const void* head, std::size_t available);
  // The next `size` bytes of the source after those given so far; Done once
  // no more are needed (bytes past the last frame are not).
  Step Feed(const void* bytes, std::size_t size);
  // Ends the load after the last bytes came (or after Done): true when the
  // file was read, as LoadFromMemory's result; false has set m_loadError.
  bool End();

 private:
  // Records NotEnoughMemory after an allocation failed.
  void FailForMemory();

  CC3d& m_c3d;
  std::int64_t m_size;
  std::unique_ptr<CC3dReader> m_reader;  // the reading under way, until End
  std::int64_t m_position = 0;           // bytes of the source given so far
  bool m_failed = false;                 // the load failed (m_loadError says why)
};
