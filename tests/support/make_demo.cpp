// Writes the demo recording (see c3dtest::DemoRecording) to the path given.
#include <cstdio>

#include "tests/support/C3dWriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-demo OUT.c3d\n");
    return 2;
  }
  if (!c3dtest::WriteFile(argv[1], c3dtest::WriteC3d(c3dtest::DemoRecording()))) {
    std::fprintf(stderr, "make-demo: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
