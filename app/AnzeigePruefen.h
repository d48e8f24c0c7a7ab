#pragma once
// Whether Qt will find a display for the board, asked before Qt starts: a Qt
// program without one ends in an abort ("Reinstalling the application may
// fix this problem"), which says nothing to the operator.
#include <string>
#include <vector>

namespace vrd4::app {

// The Qt platforms that will be tried, in order: -platform among
// qtOptionen, else QT_QPA_PLATFORM (a list separated by ";"), else "xcb".
std::vector<std::string> qtPlattformen(const std::vector<std::string>& qtOptionen);

// Empty when the first platform that can work is found (xcb: its X server
// answers; wayland: Qt's plugin is there and the compositor's socket takes
// a connection; any other: Qt decides). Otherwise why none can, as one
// German line that names the fix.
std::string anzeigeFehlt(const std::vector<std::string>& qtOptionen);

}  // namespace vrd4::app
