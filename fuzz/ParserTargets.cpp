#include "fuzz/ParserTargets.h"

#include <cstdio>
#include <cstdlib>

void fuzztarget::Broken(const char* target, const char* what) {
  std::fprintf(stderr, "%s: invariant broken: %s\n", target, what);
  std::abort();
}
