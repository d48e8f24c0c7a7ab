// Window texts, activation, the player's display window and re-parenting on
// a real X server (the test runs under its own Xvfb).
// GoogleTest first: Xlib's macros (None, Bool) would clash with its names.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/Ansi.h"
#include "platform/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vrd4::platform::x11 {
namespace {

class X11Fenster : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    // A busy server may refuse a connection for a moment.
    for (int i = 0; i < 50 && !d; ++i) {
      d = XOpenDisplay(nullptr);
      if (!d) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(d, nullptr);
  }
  void TearDown() override {
    if (!d) return;
    // Newest first: a window re-parented into an older one goes with it.
    for (auto w = fenster.rbegin(); w != fenster.rend(); ++w) XDestroyWindow(d, *w);
    XCloseDisplay(d);
  }
  Window neu(int x, int y, int w, int h, const char* titel = nullptr, Window parent = 0) {
    Window win = XCreateSimpleWindow(d, parent ? parent : DefaultRootWindow(d), x, y, w, h, 0, 0, 0);
    if (titel) XStoreName(d, win, titel);
    XMapWindow(d, win);
    XSync(d, False);
    if (!parent) fenster.push_back(win);
    return win;
  }
  std::string eigenschaft(Window w, const char* name) {
    Atom a = XInternAtom(d, name, False), typ;
    int format;
    unsigned long n, rest;
    unsigned char* daten = nullptr;
    XGetWindowProperty(d, w, a, 0, 1024, False, AnyPropertyType, &typ, &format, &n, &rest, &daten);
    std::string s = daten ? std::string(reinterpret_cast<char*>(daten), n) : std::string();
    if (daten) XFree(daten);
    return s;
  }
  Display* d = nullptr;
  std::vector<Window> fenster;
};

TEST_F(X11Fenster, TextGoesIntoBothTitlesAndTheOwnerHearsOfIt) {
  Window w = neu(0, 0, 50, 50);
  XSelectInput(d, w, PropertyChangeMask);
  XSync(d, False);
  const std::u16string text = u"BefehlFehler;Größe 5 €";
  ASSERT_TRUE(setWindowText(w, text));
  EXPECT_EQ(eigenschaft(w, "WM_NAME"), "BefehlFehler;Gr\xF6\xDF" "e 5 \x80");
  EXPECT_EQ(eigenschaft(w, "_NET_WM_NAME"), toUtf8(text));
  EXPECT_EQ(windowText(w), text);
  XSync(d, False);
  XEvent ev;
  EXPECT_TRUE(XCheckTypedWindowEvent(d, w, PropertyNotify, &ev));
}

TEST_F(X11Fenster, TitleWithoutUtf8PropertyIsReadAsWindows1252) {
  Window w = neu(0, 0, 50, 50, "Anzeige \x80");
  EXPECT_EQ(windowText(w), u"Anzeige €");
}

TEST_F(X11Fenster, UnknownWindowFailsWithoutEndingTheProcess) {
  const WindowId weg = 0x3fffff0;
  EXPECT_FALSE(setWindowText(weg, u"x"));
  EXPECT_FALSE(windowText(weg));
  EXPECT_FALSE(activateWindow(weg));
  EXPECT_FALSE(reparent(weg, DefaultRootWindow(d)));
  EXPECT_FALSE(setWindowText(0, u"x"));
  // Still alive and still working.
  Window w = neu(0, 0, 10, 10);
  EXPECT_TRUE(setWindowText(w, u"ok"));
}

TEST_F(X11Fenster, WithoutDisplayEveryCallFailsQuietly) {
  std::string alt = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  ::setenv("DISPLAY", ":4711", 1);
  EXPECT_FALSE(setWindowText(1, u"x"));
  EXPECT_FALSE(windowText(1));
  EXPECT_FALSE(findDisplayWindow());
  ::setenv("DISPLAY", alt.c_str(), 1);
}

TEST_F(X11Fenster, ActivationRaisesTheWindow) {
  Window unten = neu(0, 0, 40, 40, "unten");
  neu(0, 0, 40, 40, "oben");
  ASSERT_TRUE(activateWindow(unten));
  Window root, parent, *kinder = nullptr;
  unsigned n = 0;
  XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kinder, &n);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(kinder[n - 1], unten);
  XFree(kinder);
}

TEST_F(X11Fenster, FindsTheTopmostWindowWhoseTitleBeginsWithDisplay) {
  neu(10, 10, 100, 100, "Anzeige");
  neu(20, 20, 100, 100, "display klein");
  neu(30, 30, 100, 100, "Display hinten");
  Window vorn = neu(100, 50, 320, 200, "Display 1");
  auto f = findDisplayWindow();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->id, vorn);
  EXPECT_EQ(f->rect.left, 100);
  EXPECT_EQ(f->rect.top, 50);
  EXPECT_EQ(f->rect.right, 420);
  EXPECT_EQ(f->rect.bottom, 250);
}

TEST_F(X11Fenster, FindsTheProgramsWindowInsideAWindowManagerFrame) {
  Window rahmen = neu(200, 100, 400, 300);  // a frame: no title, no WM_STATE
  Window innen = neu(5, 20, 390, 275, "Display Spieler", rahmen);
  Atom wmState = XInternAtom(d, "WM_STATE", False);
  long zustand[2] = {NormalState, 0};
  XChangeProperty(d, innen, wmState, wmState, 32, PropModeReplace, reinterpret_cast<unsigned char*>(zustand), 2);
  XSync(d, False);
  auto f = findDisplayWindow();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->id, innen);
  EXPECT_EQ(f->rect.left, 205);
  EXPECT_EQ(f->rect.top, 120);
}

TEST_F(X11Fenster, NoDisplayWindowIsNothing) {
  neu(0, 0, 10, 10, "Anzeige");
  EXPECT_FALSE(findDisplayWindow());
}

TEST_F(X11Fenster, ReparentPutsTheChildAtTheOrigin) {
  Window eltern = neu(50, 50, 200, 200, "Display");
  Window kind = neu(300, 300, 20, 20, "Tafel");
  ASSERT_TRUE(reparent(kind, eltern));
  Window root, parent, *kinder = nullptr;
  unsigned n = 0;
  XQueryTree(d, kind, &root, &parent, &kinder, &n);
  if (kinder) XFree(kinder);
  EXPECT_EQ(parent, eltern);
  XWindowAttributes a;
  XGetWindowAttributes(d, kind, &a);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
}

}  // namespace
}  // namespace vrd4::platform::x11
