#pragma once
// X11 windows of other programs (Xlib, no toolkit). A window handle is an
// X11 window id, carried in decimal in the channel. Each call opens its own
// display connection ($DISPLAY) unless noted; without a display every call
// fails quietly (false / nullopt).
#include <cstdint>
#include <optional>
#include <string>

namespace vrd4::platform::x11 {

using WindowId = unsigned long;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // screen pixels
};

// "WM_SETTEXT": sets WM_NAME (the Windows-1252 bytes) and _NET_WM_NAME
// (UTF-8) of window and waits until the X server has them (XSync), so that
// the window's owner gets a PropertyNotify. False when there is no display or
// no such window.
bool setWindowText(WindowId window, const std::u16string& text);

// The window's title (_NET_WM_NAME, else WM_NAME as Windows-1252).
std::optional<std::u16string> windowText(WindowId window);

// SetActiveWindow/SetForegroundWindow: asks the window manager to activate
// the window (_NET_ACTIVE_WINDOW) and raises it.
bool activateWindow(WindowId window);

// Walks the top-level windows and the client windows inside window-manager
// frames, however deeply nested (frame, wrapper, client as KWin does; at
// most 8 levels and 20000 windows), and returns the first whose title begins
// with "Display" (case-sensitive: "display…" is not it), with its screen
// rectangle.
struct FoundWindow {
  WindowId id = 0;
  Rect rect;
};
std::optional<FoundWindow> findDisplayWindow();

// SetParent: reparents child into parent at (0, 0).
bool reparent(WindowId child, WindowId parent);

}  // namespace vrd4::platform::x11
