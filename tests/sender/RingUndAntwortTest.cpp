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
// B's own slot was taken, and then it is B's.
TEST_F(SenderTest, ReplyCountsOnlyOnceTheReceiverTookThisCommandSoALateNumberIsNeverTakenForIt) {
  sender->setAntwortZeitlimit(1);
  EXPECT_EQ(blinkText(*sender), 0);  // A, slot 0
  ereignisse.clear();
  sender->setAntwortZeitlimit(0);
  sender->setNachrichtenschleife([this] {
    uhr += 0.25;
    ++durchlaeufe;
    if (durchlaeufe == 1) nehmen(0, u"3");  // A's late number
    if (durchlaeufe == 5) nehmen(1, u"4");  // B taken and answered
  });
  durchlaeufe = 0;
  EXPECT_EQ(blinkText(*sender), 4);  // B, slot 1
  EXPECT_EQ(durchlaeufe, 6);
}

TEST_F(SenderTest, WithoutALimitSetTheReplyWaitLastsAsLongAsTheReceiverRuns) {
  EXPECT_EQ(sender->antwortZeitlimit(), 0);
  antwortenBeiDurchlauf = 1000;  // 250 s of the clock
  antworten = [] { nehmen(0, u"2"); };
  EXPECT_EQ(blinkText(*sender), 2);
  EXPECT_TRUE(ereignisse.empty());
}

TEST_F(SenderTest, ErrorFlagStopsEveryCommandAndEveryReplyWaitSilently) {
  gv::clsVRD4KomFehler().SetMemory(u"-1");
  sender->Cls();
  EXPECT_FALSE(sender->BefehlSenden(befehl(u"Cls")));
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(slot(0), u"");
  EXPECT_EQ(durchlaeufe, 0);
  EXPECT_TRUE(ereignisse.empty());
  gv::clsVRD4KomFehler().SetMemory(u"0");
  antwortenBeiDurchlauf = 3;
  antworten = [] { gv::clsVRD4KomFehler().SetMemory(u"-1"); };
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(durchlaeufe, 3);
  EXPECT_TRUE(ereignisse.empty());
}

// A clock that moves on each look; the receiver takes everything on the
// look given.
TEST_F(SenderTest, WartenbisPufferleerReturnsWhenTheReceiverHasTakenEverythingOrAfterItsTime) {
  int blicke = 0, nehmenBei = 0;
  sender->setUhr([&] {
    if (++blicke == nehmenBei) gv::clsVRD4LetzteGelesene().SetMemory(gv::clsVRD4LetzteGesendete().GetMemory());
    return blicke * 0.1;
  });
  sender->WartenbisPufferleer(5);
  EXPECT_LE(blicke, 2) << "both counters empty: nothing to wait for";
  sender->Cls();
  sender->Cls();  // slot 1
  blicke = 0;
  nehmenBei = 10;
  sender->WartenbisPufferleer(5);
  EXPECT_EQ(gv::clsVRD4LetzteGelesene().GetMemory(), u"1");
  EXPECT_GE(blicke, 10);
  EXPECT_LE(blicke, 12);
  sender->Cls();
  blicke = 0;
  nehmenBei = 0;
  sender->WartenbisPufferleer(5);
  EXPECT_GE(blicke, 50);
  EXPECT_LE(blicke, 53);
}

// The receiver opens a picture against its own folder: the sender makes a
// relative path absolute against its working directory, for the check and
// in the command.
TEST_F(SenderTest, RelativePicturePathsGoOutAbsoluteAgainstTheWorkingDirectory) {
  const std::filesystem::path alt = std::filesystem::current_path();
  const std::filesystem::path hier = std::filesystem::temp_directory_path() / (testPrefix() + "bilder");
  std::filesystem::create_directories(hier / "unter");
  std::ofstream(hier / "unter" / "b.bmp") << "BM";
  std::filesystem::current_path(hier);
  const std::u16string absolut = platform::fromUtf8(hier.string()) + u"/unter/b.bmp";
  sender->BildAnzeigen(u"unter/b.bmp", true, false);
  sender->BildAnzeigenanPosition(u"unter/b.bmp", 1, 2, 3, 4, false, true);
  antwortenBeiDurchlauf = 1;
  std::u16string aniGif;
  antworten = [&] {
    aniGif = slot(2);
    gv::Sendetexte(2).SetMemory(u"");
    gv::clsVRD4AniGifNr().SetMemory(u"1");
  };
  EXPECT_EQ(sender->AniGifLadenanPosition(u"unter/b.bmp", 1, 2, 3, 4, false, true), 1);
  sender->BildAnzeigen(u"fehlt.bmp", true, false);
  std::filesystem::current_path(alt);
  std::filesystem::remove_all(hier);
  EXPECT_EQ(slot(0), befehl(u"BildAnzeigen|" + absolut + u"|-1|0"));
  EXPECT_EQ(slot(1), befehl(u"BildAnzeigenanPosition|" + absolut + u"|1|2|3|4|0|-1"));
  EXPECT_EQ(protocol::zerlegen(aniGif).at(2), absolut);
  EXPECT_EQ(ereignisse, (Ereignisse{{u"BefehlFehler", u"Bild: " + platform::fromUtf8(hier.string()) +
                                                          u"/fehlt.bmp konnte nicht geladen werden!"}}));
}

// Verbinden keeps a running receiver: it writes both window handles and goes
// on after the slot written last, where the receiver's index stands.
TEST_F(SenderTest, VerbindenWritesBothWindowHandlesAndGoesOnAfterTheSlotWrittenLast) {
  gv::clsVRD4LetzteGesendete().SetMemory(u"41");
  EXPECT_EQ(sender->Verbinden(5, 6), 1);
  EXPECT_EQ(gv::clsVRD4AufrufFensterhandle().GetMemory(), u"5");
  EXPECT_EQ(gv::clsVRD4EventFensterHandle().GetMemory(), u"6");
  sender->Cls();
  EXPECT_EQ(slot(42), befehl(u"Cls"));
  EXPECT_EQ(gv::clsVRD4LetzteGesendete().GetMemory(), u"42");
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
extern "C" void schleife(void*) { nehmen(1, u"6"); }

TEST(CSchnittstelle, Utf8TextsTheProgramsLoopEventsCutAtACharacterAndNullArguments) {
  vrd4sender* s = vrd4sender_new();
  std::vector<std::string> ereignisse;
  vrd4sender_set_event(s, merkeEreignis, &ereignisse);
  vrd4sender_set_running_check(s, laeuft, s);
  vrd4sender_set_message_loop(s, schleife, nullptr);
  vrd4sender_TextAusgabe(s, 1, 1, 100, 30, "Größe €", 4, "Arial", 20, 1, 0, 0, 0, 0, 255, 0, 0, 0.5, 0);
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(),
            befehl(u"Textausgabe|1|1|100|30|Größe €|4|Arial|20|-1|0|0|0|0|255|0|0|0.5|0"));
  EXPECT_EQ(vrd4sender_BlinkText(s, 1, 1, 9, 9, "x", 0, "Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1.0), 6);
  vrd4sender_IPAdresse(s, nullptr);  // a null text is an empty one
  EXPECT_EQ(gv::Sendetexte(2).GetMemory(), befehl(u"IPAdresse|"));
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
