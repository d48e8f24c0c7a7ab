#pragma once
// The receiver's start procedure: the rights check, the program folder, the
// main window shown until it unloads, and the signals that end it.
#include <string>

namespace vrd4::app::modStart {

// The folder of the running executable (no trailing "/"); set by Main.
const std::string& GlobalPfad();

// The process entry point. Without administrator rights: one message box and
// exit code 1, no window, no shared memory. Otherwise runs the main window
// until it unloads and returns 0.
//
// SIGTERM and SIGINT close the main window the normal way (its teardown runs
// and writes the stop mark). SIGUSR1 saves the snapshot "Picture.bmp" in the
// program folder, as the button cmdBoxSpeichern does (a hook for tests and
// remote checks).
int Main(int argc, char** argv);

}  // namespace vrd4::app::modStart
