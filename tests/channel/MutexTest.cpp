// VRD4Mutex: its status texts, its exclusivity against another description
// of the lock file, and the system error texts.
#include <cerrno>

#include "ChannelTestSupport.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4Mutex.h"
#include "platform/FileLock.h"

namespace vrd4::channel::test {
namespace {

namespace mutex = modVRD4Mutex;

TEST_F(ChannelTest, MutexAnlegenReportsNewExistingAndAlreadyOpen) {
  mutex::MutexSchliessen();
  EXPECT_EQ(mutex::MutexAnlegen(), u"0\r\nSuccess\r\nVRD4Mutex neu angelegt!");
  EXPECT_EQ(mutex::MutexAnlegen(), u"VRD4Mutex existiert bereits!");
  mutex::MutexSchliessen();
  EXPECT_EQ(mutex::MutexAnlegen(), u"17\r\nFile exists\r\nVRD4Mutex existiert!");
}

TEST_F(ChannelTest, MutexThatCannotBeCreatedNeverWaits) {
  mutex::MutexSchliessen();
  setChannelNamePrefix("kein_ordner/");
  EXPECT_EQ(mutex::MutexAnlegen(),
            u"Mutex mit Name: \r\nVRD4Mutex\r\n konnte nicht initialisiert werden.");
  EXPECT_FALSE(mutex::MutexWarten(-1));
  EXPECT_FALSE(mutex::MutexFreigeben());
  setChannelNamePrefix(prefix());
}

TEST_F(ChannelTest, MutexIsExclusiveAgainstAnotherDescription) {
  mutex::MutexAnlegen();
  platform::FileLock foreign;
  ASSERT_TRUE(foreign.open(mutex::lockFilePath()));

  ASSERT_TRUE(foreign.tryLockExclusive());
  EXPECT_FALSE(mutex::MutexWarten(0));
  EXPECT_FALSE(mutex::MutexWarten(-5));  // below -1: one attempt
  EXPECT_FALSE(mutex::MutexWarten(3));
  EXPECT_FALSE(mutex::MutexFreigeben());  // not held, nothing to release

  ASSERT_TRUE(foreign.unlock());
  EXPECT_TRUE(mutex::MutexWarten(0));
  EXPECT_FALSE(foreign.tryLockExclusive());
  EXPECT_TRUE(mutex::MutexFreigeben());
  EXPECT_FALSE(mutex::MutexFreigeben());
  EXPECT_TRUE(foreign.tryLockExclusive());
}

TEST_F(ChannelTest, ClosingTheMutexReleasesIt) {
  mutex::MutexAnlegen();
  ASSERT_TRUE(mutex::MutexWarten(0));
  mutex::MutexSchliessen();
  EXPECT_FALSE(mutex::MutexWarten(0));
  platform::FileLock foreign;
  ASSERT_TRUE(foreign.open(mutex::lockFilePath()));
  EXPECT_TRUE(foreign.tryLockExclusive());
}

// Each access takes the lock and gives it back: a foreign description can
// lock between any two of them.
TEST_F(ChannelTest, AccessesLeaveTheMutexFree) {
  ClsVRD4Memory m;
  m.Initialize("Frei");
  m.SetMemory(u"x");
  (void)m.GetMemory();
  platform::FileLock foreign;
  ASSERT_TRUE(foreign.open(mutex::lockFilePath()));
  EXPECT_TRUE(foreign.tryLockExclusive());
}

struct FehlertextRow {
  std::string name;
  int code;
  std::u16string text;
};
std::ostream& operator<<(std::ostream& os, const FehlertextRow& r) { return os << r.name; }

class Fehlertext : public ::testing::TestWithParam<FehlertextRow> {};

TEST_P(Fehlertext, IsTheSystemTextOrTheUnknownCodeInHex) {
  EXPECT_EQ(mutex::SystemFehlertext(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Fehlertext,
    ::testing::Values(FehlertextRow{"NoSuchFile", ENOENT, u"No such file or directory"},
                      FehlertextRow{"Exists", EEXIST, u"File exists"},
                      FehlertextRow{"Unknown", 0x7FFF1234, u"Unbekannter Fehler: &H7FFF1234"},
                      FehlertextRow{"UnknownSmall", 4000, u"Unbekannter Fehler: &HFA0"},
                      FehlertextRow{"Negative", -1, u"Unbekannter Fehler: &HFFFFFFFF"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vrd4::channel::test
