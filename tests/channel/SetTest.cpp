// The variable set: its names, its start values, and the command ring as a
// sender and a receiver drive it.
#include <chrono>
#include <thread>

#include "ChannelTestSupport.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"
#include "platform/FileLock.h"
#include "platform/SharedMemory.h"
#include "support/Numbers.h"

namespace vrd4::channel::test {
namespace {

namespace set = modVRD4GlobaleVariablen;

std::u16string zahl(int n) { return platform::fromUtf8(std::to_string(n)); }

TEST(VariableNames, AreTheRingThenTheOthersInCreationOrder) {
  const auto& n = set::variableNames();
  ASSERT_EQ(n.size(), 119u);
  EXPECT_EQ(n[0], "VRD4Sendetexte0");
  EXPECT_EQ(n[99], "VRD4Sendetexte99");
  EXPECT_EQ(n[100], "clsVRD4EmpfaengerGestartet");
  EXPECT_EQ(n[113], set::kSpeicherName);
  EXPECT_EQ(n[118], "clsVRD4EventFensterHandle");
}

TEST_F(ChannelTest, FreshSetHoldsItsStartValuesAndEmptyVariables) {
  set::SpeichervariablenAnlegen();
  ASSERT_TRUE(set::angelegt());
  for (int i = 0; i < set::kAnzahlSendetexte; ++i) EXPECT_EQ(set::Sendetexte(i).GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4Aktiv().GetMemory(), u"0");
  EXPECT_EQ(set::clsVRD4AktivXVers().GetMemory(), u"1.0.0");
  EXPECT_EQ(set::clsVRD4KomFehler().GetMemory(), u"0");
  EXPECT_EQ(set::clsVRD4ProgrammBeenden().GetMemory(), u"0");
  EXPECT_EQ(set::clsVRD4AufrufFensterhandle().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");
  EXPECT_EQ(leadingInt(set::clsVRD4LetzteGesendete().GetMemory()), 0);
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4EmpfaengerGestartet().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4EventFensterHandle().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4MemorySpeicher().GetMemory(), u"");
  EXPECT_TRUE(set::clsVRD4MemorySpeicher().mapped());
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(ChannelTest, CreatingTheSetAgainInOneProcessChangesNothing) {
  set::SpeichervariablenAnlegen();
  set::Sendetexte(3).SetMemory(u"Befehl\x1b" u"Cls");
  set::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::Sendetexte(3).GetMemory(), u"Befehl\x1b" u"Cls");
  EXPECT_EQ(set::clsVRD4ProgrammBeenden().GetMemory(), u"-1");
}

// The only holder that releases and creates again finds nothing left.
TEST_F(ChannelTest, LastHolderReleasingEndsTheContents) {
  set::SpeichervariablenAnlegen();
  set::clsVRD4LetzteGesendete().SetMemory(u"17");
  set::clsVRD4EventFensterHandle().SetMemory(u"4711");
  set::SpeichervariablenFreigeben();
  EXPECT_EQ(set::setIsHeld(), std::optional<bool>(false));
  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::setIsHeld(), std::optional<bool>(true));
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4EventFensterHandle().GetMemory(), u"");
}

// A tool's probe holds the lifetime lock exclusively for a moment; a creator
// meeting it must wait and decide again rather than count itself as one of
// several holders, or leftovers would survive.
TEST_F(ChannelTest, CreatorMeetingAProbeStillFindsItselfAlone) {
  set::SpeichervariablenAnlegen();
  set::clsVRD4LetzteGesendete().SetMemory(u"17");
  set::SpeichervariablenFreigeben();

  int error = 0;
  platform::FileLock probe(
      platform::SharedMemory::openDescriptor(prefix() + "VRD4Sendetexte0", &error));
  ASSERT_TRUE(probe.tryLockExclusive());
  std::thread releaser([&probe] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    probe.unlock();
  });
  set::SpeichervariablenAnlegen();
  releaser.join();
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");
  EXPECT_EQ(set::setIsHeld(), std::optional<bool>(true));
}

// The sender of the ring: slot first, then the counter names it.
struct Sender {
  int schreibzeiger = 0;
  void senden(const std::u16string& text) {
    set::Sendetexte(schreibzeiger).SetMemory(text);
    set::clsVRD4LetzteGesendete().SetMemory(zahl(schreibzeiger));
    schreibzeiger = (schreibzeiger + 1) % set::kAnzahlSendetexte;
  }
};

// The receiver: one slot per step; a command is emptied and acknowledged in
// clsVRD4LetzteGelesene before it runs; the index moves on only towards the
// slot written last.
struct Receiver {
  int lesezeiger = 0;
  std::vector<std::u16string> ausgefuehrt;
  void schritt() {
    const int l = leadingInt(set::clsVRD4LetzteGesendete().GetMemory());
    const std::u16string text = set::Sendetexte(lesezeiger).GetMemory();
    if (text.rfind(u"Befehl", 0) == 0) {
      set::Sendetexte(lesezeiger).SetMemory(u"");
      set::clsVRD4LetzteGelesene().SetMemory(zahl(lesezeiger));
      ausgefuehrt.push_back(text);
    }
    if (l != lesezeiger) lesezeiger = (lesezeiger + 1) % set::kAnzahlSendetexte;
  }
  bool pufferLeer() const {
    return set::clsVRD4LetzteGelesene().GetMemory() == set::clsVRD4LetzteGesendete().GetMemory();
  }
};

std::u16string befehl(int n) { return u"Befehl\x1b" u"Nr\x1b" + zahl(n); }

TEST_F(ChannelTest, FirstCommandGoesIntoSlotZeroAndTheReceiverWaitsThere) {
  set::SpeichervariablenAnlegen();
  Sender s;
  Receiver r;
  s.senden(befehl(1));
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"0");
  r.schritt();
  EXPECT_EQ(r.ausgefuehrt, std::vector<std::u16string>{befehl(1)});
  EXPECT_EQ(set::Sendetexte(0).GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"0");
  EXPECT_TRUE(r.pufferLeer());
  r.schritt();
  r.schritt();
  EXPECT_EQ(r.lesezeiger, 0);
  EXPECT_EQ(r.ausgefuehrt.size(), 1u);
  s.senden(befehl(2));
  r.schritt();  // moves on from the emptied slot 0
  r.schritt();
  EXPECT_EQ(r.ausgefuehrt.back(), befehl(2));
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"1");
}

TEST_F(ChannelTest, ThreeQuickCommandsRunOnThreeStepsInSlotOrder) {
  set::SpeichervariablenAnlegen();
  Sender s;
  Receiver r;
  for (int i = 1; i <= 3; ++i) s.senden(befehl(i));
  r.schritt();
  r.schritt();
  r.schritt();
  EXPECT_EQ(r.ausgefuehrt, (std::vector<std::u16string>{befehl(1), befehl(2), befehl(3)}));
  EXPECT_TRUE(r.pufferLeer());
}

TEST_F(ChannelTest, RingWrapsAfterSlot99) {
  set::SpeichervariablenAnlegen();
  Sender s;
  Receiver r;
  for (int i = 0; i < 100; ++i) {
    s.senden(befehl(i));
    r.schritt();
  }
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"99");
  s.senden(befehl(100));
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"0");
  EXPECT_EQ(set::Sendetexte(0).GetMemory(), befehl(100));
  r.schritt();  // still on 99, moves to 0
  r.schritt();
  ASSERT_EQ(r.ausgefuehrt.size(), 101u);
  EXPECT_EQ(r.ausgefuehrt.back(), befehl(100));
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"0");
}

TEST_F(ChannelTest, SlotNotBeginningWithBefehlIsLeftAlone) {
  set::SpeichervariablenAnlegen();
  set::Sendetexte(0).SetMemory(u"Unsinn");
  set::clsVRD4LetzteGesendete().SetMemory(u"0");
  Receiver r;
  r.schritt();
  EXPECT_TRUE(r.ausgefuehrt.empty());
  EXPECT_EQ(set::Sendetexte(0).GetMemory(), u"Unsinn");
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"");
}

}  // namespace
}  // namespace vrd4::channel::test
