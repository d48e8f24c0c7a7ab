// Taking commands from the ring: in slot order, waiting after the slot
// written last, also when the sender keeps all 100 slots full; what is
// shown, run, reported and passed on.
#include <fcntl.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "EngineTestSupport.h"
#include "engine/EmpfaengerImpl.h"

namespace vrd4::engine::test {
namespace {

// A command that only raises an event, and that event.
std::u16string ip(const std::u16string& adresse) { return befehl({u"IPAdresse", adresse}); }
Ereignis ipE(const char* adresse) { return {QStringLiteral("IPAdresse"), QString::fromUtf8(adresse)}; }
const QString kFehler = QStringLiteral("BefehlFehler");
using Ring = EngineTest;

TEST_F(Ring, WithoutBudgetOneCommandPerStepInSlotOrderWaitingAfterTheSlotWrittenLast) {
  engine->BefehlsBudgetSekunden = 0;
  schritt(2);
  EXPECT_TRUE(labels.empty()) << "an empty ring shows nothing";
  for (const char16_t* a : {u"a", u"b", u"c"}) senden(ip(a));
  schritt();
  EXPECT_THAT(labels, ElementsAre(QString::fromStdU16String(ip(u"a")) + " * 0"));
  EXPECT_THAT(list, ElementsAre(QString::fromStdU16String(ip(u"a")) + " - 0"));
  EXPECT_THAT(events, ElementsAre(ipE("a")));
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"");
  for (int i = 0; i < 6; ++i) {
    schritt();
    EXPECT_LE(engine->Lesezeiger(), 3);
  }
  EXPECT_THAT(events, ElementsAre(ipE("a"), ipE("b"), ipE("c")));
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"2");
}

// Each command here costs 3 ms of the clock; a step may spend 8 ms.
class RingMitKosten : public EngineTest {
 protected:
  void VRD4Event(const QString& art, const QString& meldung) override {
    EngineTest::VRD4Event(art, meldung);
    t += 0.003;
  }
};

TEST_F(RingMitKosten, StepTakesFollowingCommandsWithinItsBudgetButStopsAtAPauseAForeignTextOrTheCounter) {
  for (const char16_t* a : {u"a", u"b", u"c", u"d", u"e"}) senden(ip(a));
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("a"), ipE("b"), ipE("c"))) << "9 ms spent after the third";
  schritt();
  EXPECT_EQ(events.size(), 5u);
  EXPECT_EQ(engine->Lesezeiger(), 5) << "waits after the slot written last";
  schritt(2);
  EXPECT_EQ(events.size(), 5u);

  events.clear();
  senden(ip(u"f"));
  senden(befehl({u"PauseAnzeigeZiel", u"100"}));
  senden(ip(u"g"));
  senden(u"Hallo");
  senden(ip(u"h"));
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("f"))) << "the pause holds back g in the same step";
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

TEST_F(Ring, AFullRingIsTakenInOneStepWhenCommandsCostNothingAndTheHundredAndFirstWrapsToSlotZero) {
  for (int i = 0; i < 101; ++i) {
    senden(ip(QString::number(i).toStdU16String()));
    if (i == 99) schritt();
  }
  ASSERT_EQ(events.size(), 100u);
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"99");
  schritt(2);
  ASSERT_EQ(events.size(), 101u);
  for (int i = 0; i < 101; ++i) EXPECT_EQ(events[i].second, QString::number(i));
  EXPECT_EQ(engine->Lesezeiger(), 1);
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

// A sender that starts again at slot 0 (a new sender object) fills the slot
// behind the receiver's index: a lap of empty slots takes the receiver there.
TEST_F(Ring, ASenderStartingAgainBehindTheIndexIsFollowed) {
  senden(ip(u"a"));
  schritt();
  schreibzeiger = 0;
  senden(ip(u"b"));
  schritt(2);
  EXPECT_THAT(events, ElementsAre(ipE("a"), ipE("b")));
  EXPECT_EQ(engine->Lesezeiger(), 1);
}

// A sender that waits for its slot number must never read the late number
// of an earlier command: taking a command that answers with a number empties
// its reply variable first (here the command then fails, so nothing else
// writes it).
TEST_F(Ring, TakingAReplyCommandEmptiesItsReplyVariableBeforeItCountsAsTaken) {
  const struct {
    const char16_t* name;
    channel::ClsVRD4Memory& antwort;
  } zeilen[] = {{u"Blinktext", gv::clsVRD4BlinktextNr()},
                {u"Lauftext", gv::clsVRD4LauftextNr()},
                {u"AniGifLadenanPosition", gv::clsVRD4AniGifNr()}};
  for (const auto& z : zeilen) {
    for (const auto& andere : zeilen) andere.antwort.SetMemory(u"7");
    senden(befehl({z.name, u"/nicht/da.gif", u"x"}));
    for (int i = 0; i < 2; ++i) {  // a failed command costs its step the rest
      try {
        schritt();
      } catch (const std::exception&) {
      }
    }
    EXPECT_EQ(z.antwort.GetMemory(), u"") << QString::fromStdU16String(z.name).toStdString();
    for (const auto& andere : zeilen) {
      if (&andere.antwort != &z.antwort) {
        EXPECT_EQ(andere.antwort.GetMemory(), u"7");
      }
    }
  }
}

TEST_F(Ring, TextWithoutBefehlIsShownEveryStepButNeverRunAndSlotKept) {
  senden(u"Hallo");
  schritt(3);
  EXPECT_THAT(labels, ElementsAre(QStringLiteral("Hallo * 0"), QStringLiteral("Hallo * 0"), QStringLiteral("Hallo * 0")));
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"");
  EXPECT_TRUE(events.empty());
  // A newer command moves the index on; the foreign text stays where it is.
  senden(ip(u"b"));
  schritt(2);
  EXPECT_THAT(events, ElementsAre(ipE("b")));
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"Hallo");
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

TEST_F(Ring, PauseOf500HoldsCommandsBackFiveSecondsWhileDisplayStepsGoOn) {
  render::Animationen& ani = engine->animationen();  // animations show the display steps going on
  senden(befehl({u"AniGifLadenanPosition", datenDatei("zwei_frames.gif"), u"1", u"1", u"10", u"10", u"0", u"0", u""}));
  senden(befehl({u"AniGifStarten", u"1", u"2"}));
  senden(befehl({u"PauseAnzeigeZiel", u"500"}));
  senden(ip(u"danach"));
  t = 2000.0;
  schritt();  // loaded, started and paused at 2000.00 s
  ASSERT_TRUE(ani.belegt(1));
  events.clear();
  t = 2002.01;
  schritt();
  EXPECT_FALSE(ani.belegt(1)) << "the time limit ran out during the pause";
  t = 2004.99;
  schritt();
  EXPECT_TRUE(events.empty());
  t = 2005.0;
  schritt();
  EXPECT_THAT(events, ElementsAre(ipE("danach")));
}

TEST_F(Ring, CounterOutsideTheRingWalksOnInsteadOfStalling) {
  gv::Sendetexte(1).SetMemory(ip(u"x"));
  gv::clsVRD4LetzteGesendete().SetMemory(u"500");
  schritt(2);
  EXPECT_THAT(events, ElementsAre(ipE("x")));
  gv::clsVRD4LetzteGesendete().SetMemory(u"-7");
  schritt(200);
  EXPECT_GE(engine->Lesezeiger(), 0);
  EXPECT_LE(engine->Lesezeiger(), 99);
}

TEST_F(Ring, EveryCommandOfTheTableHasAHandlerAndNamesAreCaseSensitive) {
  for (const protocol::BefehlsSpec& spec : protocol::befehlstabelle()) {
    std::vector<std::u16string> felder{u"Befehl", std::u16string(spec.name)};
    for (const protocol::Parameter& p : spec.parameter)
      felder.push_back(p.typ == protocol::FeldTyp::Double ? u"0.5" : u"1");
    EXPECT_NO_THROW(EXPECT_TRUE(engine->BefehlDirektAusfuehren(felder)))
        << QString::fromStdU16String(felder[1]).toStdString();
  }
  EXPECT_FALSE(engine->BefehlDirektAusfuehren(std::vector<std::u16string>{u"Befehl", u"cls"}));
}

// Opens the FIFO's other end every few seconds, should someone wait for a
// writer: a test that needed it has waited, and no test hangs.
class FifoWaechter {
 public:
  explicit FifoWaechter(std::string pfad)
      : pfad_(std::move(pfad)), faden_([this] {
          std::unique_lock lock(m_);
          while (!cv_.wait_for(lock, std::chrono::seconds(3), [this] { return fertig_; })) {
            const int fd = ::open(pfad_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd), gebraucht_ = true;
          }
        }) {}
  // True when the other end had to be opened.
  bool beenden() {
    { std::lock_guard lock(m_); fertig_ = true; }
    cv_.notify_all();
    faden_.join();
    return gebraucht_;
  }

 private:
  std::string pfad_;
  std::mutex m_;
  std::condition_variable cv_;
  bool fertig_ = false, gebraucht_ = false;
  std::thread faden_;
};

TEST_F(Ring, PicturePathsThatAreNoRegularFileAreNotFoundAtOnce) {
  QTemporaryDir ordner;
  const std::string fifo = ordner.path().toStdString() + "/bild.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FifoWaechter waechter(fifo);
  const std::u16string pfade[] = {QString::fromStdString(fifo).toStdU16String(), u"/dev/null",
                                  ordner.path().toStdU16String()};
  for (const std::u16string& p : pfade) {
    ausfuehren({u"BildAnzeigen", p, u"0", u"0"});
    ausfuehren({u"BildAnzeigenanPosition", p, u"1", u"1", u"10", u"10", u"0", u"0"});
  }
  EXPECT_FALSE(waechter.beenden()) << "the FIFO was waited for";
  ASSERT_EQ(events.size(), 6u);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(events[i], (Ereignis{kFehler, "Bild: " + QString::fromStdU16String(pfade[i / 2]) +
                                                " - nicht gefunden oder sonstiger Fehler!"}));
}

TEST_F(Ring, StartMarkWhileRunningStopMarkAfterwards) {
  channel::ClsVRD4Memory gestartet;  // our own view that outlives the engine
  gestartet.Initialize("clsVRD4EmpfaengerGestartet");
  EXPECT_EQ(gestartet.GetMemory(), u"-1");
  EXPECT_EQ(gv::clsVRD4ProgrammBeenden().GetMemory(), u"0");
  gv::clsVRD4Comport().SetMemory(u"COM1");  // no port number: nothing to close on the way out
  engine.reset();
  EXPECT_EQ(gestartet.GetMemory(), u"0");
}

TEST(PelmorPlayer, WindowsOrNativeNameInAnyCaseCounts) {
  EXPECT_TRUE(istPelmorPlayerName("pElMoR pLaYeR.ExE") && istPelmorPlayerName("pelmor player"));
  EXPECT_FALSE(istPelmorPlayerName("Pelmor Player2") || istPelmorPlayerName(""));
}

// The fixture is Client2 as the network relay would offer it: each pump lets
// 10 ms of the clock pass; the peer's "OK" comes at once when ackOnSend.
class Weiterleitung : public EngineTest, public Forwarder {
 protected:
  Forwarder* forwarder() override { return this; }
  bool isOpen() const override { return true; }
  void sendData(const std::u16string& line) override { sent.push_back(line), ack = ackOnSend; }
  void clearAcknowledgement() override { ack = false; }
  bool acknowledged() const override { return ack; }
  void pumpOnce() override {
    t += 0.01;
    if (imWarten) imWarten();
  }
  bool ackOnSend = true, ack = false;
  std::function<void()> imWarten;  // what the message loop runs inside the wait
  std::vector<std::u16string> sent;
};

TEST_F(Weiterleitung, SendsTheTextUnchangedAndWithoutOkNamesTheCommandInTheTimeOutAndRunsItAfterFourSeconds) {
  ackOnSend = false;
  ausfuehren({u"Hintergrundfarbe", u"65280"});
  EXPECT_THAT(sent, ElementsAre(befehl({u"Hintergrundfarbe", u"65280"})));
  EXPECT_NEAR(t, 1004.05, 0.05);
  EXPECT_TRUE(ganzIn(0x00FF00)) << "run after the time-out";
  // Pictures too, shown after it.
  const std::u16string pfad = datenDatei("rot_4x4.bmp");
  ausfuehren({u"BildAnzeigen", pfad, u"0", u"0"});
  ausfuehren({u"BildAnzeigenanPosition", pfad, u"101", u"1", u"110", u"10", u"0", u"0"});
  ausfuehren({u"AniGifLadenanPosition", pfad, u"201", u"1", u"210", u"10", u"0", u"0", u""});
  const auto timeout = [](const char* n) { return Ereignis{kFehler, QString::fromUtf8(n) + QString::fromUtf8(" - Timeout überschritten!")}; };
  EXPECT_THAT(events, ElementsAre(timeout("Hintergrundfarbe"), timeout("BildAnzeigen"), timeout("BildAnzeigenanPosition"),
                                  timeout("AniGifLadenanPosition"), Ereignis{"AniGifNr", "0"}));
  EXPECT_EQ(sent.size(), 4u);
  EXPECT_NEAR(t, 1016.2, 0.2);
  EXPECT_EQ(farbeBei(3, 3), 0x0000FFu);
  EXPECT_EQ(farbeBei(103, 3), 0x0000FFu);
}

TEST_F(Weiterleitung, PicturesGoOutWithTheirBytesInHexMissingOrEmptyOnesAreReportedAndNeitherSentNorRun) {
  const std::u16string leer = datenDatei("leer.bin"), pfad = datenDatei("rot_4x4.bmp");
  for (const std::u16string& p : {std::u16string(u"/nicht/da/bild.gif"), leer})
    ausfuehren({u"AniGifLadenanPosition", p, u"1", u"1", u"10", u"10", u"0", u"0", u""});
  EXPECT_TRUE(sent.empty());
  EXPECT_THAT(events, ElementsAre(Ereignis{kFehler, "Bild: /nicht/da/bild.gif - nicht gefunden oder sonstiger Fehler!"},
                                  Ereignis{kFehler, "Bild: " + QString::fromStdU16String(leer) +
                                                        QString::fromUtf8(" - Dateigröße wurde falsch eingelesen!")}));
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"") << "a load that ran would have reported a slot";
  events.clear();
  ausfuehren({u"BildAnzeigen", pfad, u"-1", u"0"});
  ASSERT_EQ(sent.size(), 1u);
  const auto felder = protocol::zerlegen(sent[0]);
  ASSERT_EQ(felder.size(), 14u);
  EXPECT_EQ(felder[1] + u"|" + felder[2], u"BildAnzeigen|" + pfad);
  EXPECT_EQ(felder[5].size(), 2 * 102u);  // the file: "BM", its size, zero bytes, ..., a red pixel
  EXPECT_EQ(felder[5].substr(0, 16) + felder[5].substr(felder[5].size() - 6), u"424D660000000000" u"0000FF");
  for (std::size_t i = 6; i < 14; ++i) EXPECT_EQ(felder[i], u"") << i;
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(farbeBei(0, 0), 0x0000FFu) << "shown from the file's bytes";
}

TEST_F(Weiterleitung, TicksInsideTheWaitAdvanceTheDisplayButTakeNoSecondCommandUntilTheFirstHasRun) {
  ackOnSend = false;
  senden(befehl({u"Hintergrundfarbe", u"255"}));
  senden(befehl({u"Hintergrundfarbe", u"65280"}));
  render::TextParameter lauftext;
  lauftext.Xende = 200, lauftext.YEnde = 40;
  lauftext.Ausgabetext = QStringLiteral("Ein Lauftext, der durch die Wartezeit weiterläuft");
  ASSERT_EQ(engine->LTNeu(lauftext, 0.04, 0.0), 1);
  const double start = t;
  double ersterSchritt = -1, letzterSchritt = -1;
  int ticks = 0;
  imWarten = [&] {
    // as the window's tick does inside the wait: the polling step, again
    EXPECT_TRUE(engine->befehlLaeuft());
    const QImage vorher = pic.presented();
    engine->Zeitschleife();
    if (pic.presented() != vorher) (ersterSchritt < 0 ? ersterSchritt : letzterSchritt) = t;
    ++ticks;
  };
  schritt();
  imWarten = nullptr;
  EXPECT_GT(ticks, 350);
  EXPECT_EQ(engine->Lesezeiger(), 1) << "the second command is still waiting";
  EXPECT_EQ(gv::Sendetexte(1).GetMemory(), befehl({u"Hintergrundfarbe", u"65280"}));
  EXPECT_THAT(sent, ElementsAre(befehl({u"Hintergrundfarbe", u"255"})));
  EXPECT_GT(ersterSchritt, start);
  EXPECT_GT(letzterSchritt, start + 3.5) << "the scrolling text kept moving through the wait";
  EXPECT_FALSE(engine->befehlLaeuft());
  ackOnSend = true;
  schritt();
  EXPECT_THAT(sent, ElementsAre(befehl({u"Hintergrundfarbe", u"255"}), befehl({u"Hintergrundfarbe", u"65280"})));
  EXPECT_EQ(engine->Lesezeiger(), 2);
}

}  // namespace
}  // namespace vrd4::engine::test
