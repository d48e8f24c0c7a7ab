#include "platform/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Ansi.h"

namespace vrd4::platform::x11 {
namespace {

// Titles are read up to this many bytes; a longer one is cut.
constexpr long kMaxTitleBytes = 65536;

int g_errors = 0;
int countError(Display*, XErrorEvent*) {
  ++g_errors;
  return 0;
}

// A busy X server refuses connections for a moment (EAGAIN: its listen
// queue is full); that is worth a few short retries, a wrong $DISPLAY is not.
Display* openDisplay() {
  for (int versuch = 0;; ++versuch) {
    errno = 0;
    if (Display* d = XOpenDisplay(nullptr)) return d;
    if (errno != EAGAIN || versuch >= 50) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// One display connection with a non-fatal error handler for its lifetime:
// a window id that no longer exists (the sending program has ended) must
// cost us a false, never the process (Xlib's default handler exits).
class Connection {
 public:
  Connection() : display_(openDisplay()) {
    if (display_) previous_ = XSetErrorHandler(countError);
    g_errors = 0;
  }
  ~Connection() {
    if (!display_) return;
    XSync(display_, False);
    XSetErrorHandler(previous_);
    XCloseDisplay(display_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Display* get() const { return display_; }
  explicit operator bool() const { return display_ != nullptr; }
  // Waits for the server to have handled every request so far, then tells
  // whether any of them failed.
  bool syncOk() {
    XSync(display_, False);
    return g_errors == 0;
  }
  Atom atom(const char* name) { return XInternAtom(display_, name, False); }

 private:
  Display* display_;
  XErrorHandler previous_ = nullptr;
};

struct XFreeDeleter {
  void operator()(void* p) const {
    if (p) XFree(p);
  }
};

std::optional<std::string> readProperty(Display* d, Window w, Atom property, Atom type) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long items = 0, after = 0;
  unsigned char* raw = nullptr;
  int rc = XGetWindowProperty(d, w, property, 0, kMaxTitleBytes / 4, False, type, &actualType,
                              &actualFormat, &items, &after, &raw);
  std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
  if (rc != Success || actualType == None || actualFormat != 8 || !data) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(data.get()), items);
}

// The title as windowText reports it; nullopt when the window has none.
std::optional<std::u16string> title(Connection& c, Window w) {
  if (auto utf8 = readProperty(c.get(), w, c.atom("_NET_WM_NAME"), c.atom("UTF8_STRING")))
    return fromUtf8(*utf8);
  if (auto ansi = readProperty(c.get(), w, XA_WM_NAME, AnyPropertyType)) return fromAnsi(*ansi);
  return std::nullopt;
}

bool hasProperty(Connection& c, Window w, Atom property) {
  int n = 0;
  Atom* props = XListProperties(c.get(), w, &n);
  std::unique_ptr<Atom, XFreeDeleter> guard(props);
  return props && std::find(props, props + n, property) != props + n;
}

// Children in stacking order, topmost first (the order a walk over the
// top-level windows visits them).
std::vector<Window> childrenTopFirst(Display* d, Window w) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned int n = 0;
  std::vector<Window> out;
  if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return out;
  std::unique_ptr<Window, XFreeDeleter> guard(kids);
  out.assign(kids, kids + n);
  std::reverse(out.begin(), out.end());
  return out;
}

bool startsWithDisplay(const std::u16string& t) { return t.starts_with(u"Display"); }

std::optional<Rect> screenRect(Display* d, Window w) {
  XWindowAttributes a{};
  if (!XGetWindowAttributes(d, w, &a)) return std::nullopt;
  int x = 0, y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(d, w, a.root, 0, 0, &x, &y, &child)) return std::nullopt;
  return Rect{x, y, x + a.width, y + a.height};
}

}  // namespace

bool setWindowText(WindowId window, const std::u16string& text) {
  if (window == 0) return false;
  Connection c;
  if (!c) return false;
  std::string ansi = toAnsi(text);
  std::string utf8 = toUtf8(text);
  Display* d = c.get();
  XChangeProperty(d, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(ansi.data()), static_cast<int>(ansi.size()));
  XChangeProperty(d, window, c.atom("_NET_WM_NAME"), c.atom("UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  return c.syncOk();
}

std::optional<std::u16string> windowText(WindowId window) {
  if (window == 0) return std::nullopt;
  Connection c;
  if (!c) return std::nullopt;
  XWindowAttributes a{};
  if (!XGetWindowAttributes(c.get(), window, &a) || !c.syncOk()) return std::nullopt;
  auto t = title(c, window);
  if (!c.syncOk()) return std::nullopt;
  return t.value_or(std::u16string());
}

bool activateWindow(WindowId window) {
  if (window == 0) return false;
  Connection c;
  if (!c) return false;
  Display* d = c.get();
  XWindowAttributes a{};
  if (!XGetWindowAttributes(d, window, &a) || !c.syncOk()) return false;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window;
  ev.xclient.message_type = c.atom("_NET_ACTIVE_WINDOW");
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = 2;  // source: a pager, so that the manager obeys
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, a.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XRaiseWindow(d, window);
  return c.syncOk();
}

namespace {

// Window managers put a client window inside one frame (most) or a frame and
// a wrapper (KWin); a few levels more cover any of them. The whole walk is
// bounded as well, so a huge or hostile window tree cannot stall us.
constexpr int kMaxTiefe = 8;
constexpr int kMaxFenster = 20000;

struct Suche {
  Connection& c;
  Atom wmState;
  int besucht = 0;

  // The first window at or below w, in stacking order, that is a program's
  // own window (it has WM_STATE or a title) and whose title begins with
  // "Display". A program's own window is not searched further: its children
  // are its controls, not top-level windows.
  std::optional<FoundWindow> in(Window w, int tiefe) {
    if (++besucht > kMaxFenster) return std::nullopt;
    const auto t = title(c, w);
    if (t || hasProperty(c, w, wmState)) {
      if (t && startsWithDisplay(*t))
        if (auto r = screenRect(c.get(), w)) return FoundWindow{w, *r};
      return std::nullopt;
    }
    if (tiefe >= kMaxTiefe) return std::nullopt;
    for (Window kind : childrenTopFirst(c.get(), w)) {
      if (auto f = in(kind, tiefe + 1)) return f;
      if (besucht > kMaxFenster) break;
    }
    return std::nullopt;
  }
};

}  // namespace

std::optional<FoundWindow> findDisplayWindow() {
  Connection c;
  if (!c) return std::nullopt;
  Suche suche{c, c.atom("WM_STATE")};
  // The root itself is no candidate: only what lies below it.
  for (Window top : childrenTopFirst(c.get(), DefaultRootWindow(c.get()))) {
    if (auto f = suche.in(top, 1)) return f;
    if (suche.besucht > kMaxFenster) break;
  }
  return std::nullopt;
}

bool reparent(WindowId child, WindowId parent) {
  if (child == 0 || parent == 0) return false;
  Connection c;
  if (!c) return false;
  XReparentWindow(c.get(), child, parent, 0, 0);
  return c.syncOk();
}

}  // namespace vrd4::platform::x11
