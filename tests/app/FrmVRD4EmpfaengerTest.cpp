// The main window with the real engine over a channel of its own, a desktop
// fake and a clock moved by hand: tick, event handler, load/activation/unload.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "AppTestUmgebung.h"
#include "app/FrmVRD4Empfaenger.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Surface.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::app::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using namespace Qt::StringLiterals;

[[maybe_unused]] auto* const g_umgebung =
    ::testing::AddGlobalTestEnvironment(new QtUmgebung("t_app_"));

constexpr x11::WindowId kEventFenster = 4242;

class FensterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Umgebung u;
    u.clock = &uhr;
    u.desktop = &desktop;
    u.programFolder = ordner.pfad();
    u.sleeper = [this](int32_t ms) { schlaefe.push_back(ms); };
    frm = std::make_unique<FrmVRD4Empfaenger>(u);
    frm->Form_Load();
    ASSERT_NE(frm->VRD4Empfaenger(), nullptr);
  }
  void TearDown() override { frm.reset(); }

  template <typename T>
  T* ctl(const char* name) {
    T* w = frm->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QListWidget* liste() { return ctl<QListWidget>("List1"); }
  static std::u16string event() { return gv::clsVRD4Event().GetMemory(); }
  void eventFensterSetzen(const std::u16string& h) { gv::clsVRD4EventFensterHandle().SetMemory(h); }

  TempOrdner ordner;
  HandUhr uhr;
  FakeDesktop desktop;
  std::vector<int32_t> schlaefe;
  RingSender sender;
  std::unique_ptr<FrmVRD4Empfaenger> frm;
};

// --- event handler -----------------------------------------------------------

TEST_F(FensterTest, IdenticalEventsInARowAreHandledOnce) {
  eventFensterSetzen(u"4242");
  frm->VRD4Event(u"BlinktextNr"_s, u"3"_s);
  EXPECT_EQ(event(), u"BlinktextNr;3");
  gv::clsVRD4Event().SetMemory(u"");

  frm->VRD4Event(u"BlinktextNr"_s, u"3"_s);
  EXPECT_EQ(event(), u"") << "the repeated event is not written again";
  EXPECT_EQ(desktop.titel.size(), 1u) << "and not sent again";

  frm->VRD4Event(u"BlinktextNr"_s, u"4"_s);
  EXPECT_EQ(event(), u"BlinktextNr;4") << "same kind, other message: handled";
  ASSERT_EQ(desktop.titel.size(), 2u);
  EXPECT_EQ(desktop.titel[1], std::make_pair(kEventFenster, std::u16string(u"BlinktextNr;4")));
}

struct HandelndeArt {
  const char* name;
  QString art;
  QString meldung;
};

class HandelndeArtTest : public FensterTest, public ::testing::WithParamInterface<HandelndeArt> {};

TEST_P(HandelndeArtTest, IsShownButNeverPassedOn) {
  eventFensterSetzen(u"4242");
  const auto& p = GetParam();
  frm->VRD4Event(p.art, p.meldung);
  EXPECT_EQ(event(), u"");
  EXPECT_THAT(desktop.titel, IsEmpty());
  auto* label = ctl<QLabel>("LabelGAKomFehler");
  EXPECT_EQ(label->text(), p.art + u";"_s + p.meldung);
  EXPECT_FALSE(label->isHidden());
}

INSTANTIATE_TEST_SUITE_P(VierArten, HandelndeArtTest,
                         ::testing::Values(HandelndeArt{"IPAdresse", u"IPAdresse"_s, u"192.168.0.50"_s},
                                           HandelndeArt{"Port", u"Port"_s, u"3010"_s},
                                           HandelndeArt{"ServerStarten", u"Server starten"_s, {}},
                                           HandelndeArt{"ClientVerbinden", u"Client verbinden"_s, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FensterTest, AddressAndPortEventsFillTheBoxesAndTheRememberedValues) {
  frm->VRD4Event(u"IPAdresse"_s, u"10.1.2.3"_s);
  frm->VRD4Event(u"Port"_s, u"3333"_s);
  EXPECT_EQ(ctl<QLineEdit>("txtIPAdresse1")->text(), u"10.1.2.3"_s);
  EXPECT_EQ(ctl<QLineEdit>("txtT_Port1")->text(), u"3333"_s);
  EXPECT_EQ(frm->gemerkteAdresse(), u"10.1.2.3"_s);
  EXPECT_EQ(frm->gemerkterPort(), u"3333"_s);
}

struct WeitergegebeneArt {
  const char* name;
  QString art;
  QString meldung;
};

class WeitergegebeneArtTest : public FensterTest, public ::testing::WithParamInterface<WeitergegebeneArt> {};

TEST_P(WeitergegebeneArtTest, IsWrittenToTheEventVariableAndSetOnTheEventWindow) {
  eventFensterSetzen(u"4242");
  const auto& p = GetParam();
  frm->VRD4Event(p.art, p.meldung);
  const std::u16string s = (p.art + u";"_s + p.meldung).toStdU16String();
  EXPECT_EQ(event(), s);
  EXPECT_THAT(desktop.titel, ElementsAre(std::make_pair(kEventFenster, s)));
}

INSTANTIATE_TEST_SUITE_P(
    AndereArten, WeitergegebeneArtTest,
    ::testing::Values(WeitergegebeneArt{"BefehlFehler", u"BefehlFehler"_s, u"Bild: x.bmp - nicht gefunden"_s},
                      WeitergegebeneArt{"AniGifNr", u"AniGifNr"_s, u"2"_s},
                      WeitergegebeneArt{"BlinktextNr", u"BlinktextNr"_s, u"1"_s},
                      WeitergegebeneArt{"LauftextNr", u"LauftextNr"_s, u"10"_s},
                      WeitergegebeneArt{"LaufvariableNr", u"LaufvariableNr"_s, u"5"_s},
                      WeitergegebeneArt{"Fehler", u"Fehler"_s, u"Umlaute äöü"_s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FensterTest, WithoutEventWindowTheEventIsStillWrittenButNotSent) {
  for (const char16_t* h : {u"", u"0", u"abc"}) {
    eventFensterSetzen(h);
    frm->VRD4Event(u"BlinktextNr"_s, QString::fromStdU16String(h) + u"x"_s);
    EXPECT_EQ(event(), u"BlinktextNr;" + std::u16string(h) + u"x");
  }
  EXPECT_THAT(desktop.titel, IsEmpty());
}

TEST_F(FensterTest, EventWithSevenListEntriesEmptiesTheListFirst) {
  for (int i = 0; i < 7; ++i) frm->addListEntry(QString::number(i));
  frm->VRD4Event(u"BlinktextNr"_s, u"1"_s);
  EXPECT_EQ(liste()->count(), 0);
}

// --- tick ----------------------------------------------------------------------

TEST_F(FensterTest, ListWithSixEntriesStaysAtATickAndSevenAreEmptied) {
  for (int i = 0; i < 6; ++i) frm->addListEntry(QString::number(i));
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(liste()->count(), 6);
  frm->addListEntry(u"7"_s);
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(liste()->count(), 0);
}

TEST_F(FensterTest, TickTakesOneCommandFromTheRing) {
  sender.senden(befehl({u"Rechteck", u"1", u"1", u"768", u"480", u"1", u"255", u"-1"}));
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"0");
  EXPECT_EQ(frm->picVRD4Empfang().image().pixelColor(300, 200), QColor(255, 0, 0));
  EXPECT_THAT(ctl<QLabel>("Label99Wert")->text().toStdString(), StartsWith("Befehl"));
}

TEST_F(FensterTest, EndRequestMinusOneUnloadsTheWindow) {
  for (const char16_t* keinEnde : {u"0", u"", u"1", u"-2"}) {
    gv::clsVRD4ProgrammBeenden().SetMemory(keinEnde);
    frm->TimerVRD4Empfang_Timer();
    ASSERT_FALSE(frm->entladen()) << "end request \"" << QString::fromStdU16String(keinEnde).toStdString() << "\"";
  }
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->TimerVRD4Empfang_Timer();
  EXPECT_TRUE(frm->entladen());
  EXPECT_EQ(frm->VRD4Empfaenger(), nullptr) << "the engine is released";
  EXPECT_FALSE(frm->isVisible());
  frm->TimerVRD4Empfang_Timer();  // a late tick finds nothing to do
}

TEST_F(FensterTest, ErrorInsideTheTickBecomesACommandErrorAndTheNextTickWorks) {
  sender.senden(befehl({u"Linie", u"x", u"1", u"10", u"1", u"1", u"255"}));
  frm->TimerVRD4Empfang_Timer();
  EXPECT_THAT(QString::fromStdU16String(event()).toStdString(), StartsWith("BefehlFehler;Fehler in Linie: "));
  EXPECT_FALSE(frm->entladen());

  sender.senden(befehl({u"Rechteck", u"1", u"1", u"10", u"10", u"1", u"65280", u"-1"}));
  frm->TimerVRD4Empfang_Timer();  // walks from slot 0 to slot 1
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"1");
  EXPECT_EQ(frm->picVRD4Empfang().image().pixelColor(5, 5), QColor(0, 255, 0));
}

TEST_F(FensterTest, UnknownCommandIsReportedAsCommandError) {
  sender.senden(befehl({u"cls"}));
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(event(), u"BefehlFehler;Falsche Abfragetext: cls\r\noder VRD4-Modul noch nicht geöffnet!");
}

TEST_F(FensterTest, CallerWindowIsActivatedOnceWhenItsHandleAppears) {
  frm->TimerVRD4Empfang_Timer();
  gv::clsVRD4AufrufFensterhandle().SetMemory(u"abc");
  frm->TimerVRD4Empfang_Timer();
  EXPECT_THAT(desktop.aktiviert, IsEmpty());
  gv::clsVRD4AufrufFensterhandle().SetMemory(u"777");
  frm->TimerVRD4Empfang_Timer();
  frm->TimerVRD4Empfang_Timer();
  gv::clsVRD4AufrufFensterhandle().SetMemory(u"778");
  frm->TimerVRD4Empfang_Timer();
  EXPECT_THAT(desktop.aktiviert, ElementsAre(777u));
}

TEST_F(FensterTest, RateLabelsCountTicksPerSecondOfTheClock) {
  auto* rate = ctl<QLabel>("Label2");
  auto* zaehler = ctl<QLabel>("Label3");
  frm->TimerVRD4Empfang_Timer();  // the first tick always updates the rate
  EXPECT_EQ(rate->text(), u"1"_s);
  uhr.t += 0.5;
  frm->TimerVRD4Empfang_Timer();
  uhr.t += 0.5;  // exactly one second: not yet "more than" one
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(zaehler->text(), u"2"_s);
  EXPECT_EQ(rate->text(), u"1"_s);
  uhr.t += 0.5;
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(rate->text(), u"3"_s);
  EXPECT_EQ(zaehler->text(), u"3"_s);
}

TEST_F(FensterTest, RunningCountIsRepaintedAtMostTwiceASecond) {
  auto* zaehler = ctl<QLabel>("Label3");
  frm->TimerVRD4Empfang_Timer();
  uhr.t += 0.6;
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(zaehler->text(), u"1"_s);
  uhr.t += 0.2;
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(zaehler->text(), u"1"_s) << "too soon after the last refresh";
  uhr.t += 0.35;
  frm->TimerVRD4Empfang_Timer();
  EXPECT_EQ(zaehler->text(), u"3"_s);
}

// --- activation and unload -------------------------------------------------------

TEST_F(FensterTest, ActivationStartsUpAndRunsTheTickLoopUntilTheEndRequest) {
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();  // returns once the first tick has unloaded the window
  EXPECT_TRUE(frm->entladen());
  EXPECT_THAT(schlaefe, ElementsAre(10));
  EXPECT_EQ(liste()->item(0)->text(), u"EventFensterHwnd aus Sender: 0"_s);
  EXPECT_EQ(ctl<QLabel>("Label3")->text(), u"1"_s);
  EXPECT_FALSE(ctl<QLineEdit>("txtTwipsperPixelX")->text().isEmpty());
  EXPECT_FALSE(ctl<QLineEdit>("txtTwipsPerPixelY")->text().isEmpty());
  EXPECT_THAT(ctl<QGroupBox>("CtlFraFuerServerdaten")->toolTip().toStdString(),
              StartsWith("Server automatisch starten und 'Button starten'"));
  EXPECT_THAT(ctl<QGroupBox>("CtlFraFuerClientdaten")->toolTip().toStdString(),
              StartsWith("Client automatisch starten und 'Button verbinden'"));
  EXPECT_TRUE(ctl<QPushButton>("cmdTransferTest")->isHidden());
  EXPECT_EQ(frm->picVRD4Empfang().widthPx(), 768);
  EXPECT_EQ(frm->picVRD4Empfang().heightPx(), 480);
  EXPECT_EQ(frm->picVRD4Empfang().backColor(), 0x000000u);
  EXPECT_EQ(frm->picVRD4Empfang().foreColor(), 0xFFFFFFu);
}

TEST_F(FensterTest, ActivationShowsTheEventWindowHandleFromTheSender) {
  eventFensterSetzen(u"123456");
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();
  EXPECT_EQ(liste()->item(0)->text(), u"EventFensterHwnd aus Sender: 123456"_s);
}

TEST_F(FensterTest, ActivationWithThePlayerRunningMovesTheSurfaceIntoItsDisplay) {
  desktop.player = true;
  desktop.anzeige = x11::FoundWindow{99, {10, 20, 1034, 620}};
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();
  EXPECT_EQ(frm->tafelBreite(), 1024);
  EXPECT_EQ(frm->tafelHoehe(), 600);
  ASSERT_EQ(desktop.umgehaengt.size(), 1u);
  EXPECT_EQ(desktop.umgehaengt[0].second, 99u);
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->pos(), QPoint(0, 0));
  EXPECT_EQ(frm->picVRD4Empfang().widthPx(), 768) << "the player's size waits for the next sizing";
}

TEST_F(FensterTest, PlayerWindowWithoutWidthTakesItsSizeButIsNotEntered) {
  desktop.player = true;
  desktop.anzeige = x11::FoundWindow{99, {10, 20, 10, 620}};
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();
  EXPECT_EQ(frm->tafelBreite(), 0);
  EXPECT_EQ(frm->tafelHoehe(), 600);
  EXPECT_THAT(desktop.umgehaengt, IsEmpty());
}

TEST_F(FensterTest, ActivationRunsOnce) {
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  frm->Form_Activate();
  frm->Form_Activate();
  EXPECT_THAT(schlaefe, ElementsAre(10));
  EXPECT_EQ(liste()->count(), 1);
}

TEST_F(FensterTest, ClosingTheWindowRunsTheTeardown) {
  frm->close();
  EXPECT_TRUE(frm->entladen());
  EXPECT_EQ(frm->VRD4Empfaenger(), nullptr);
}

// --- settings panel ---------------------------------------------------------------

TEST_F(FensterTest, TheTwoAutomaticBoxesExcludeEachOther) {
  auto* client = ctl<QCheckBox>("chkClientAutomatischVerbinden");
  auto* server = ctl<QCheckBox>("chkServerAutomatischStarten");
  client->setChecked(true);
  server->setChecked(true);
  EXPECT_FALSE(client->isChecked());
  client->setChecked(true);
  EXPECT_FALSE(server->isChecked());
  client->setChecked(false);
  EXPECT_FALSE(server->isChecked()) << "clearing a box changes nothing else";
}

TEST_F(FensterTest, FontFactorBoxSetsTheEngineFactorAndIgnoresNonNumbers) {
  auto* box = ctl<QLineEdit>("txtFontGroessenfaktor");
  box->setText(u"1,5"_s);
  EXPECT_DOUBLE_EQ(frm->VRD4Empfaenger()->FontGroessenFaktor, 1.5);
  box->setText(u"abc"_s);
  EXPECT_DOUBLE_EQ(frm->VRD4Empfaenger()->FontGroessenFaktor, 1.5);
  box->setText(u""_s);
  EXPECT_DOUBLE_EQ(frm->VRD4Empfaenger()->FontGroessenFaktor, 1.5);
}

struct FaktorZeile {
  const char* name;
  QString text;
  std::optional<double> zahl;
};

class FaktorTextTest : public ::testing::TestWithParam<FaktorZeile> {};

TEST_P(FaktorTextTest, ReadsCommaOrPointAsDecimalSeparator) {
  EXPECT_EQ(zahlAusFaktorText(GetParam().text), GetParam().zahl);
}

INSTANTIATE_TEST_SUITE_P(Texte, FaktorTextTest,
                         ::testing::Values(FaktorZeile{"DesignWert", u"0,75"_s, 0.75},
                                           FaktorZeile{"Punkt", u"0.5"_s, 0.5},
                                           FaktorZeile{"Ganzzahl", u"2"_s, 2.0},
                                           FaktorZeile{"MitBlanks", u" 1,25 "_s, 1.25},
                                           FaktorZeile{"Leer", u""_s, std::nullopt},
                                           FaktorZeile{"Buchstaben", u"abc"_s, std::nullopt},
                                           FaktorZeile{"Tausender", u"1.000,5"_s, std::nullopt},
                                           FaktorZeile{"Rest", u"0,75x"_s, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FensterTest, EveryNamedControlExists) {
  for (const char* name :
       {"picVRD4Empfang", "Label99Wert", "List1", "ButtonListeClear", "LabelGAKomFehler", "Label2", "Label3",
        "txtFontGroessenfaktor", "lblConnectFehler", "cmdBitmapVollbild", "cmdBoxSpeichern",
        "cmdFensterSyncronisieren", "cmdTransferTest", "CtlFraFuerServerdaten", "CtlFraFuerClientdaten",
        "CtlFraWeiterleitenAn", "CtlFraDiverses", "txtT_Port1", "lblKommunikationsport1", "cmdServerStarten",
        "chkServerAutomatischStarten", "txtIPAdresse1", "cmdClient2Connect", "chkClientAutomatischVerbinden",
        "ctlProgressbar1", "lblLocalhostOder", "txtIPAdresse2", "lblIPAdresse2", "txtT_Port2", "lblPort2",
        "cmdClient3Connect", "cmdParameterSpeichern", "txtTwipsperPixelX", "txtTwipsPerPixelY"}) {
    EXPECT_NE(frm->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  }
  EXPECT_EQ(ctl<QGroupBox>("CtlFraFuerClientdaten")->title(), u"Clientdaten (VRD4 ist an entferntem Rechner)"_s);
  EXPECT_EQ(ctl<QGroupBox>("CtlFraWeiterleitenAn")->title(), u"Server weiterleiten an"_s);
  EXPECT_EQ(ctl<QGroupBox>("CtlFraDiverses")->title(), u"Diverses"_s);
  EXPECT_TRUE(ctl<QLabel>("LabelGAKomFehler")->isHidden());
  EXPECT_EQ(ctl<QLineEdit>("txtFontGroessenfaktor")->text(), u"0,75"_s);
}

}  // namespace
}  // namespace vrd4::app::test
