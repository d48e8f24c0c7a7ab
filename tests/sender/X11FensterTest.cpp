// Window texts, the player's display window and re-parenting on a real X
// server (the test runs under its own Xvfb).
// GoogleTest first: Xlib's macros (None, Bool) would clash with its names.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/X11Window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vrd4::platform::x11 {
namespace {

class X11Fenster : public ::testing::Test {
 protected:
  void SetUp() override {
    // A busy server may refuse a connection for a moment.
    for (int i = 0; i < 50 && !(d = XOpenDisplay(nullptr)); ++i) ::usleep(5000);
    ASSERT_NE(d, nullptr) << "no X display";
  }
  void TearDown() override {
    if (d) XCloseDisplay(d);  // and with it the windows
  }
  Window neu(int x, int y, int w, int h, const char* titel = nullptr, Window parent = 0) {
    Window win = XCreateSimpleWindow(d, parent ? parent : DefaultRootWindow(d), x, y, w, h, 0, 0, 0);
    if (titel) XStoreName(d, win, titel);
    XSelectInput(d, win, PropertyChangeMask);
    XMapWindow(d, win);
    XSync(d, False);
    return win;
  }
  std::string eigenschaft(Window w, const char* name) {
    XTextProperty p{};
    XGetTextProperty(d, w, &p, XInternAtom(d, name, False));
    std::string s = p.value ? std::string(reinterpret_cast<char*>(p.value), p.nitems) : std::string();
    if (p.value) XFree(p.value);
    return s;
  }
  Display* d = nullptr;
};

// The event window's text as the sending program reads it (Windows-1252);
// a window that does not exist, or no display, fails without ending the process.
TEST_F(X11Fenster, TextGoesIntoBothTitlesUnknownWindowsAndDisplaysFailQuietly) {
  Window w = neu(0, 0, 50, 50);
  ASSERT_TRUE(setWindowText(w, u"Größe 5 €"));
  EXPECT_EQ(eigenschaft(w, "WM_NAME"), "Gr\xF6\xDF" "e 5 \x80");
  EXPECT_EQ(eigenschaft(w, "_NET_WM_NAME"), "Größe 5 €");
  EXPECT_FALSE(setWindowText(0x3fffff0, u"x") || windowText(0x3fffff0) || reparent(0x3fffff0, DefaultRootWindow(d)));
  EXPECT_TRUE(setWindowText(w, u"ok"));  // still working
  const std::string display = std::getenv("DISPLAY");
  ::setenv("DISPLAY", ":4711", 1);
  EXPECT_FALSE(setWindowText(1, u"x") || findDisplayWindow());
  ::setenv("DISPLAY", display.c_str(), 1);
}

TEST_F(X11Fenster, FindsTheTopmostDisplayWindowInsideAFrameAndReparentsIntoItAtTheOrigin) {
  neu(30, 30, 100, 100, "Display hinten");
  // A window manager's frame has no title and no WM_STATE; the program's window inside has.
  Window innen = neu(5, 20, 390, 275, "Display Spieler", neu(200, 100, 400, 300));
  Atom wmState = XInternAtom(d, "WM_STATE", False);
  long zustand[2] = {NormalState, 0};
  XChangeProperty(d, innen, wmState, wmState, 32, PropModeReplace, reinterpret_cast<unsigned char*>(zustand), 2);
  XSync(d, False);
  auto f = findDisplayWindow();
  ASSERT_TRUE(f);
  EXPECT_EQ((std::vector<long>{long(f->id), f->rect.left, f->rect.top, f->rect.right, f->rect.bottom}),
            (std::vector<long>{long(innen), 205, 120, 595, 395}));
  Window kind = neu(300, 300, 20, 20), k;
  ASSERT_TRUE(reparent(kind, innen));
  int x = -1, y = -1;
  XTranslateCoordinates(d, kind, innen, 0, 0, &x, &y, &k);
  EXPECT_EQ((std::pair{x, y}), (std::pair{0, 0}));
}

}  // namespace
}  // namespace vrd4::platform::x11
