#pragma once
// Whether an X server can be reached, asked before a toolkit tries it (Qt
// ends a program that finds none with an abort).
#include <string>

namespace vrd4::platform::x11 {

// Opens and closes a connection to the X server `anzeige` (empty: $DISPLAY).
// True when it opened.
bool anzeigeErreichbar(const std::string& anzeige = {});

}  // namespace vrd4::platform::x11
