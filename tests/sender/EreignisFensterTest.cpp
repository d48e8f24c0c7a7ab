// Events reach the sending program's event window as its text (own X
// server, own channel).
#include "SenderTestBasis.h"
#include "platform/X11Window.h"

#include <X11/Xlib.h>

namespace vrd4::sender::test {
namespace {

const auto* const kKanal = ::testing::AddGlobalTestEnvironment(new EigenerKanal);

TEST_F(SenderTest, EventsBecomeTheEventWindowsTextAndTheReceiversEventsInAReplyWaitToo) {
  Display* d = nullptr;  // a busy server may refuse a connection for a moment
  ASSERT_TRUE(bisZu([&] { return (d = XOpenDisplay(nullptr)) != nullptr; }, 2));
  const Window fenster = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 100, 30, 0, 0, 0);
  XSync(d, False);
  gv::clsVRD4EventFensterHandle().SetMemory(platform::fromUtf8(std::to_string(fenster)));

  sender->Event_Ausloesen(u"BefehlFehler", u"Bild: a.bmp konnte nicht geladen werden!");
  EXPECT_EQ(platform::x11::windowText(fenster), u"BefehlFehler;Bild: a.bmp konnte nicht geladen werden!");
  // The receiver's event, written while a reply command waits, is passed on.
  antwortenBeiDurchlauf = 1;
  antworten = [] {
    gv::clsVRD4Event().SetMemory(u"BlinktextNr;3");
    gv::Sendetexte(0).SetMemory(u"");
    gv::clsVRD4BlinktextNr().SetMemory(u"3");
  };
  EXPECT_EQ(sender->BlinkText(1, 1, 9, 9, u"x", 0, u"Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1), 3);
  EXPECT_EQ(platform::x11::windowText(fenster), u"BlinktextNr;3");
  XCloseDisplay(d);
}

}  // namespace
}  // namespace vrd4::sender::test
