// The reply wait, pictures, a missing receiver and the C interface.
#include "SenderTestBasis.h"
#include "protocol/Befehl.h"
#include "vrd4sender.h"

#include <chrono>
#include <thread>

namespace vrd4::sender::test {
namespace {

uint8_t blinkText(clsVRD4Sender& s) { return s.BlinkText(1, 1, 9, 9, u"x", 0, u"Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1); }

// The receiver stand-in: takes slot `nr` (empties it) and answers `antwort`.
void nehmen(int nr, const char16_t* antwort) {
  gv::clsVRD4BlinktextNr().SetMemory(u"");
  gv::Sendetexte(nr).SetMemory(u"");
  gv::clsVRD4LetzteGelesene().SetMemory(protocol::schreibeGanzzahl(nr));
  gv::clsVRD4BlinktextNr().SetMemory(antwort);
}

TEST_F(SenderTest, WaitEndsAtTheTimeLimitOrWhenTheReceiverGoesAndThenNothingIsSentOrAwaited) {
  sender->setAntwortZeitlimit(5);
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_DOUBLE_EQ(uhr, 100.0 + 21 * 0.25);  // 5 s at 0.25 s per pass
  EXPECT_EQ(ereignisse, Ereignisse{kKeineAntwort});
  durchlaeufe = 0;
  antwortenBeiDurchlauf = 2;
  antworten = [this] { empfaengerLaeuft = false; };
  EXPECT_EQ(blinkText(*sender), 0);
  sender->Cls();
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(durchlaeufe, 2);
  EXPECT_EQ(slot(2), u"");
  EXPECT_EQ(ereignisse, (Ereignisse{kKeineAntwort, kNichtGeladen, kNichtGeladen}));
}

TEST_F(SenderTest, EachReplyReadsItsOwnVariableClearedFirstAndOnlyByteValues) {
  gv::clsVRD4LauftextNr().SetMemory(u"7");
  gv::clsVRD4Event().SetMemory(u"Alt;Ereignis");
  antwortenBeiDurchlauf = 3;
  antworten = [] {
    for (int i = 0; i < 3; ++i) gv::Sendetexte(i).SetMemory(u"");
    gv::clsVRD4BlinktextNr().SetMemory(u"9");
    gv::clsVRD4LauftextNr().SetMemory(u" 4 ");
    gv::clsVRD4AniGifNr().SetMemory(u"2");
    gv::clsVRD4Event().SetMemory(u"LauftextNr;4;x");
  };
  EXPECT_EQ(sender->Lauftext(1, 1, 9, 9, u"t", u"Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1, 0), 4);
  // The receiver's event is passed on, cut at its second ";"; the old one was cleared.
  EXPECT_EQ(ereignisse, (Ereignisse{{u"LauftextNr", u"4"}}));
  EXPECT_EQ(gv::clsVRD4Event().GetMemory(), u"");
  durchlaeufe = 0;
  EXPECT_EQ(sender->AniGifLadenanPosition(u"/bin/sh", 1, 1, 50, 50, true, true), 2);
  durchlaeufe = 0;
  antworten = [] { nehmen(2, u"300"); };
  EXPECT_EQ(blinkText(*sender), 0);
}

// BlinkText A gave up; the receiver runs it late and writes A's number while
// B still waits in its slot. B must not take it: a number counts only after
// B's own slot was taken, and then it is B's. A in slot 98, B in the last one.
TEST_F(SenderTest, ReplyCountsOnlyOnceTheReceiverTookThisCommandSoALateNumberIsNeverTakenForIt) {
  for (auto* zaehler : {&gv::clsVRD4LetzteGesendete(), &gv::clsVRD4LetzteGelesene()})
    zaehler->SetMemory(u"97");  // all taken up to A's slot
  sender->Verbinden(0, 0);
  sender->setAntwortZeitlimit(1);
  sender->setNachrichtenschleife([this] { uhr += 0.25; });
  EXPECT_EQ(blinkText(*sender), 0);  // A gives up
  sender->setAntwortZeitlimit(0);
  sender->setNachrichtenschleife([this] {
    uhr += 0.25;
    if (++durchlaeufe == 1) nehmen(98, u"3");  // A's late number
    if (durchlaeufe == 5) nehmen(99, u"4");    // B taken and answered
  });
  EXPECT_EQ(blinkText(*sender), 4);
  EXPECT_EQ(durchlaeufe, 6);
}

// A sender died after writing slot 42 but before its counter (still 41).
// Whether the receiver has taken that command yet or not, a sender that
// joins writes from slot 43 on at once; in the usual case from 42.
TEST_F(SenderTest, AJoiningSenderStepsOverTheSlotADeadSenderLeftWithoutItsCounter) {
  struct Fall {
    const char* fall;
    const char16_t* slot42;
    const char16_t* gelesen;
    int erster;
  } faelle[] = {
      {"taken by the receiver", u"", u"42", 43},
      {"not taken yet", u"Befehl\x1b" u"Cls", u"41", 43},
      {"everything taken", u"", u"41", 42},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.fall);
    for (int i = 0; i < 100; ++i) gv::Sendetexte(i).SetMemory(u"");
    gv::clsVRD4LetzteGesendete().SetMemory(u"41");
    gv::clsVRD4LetzteGelesene().SetMemory(f.gelesen);
    gv::Sendetexte(42).SetMemory(f.slot42);
    durchlaeufe = 0;
    ASSERT_EQ(sender->Verbinden(0, 0), 1);
    sender->Hintergrundfarbe(7);
    EXPECT_EQ(durchlaeufe, 0) << "written without waiting";
    EXPECT_EQ(slot(f.erster), befehl(u"Hintergrundfarbe|7"));
    EXPECT_EQ(gv::clsVRD4LetzteGesendete().GetMemory(), protocol::schreibeGanzzahl(f.erster));
  }
}

TEST_F(SenderTest, MissingPicturesAndReceiverAreReportedAndNothingIsSent) {
  sender->BildAnzeigen(u"/nirgends/b.png", true, true);
  EXPECT_EQ(sender->AniGifLadenanPosition(u"/nirgends/a.gif", 1, 1, 2, 2, true, true), 0);
  sender->BildAnzeigenanPosition(u"C:\\Bilder\\.BMP", 1, 1, 2, 2, true, true);  // no name: dropped silently
  EXPECT_EQ(slot(0), u"");
  EXPECT_EQ(uhr, 100.0);
  auto fehlt = [](std::u16string pfad) {
    return Ereignis{u"BefehlFehler", u"Bild: " + pfad + u" konnte nicht geladen werden!"};
  };
  EXPECT_EQ(ereignisse, (Ereignisse{fehlt(u"/nirgends/b.png"), fehlt(u"/nirgends/a.gif")}));
  sender->setEmpfaengerPfad("/nirgends/VRD4Empfaenger");
  EXPECT_EQ(sender->Initialisieren(5, 6), 0);
  EXPECT_EQ(meldungen, (Ereignisse{{u"", u"VRD4Empfaenger.exe fehlt!"}}));
  EXPECT_EQ(gv::clsVRD4EventFensterHandle().GetMemory(), u"");  // no handles written
}

const Ereignis kAbgebrochen{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Warten abgebrochen!"};
const Ereignis kReagiertNicht{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Empfänger reagiert nicht!"};

TEST_F(SenderTest, CancelEndsEveryWaitAtItsNextPassUntilResetAndAFreeSlotIsStillWritten) {
  antwortenBeiDurchlauf = 3;
  antworten = [this] { sender->Abbrechen(); };
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(durchlaeufe, 3) << "ends right after the pass it was cancelled in";
  EXPECT_EQ(ereignisse, Ereignisse{kAbgebrochen});
  EXPECT_TRUE(sender->abgebrochen());
  // Still cancelled: a free slot needs no wait; a reply, a full ring and
  // WartenbisPufferleer do not wait at all.
  durchlaeufe = 0;
  sender->Cls();
  EXPECT_EQ(slot(1), befehl(u"Cls"));
  EXPECT_EQ(blinkText(*sender), 0);
  for (int i = 3; i < 100; ++i) sender->Cls();
  EXPECT_FALSE(sender->BefehlSenden(befehl(u"Cls")));
  const double vorher = uhr;
  sender->WartenbisPufferleer(10);
  EXPECT_EQ(uhr, vorher);
  EXPECT_EQ(durchlaeufe, 0);
  EXPECT_EQ(ereignisse, (Ereignisse{kAbgebrochen, kAbgebrochen, kAbgebrochen}));
  // Reset: the next wait waits again (here until the receiver takes slot 0).
  sender->AbbruchAufheben();
  antwortenBeiDurchlauf = 2;
  antworten = [] {
    gv::Sendetexte(0).SetMemory(u"");
    gv::clsVRD4LetzteGelesene().SetMemory(u"99");
  };
  EXPECT_TRUE(sender->BefehlSenden(befehl(u"Cls")));
  EXPECT_EQ(durchlaeufe, 2);
}

TEST_F(SenderTest, CancelFromAnotherThreadEndsAWaitWithoutTimeLimitOnTheRealClock) {
  sender->setUhr(nullptr);
  sender->setNachrichtenschleife(nullptr);  // sleeps
  std::thread anderer([s = sender.get()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    s->Abbrechen();
  });
  EXPECT_EQ(blinkText(*sender), 0) << "no receiver answers: only the cancel ends this wait";
  anderer.join();
  EXPECT_EQ(ereignisse, Ereignisse{kAbgebrochen});
}

TEST_F(SenderTest, AReceiverWithoutSignOfLifeForTheStallLimitEndsTheWaitOneThatGivesNoneIsNotJudged) {
  sender->setStillstandGrenze(2);
  sender->setAntwortZeitlimit(5);
  gv::clsVRD4LaufvariableNr().SetMemory(u"");
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(ereignisse, Ereignisse{kKeineAntwort}) << "no sign of life at all: only the time limit";
  // A sign of life that stops: the wait ends after 2 s of it, not 5.
  ereignisse.clear();
  gv::clsVRD4LaufvariableNr().SetMemory(u"41");
  const double start = uhr;
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(ereignisse, Ereignisse{kReagiertNicht});
  EXPECT_GT(uhr - start, 2.0);
  EXPECT_LT(uhr - start, 3.0);
  // One that goes on keeps the wait going until the answer (a pause, a
  // slow board), past the stall limit.
  ereignisse.clear();
  sender->setAntwortZeitlimit(0);
  durchlaeufe = 0;
  int leben = 41;
  sender->setNachrichtenschleife([&] {
    uhr += 0.25;
    gv::clsVRD4LaufvariableNr().SetMemory(protocol::schreibeGanzzahl(++leben));
    if (++durchlaeufe == 40) nehmen(2, u"5");
  });
  EXPECT_EQ(blinkText(*sender), 5);
  EXPECT_TRUE(ereignisse.empty());
}

extern "C" void merkeEreignis(const char* art, const char* meldung, void* liste) {
  static_cast<std::vector<std::string>*>(liste)->push_back(std::string(art) + "|" + meldung);
}
extern "C" int laeuft(void* ja) { return ja != nullptr; }  // the user data arrives
extern "C" void schleife(void*) { nehmen(0, u"6"); }

TEST(CSchnittstelle, Utf8TextsTheProgramsLoopEventsCutAtACharacterAndNullArguments) {
  vrd4sender* s = vrd4sender_new();
  std::vector<std::string> ereignisse;
  vrd4sender_set_event(s, merkeEreignis, &ereignisse);
  vrd4sender_set_running_check(s, laeuft, s);
  vrd4sender_set_message_loop(s, schleife, nullptr);
  EXPECT_EQ(vrd4sender_BlinkText(s, 1, 1, 9, 9, "x", 0, "Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1.0), 6);
  vrd4sender_IPAdresse(s, nullptr);  // a null text is an empty one
  EXPECT_EQ(gv::Sendetexte(1).GetMemory(), befehl(u"IPAdresse|"));
  vrd4sender_Event_Ausloesen(s, "A", "ää");  // "A;ää" is 6 bytes
  EXPECT_EQ(ereignisse, std::vector<std::string>{"A|ää"});
  char buf[5];
  EXPECT_EQ(vrd4sender_EreignisAbholen(s, buf, sizeof buf), 6u);
  EXPECT_STREQ(buf, "A;ä");
  // Cancelled: the reply wait ends after its first look, until reset.
  ereignisse.clear();
  vrd4sender_set_message_loop(s, nullptr, nullptr);
  vrd4sender_set_stall_limit(s, 0);
  vrd4sender_cancel(s);
  EXPECT_EQ(vrd4sender_BlinkText(s, 1, 1, 9, 9, "x", 0, "Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1.0), 0);
  EXPECT_EQ(ereignisse, std::vector<std::string>{"BefehlFehler|VRD4Empfaenger_Steuerung: Warten abgebrochen!"});
  vrd4sender_cancel_reset(s);
  vrd4sender_free(s);
  EXPECT_EQ(vrd4sender_BlinkText(nullptr, 1, 1, 1, 1, nullptr, 0, nullptr, 9, 0, 0, 0, 0, 0, 0, 0, 1), 0);
  vrd4sender_cancel(nullptr);
  vrd4sender_free(nullptr);
}

}  // namespace
}  // namespace vrd4::sender::test
