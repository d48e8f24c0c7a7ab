// Taking commands from the ring: in slot order, waiting after the slot
// written last, also when the sender keeps all 100 slots full; what is
// shown, run, reported and passed on.
#include "EngineTestSupport.h"
#include "engine/EmpfaengerImpl.h"

namespace vrd4::engine::test {
namespace {

// A command that only raises an event, and that event.
std::u16string ip(const std::u16string& adresse) { return befehl({u"IPAdresse", adresse}); }
Ereignis ipE(const char* adresse) { return {QStringLiteral("IPAdresse"), QString::fromUtf8(adresse)}; }
const QString kFehler = QStringLiteral("BefehlFehler");
using Ring = EngineTest;

// Each command here costs 3 ms of the clock; a step may spend 8 ms.
class RingMitKosten : public EngineTest {
 protected:
  void VRD4Event(const QString& art, const QString& meldung) override {
    EngineTest::VRD4Event(art, meldung);
    t += 0.003;
  }
};

TEST_F(RingMitKosten, StepTakesFollowingCommandsWithinItsBudgetButStopsAtAPauseAForeignTextOrTheCounter) {
  schritt(2);
  EXPECT_TRUE(labels.empty()) << "an empty ring shows nothing";
  for (const char16_t* a : {u"a", u"b", u"c", u"d", u"e"}) senden(ip(a));
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("a"), ipE("b"), ipE("c"))) << "9 ms spent after the third";
  EXPECT_EQ(labels.front(), QString::fromStdU16String(ip(u"a")) + " * 0");
  EXPECT_EQ(list.front(), QString::fromStdU16String(ip(u"a")) + " - 0");
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"2");
  schritt();
  EXPECT_EQ(events.size(), 5u);
  EXPECT_EQ(engine->Lesezeiger(), 5) << "waits after the slot written last";
  schritt(2);
  EXPECT_EQ(events.size(), 5u);
  const std::function<bool()> ruhe = engine->ruheBlick();
  ASSERT_TRUE(ruhe && ruhe()) << "nothing to do: a look without the lock can wait in the step's place";

  events.clear();
  senden(ip(u"f"));
  EXPECT_FALSE(ruhe()) << "a new command ends the rest";
  senden(befehl({u"PauseAnzeigeZiel", u"100"}));
  senden(ip(u"g"));
  senden(u"Hallo");
  senden(ip(u"h"));
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("f"))) << "the pause holds back g in the same step";
  EXPECT_FALSE(engine->ruheBlick()) << "a pending pause needs the steps";
  t += 0.9;
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("f"))) << "still paused";
  t += 0.2;
  labels.clear();
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("f"), ipE("g")));
  EXPECT_EQ(labels.size(), 1u) << "the foreign text waits for a step of its own";
  schritt(2);
  EXPECT_THAT(events, ElementsAre(ipE("f"), ipE("g"), ipE("h")));
  EXPECT_EQ(gv::Sendetexte(8).GetMemory(), u"Hallo");
}

// A sender that writes whenever its next slot is empty, as fast as it can:
// it gets a turn while each command runs (after the receiver has emptied the
// slot, before it looks at the counter) and before each step, so all 100
// slots stay full and the slot just taken is refilled at once.
class RingVoll : public EngineTest {
 protected:
  void VRD4Event(const QString& art, const QString& meldung) override {
    EngineTest::VRD4Event(art, meldung);
    nachschieben();
  }
  void nachschieben() {
    while (gesendet < ziel && gv::Sendetexte(schreibzeiger).GetMemory().empty())
      senden(ip(QString::number(gesendet++).toStdU16String()));
  }
  int gesendet = 0, ziel = 0;
};

TEST_F(RingVoll, EveryCommandRunsOnceInOrderInThreeBurstsOf150) {
  for (ziel = 150; ziel <= 450; ziel += 150)
    for (int i = 0; i < 20 && events.size() < std::size_t(ziel); ++i) nachschieben(), schritt();
  std::vector<QString> erwartet, gelaufen;
  for (int i = 0; i < 450; ++i) erwartet.push_back(QString::number(i));
  for (const Ereignis& e : events) gelaufen.push_back(e.second);
  EXPECT_EQ(gelaufen, erwartet);
}

TEST_F(Ring, BadCommandsAreTakenFromTheirSlotAndNothingElseIsLost) {
  const Ereignis unbekannt{kFehler, QString::fromUtf8("Falsche Abfragetext: Kreis\r\noder VRD4-Modul noch nicht geöffnet!")};
  senden(befehl({u"Kreis", u"1"}));
  senden(befehl({u"Linie", u"abc"}));
  senden(ip(u"b"));
  // A field that does not convert passes out of the step (which ends there);
  // the tick reports it.
  EXPECT_THROW(engine->Zeitschleife(), protocol::FeldFehler);
  EXPECT_EQ(engine->befehlsname(), QStringLiteral("Linie"));
  EXPECT_EQ(gv::Sendetexte(0).GetMemory() + gv::Sendetexte(1).GetMemory(), u"");
  EXPECT_THAT(events, ElementsAre(unbekannt));
  schritt(2);
  EXPECT_THAT(events, ElementsAre(unbekannt, ipE("b")));
}

// A sender that starts again at slot 0 (a new sender object) fills the slot
// behind the receiver's index: a lap of empty slots takes the receiver there.
// A counter outside the ring walks on instead of stalling.
TEST_F(Ring, ASenderStartingAgainBehindTheIndexIsFollowedAndACounterOutsideTheRingWalksOn) {
  senden(ip(u"a"));
  schritt();
  schreibzeiger = 0;
  senden(ip(u"b"));
  schritt(2);
  EXPECT_THAT(events, ElementsAre(ipE("a"), ipE("b")));
  EXPECT_EQ(engine->Lesezeiger(), 1);
  gv::Sendetexte(2).SetMemory(ip(u"x"));
  gv::clsVRD4LetzteGesendete().SetMemory(u"500");
  schritt(2);
  EXPECT_THAT(events, ElementsAre(ipE("a"), ipE("b"), ipE("x")));
  gv::clsVRD4LetzteGesendete().SetMemory(u"-7");
  schritt(200);
  EXPECT_TRUE(engine->Lesezeiger() >= 0 && engine->Lesezeiger() <= 99) << engine->Lesezeiger();
}

TEST(PelmorPlayer, WindowsOrNativeNameInAnyCaseCounts) {
  EXPECT_TRUE(istPelmorPlayerName("pElMoR pLaYeR.ExE") && istPelmorPlayerName("pelmor player"));
  EXPECT_FALSE(istPelmorPlayerName("Pelmor Player2") || istPelmorPlayerName(""));
}

// The fixture is Client2 as the network relay offers it: it records what it is given.
class Weiterleitung : public EngineTest, public Weitergabe {
 protected:
  Weitergabe* weitergabe() override { return this; }
  bool offen() const override { return true; }
  void senden(const std::u16string& line) override { sent.push_back(line); }
  std::vector<std::u16string> sent;
};

TEST_F(Weiterleitung, PicturesGoOutWithTheirBytesInHexMissingOrEmptyOnesAreReportedAndNeitherSentNorRun) {
  const std::u16string leer = datenDatei("leer.bin"), pfad = datenDatei("rot_4x4.bmp");
  for (const std::u16string& p : {std::u16string(u"/nicht/da/bild.gif"), leer})
    ausfuehren({u"AniGifLadenanPosition", p, u"1", u"1", u"10", u"10", u"0", u"0", u""});
  EXPECT_TRUE(sent.empty());
  EXPECT_THAT(events, ElementsAre(Ereignis{kFehler, "Bild: /nicht/da/bild.gif - nicht gefunden oder sonstiger Fehler!"},
                                  Ereignis{kFehler, "Bild: " + QString::fromStdU16String(leer) +
                                                        QString::fromUtf8(" - Dateigröße wurde falsch eingelesen!")}));
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"0") << "a refused load answers, and no slot";
  events.clear();
  ausfuehren({u"BildAnzeigen", pfad, u"-1", u"0"});
  ASSERT_EQ(sent.size(), 1u);
  const auto felder = protocol::zerlegen(sent[0]);
  ASSERT_EQ(felder.size(), 14u);
  EXPECT_EQ(felder[1] + u"|" + felder[2], u"BildAnzeigen|" + pfad);
  EXPECT_EQ(felder[5].size(), 2 * 102u);  // the file: "BM", its size, zero bytes, ..., a red pixel
  EXPECT_EQ(felder[5].substr(0, 16) + felder[5].substr(felder[5].size() - 6), u"424D660000000000" u"0000FF");
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(farbeBei(0, 0), 0x0000FFu) << "shown from the file's bytes";
}

}  // namespace
}  // namespace vrd4::engine::test
