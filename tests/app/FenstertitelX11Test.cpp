// Under a real X server: passed-on events become the title of the sending
// program's event window, and the player's display window is found however
// the window manager nests it. (The snapshot read back from the screen is
// checked end to end.) The board comes back from a player's window that ends.
#include "AppTestUmgebung.h"
#include "platform/SurfaceWidget.h"
#include "platform/BildschirmX11.h"
#include "platform/X11Window.h"

// After Qt's headers: Xlib defines macros such as Bool and Status.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vrd4::app::test {
namespace {

using namespace Qt::StringLiterals;

class X11Test : public FensterTest {
 protected:
  X11Test() { echterDesktop = true; }
};

TEST_F(X11Test, PassedOnEventsBecomeTheTitleOfTheEventWindow) {
  QWidget sender;  // stands for the sending program's event window
  const auto id = static_cast<x11::WindowId>(sender.winId());
  gv::clsVRD4EventFensterHandle().SetMemory(QString::number(id).toStdU16String());
  frm->VRD4Event(u"BefehlFehler"_s, u"Größe ä"_s);
  frm->VRD4Event(u"Port"_s, u"3000"_s);  // an acting kind leaves the title alone
  EXPECT_EQ(x11::windowText(id), u"BefehlFehler;Größe ä");
}

// Windows as a window manager arranges them, made on a connection of our own.
class Fensterbaum {
 public:
  Fensterbaum() : d_(XOpenDisplay(nullptr)) {}
  ~Fensterbaum() {
    if (!d_) return;
    for (auto it = fenster_.rbegin(); it != fenster_.rend(); ++it) XDestroyWindow(d_, *it);
    XCloseDisplay(d_);
  }
  Fensterbaum(const Fensterbaum&) = delete;
  Fensterbaum& operator=(const Fensterbaum&) = delete;
  bool ok() const { return d_ != nullptr; }

  // A child of parent (0: the root) at (x, y); a program's window when it
  // gets WM_STATE, a frame or wrapper of the window manager otherwise.
  Window neu(Window parent, int x, int y, int w, int h, const char* titel = nullptr, bool wmState = false) {
    if (!parent) parent = DefaultRootWindow(d_);
    const Window f = XCreateSimpleWindow(d_, parent, x, y, unsigned(w), unsigned(h), 0, 0, 0);
    if (titel) XStoreName(d_, f, titel);
    if (wmState) {
      const long zustand[2] = {1, 0};  // NormalState, no icon
      const Atom a = XInternAtom(d_, "WM_STATE", False);
      XChangeProperty(d_, f, a, a, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(zustand), 2);
    }
    fenster_.push_back(f);
    XMapWindow(d_, f);
    XSync(d_, False);
    return f;
  }
  void zerstoeren(Window f) {
    XDestroyWindow(d_, f);
    fenster_.erase(std::remove(fenster_.begin(), fenster_.end(), f), fenster_.end());
    XSync(d_, False);
  }

 private:
  Display* d_;
  std::vector<Window> fenster_;
};

TEST_F(X11Test, DisplayWindowIsFoundInsideFrameAndWrapperButNotInLowerCase) {
  Fensterbaum baum;
  ASSERT_TRUE(baum.ok());
  // KWin: frame, wrapper, client; created first, so lowest in the stack.
  const Window rahmen = baum.neu(0, 100, 50, 820, 640);
  const Window huelle = baum.neu(rahmen, 4, 30, 800, 600);
  const Window player = baum.neu(huelle, 0, 0, 800, 600, "Display - Pelmor Player", true);
  // Above it: another program in a plain frame, and titles that only look alike.
  baum.neu(baum.neu(0, 0, 0, 300, 200), 2, 20, 290, 170, "Anzeige", true);
  baum.neu(0, 0, 0, 300, 200, "display klein", true);
  baum.neu(baum.neu(0, 0, 0, 300, 200), 2, 20, 290, 170, "DISPLAY", true);
  const auto gefunden = x11::findDisplayWindow();
  ASSERT_TRUE(gefunden.has_value());
  EXPECT_EQ(gefunden->id, player);
  EXPECT_EQ(std::tuple(gefunden->rect.left, gefunden->rect.top, gefunden->rect.right, gefunden->rect.bottom),
            std::tuple(104, 80, 904, 680));
}

// The player's window ends while our board sits in it: the board's native
// window dies with it, and the board comes back into our window.
TEST_F(FensterTest, BoardReturnsFromAnEndedPlayerWindowOnTheRealServer) {
  Fensterbaum baum;
  ASSERT_TRUE(baum.ok());
  desktop.echtesX = desktop.player = true;
  const Window player = baum.neu(0, 0, 0, 640, 400, "Display", true);
  desktop.anzeige = x11::FoundWindow{player, {0, 0, 640, 400}};
  frm->show();
  frm->cmdFensterSyncronisieren_Click();
  ASSERT_TRUE(frm->tafelImPlayer());
  baum.zerstoeren(player);
  uhr.t += Anzeigetafel::kPruefSekunden;
  tick();
  EXPECT_FALSE(frm->tafelImPlayer());
  EXPECT_TRUE(x11::fensterLebt(frm->picVRD4EmpfangWidget()->winId())) << "the board has a live window";
  frm->VRD4Empfaenger()->Rechteck(1, 1, 20, 20, 1, 0x0000FF, true);
  QApplication::processEvents();
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->grab().toImage().pixelColor(5, 5), QColor(255, 0, 0)) << "and draws";
}

}  // namespace
}  // namespace vrd4::app::test
