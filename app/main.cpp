// VRD4Empfaenger: the receiver program.
#include <cstdio>
#include <cstring>

#include "platform/Speicher.h"

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
  // Big inputs (picture lines, decoded pictures) go back to the system
  // when they are done, instead of staying with the allocator.
  vrd4::platform::speicherRegeln();
  return vrd4::app::modStart::Main(argc, argv);
}
