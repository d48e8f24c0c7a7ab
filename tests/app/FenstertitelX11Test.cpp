// Under a real X server: passed-on events become the title of the sending
// program's event window, and the snapshot reads the board back from the
// screen.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <memory>

#include "AppTestUmgebung.h"
#include "app/FrmVRD4Empfaenger.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Surface.h"

// After Qt: Xlib defines Bool and Status as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vrd4::app::test {
namespace {

using namespace Qt::StringLiterals;

[[maybe_unused]] auto* const g_umgebung =
    ::testing::AddGlobalTestEnvironment(new QtUmgebung("t_appx11_"));

// The sending program's event window, made with plain Xlib on a connection
// of its own, and its title read back as the window's owner sees it.
class XFenster {
 public:
  XFenster() : dpy_(XOpenDisplay(nullptr)) {
    if (!dpy_) return;
    win_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 50, 20, 0, 0, 0);
    XSync(dpy_, False);
  }
  ~XFenster() {
    if (!dpy_) return;
    XDestroyWindow(dpy_, win_);
    XCloseDisplay(dpy_);
  }
  XFenster(const XFenster&) = delete;
  XFenster& operator=(const XFenster&) = delete;

  bool ok() const { return dpy_ != nullptr; }
  Window id() const { return win_; }

  std::string eigenschaft(const char* name, const char* typ) const {
    const Atom prop = XInternAtom(dpy_, name, False);
    const Atom type = XInternAtom(dpy_, typ, False);
    Atom actual = 0;
    int format = 0;
    unsigned long n = 0, rest = 0;
    unsigned char* data = nullptr;
    std::string wert;
    if (XGetWindowProperty(dpy_, win_, prop, 0, 1 << 16, False, type, &actual, &format, &n, &rest, &data) ==
            Success &&
        data) {
      wert.assign(reinterpret_cast<char*>(data), n);
    }
    if (data) XFree(data);
    return wert;
  }

 private:
  Display* dpy_;
  Window win_ = 0;
};

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    Umgebung u;  // the real X11 desktop
    u.programFolder = ordner.pfad();
    u.sleeper = [](int32_t) {};
    frm = std::make_unique<FrmVRD4Empfaenger>(u);
    frm->Form_Load();
  }
  void TearDown() override { frm.reset(); }

  TempOrdner ordner;
  std::unique_ptr<FrmVRD4Empfaenger> frm;
};

TEST_F(X11Test, PassedOnEventBecomesTheTitleOfTheEventWindow) {
  XFenster fenster;
  ASSERT_TRUE(fenster.ok()) << "no X display";
  gv::clsVRD4EventFensterHandle().SetMemory(RingSender::u16(std::to_string(fenster.id())));

  frm->VRD4Event(u"BefehlFehler"_s, u"Größe ä"_s);

  EXPECT_EQ(fenster.eigenschaft("_NET_WM_NAME", "UTF8_STRING"), "BefehlFehler;Größe ä");
  // WM_NAME carries the Windows-1252 bytes.
  EXPECT_EQ(fenster.eigenschaft("WM_NAME", "STRING"), "BefehlFehler;Gr\xF6\xDF" "e \xE4");
}

TEST_F(X11Test, ActingEventsLeaveTheEventWindowsTitleAlone) {
  XFenster fenster;
  ASSERT_TRUE(fenster.ok());
  gv::clsVRD4EventFensterHandle().SetMemory(RingSender::u16(std::to_string(fenster.id())));
  frm->VRD4Event(u"LauftextNr"_s, u"1"_s);
  frm->VRD4Event(u"Port"_s, u"3000"_s);
  EXPECT_EQ(fenster.eigenschaft("_NET_WM_NAME", "UTF8_STRING"), "LauftextNr;1");
}

TEST_F(X11Test, SnapshotReadsTheBoardBackFromTheScreen) {
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  frm->VRD4Empfaenger()->Rechteck(1, 1, 100, 60, 1, 0x00FF00, true);
  frm->cmdBoxSpeichern_Click();
  const QImage bild(QString::fromStdString(ordner.pfad()) + u"/Picture.bmp"_s);
  ASSERT_FALSE(bild.isNull());
  EXPECT_EQ(bild.size(), QSize(768, 480));
  EXPECT_EQ(bild.pixelColor(50, 30), QColor(0, 255, 0));
  EXPECT_EQ(bild.pixelColor(400, 300), QColor(0, 0, 0));
}

}  // namespace
}  // namespace vrd4::app::test
