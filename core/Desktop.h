#pragma once
// What the receiver (core and window) needs from the desktop outside its
// own widgets: the sending program's windows, the external player and its
// display window, and the screen rectangle of a native window. The receiver uses the X11
// implementation; tests put in a fake that records.
#include <optional>
#include <string>

#include "platform/X11Window.h"

namespace vrd4::core {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // WM_SETTEXT: sets the window's title and waits until the X server has it.
  virtual bool setWindowText(platform::x11::WindowId window, const std::u16string& text) = 0;
  // SetActiveWindow + SetForegroundWindow.
  virtual bool activateWindow(platform::x11::WindowId window) = 0;
  // First top-level window whose title begins with "Display".
  virtual std::optional<platform::x11::FoundWindow> findDisplayWindow() = 0;
  // SetParent: child into parent at (0, 0).
  virtual bool reparent(platform::x11::WindowId child, platform::x11::WindowId parent) = 0;
  // A process "PELMOR PLAYER.EXE" (any case) runs.
  virtual bool pelmorPlayerAktiv() = 0;
  // GetWindowRect: the window's screen rectangle in pixels; nullopt when
  // there is no display or no such window.
  virtual std::optional<platform::x11::Rect> windowRect(platform::x11::WindowId window) = 0;
  // The window still exists (ours dies with the player's window it sits in).
  virtual bool fensterLebt(platform::x11::WindowId window) = 0;
  // A window manager runs that takes windows into its full-screen state.
  virtual bool fenstermanagerKannVollbild() = 0;
  // The screen can be read back (not under XWayland, where grabs are black).
  virtual bool bildschirmLesbar() = 0;
};

// The real desktop: Xlib on $DISPLAY and the process list. Process-wide.
Desktop& x11Desktop();

}  // namespace vrd4::core
