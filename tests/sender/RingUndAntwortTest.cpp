// The reply wait, pictures, a missing receiver and the C interface.
#include "SenderTestBasis.h"
#include "protocol/Befehl.h"
#include "vrd4sender.h"

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
  vrd4sender_free(s);
  EXPECT_EQ(vrd4sender_BlinkText(nullptr, 1, 1, 1, 1, nullptr, 0, nullptr, 9, 0, 0, 0, 0, 0, 0, 0, 1), 0);
  vrd4sender_free(nullptr);
}

}  // namespace
}  // namespace vrd4::sender::test
