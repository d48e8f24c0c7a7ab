// VRD4Empfaenger: the receiver program.
#include <cstdio>
#include <cstring>

#include "app/modStart.h"

int main(int argc, char** argv) {
  // Answered before any display or channel is touched, so that it works on a
  // console and from a package's test.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("VRD4Empfaenger %s\n", VRD4_VERSION);
      return 0;
    }
  }
  return vrd4::app::modStart::Main(argc, argv);
}
