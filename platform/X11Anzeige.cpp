#include "platform/X11Anzeige.h"

#include <X11/Xlib.h>

namespace vrd4::platform::x11 {

bool anzeigeErreichbar(const std::string& anzeige) {
  Display* d = XOpenDisplay(anzeige.empty() ? nullptr : anzeige.c_str());
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

}  // namespace vrd4::platform::x11
