// Under a real X server: passed-on events become the title of the sending
// program's event window. (The snapshot read back from the screen is checked
// end to end.)
#include "AppTestUmgebung.h"
#include "platform/X11Window.h"

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

}  // namespace
}  // namespace vrd4::app::test
