#include "core/Desktop.h"

// Qt's headers must come before Xlib's macros (Bool, Status).
#include "engine/clsVRD4Empfaenger.h"
#include "platform/BildschirmX11.h"

#include <X11/Xlib.h>

namespace vrd4::core {
namespace x11 = platform::x11;

namespace {

// A window may vanish between our question and the server's answer; Xlib's
// default handler would end the process for that.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

class XDisplay {
 public:
  XDisplay() : dpy_(XOpenDisplay(nullptr)) {}
  ~XDisplay() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;
  Display* get() const { return dpy_; }

 private:
  Display* dpy_;
};

class X11Desktop final : public Desktop {
 public:
  bool setWindowText(x11::WindowId window, const std::u16string& text) override {
    return x11::setWindowText(window, text);
  }
  bool activateWindow(x11::WindowId window) override { return x11::activateWindow(window); }
  std::optional<x11::FoundWindow> findDisplayWindow() override { return x11::findDisplayWindow(); }
  bool reparent(x11::WindowId child, x11::WindowId parent) override {
    return x11::reparent(child, parent);
  }
  bool fensterLebt(x11::WindowId window) override { return x11::fensterLebt(window); }
  bool fenstermanagerKannVollbild() override { return x11::fenstermanagerKannVollbild(); }
  bool bildschirmLesbar() override { return x11::bildschirmLesbar(); }
  bool pelmorPlayerAktiv() override { return engine::clsVRD4Empfaenger::VRD4PelmorPlayerAktiv(); }

  std::optional<x11::Rect> windowRect(x11::WindowId window) override {
    XDisplay dpy;
    if (!dpy.get() || window == 0) return std::nullopt;
    auto* previous = XSetErrorHandler(ignoreXError);
    std::optional<x11::Rect> result;
    XWindowAttributes attr{};
    ::Window child = 0;
    int x = 0, y = 0;
    if (XGetWindowAttributes(dpy.get(), window, &attr) &&
        XTranslateCoordinates(dpy.get(), window, attr.root, 0, 0, &x, &y, &child)) {
      result = x11::Rect{x, y, x + attr.width, y + attr.height};
    }
    XSync(dpy.get(), False);
    XSetErrorHandler(previous);
    return result;
  }
};

}  // namespace

Desktop& x11Desktop() {
  static X11Desktop desktop;
  return desktop;
}

}  // namespace vrd4::core
