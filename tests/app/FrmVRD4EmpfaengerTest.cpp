// The main window with the real engine over a channel of its own, a desktop
// fake and a clock moved by hand, offscreen: event handler, tick, activation,
// settings, full screen, synchronisation with the player.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTest>

#include "AppTestUmgebung.h"
#include "platform/MessageBox.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::app::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace Qt::StringLiterals;

// --- event handler --------------------------------------------------------------

TEST_F(FensterTest, PassedOnEventsAreWrittenAndSentToAValidWindowButIdenticalOnesOnlyOnce) {
  for (const char16_t* h : {u"", u"0", u"abc", u"4294967296"}) {  // no window to send to
    gv::clsVRD4EventFensterHandle().SetMemory(h);
    frm->VRD4Event(u"Fehler"_s, QString::fromStdU16String(h));
    EXPECT_EQ(event(), u"Fehler;" + std::u16string(h));
  }
  gv::clsVRD4EventFensterHandle().SetMemory(u"4242");
  frm->VRD4Event(u"BlinktextNr"_s, u"3"_s);
  gv::clsVRD4Event().SetMemory(u"");
  frm->VRD4Event(u"BlinktextNr"_s, u"3"_s);
  EXPECT_EQ(event(), u"") << "the repeated event is not written again";
  frm->VRD4Event(u"BlinktextNr"_s, u"4"_s);
  EXPECT_EQ(event(), u"BlinktextNr;4") << "same kind, other message: handled";
  EXPECT_THAT(desktop.titel, ElementsAre(std::pair(4242ul, std::u16string(u"BlinktextNr;3")),
                                         std::pair(4242ul, std::u16string(u"BlinktextNr;4"))));
}

// --- tick -------------------------------------------------------------------------

TEST_F(FensterTest, ErrorInsideTheTickBecomesACommandErrorAndTheNextTickWorks) {
  senden(befehl({u"Linie", u"x", u"1", u"10", u"1", u"1", u"255"}));
  tick();
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"0");
  EXPECT_TRUE(event().starts_with(u"BefehlFehler;Fehler in Linie: "));
  senden(befehl({u"Rechteck", u"1", u"1", u"10", u"10", u"1", u"65280", u"-1"}));
  tick();
  tick();
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"1");
  EXPECT_EQ(board().image().pixelColor(5, 5), QColor(0, 255, 0));
  EXPECT_TRUE(ctl<QLabel>("Label99Wert")->text().startsWith(u"Befehl"_s));
}

TEST_F(FensterTest, EndRequestMinusOneUnloadsTheWindow) {
  for (const char16_t* keinEnde : {u"", u"1", u"-2"}) {
    gv::clsVRD4ProgrammBeenden().SetMemory(keinEnde);
    tick();
    ASSERT_FALSE(frm->entladen());
  }
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  tick();
  EXPECT_TRUE(frm->entladen());
  EXPECT_EQ(frm->VRD4Empfaenger(), nullptr) << "the engine is released";
  tick();  // a late tick finds nothing to do
}

// --- activation, settings ------------------------------------------------------------

TEST_F(FensterTest, ActivationRunsOnceAndTicksUntilTheEndRequest) {
  gv::clsVRD4EventFensterHandle().SetMemory(u"123456");
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();  // returns once the first tick has unloaded the window
  frm->Form_Activate();
  EXPECT_TRUE(frm->entladen());
  EXPECT_THAT(schlaefe, ElementsAre(10));
  auto* liste = ctl<QListWidget>("List1");
  ASSERT_EQ(liste->count(), 1);
  EXPECT_EQ(liste->item(0)->text(), u"EventFensterHwnd aus Sender: 123456"_s);
}

// --- placement ------------------------------------------------------------------------

class MeldungsRecorder final : public platform::MessageBoxSink {
 public:
  MeldungsRecorder() { platform::setMessageBoxSink(this); }
  ~MeldungsRecorder() override { platform::setMessageBoxSink(nullptr); }
  void show(const std::u16string& text, const std::u16string&, platform::MeldungsStil) override { texte.push_back(text); }
  std::vector<std::u16string> texte;
};

}  // namespace
}  // namespace vrd4::app::test
