#pragma once
// The receiver's start procedure: the rights check, the program folder, the
// main window shown until it unloads, and the signals that end it.
#include <optional>
#include <string>

namespace vrd4::app::modStart {

// The folder of the running executable (no trailing "/"); set by Main.
const std::string& GlobalPfad();

// The channel name prefix of "--prefix P" or "--prefix=P" among the
// arguments (the last one counts; none: empty); nullopt when it is missing
// its value or is no valid prefix (isValidChannelNamePrefix). Other
// arguments are left to Qt.
std::optional<std::string> praefixAusArgumenten(int argc, char** argv);

// "--vollbild" among the arguments: the board starts in full screen.
bool vollbildAusArgumenten(int argc, char** argv);

// "--weiterleiten A:P" (or "--weiterleiten=A:P"): Client3 passes the
// server's lines on to A:P from the start; empty when not given.
std::string weiterleitenAusArgumenten(int argc, char** argv);

// The text of --help (the options of this program; Qt's own are not listed).
const char* hilfeText();

// The process entry point. "--prefix P" puts P in front of every channel
// object, the lock file and the settings file name; an invalid prefix is a
// message box and exit code 2. Without administrator rights (root or a
// member of the group vrd4): one message box and exit code 1, no window, no
// shared memory. Channel files left by another user that cannot be opened
// are replaced when no receiver runs on the channel and we may remove them;
// otherwise one message box naming the file and the fix, and exit code 1. Otherwise runs the main window
// until it unloads and returns 0.
//
// SIGTERM and SIGINT close the main window the normal way (its teardown runs
// and writes the stop mark). SIGUSR1 saves the snapshot "Picture.bmp" (in the
// program folder, or for an installed receiver in $XDG_STATE_HOME/vrd4), as
// the button cmdBoxSpeichern does (a hook for tests and remote checks).
// "--help" prints hilfeText() and returns 0 before any display or channel is
// touched. "--vollbild" starts in full screen; "--weiterleiten A:P"
// connects Client3 once the settings are read (a relay chain without clicks).
//
// Qt's platform is xcb unless QT_QPA_PLATFORM says otherwise: in a Wayland
// session the board runs through XWayland, where it can enter the player's
// window. While the window runs, the screen neither blanks nor powers down.
int Main(int argc, char** argv);

}  // namespace vrd4::app::modStart
