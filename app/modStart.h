#pragma once
// The receiver's start procedure: the rights check, the program folder, the
// main window shown until it unloads, and the signals that end it.
#include <optional>
#include <string>

namespace vrd4::app::modStart {

// The folder of the running executable (no trailing "/"); set by Main.
const std::string& GlobalPfad();

// The process entry point. The command line is read first (app/Aufruf.h):
// -h/--help and --version answer without display or channel; a refused call
// ends with the usage. Then, in this order, every reason not to start ends
// the program with one line to stderr and the journal, a box where someone
// can close it (app/Absage.h) and its status (app/Rueckgabe.h): neither root
// nor a member of the group vrd4; a receiver already running on the channel
// (the older of two that start together runs); channel files left by another
// user that cannot be opened (replaced instead when no receiver runs on the
// channel and we may remove them); no display Qt can use. Otherwise runs the
// main window until it unloads and returns 0.
//
// "--prefix P" puts P in front of every channel object, the lock file and
// the settings and snapshot file names. "--vollbild" starts in full screen;
// "--weiterleiten A:P" connects Client3 once the settings are read (a relay
// chain without clicks). Of Qt's options only -display and -platform are
// taken (as DISPLAY and QT_QPA_PLATFORM); Qt's own messages go to the
// history, through the writer that never waits (platform/Systemd.h).
//
// SIGTERM and SIGINT close the main window the normal way (its teardown runs
// and writes the stop mark). SIGUSR1 saves the snapshot "Picture.bmp" (in the
// program folder, or for an installed receiver in $XDG_STATE_HOME/vrd4), as
// the button cmdBoxSpeichern does (a hook for tests and remote checks).
//
// Qt's platform is xcb unless QT_QPA_PLATFORM says otherwise: in a Wayland
// session the board runs through XWayland, where it can enter the player's
// window. While the window runs, the screen neither blanks nor powers down.
int Main(int argc, char** argv);

}  // namespace vrd4::app::modStart
