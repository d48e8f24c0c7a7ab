// Two real processes on one channel: shared writes, the lock between them,
// and the lifetime of the contents.
#include <chrono>

#include "ChannelTestSupport.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "channel/modVRD4Mutex.h"
#include "support/Numbers.h"

namespace vrd4::channel::test {
namespace {

namespace set = modVRD4GlobaleVariablen;
using Clock = std::chrono::steady_clock;

class TwoProcesses : public ChannelTest {
 protected:
  std::unique_ptr<Child> helper() {
    return std::make_unique<Child>(binPath("channel_helper"), helperArgs(prefix()));
  }
};

TEST_F(TwoProcesses, EachSeesTheOthersWritesAtOnce) {
  set::SpeichervariablenAnlegen();
  auto other = helper();
  ASSERT_EQ(other->ask("anlegen"), "ok");
  set::clsVRD4Event().SetMemory(u"Info;hallo äöü €");
  EXPECT_EQ(other->ask("get clsVRD4Event"), "=Info;hallo äöü €");
  ASSERT_EQ(other->ask("set clsVRD4EventFensterHandle 4711"), "ok");
  EXPECT_EQ(set::clsVRD4EventFensterHandle().GetMemory(), u"4711");
}

TEST_F(TwoProcesses, WriteLandsAfterForeignHolderTimesOut) {
  set::SpeichervariablenAnlegen();
  auto holder = helper();
  ASSERT_EQ(holder->ask("lock"), "ok");

  auto start = Clock::now();
  set::clsVRD4Event().SetMemory(u"trotzdem");
  EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 0.15);
  // A read goes ahead the same way, and finds the write.
  start = Clock::now();
  EXPECT_EQ(set::clsVRD4Event().GetMemory(), u"trotzdem");
  EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 0.15);
  EXPECT_EQ(holder->ask("get clsVRD4Event"), "=trotzdem");
}

TEST_F(TwoProcesses, HolderKilledWhileLockingNeverBlocksAnybody) {
  modVRD4Mutex::MutexAnlegen();
  auto holder = helper();
  ASSERT_EQ(holder->ask("lock"), "ok");
  EXPECT_FALSE(modVRD4Mutex::MutexWarten(0));
  holder->kill();
  EXPECT_TRUE(modVRD4Mutex::MutexWarten(0));
  EXPECT_TRUE(modVRD4Mutex::MutexFreigeben());
}

TEST_F(TwoProcesses, AfterTheLastHolderIsKilledANewCreatorFindsEverythingEmpty) {
  auto first = helper();
  ASSERT_EQ(first->ask("anlegen"), "ok");
  ASSERT_EQ(first->ask("set clsVRD4LetzteGesendete 42"), "ok");
  ASSERT_EQ(first->ask("set clsVRD4LetzteGelesene 41"), "ok");
  ASSERT_EQ(first->ask("set clsVRD4EventFensterHandle 4711"), "ok");
  ASSERT_EQ(first->ask("set VRD4Sendetexte42 Befehl\x1b" "Cls"), "ok");
  first->kill();

  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");
  EXPECT_EQ(leadingInt(set::clsVRD4LetzteGesendete().GetMemory()), 0);
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4EventFensterHandle().GetMemory(), u"");
  EXPECT_EQ(set::Sendetexte(42).GetMemory(), u"");
}

TEST_F(TwoProcesses, ASecondLiveHolderKeepsTheContents) {
  auto first = helper();
  auto second = helper();
  ASSERT_EQ(first->ask("anlegen"), "ok");
  ASSERT_EQ(first->ask("set clsVRD4LetzteGesendete 42"), "ok");
  ASSERT_EQ(first->ask("set clsVRD4EventFensterHandle 4711"), "ok");
  ASSERT_EQ(second->ask("anlegen"), "ok");
  first->kill();

  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"42");
  EXPECT_EQ(set::clsVRD4EventFensterHandle().GetMemory(), u"4711");
}

// Each creation resets the ring and the start values, whatever the other
// side left there, but not the counters or the event window.
TEST_F(TwoProcesses, ALaterCreatorResetsTheRingAndTheStartValuesOnly) {
  set::SpeichervariablenAnlegen();
  set::Sendetexte(5).SetMemory(u"Befehl\x1b" u"Cls");
  set::clsVRD4LetzteGesendete().SetMemory(u"5");
  set::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  set::clsVRD4AufrufFensterhandle().SetMemory(u"123");
  set::clsVRD4EventFensterHandle().SetMemory(u"77");
  auto other = helper();
  ASSERT_EQ(other->ask("anlegen"), "ok");
  EXPECT_EQ(set::Sendetexte(5).GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4ProgrammBeenden().GetMemory(), u"0");
  EXPECT_EQ(set::clsVRD4AufrufFensterhandle().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"5");
  EXPECT_EQ(set::clsVRD4EventFensterHandle().GetMemory(), u"77");
}

TEST_F(TwoProcesses, SenderInAnotherProcessFillsSlotsThenNamesTheLast) {
  set::SpeichervariablenAnlegen();
  auto sender = helper();
  ASSERT_EQ(sender->ask("anlegen"), "ok");
  for (const char* c : {"Befehl\x1b" "Cls", "Befehl\x1b" "Farbe\x1b" "255", "Befehl\x1b" "Ende"})
    ASSERT_EQ(sender->ask(std::string("send ") + c), "ok");
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"2");
  EXPECT_EQ(set::Sendetexte(0).GetMemory(), u"Befehl\x1b" u"Cls");
  EXPECT_EQ(set::Sendetexte(1).GetMemory(), u"Befehl\x1b" u"Farbe\x1b" u"255");
  EXPECT_EQ(set::Sendetexte(2).GetMemory(), u"Befehl\x1b" u"Ende");
}

}  // namespace
}  // namespace vrd4::channel::test
