// Taking commands from the ring: one per polling step, in slot order, never
// past the counter; what is shown, what is run, what is reported.
#include "EngineTestSupport.h"
#include "render/Animationen.h"
#include "support/Numbers.h"

namespace vrd4::engine::test {
namespace {

using ::testing::ElementsAre;

std::u16string ip(const std::u16string& adresse) { return befehl({u"IPAdresse", adresse}); }

class Ring : public EngineTest {
 protected:
  std::vector<QString> ipMeldungen() const {
    std::vector<QString> r;
    for (const Ereignis& e : events.events)
      if (e.art == QStringLiteral("IPAdresse")) r.push_back(e.meldung);
    return r;
  }
};

TEST_F(Ring, EmptyRingStepShowsNothingAndKeepsReadIndex) {
  schritt(3);
  EXPECT_EQ(engine->Lesezeiger(), 0);
  EXPECT_TRUE(status.labels.empty());
  EXPECT_TRUE(events.events.empty());
}

TEST_F(Ring, FirstCommandRunsFromSlotZeroAndIndexWaitsThere) {
  senden(ip(u"a"));
  schritt();
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("a")));
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"0");
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"");
  schritt(5);
  EXPECT_EQ(engine->Lesezeiger(), 0);
  EXPECT_EQ(ipMeldungen().size(), 1u);
}

TEST_F(Ring, ShowsCommandInLabelAndListWithIndex) {
  senden(ip(u"a"));
  schritt();
  const QString text = QString::fromStdU16String(ip(u"a"));
  EXPECT_THAT(status.labels, ElementsAre(text + QStringLiteral(" * 0")));
  EXPECT_THAT(status.list, ElementsAre(text + QStringLiteral(" - 0")));
}

TEST_F(Ring, ThreeCommandsRunOnThreeConsecutiveStepsInSlotOrder) {
  senden(ip(u"a"));
  senden(ip(u"b"));
  senden(ip(u"c"));
  schritt();
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("a")));
  schritt();
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("a"), QStringLiteral("b")));
  schritt();
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")));
  schritt(3);
  EXPECT_EQ(engine->Lesezeiger(), 2);
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"2");
}

TEST_F(Ring, ReadIndexNeverPassesTheLastWrittenSlot) {
  for (int i = 0; i < 5; ++i) senden(ip(u16(std::to_string(i))));
  for (int i = 0; i < 20; ++i) {
    schritt();
    EXPECT_LE(engine->Lesezeiger(), 4);
  }
  EXPECT_EQ(ipMeldungen().size(), 5u);
}

TEST_F(Ring, HundredAndFirstCommandWrapsToSlotZero) {
  for (int i = 0; i < 101; ++i) {
    senden(ip(u16(std::to_string(i))));
    schritt(2);
  }
  const auto m = ipMeldungen();
  ASSERT_EQ(m.size(), 101u);
  for (int i = 0; i < 101; ++i) EXPECT_EQ(m[i], QString::number(i));
  EXPECT_EQ(engine->Lesezeiger(), 0);
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"0");
}

TEST_F(Ring, TextWithoutBefehlIsShownEveryStepButNeverRunAndSlotKept) {
  senden(u"Hallo");
  schritt(3);
  EXPECT_THAT(status.labels, ElementsAre(QStringLiteral("Hallo * 0"), QStringLiteral("Hallo * 0"),
                                         QStringLiteral("Hallo * 0")));
  EXPECT_EQ(status.list.size(), 3u);
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"Hallo");
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"");
  EXPECT_TRUE(events.events.empty());
  // A newer command moves the index on; the foreign text stays where it is.
  senden(ip(u"b"));
  schritt(2);
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("b")));
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"Hallo");
}

TEST_F(Ring, UnknownNameRaisesExactEventText) {
  senden(befehl({u"Kreis", u"1"}));
  schritt();
  EXPECT_THAT(events.events,
              ElementsAre(Ereignis{QStringLiteral("BefehlFehler"),
                                   QString::fromUtf8("Falsche Abfragetext: Kreis\r\n"
                                                     "oder VRD4-Modul noch nicht geöffnet!")}));
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"");
}

TEST_F(Ring, LowerCaseClsIsAnUnknownName) {
  senden(befehl({u"cls"}));
  schritt();
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_TRUE(events.events[0].meldung.startsWith(QStringLiteral("Falsche Abfragetext: cls\r\n")));
}

TEST_F(Ring, OnlyTheFirstSixCharactersMustBeBefehl) {
  pic.line(0, 0, 10, 0, 0xFFFFFF);
  senden(u"Befehlxyz\x1b" u"Cls");
  schritt();
  EXPECT_TRUE(events.events.empty());
  EXPECT_EQ(farbeBei(5, 0), 0x000000u);
}

TEST_F(Ring, PauseHoldsCommandsBackFiveSecondsOfClockTimeWhileDisplayStepsGoOn) {
  // A fake animation with a 2 s limit shows that the display steps go on.
  struct Medium : render::AnimationsMedium {
    void starten() override {}
    void stoppen() override {}
    void loeschen() override {}
    void setVisible(bool) override {}
  };
  struct Lader : render::AnimationsLader {
    std::unique_ptr<render::AnimationsMedium> laden(int, const QString&, const render::AnimationsFeld&,
                                                    std::span<const uint8_t>) override {
      return std::make_unique<Medium>();
    }
  } lader;
  engine->animationen().setLader(&lader);
  const std::u16string datei = u16(datenDatei("drei_bytes.bin"));
  senden(befehl({u"AniGifLadenanPosition", datei, u"1", u"1", u"10", u"10", u"0", u"0", u""}));
  senden(befehl({u"AniGifStarten", u"1", u"2"}));
  senden(befehl({u"PauseAnzeigeZiel", u"500"}));
  senden(ip(u"danach"));
  clock.t = 2000.0;
  schritt(3);  // loaded at 2000.00 s, started at 2000.01 s, paused at 2000.02 s
  const double start = 2000.02;
  ASSERT_TRUE(engine->animationen().belegt(1));
  EXPECT_EQ(engine->Lesezeiger(), 3);
  clock.t = start + 2.5;
  schritt();
  EXPECT_FALSE(engine->animationen().belegt(1)) << "the time limit ran out during the pause";
  clock.t = start + 4.99;
  schritt();
  EXPECT_TRUE(ipMeldungen().empty());
  EXPECT_EQ(engine->Lesezeiger(), 3);
  clock.t = start + 5.0;
  schritt();
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("danach")));
}

TEST_F(Ring, NewPauseReplacesThePreviousOne) {
  engine->PauseAnzeigeZiel(QStringLiteral("1000"));
  engine->PauseAnzeigeZiel(QStringLiteral("10"));
  senden(ip(u"a"));
  clock.t += 0.1;
  schritt();
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("a")));
}

TEST_F(Ring, FieldThatDoesNotConvertPassesOutWithCommandName) {
  senden(befehl({u"Linie", u"abc"}));
  EXPECT_THROW(engine->Zeitschleife(), protocol::FeldFehler);
  EXPECT_EQ(engine->befehlsname(), QStringLiteral("Linie"));
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"");
  // Nothing else is lost: the next command runs.
  senden(ip(u"b"));
  schritt(2);
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("b")));
}

TEST_F(Ring, CounterOutsideTheRingWalksOnInsteadOfStalling) {
  gv::Sendetexte(1).SetMemory(ip(u"x"));
  gv::clsVRD4LetzteGesendete().SetMemory(u"500");
  schritt(2);
  EXPECT_THAT(ipMeldungen(), ElementsAre(QStringLiteral("x")));
  gv::clsVRD4LetzteGesendete().SetMemory(u"-7");
  schritt(200);
  EXPECT_GE(engine->Lesezeiger(), 0);
  EXPECT_LE(engine->Lesezeiger(), 99);
}

TEST(EngineMarks, StartMarkWhileRunningStopMarkAfterwards) {
  platform::Surface pic(64, 48);
  RecordingStatus status;
  RecordingEvents events;
  FakeClock clock;
  channel::ClsVRD4Memory gestartet;  // our own view that outlives the engine
  {
    clsVRD4Empfaenger engine(pic, status, events, clock);
    gestartet.Initialize("clsVRD4EmpfaengerGestartet");
    EXPECT_EQ(gestartet.GetMemory(), u"-1");
    EXPECT_EQ(gv::clsVRD4ProgrammBeenden().GetMemory(), u"0");
    gv::clsVRD4Comport().SetMemory(u"3");
  }
  EXPECT_EQ(gestartet.GetMemory(), u"0");
}

struct CloseFall {
  const char* name;
  std::u16string comport;
  bool ergebnis;
  std::u16string danach;
};

class VRD4CloseTabelle : public EngineTest, public ::testing::WithParamInterface<CloseFall> {};

TEST_P(VRD4CloseTabelle, ResetsPortStateOnlyWhenAPortIsOpen) {
  const CloseFall& f = GetParam();
  gv::clsVRD4Comport().SetMemory(f.comport);
  gv::clsVRD4KomFehler().SetMemory(u"-1");
  EXPECT_EQ(engine->VRD4Close(), f.ergebnis);
  EXPECT_EQ(gv::clsVRD4Comport().GetMemory(), f.danach);
  EXPECT_EQ(gv::clsVRD4KomFehler().GetMemory(), f.ergebnis ? u"0" : u"-1");
}

INSTANTIATE_TEST_SUITE_P(Faelle, VRD4CloseTabelle,
                         ::testing::Values(CloseFall{"Port3", u"3", true, u"0"},
                                           CloseFall{"Null", u"0", false, u"0"},
                                           CloseFall{"Leer", u"", false, u""},
                                           CloseFall{"Negativ", u"-5", false, u"-5"},
                                           CloseFall{"Text", u"COM1", false, u"COM1"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vrd4::engine::test
