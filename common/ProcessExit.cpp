#include "common/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(__SANITIZE_ADDRESS__)
#define TREMOLUX_HAS_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREMOLUX_HAS_LSAN 1
#endif
#endif

#ifdef TREMOLUX_HAS_LSAN
#include <sanitizer/lsan_interface.h>
#endif

void ExitAfterSound(int code) {
#if defined(__linux__)
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
#ifdef TREMOLUX_HAS_LSAN
  // Leaving by _Exit skips the sanitizer's own check at exit; a leak found
  // here ends the process with the sanitizer's exit code.
  __lsan_do_leak_check();
#endif
  std::_Exit(code);
#else
  std::exit(code);
#endif
}
