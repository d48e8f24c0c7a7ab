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
#include "app/modBildschirmAusschnittSpeichern.h"
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

TEST_F(FensterTest, TheFourActingKindsAreShownButNeverPassedOn) {
  gv::clsVRD4EventFensterHandle().SetMemory(u"4242");
  auto* label = ctl<QLabel>("LabelGAKomFehler");
  for (const auto& [art, meldung] : {std::pair{u"IPAdresse"_s, u"10.1.2.3"_s}, {u"Port"_s, u"3333"_s},
                                     {u"Server starten"_s, QString()}, {u"Client verbinden"_s, QString()}}) {
    frm->VRD4Event(art, meldung);
    EXPECT_EQ(label->text(), art + u";"_s + meldung);
  }
  EXPECT_FALSE(label->isHidden());
  EXPECT_EQ(event(), u"");
  EXPECT_THAT(desktop.titel, IsEmpty());
  EXPECT_EQ(ctl<QLineEdit>("txtIPAdresse1")->text(), u"10.1.2.3"_s);
  EXPECT_EQ(ctl<QLineEdit>("txtT_Port1")->text(), u"3333"_s);
}

TEST_F(FensterTest, ListIsEmptiedAtSevenEntriesByTickAndByEvent) {
  auto* liste = ctl<QListWidget>("List1");
  for (int i = 0; i < 6; ++i) frm->statusanzeige().statusEintrag(u"x"_s);
  tick();
  EXPECT_EQ(liste->count(), 6);
  frm->statusanzeige().statusEintrag(u"x"_s);
  tick();
  EXPECT_EQ(liste->count(), 0);
  for (int i = 0; i < 7; ++i) frm->statusanzeige().statusEintrag(u"x"_s);
  frm->VRD4Event(u"BlinktextNr"_s, u"1"_s);
  EXPECT_EQ(liste->count(), 0);
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

TEST_F(FensterTest, CallerWindowIsActivatedOnceWhenAValidHandleAppears) {
  for (const char16_t* h : {u"", u"abc", u"777", u"778"}) {
    gv::clsVRD4AufrufFensterhandle().SetMemory(h);
    tick();
  }
  EXPECT_THAT(desktop.aktiviert, ElementsAre(777u));
}

TEST_F(FensterTest, RunningCountIsRepaintedTwiceASecondAndTheRateAfterMoreThanOne) {
  // clock, then Label3 (running count) and Label2 (ticks in the last second) after the tick
  for (auto [t, zaehler, rate] : {std::tuple{1000.0, 1, 1}, {1000.5, 1, 1}, {1000.75, 1, 1}, {1001.0, 3, 1},
                                  {1001.25, 3, 4}}) {
    uhr.t = t;
    tick();
    EXPECT_EQ(ctl<QLabel>("Label3")->text(), QString::number(zaehler)) << t;
    EXPECT_EQ(ctl<QLabel>("Label2")->text(), QString::number(rate)) << t;
  }
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

TEST_F(FensterTest, ActivationWithoutSenderWindowListsZeroAndGivesBothFramesTheirHints) {
  for (const char16_t* handle : {u"", u"abc"}) {
    laden(ordner.path().toStdString());
    gv::clsVRD4EventFensterHandle().SetMemory(handle);
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    frm->Form_Activate();
    auto* liste = ctl<QListWidget>("List1");
    ASSERT_EQ(liste->count(), 1);
    EXPECT_EQ(liste->item(0)->text(), u"EventFensterHwnd aus Sender: 0"_s);
  }
  EXPECT_EQ(ctl<QGroupBox>("CtlFraFuerServerdaten")->toolTip(),
            u"Server automatisch starten und 'Button starten' nur wenn VRD4-Farbe an diesem Rechner angeschlossen ist!"_s);
  EXPECT_EQ(ctl<QGroupBox>("CtlFraFuerClientdaten")->toolTip(),
            u"Client automatisch starten und 'Button verbinden' nur wenn VRD4-Farbe an einem anderen Rechner "
            u"angeschlossen ist!"_s);
}

TEST_F(FensterTest, ThePlayersDisplayWindowTakesTheBoardUnlessMissingOrTiny) {
  desktop.player = true;
  struct Fall {
    std::optional<x11::FoundWindow> anzeige;
    QSize tafel;
    bool umgehaengt;
  };
  for (const auto& [anzeige, tafel, umgehaengt] :
       {Fall{x11::FoundWindow{99, {10, 20, 1034, 620}}, {1024, 600}, true},
        Fall{std::nullopt, {768, 480}, false},
        Fall{x11::FoundWindow{98, {10, 20, 10, 620}}, {768, 480}, false},
        Fall{x11::FoundWindow{97, {10, 20, 11, 21}}, {768, 480}, false},
        Fall{x11::FoundWindow{96, {0, 0, 15, 600}}, {768, 480}, false},
        Fall{x11::FoundWindow{95, {0, 0, 16, 16}}, {16, 16}, true}}) {
    desktop.anzeige = anzeige;
    desktop.umgehaengt.clear();
    laden(ordner.path().toStdString());
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    frm->Form_Activate();
    EXPECT_EQ(QSize(frm->tafelBreite(), frm->tafelHoehe()), tafel) << tafel.width();
    frm->GroesseAnpassen();
    EXPECT_EQ(QSize(board().widthPx(), board().heightPx()), tafel);
    EXPECT_EQ(desktop.umgehaengt.size(), umgehaengt ? 1u : 0u) << tafel.width();
  }
}

TEST_F(FensterTest, TheTwoAutomaticBoxesExcludeEachOther) {
  auto* client = ctl<QCheckBox>("chkClientAutomatischVerbinden");
  client->setChecked(true);
  ctl<QCheckBox>("chkServerAutomatischStarten")->setChecked(true);
  EXPECT_FALSE(client->isChecked());
}

TEST_F(FensterTest, FactorBoxSetsTheEngineFactorFromNumbersOnly) {
  auto* faktor = ctl<QLineEdit>("txtFontGroessenfaktor");
  for (const auto& [text, wert] : {std::pair{u" 1,5 "_s, 1.5}, {u"0.5"_s, 0.5}, {u"abc"_s, 0.5}, {u""_s, 0.5},
                                   {u"1.000,5"_s, 0.5}, {u"0,75x"_s, 0.5}}) {
    faktor->setText(text);
    EXPECT_DOUBLE_EQ(frm->VRD4Empfaenger()->FontGroessenFaktor, wert) << text.toStdString();
  }
}

// --- placement ------------------------------------------------------------------------

TEST_F(FensterTest, FullScreenRoundTripWithItsKeys) {
  frm->show();
  auto* box = ctl<QLineEdit>("txtFontGroessenfaktor");
  const QRect vorher = frm->picVRD4EmpfangWidget()->geometry();
  frm->VRD4Empfaenger()->Rechteck(1, 1, 50, 50, 1, 0x0000FF, true);
  QTest::keyClick(frm.get(), Qt::Key_Escape);
  QTest::keyClick(box, Qt::Key_5);
  EXPECT_EQ(box->text(), u"0,755"_s) << "outside full screen keys reach the controls";
  EXPECT_EQ(board().image().pixelColor(10, 10), QColor(255, 0, 0)) << "and ESC does nothing";

  frm->cmdBitmapVollbild_Click();
  ASSERT_TRUE(frm->vollbild());
  const QSize schirm = frm->screen()->geometry().size();
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->geometry(), QRect(QPoint(0, 0), schirm));
  EXPECT_EQ(board().image().pixelColor(10, 10), QColor(0, 0, 0)) << "entering full screen clears";
  EXPECT_EQ(frm->cursor().shape(), Qt::BlankCursor);
  // The scale stays: a box over the whole board in units fills the screen.
  frm->VRD4Empfaenger()->Rechteck(1, 1, 768, 480, 1, 0x00FF00, true);
  EXPECT_EQ(board().image().pixelColor(schirm.width() - 2, schirm.height() - 2), QColor(0, 255, 0));
  QTest::keyClick(box, Qt::Key_A);
  EXPECT_EQ(box->text(), u"0,755"_s) << "letters are swallowed in full screen";

  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->geometry(), vorher);
  EXPECT_EQ(QSize(board().widthPx(), board().heightPx()), QSize(768, 480));
  EXPECT_EQ(board().image().pixelColor(10, 10), QColor(0, 0, 0)) << "leaving full screen clears again";
}

class MeldungsRecorder final : public platform::MessageBoxSink {
 public:
  MeldungsRecorder() { platform::setMessageBoxSink(this); }
  ~MeldungsRecorder() override { platform::setMessageBoxSink(nullptr); }
  void show(const std::u16string& text, const std::u16string&, platform::MeldungsStil) override { texte.push_back(text); }
  std::vector<std::u16string> texte;
};

TEST_F(FensterTest, SyncNeedsThePlayerAndEntersTheDisplayWindowFoundAndTheBoardComesBackWhenItEnds) {
  MeldungsRecorder meldungen;
  auto* liste = ctl<QListWidget>("List1");
  const QPoint platz = frm->picVRD4EmpfangWidget()->pos();
  frm->cmdFensterSyncronisieren_Click();
  EXPECT_THAT(meldungen.texte, ElementsAre(u"Pelmor Player läuft nicht!"));
  desktop.player = true;
  frm->cmdFensterSyncronisieren_Click();  // no display window: none to enter
  EXPECT_EQ(liste->findItems(u"Tafel bleibt im Empfängerfenster"_s, Qt::MatchContains).size(), 1);
  EXPECT_FALSE(frm->tafelImPlayer());
  desktop.anzeige = x11::FoundWindow{77, {0, 0, 1024, 768}};
  frm->cmdFensterSyncronisieren_Click();
  EXPECT_EQ(meldungen.texte.size(), 1u);
  EXPECT_THAT(desktop.umgehaengt, ElementsAre(0u, 77u));
  EXPECT_THAT(desktop.aktiviert, ElementsAre(77u)) << "the player's window comes over ours";
  EXPECT_EQ(frm->windowTitle(), u"VRD4-LCD - Anzeigeempfänger - Breite: 768x Höhe: 480"_s);

  // The player's window ends, and our board's window with it.
  liste->clear();
  desktop.lebt = false;
  tick();
  EXPECT_TRUE(frm->tafelImPlayer()) << "looked at only twice a second";
  uhr.t += Anzeigetafel::kPruefSekunden;
  tick();
  EXPECT_FALSE(frm->tafelImPlayer());
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->parentWidget(), frm.get());
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->pos(), platz);
  EXPECT_EQ(liste->findItems(u"Anzeigefenster des Players beendet: Tafel zurück im Empfängerfenster"_s,
                             Qt::MatchExactly).size(), 1);
}

TEST_F(FensterTest, SnapshotIsA24BitBmpInTheProgramFolderOrAReportWhyNot) {
  frm->cmdBoxSpeichern_Click();
  QFile f(ordner.path() + u"/Picture.bmp"_s);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray kopf = f.read(34);
  EXPECT_TRUE(kopf.startsWith("BM"));
  EXPECT_EQ(kopf.mid(28, 6), QByteArray("\x18\0\0\0\0\0", 6)) << "24 bits per pixel, uncompressed";
  EXPECT_EQ(QImage(f.fileName()).size(), QSize(768, 480));

  // A screen that reads back black (XWayland) or not at all gives the board's
  // own picture; a screen picture with anything on it is what was asked for.
  QImage schwarz(4, 4, QImage::Format_RGB32), rot = schwarz, blau = schwarz;
  schwarz.fill(Qt::black), rot.fill(Qt::red), blau.fill(Qt::blue);
  for (const auto& [schirm, eigenes, erwartet] : {std::tuple{QImage(), rot, rot}, {schwarz, rot, rot},
                                                  {schwarz, schwarz, schwarz}, {blau, rot, blau}})
    EXPECT_EQ(modBildschirmAusschnittSpeichern::BildWaehlen(schirm, eigenes), erwartet);

  laden(ordner.path().toStdString() + "/gibt/es/nicht");
  frm->cmdBoxSpeichern_Click();
  EXPECT_EQ(ctl<QListWidget>("List1")->findItems(u"Picture.bmp nicht gespeichert"_s, Qt::MatchContains).size(), 1);
}

}  // namespace
}  // namespace vrd4::app::test
