// VRD4Empfaenger: the receiver program.
#include "app/modStart.h"
#include "platform/Speicher.h"

int main(int argc, char** argv) {
  // Big inputs (picture lines, decoded pictures) go back to the system
  // when they are done, instead of staying with the allocator.
  vrd4::platform::speicherRegeln();
  return vrd4::app::modStart::Main(argc, argv);
}
