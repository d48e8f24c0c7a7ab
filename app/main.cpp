// VRD4Empfaenger: the receiver program.
#include "app/modStart.h"

int main(int argc, char** argv) { return vrd4::app::modStart::Main(argc, argv); }
