#pragma once
// The X server as a screen for a board that runs all day: screen blanking
// held off, what the window manager can do for full screen, whether the
// screen can be read back, whether a window still exists. Without a display
// every call fails quietly (false; the hold does nothing).
#include "platform/X11Window.h"

struct _XDisplay;  // Xlib's Display

namespace vrd4::platform::x11 {

// Keeps the screen from blanking while it lives: the X server's screen saver
// is suspended (XScreenSaverSuspend, which lasts as long as this object's
// own display connection) and DPMS power saving is switched off when it was
// on. The destructor switches DPMS back on when it was on before and ends
// the suspension. Non-copyable; one per process is enough.
class BildschirmWachHalter {
 public:
  BildschirmWachHalter();
  ~BildschirmWachHalter();
  BildschirmWachHalter(const BildschirmWachHalter&) = delete;
  BildschirmWachHalter& operator=(const BildschirmWachHalter&) = delete;

  // True when at least one of the two could be held off.
  bool aktiv() const { return schonerAus_ || dpmsAus_; }

 private:
  ::_XDisplay* display_ = nullptr;
  bool schonerAus_ = false;
  bool dpmsAus_ = false;  // DPMS was on and we switched it off
};

// A window manager runs (_NET_SUPPORTING_WM_CHECK) and announces the
// full-screen state in _NET_SUPPORTED. Without it a full-screen window must
// give itself the screen's geometry.
bool fenstermanagerKannVollbild();

// The root window can be read back. False under XWayland (the X server
// carries the XWAYLAND extension): there a screen grab shows black, only a
// window's own picture is real.
bool bildschirmLesbar();

// The window exists (it dies with its parent, for example when the player
// whose window holds our board ends).
bool fensterLebt(WindowId window);

}  // namespace vrd4::platform::x11
