// The real receiver under real window managers (openbox, xfwm4, KWin, each
// started by the test on its own X server): the window comes back at the
// same place however often it restarts, and --vollbild is the manager's
// full-screen state, which ESC leaves (the corner saved then is where the
// window stands); meanwhile the screen does not blank.
#include <cstdlib>
#include <memory>

#include "E2EHilfe.h"
#include "channel/ClsVRD4Memory.h"

// After Qt's and our headers: Xlib defines macros such as Bool and Status.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/keysym.h>

namespace vrd4::e2e {
namespace {

// One connection for the whole run, closed when the program ends.
Display* dpy() {
  static const std::unique_ptr<Display, int (*)(Display*)> d(XOpenDisplay(nullptr), XCloseDisplay);
  return d.get();
}
Atom atom(const char* n) { return XInternAtom(dpy(), n, False); }

int ohneAbbruch(Display*, XErrorEvent*) { return 0; }

std::vector<unsigned long> eigenschaft(Window w, const char* name, Atom typ) {
  Atom t = None;
  int format = 0;
  unsigned long n = 0, rest = 0;
  unsigned char* roh = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(dpy(), w, atom(name), 0, 1024, False, typ, &t, &format, &n, &rest, &roh) == Success && roh &&
      format == 32)
    out.assign(reinterpret_cast<unsigned long*>(roh), reinterpret_cast<unsigned long*>(roh) + n);
  if (roh) XFree(roh);
  return out;
}

// The receiver's main window among the manager's clients: the title begins
// with "VRD4-LCD". 0 when none.
Window empfaengerFenster() {
  for (unsigned long w : eigenschaft(DefaultRootWindow(dpy()), "_NET_CLIENT_LIST", XA_WINDOW)) {
    char* name = nullptr;
    const bool treffer = XFetchName(dpy(), w, &name) && name && std::string(name).starts_with("VRD4-LCD");
    if (name) XFree(name);
    if (treffer) return w;
  }
  return 0;
}

// The client area on the screen: left, top, width, height.
std::optional<QRect> bereich(Window w) {
  XWindowAttributes a{};
  int px = 0, py = 0;
  Window kind = 0;
  if (!w || !XGetWindowAttributes(dpy(), w, &a) || a.map_state != IsViewable ||
      !XTranslateCoordinates(dpy(), w, a.root, 0, 0, &px, &py, &kind))
    return std::nullopt;
  return QRect(px, py, a.width, a.height);
}

bool imVollbild(Window w) {
  const auto zustand = eigenschaft(w, "_NET_WM_STATE", XA_ATOM);
  return std::find(zustand.begin(), zustand.end(), atom("_NET_WM_STATE_FULLSCREEN")) != zustand.end();
}

// A window manager runs: its check window names itself (a stale property of
// a manager that has ended names a window that is gone).
bool managerLaeuft() {
  const auto pruef = eigenschaft(DefaultRootWindow(dpy()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  if (pruef.empty()) return false;
  const auto selbst = eigenschaft(pruef[0], "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  return !selbst.empty() && selbst[0] == pruef[0];
}

// The window managers the board is tried under, each as a session starts it
// (xfwm4 reads its settings through xfconf on the session bus); a row whose
// program is not installed skips.
struct Manager {
  const char* name;
  std::vector<std::string> aufruf;  // after env: variables, program, options
};
void PrintTo(const Manager& m, std::ostream* os) { *os << m.name; }
const Manager kManager[] = {
    {"openbox", {"openbox", "--sm-disable"}},
    {"xfwm4", {"NO_AT_BRIDGE=1", "dbus-run-session", "--", "xfwm4", "--compositor=off", "--sm-client-disable"}},
    {"kwin_x11", {"KWIN_COMPOSE=N", "kwin_x11", "--no-kactivities"}},
};

constexpr const char* kPraefix = "t_wm_";

// Each test starts its manager (in a process group of its own, with a home
// of its own for its settings) on the test's X server and ends it again.
// Each test's receiver removes its channel files at the end: our mappings of
// them go too.
class FensterE2E : public ::testing::TestWithParam<Manager> {
 protected:
  void SetUp() override {
    XSetErrorHandler(ohneAbbruch);
    ASSERT_NE(dpy(), nullptr) << "no X server (run under xvfb-run)";
    const std::string name = GetParam().name;
    if (std::system(("command -v " + name + " >/dev/null").c_str()) != 0) GTEST_SKIP() << name << " is not installed";
    std::vector<std::string> aufruf{"env", "HOME=" + heim_.path().toStdString()};
    aufruf.insert(aufruf.end(), GetParam().aufruf.begin(), GetParam().aufruf.end());
    std::vector<char*> argv;
    for (auto& a : aufruf) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    ASSERT_EQ(posix_spawnp(&pid_, "env", nullptr, &attr, argv.data(), environ), 0);
    posix_spawnattr_destroy(&attr);
    ASSERT_TRUE(warteBis(managerLaeuft, kStartSekunden)) << name << " did not come up";
    channel::setChannelNamePrefix(kPraefix);
  }
  void TearDown() override {
    gv::SpeichervariablenFreigeben();
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    // The manager itself may outlive the session bus it ran under.
    EXPECT_TRUE(warteBis([] { return !managerLaeuft(); }, kSekunden)) << GetParam().name << " did not end";
  }

 private:
  QTemporaryDir heim_;
  pid_t pid_ = -1;
};
INSTANTIATE_TEST_SUITE_P(Manager, FensterE2E, ::testing::ValuesIn(kManager),
                         [](const auto& info) { return std::string(info.param.name); });

// Lines 5 and 6 of the settings file: left and top edge in twips.
std::pair<int, int> gespeicherteEcke(const Empfaenger& e) {
  QFile f(QString::fromStdString(e.ordner() + "/" + kPraefix + "VRD4Startwerte.TXT"));
  if (!f.open(QIODevice::ReadOnly)) return {-1, -1};
  const QList<QByteArray> z = f.readAll().split('\n');
  if (z.size() < 6) return {-1, -1};
  return {z[4].trimmed().toInt(), z[5].trimmed().toInt()};
}

TEST_P(FensterE2E, WindowComesBackAtTheSameCornerOnEveryStart) {
  // 1500 and 750 twips: 100 and 50 pixels at 96 DPI, where the framed
  // window lies wholly on the screen (KWin moves a window that does not).
  Empfaenger e(kPraefix, "Localhost\r\n3000\r\n0\r\n0\r\n 1500 \r\n 750 \r\n");
  for (int start = 1; start <= 3; ++start) {
    ringFrischAnlegen();
    e.starten();
    ASSERT_TRUE(gestartet()) << "start " << start;
    std::optional<QRect> r;
    EXPECT_TRUE(warteBis([&] { return (r = bereich(empfaengerFenster())) && r->topLeft() == QPoint(100, 50); },
                         kSekunden))
        << "start " << start << ": client area at " << (r ? r->x() : -1) << "," << (r ? r->y() : -1);
    kill(e.pid(), SIGTERM);
    ASSERT_TRUE(e.warteAufEnde(kSekunden).has_value());
    EXPECT_EQ(gespeicherteEcke(e), std::pair(1500, 750)) << "start " << start;
  }
}

// ESC as the keyboard gives it: to the window that has the input focus,
// which must be the receiver's.
void escDruecken(Window fenster) {
  Window fokus = 0;
  int zurueck = 0;
  XGetInputFocus(dpy(), &fokus, &zurueck);
  EXPECT_EQ(fokus, fenster) << "the full-screen window has no keyboard focus";
  XKeyEvent k{};
  k.display = dpy();
  k.window = fokus;
  k.root = DefaultRootWindow(dpy());
  k.same_screen = True;
  k.keycode = XKeysymToKeycode(dpy(), XK_Escape);
  for (int typ : {KeyPress, KeyRelease}) {
    k.type = typ;
    XSendEvent(dpy(), fokus, True, typ == KeyPress ? KeyPressMask : KeyReleaseMask,
               reinterpret_cast<XEvent*>(&k));
  }
  XFlush(dpy());
}

TEST_P(FensterE2E, VollbildIsTheManagersFullScreenAndEscLeavesIt) {
  // The X server's screen saver after one idle second (Xvfb has no DPMS).
  XSetScreenSaver(dpy(), 1, 0, PreferBlanking, AllowExposures);
  const auto schonerAn = [] {
    XScreenSaverInfo info{};
    XScreenSaverQueryInfo(dpy(), DefaultRootWindow(dpy()), &info);
    return info.state == ScreenSaverOn;
  };

  Empfaenger e(kPraefix);
  ringFrischAnlegen();
  e.starten({"--vollbild"});
  ASSERT_TRUE(gestartet());
  const QRect schirm(0, 0, DisplayWidth(dpy(), 0), DisplayHeight(dpy(), 0));
  Window w = 0;
  ASSERT_TRUE(warteBis([&] { return (w = empfaengerFenster()) && imVollbild(w) && bereich(w) == schirm; },
                       kSekunden))
      << "not in the manager's full-screen state over the whole screen";
  XResetScreenSaver(dpy());
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(schonerAn()) << "the screen blanks while the board runs";

  escDruecken(w);
  std::optional<QRect> r;
  EXPECT_TRUE(warteBis([&] { return !imVollbild(w) && (r = bereich(w)) && r->width() < schirm.width(); },
                       kSekunden))
      << "ESC did not leave full screen";
  kill(e.pid(), SIGTERM);
  ASSERT_TRUE(e.warteAufEnde(kSekunden).has_value());
  // Ended at once: the corner saved is still where the manager put the window back.
  if (r) {
    EXPECT_EQ(gespeicherteEcke(e), std::pair(r->x() * 15, r->y() * 15)) << "twips at 96 DPI";
  }
  EXPECT_TRUE(warteBis(schonerAn, kSekunden)) << "the screen saver is still held off after the end";
  XSetScreenSaver(dpy(), 0, 0, DefaultBlanking, DefaultExposures);
}

}  // namespace
}  // namespace vrd4::e2e
