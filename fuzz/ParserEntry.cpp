// The libFuzzer entry of one parser target, chosen when this file is
// compiled: TREMOLUX_FUZZ_TARGET names a function of fuzz/ParserTargets.h.
#include "fuzz/ParserTargets.h"

#ifndef TREMOLUX_FUZZ_TARGET
#error "TREMOLUX_FUZZ_TARGET must name the target"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzztarget::TREMOLUX_FUZZ_TARGET(data, size);
}
