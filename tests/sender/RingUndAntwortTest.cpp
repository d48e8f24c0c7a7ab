// The ring write, its guards, the reply wait, the buffer wait and events.
#include <sys/stat.h>

#include <fstream>

#include "SenderTestBasis.h"

namespace vrd4::sender::test {
namespace {

const Ereignis kNichtGeladen{u"BefehlFehler", u"VRD4Empfaenger_Steuerung nicht geladen!"};
const Ereignis kKeineAntwort{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: keine Antwort!"};
const Ereignis kPufferZuKlein{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Puffer zu klein!"};

uint8_t blinkText(clsVRD4Sender& s) {
  return s.BlinkText(1, 1, 100, 40, u"x", 0, u"Arial", 20, false, false, false, false, false, 255, 0, 0.5);
}

using RingTest = SenderTest;

TEST_F(RingTest, CommandsFillConsecutiveSlotsAndNameTheLastOne) {
  sender->Cls();
  sender->Hintergrundfarbe(1);
  EXPECT_EQ(slot(0), befehl({u"Befehl", u"Cls"}));
  EXPECT_EQ(slot(1), befehl({u"Befehl", u"Hintergrundfarbe", u"1"}));
  EXPECT_EQ(letzteGesendete(), u"1");
}

TEST_F(RingTest, HundredFirstCommandGoesIntoSlotZeroAgain) {
  for (int i = 0; i < 100; ++i) sender->Hintergrundfarbe(i);
  EXPECT_EQ(slot(99), befehl({u"Befehl", u"Hintergrundfarbe", u"99"}));
  EXPECT_EQ(letzteGesendete(), u"99");
  sender->Hintergrundfarbe(1000);
  EXPECT_EQ(slot(0), befehl({u"Befehl", u"Hintergrundfarbe", u"1000"}));
  EXPECT_EQ(slot(1), befehl({u"Befehl", u"Hintergrundfarbe", u"1"}));
  EXPECT_EQ(letzteGesendete(), u"0");
}

TEST_F(RingTest, TextOfExactly32100CharactersIsSent) {
  std::u16string text(32100, u'x');
  EXPECT_TRUE(sender->BefehlSenden(text));
  EXPECT_EQ(slot(0), text);
  EXPECT_TRUE(ereignisse.empty());
}

TEST_F(RingTest, TextOf32101CharactersIsRefusedWithItsEvent) {
  EXPECT_FALSE(sender->BefehlSenden(std::u16string(32101, u'x')));
  EXPECT_EQ(slot(0), u"");
  EXPECT_EQ(ereignisse, std::vector<Ereignis>{kPufferZuKlein});
  EXPECT_EQ(gv::clsVRD4Event().GetMemory(), u"BefehlFehler;VRD4Empfaenger_Steuerung: Puffer zu klein!");
  // The slot was not used up: the next command still goes into slot 0.
  sender->Cls();
  EXPECT_EQ(slot(0), befehl({u"Befehl", u"Cls"}));
}

TEST_F(RingTest, ReceiverNotRunningSendsNothingAndReports) {
  empfaengerLaeuft = false;
  sender->Cls();
  EXPECT_EQ(slot(0), u"");
  EXPECT_EQ(ereignisse, std::vector<Ereignis>{kNichtGeladen});
}

TEST_F(RingTest, CommunicationErrorFlagSilencesCommandsAndReplies) {
  gv::clsVRD4KomFehler().SetMemory(u"-1");
  sender->Cls();
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(slot(0), u"");
  EXPECT_EQ(durchlaeufe, 0);
  EXPECT_TRUE(ereignisse.empty());
}

TEST_F(RingTest, NewObjectEmptiesTheRingAndStartsAtSlotZero) {
  sender->Cls();
  sender->Cls();
  sender.reset();
  sender = std::make_unique<clsVRD4Sender>();
  sender->setLaeuftPruefung([] { return true; });
  EXPECT_EQ(slot(1), u"");
  sender->Hintergrundfarbe(7);
  EXPECT_EQ(slot(0), befehl({u"Befehl", u"Hintergrundfarbe", u"7"}));
}

TEST_F(RingTest, ObjectEndingWritesTheStopRequest) {
  clsVRD4Sender zweiter;  // keeps the variables alive after the first ends
  EXPECT_EQ(gv::clsVRD4ProgrammBeenden().GetMemory(), u"0");
  sender.reset();
  EXPECT_EQ(gv::clsVRD4ProgrammBeenden().GetMemory(), u"-1");
}

TEST_F(RingTest, ObjectEndingLeavesReceiverRunningWhenAsked) {
  clsVRD4Sender zweiter;
  zweiter.setEmpfaengerWeiterlaufen(true);
  sender->setEmpfaengerWeiterlaufen(true);
  sender.reset();
  EXPECT_EQ(gv::clsVRD4ProgrammBeenden().GetMemory(), u"0");
}

using AntwortTest = SenderTest;

TEST_F(AntwortTest, BlinkTextReturnsTheSlotTheReceiverWroteAndPassesItsEventOn) {
  antwortenBeiDurchlauf = 2;
  antworten = [] {
    gv::clsVRD4BlinktextNr().SetMemory(u"3");
    gv::clsVRD4Event().SetMemory(u"BlinktextNr;3");
  };
  EXPECT_EQ(blinkText(*sender), 3);
  EXPECT_EQ(ereignisse, (std::vector<Ereignis>{{u"BlinktextNr", u"3"}}));
  EXPECT_EQ(gv::clsVRD4Event().GetMemory(), u"");
}

TEST_F(AntwortTest, ReplyAndEventLeftFromBeforeAreClearedFirst) {
  gv::clsVRD4LauftextNr().SetMemory(u"7");
  gv::clsVRD4Event().SetMemory(u"Alt;Ereignis");
  antwortenBeiDurchlauf = 3;
  antworten = [] { gv::clsVRD4LauftextNr().SetMemory(u" 4 "); };
  EXPECT_EQ(sender->Lauftext(1, 1, 9, 9, u"t", u"Arial", 9, false, false, false, false, false, 0, 0, 1, 0), 4);
  EXPECT_TRUE(ereignisse.empty());
}

TEST_F(AntwortTest, AniGifWaitsOnItsOwnReplyVariable) {
  std::string gif = "/tmp/t_sender_ani_" + std::to_string(::getpid()) + ".gif";
  std::ofstream(gif) << "GIF89a";
  antwortenBeiDurchlauf = 1;
  antworten = [] {
    gv::clsVRD4BlinktextNr().SetMemory(u"9");
    gv::clsVRD4AniGifNr().SetMemory(u"2");
  };
  EXPECT_EQ(sender->AniGifLadenanPosition(std::u16string(gif.begin(), gif.end()), 1, 1, 50, 50, true, true), 2);
  std::remove(gif.c_str());
}

TEST_F(AntwortTest, ReceiverEventWithFurtherSemicolonsIsCutAtTheSecond) {
  antwortenBeiDurchlauf = 1;
  antworten = [] {
    gv::clsVRD4Event().SetMemory(u"BefehlFehler;a;b");
    gv::clsVRD4BlinktextNr().SetMemory(u"1");
  };
  blinkText(*sender);
  EXPECT_EQ(ereignisse, (std::vector<Ereignis>{{u"BefehlFehler", u"a"}}));
}

TEST_F(AntwortTest, WaitWithoutAnswerEndsAtTheTimeLimitWithItsEvent) {
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_EQ(ereignisse, std::vector<Ereignis>{kKeineAntwort});
  // 0.25 s of clock per pass: 5 s is over after the 21st pass.
  EXPECT_DOUBLE_EQ(uhr, 100.0 + 21 * 0.25);
}

TEST_F(AntwortTest, TimeLimitIsSettable) {
  sender->setAntwortZeitlimit(1.0);
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_DOUBLE_EQ(uhr, 100.0 + 5 * 0.25);
  EXPECT_EQ(ereignisse, std::vector<Ereignis>{kKeineAntwort});
}

TEST_F(AntwortTest, WaitEndsWhenReceiverStopsAndNextCommandReportsIt) {
  antwortenBeiDurchlauf = 2;
  antworten = [this] { empfaengerLaeuft = false; };
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_TRUE(ereignisse.empty());
  sender->Cls();
  EXPECT_EQ(ereignisse, std::vector<Ereignis>{kNichtGeladen});
}

TEST_F(AntwortTest, CommandThatWasNotSentDoesNotWait) {
  empfaengerLaeuft = false;
  EXPECT_EQ(blinkText(*sender), 0);
  EXPECT_DOUBLE_EQ(uhr, 100.0);
  EXPECT_EQ(ereignisse, std::vector<Ereignis>{kNichtGeladen});
}

TEST_F(AntwortTest, ReplyOutsideByteRangeIsNoSlot) {
  antwortenBeiDurchlauf = 1;
  antworten = [] { gv::clsVRD4BlinktextNr().SetMemory(u"300"); };
  EXPECT_EQ(blinkText(*sender), 0);
}

using BildTest = SenderTest;

TEST_F(BildTest, MissingPictureIsReportedAndNotSent) {
  sender->BildAnzeigen(u"/nirgends/bild.png", true, true);
  EXPECT_EQ(slot(0), u"");
  EXPECT_EQ(ereignisse,
            (std::vector<Ereignis>{{u"BefehlFehler", u"Bild: /nirgends/bild.png konnte nicht geladen werden!"}}));
}

TEST_F(BildTest, MissingAnimationIsReportedAndReturnsZeroAtOnce) {
  EXPECT_EQ(sender->AniGifLadenanPosition(u"/nirgends/a.gif", 1, 1, 2, 2, true, true), 0);
  EXPECT_EQ(slot(0), u"");
  EXPECT_DOUBLE_EQ(uhr, 100.0);
  EXPECT_EQ(ereignisse, (std::vector<Ereignis>{{u"BefehlFehler", u"Bild: /nirgends/a.gif konnte nicht geladen werden!"}}));
}

TEST_F(BildTest, PictureFieldWithoutFileNameIsDroppedSilently) {
  sender->BildAnzeigenanPosition(u"C:\\Bilder\\.BMP", 1, 1, 2, 2, true, true);
  sender->BildAnzeigenanPosition(u"/home/turnier/.BMP", 1, 1, 2, 2, true, true);
  EXPECT_EQ(slot(0), u"");
  EXPECT_TRUE(ereignisse.empty());
}

TEST_F(BildTest, FileExistsOnlyForReadableFiles) {
  std::string datei = "/tmp/t_sender_da_" + std::to_string(::getpid());
  std::ofstream(datei) << "x";
  EXPECT_TRUE(sender->fileExists(datei));
  EXPECT_FALSE(sender->fileExists("/nirgends/bild.png"));
  EXPECT_FALSE(sender->fileExists("/tmp"));
  std::remove(datei.c_str());
}

class PufferTest : public SenderTest {
 protected:
  void SetUp() override {
    SenderTest::SetUp();
    // Every clock reading moves 0.1 s on; the buffer wait reads it once per pass.
    sender->setUhr([this] {
      ++uhrLesungen;
      if (uhrLesungen == aufholenBei) gv::clsVRD4LetzteGelesene().SetMemory(u"5");
      return uhr += 0.1;
    });
    gv::clsVRD4LetzteGesendete().SetMemory(u"5");
  }
  int uhrLesungen = 0;
  int aufholenBei = -1;
};

TEST_F(PufferTest, ReturnsAtOnceWhenReceiverHasTakenEverything) {
  gv::clsVRD4LetzteGelesene().SetMemory(u"5");
  sender->WartenbisPufferleer(1.0);
  EXPECT_EQ(uhrLesungen, 1);
}

TEST_F(PufferTest, ReturnsWhenReceiverCatchesUp) {
  gv::clsVRD4LetzteGelesene().SetMemory(u"3");
  aufholenBei = 4;
  sender->WartenbisPufferleer(10.0);
  EXPECT_EQ(uhrLesungen, 4);
}

TEST_F(PufferTest, GivesUpAfterTheWaitTime) {
  gv::clsVRD4LetzteGelesene().SetMemory(u"3");
  sender->WartenbisPufferleer(1.0);
  // Start reading plus one per pass until more than 1 s has gone.
  EXPECT_GE(uhrLesungen, 11);
  EXPECT_LE(uhrLesungen, 12);
}

using EreignisTest = SenderTest;

TEST_F(EreignisTest, EventIsWrittenAsArtSemicolonMeldungAndHandedToTheProgram) {
  sender->Event_Ausloesen(u"BefehlFehler", u"Größe");
  EXPECT_EQ(gv::clsVRD4Event().GetMemory(), u"BefehlFehler;Größe");
  EXPECT_EQ(ereignisse, (std::vector<Ereignis>{{u"BefehlFehler", u"Größe"}}));
  EXPECT_EQ(sender->EreignisAbholen(), u"BefehlFehler;Größe");
  EXPECT_EQ(sender->EreignisAbholen(), u"");
}

using StartTest = SenderTest;

TEST_F(StartTest, MissingReceiverIsAMessageAndWritesNoHandles) {
  gv::clsVRD4EventFensterHandle().SetMemory(u"77");
  sender->setEmpfaengerPfad("/nirgends/VRD4Empfaenger");
  EXPECT_EQ(sender->Initialisieren(5, 6), 0);
  EXPECT_EQ(meldungen, (std::vector<Ereignis>{{u"", u"VRD4Empfaenger.exe fehlt!"}}));
  EXPECT_EQ(gv::clsVRD4AufrufFensterhandle().GetMemory(), u"");
  EXPECT_EQ(gv::clsVRD4EventFensterHandle().GetMemory(), u"77");
}

TEST_F(StartTest, FolderIsNoReceiver) {
  sender->setEmpfaengerPfad("/tmp");
  EXPECT_EQ(sender->Initialisieren(0, 0), 0);
  EXPECT_EQ(meldungen.size(), 1u);
}

TEST_F(StartTest, OverrideDecidesTheReceiverPath) {
  EXPECT_TRUE(sender->EmpfaengerPfad().ends_with("/VRD4Empfaenger"));
  sender->setEmpfaengerPfad("/opt/x/VRD4Empfaenger");
  EXPECT_EQ(sender->EmpfaengerPfad(), "/opt/x/VRD4Empfaenger");
}

}  // namespace
}  // namespace vrd4::sender::test
