#include "platform/BildschirmX11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace vrd4::platform::x11 {
namespace {

int g_fehler = 0;
int fehlerZaehlen(Display*, XErrorEvent*) {
  ++g_fehler;
  return 0;
}

// A short-lived connection whose errors are counted, never fatal.
class Verbindung {
 public:
  Verbindung() : d_(XOpenDisplay(nullptr)) {
    if (d_) vorher_ = XSetErrorHandler(fehlerZaehlen);
    g_fehler = 0;
  }
  ~Verbindung() {
    if (!d_) return;
    XSync(d_, False);
    XSetErrorHandler(vorher_);
    XCloseDisplay(d_);
  }
  Verbindung(const Verbindung&) = delete;
  Verbindung& operator=(const Verbindung&) = delete;
  Display* get() const { return d_; }
  bool ok() {
    XSync(d_, False);
    return g_fehler == 0;
  }

 private:
  Display* d_;
  XErrorHandler vorher_ = nullptr;
};

struct XFree_ {
  void operator()(void* p) const {
    if (p) XFree(p);
  }
};

// The 32-bit list property of w (windows or atoms); empty when missing.
std::vector<unsigned long> liste(Display* d, Window w, const char* name, Atom typ) {
  Atom t = None;
  int format = 0;
  unsigned long n = 0, rest = 0;
  unsigned char* roh = nullptr;
  const int rc = XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 4096, False, typ, &t, &format, &n, &rest,
                                    &roh);
  std::unique_ptr<unsigned char, XFree_> daten(roh);
  if (rc != Success || format != 32 || !daten) return {};
  const auto* werte = reinterpret_cast<const unsigned long*>(daten.get());  // Xlib: format 32 is long
  return {werte, werte + n};
}

}  // namespace

BildschirmWachHalter::BildschirmWachHalter() : display_(XOpenDisplay(nullptr)) {
  if (!display_) return;
  int ereignis = 0, fehler = 0, major = 0, minor = 0;
  if (XScreenSaverQueryExtension(display_, &ereignis, &fehler) &&
      XScreenSaverQueryVersion(display_, &major, &minor) && (major > 1 || (major == 1 && minor >= 1))) {
    XScreenSaverSuspend(display_, True);
    schonerAus_ = true;
  }
  if (DPMSQueryExtension(display_, &ereignis, &fehler) && DPMSCapable(display_)) {
    CARD16 stufe = 0;
    BOOL an = False;
    if (DPMSInfo(display_, &stufe, &an) && an) {
      DPMSDisable(display_);
      dpmsAus_ = true;
    }
  }
  XFlush(display_);
}

BildschirmWachHalter::~BildschirmWachHalter() {
  if (!display_) return;
  if (dpmsAus_) DPMSEnable(display_);
  if (schonerAus_) XScreenSaverSuspend(display_, False);
  XSync(display_, False);
  XCloseDisplay(display_);
}

bool fenstermanagerKannVollbild() {
  Verbindung c;
  if (!c.get()) return false;
  Display* d = c.get();
  const Window wurzel = DefaultRootWindow(d);
  // A window manager that runs names a window of its own that names itself.
  const auto pruef = liste(d, wurzel, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  if (pruef.empty()) return false;
  const auto selbst = liste(d, pruef[0], "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  if (!c.ok() || selbst.empty() || selbst[0] != pruef[0]) return false;
  const auto kann = liste(d, wurzel, "_NET_SUPPORTED", XA_ATOM);
  return std::find(kann.begin(), kann.end(), XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False)) != kann.end();
}

bool bildschirmLesbar() {
  Verbindung c;
  if (!c.get()) return false;
  int opcode = 0, ereignis = 0, fehler = 0;
  return !XQueryExtension(c.get(), "XWAYLAND", &opcode, &ereignis, &fehler);
}

bool fensterLebt(WindowId window) {
  if (window == 0) return false;
  Verbindung c;
  if (!c.get()) return false;
  XWindowAttributes a{};
  return XGetWindowAttributes(c.get(), window, &a) && c.ok();
}

}  // namespace vrd4::platform::x11
