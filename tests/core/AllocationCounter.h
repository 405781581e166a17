#pragma once

#include <cstddef>

// The core test program replaces the global operator new and delete with
// counting ones (AllocationCounter.cpp): every allocation made through them
// is counted, its bytes are added to the live total and the highest live
// total is kept. An allocation can also be told to fail, to check that
// nothing leaks or throws when memory runs out part-way.
namespace alloccount {

long Live();              // allocations not yet released
std::size_t LiveBytes();  // bytes of those allocations
std::size_t PeakBytes();  // the highest LiveBytes() since the last ResetPeak()
void ResetPeak();         // starts a new peak from the bytes live now
long Counted();           // allocations numbered since the last FailingAllocation

// While it lives, the `n`-th allocation (from 0) of at least `minSize` bytes
// throws std::bad_alloc; allocations are numbered from its construction.
class FailingAllocation {
 public:
  FailingAllocation(long n, std::size_t minSize);
  ~FailingAllocation();
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;
};

}  // namespace alloccount
