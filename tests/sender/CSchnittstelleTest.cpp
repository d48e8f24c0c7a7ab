// The C interface over the same library: texts in UTF-8, callbacks with user
// data, nothing escapes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "SenderTestBasis.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "vrd4/clsVRD4Sender.h"
#include "vrd4sender.h"

namespace vrd4::sender::test {
namespace {

struct Aufzeichnung {
  std::vector<std::string> ereignisse;
  int schleifen = 0;
};

extern "C" void merkeEreignis(const char* art, const char* meldung, void* user) {
  static_cast<Aufzeichnung*>(user)->ereignisse.push_back(std::string(art) + "|" + meldung);
}
extern "C" int laeuft(void*) { return 1; }
extern "C" int laeuftNicht(void*) { return 0; }
extern "C" void schleife(void* user) {
  auto* a = static_cast<Aufzeichnung*>(user);
  if (++a->schleifen == 2) gv::clsVRD4BlinktextNr().SetMemory(u"6");
}

class CSchnittstelle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // One prefix for the whole test program: the lock file is opened once.
    vrd4sender_set_channel_prefix(testPrefix().c_str());
  }
  void SetUp() override {
    s = vrd4sender_new();
    ASSERT_NE(s, nullptr);
    vrd4sender_set_event(s, merkeEreignis, &a);
    vrd4sender_set_running_check(s, laeuft, nullptr);
  }
  void TearDown() override { vrd4sender_free(s); }
  vrd4sender* s = nullptr;
  Aufzeichnung a;
};

TEST_F(CSchnittstelle, CommandTextsArriveAsUtf16) {
  vrd4sender_TextAusgabe(s, 1, 1, 100, 30, "Größe €", 4, "Arial", 20, 1, 0, 0, 0, 0, 255, 0, 0, 0.5, 0);
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(),
            u"Befehl\x1bTextausgabe\x1b" u"1\x1b" u"1\x1b" u"100\x1b" u"30\x1bGröße €\x1b" u"4\x1b"
            u"Arial\x1b" u"20\x1b-1\x1b" u"0\x1b" u"0\x1b" u"0\x1b" u"0\x1b" u"255\x1b" u"0\x1b" u"0\x1b" u"0.5\x1b" u"0");
  EXPECT_TRUE(a.ereignisse.empty());
}

TEST_F(CSchnittstelle, ReplyRunsTheProgramsLoopAndReturnsTheSlot) {
  vrd4sender_set_message_loop(s, schleife, &a);
  EXPECT_EQ(vrd4sender_BlinkText(s, 1, 1, 9, 9, "x", 0, "Arial", 9, 0, 0, 0, 0, 0, 0, 0, 1.0), 6);
  EXPECT_EQ(a.schleifen, 3);  // the pass that reads the answer runs it too
}

TEST_F(CSchnittstelle, EventsReachTheCallbackInUtf8) {
  vrd4sender_set_running_check(s, laeuftNicht, nullptr);
  vrd4sender_Cls(s);
  vrd4sender_Event_Ausloesen(s, "Art", "Meldung mit ä");
  EXPECT_EQ(a.ereignisse,
            (std::vector<std::string>{"BefehlFehler|VRD4Empfaenger_Steuerung nicht geladen!", "Art|Meldung mit ä"}));
}

TEST_F(CSchnittstelle, TakingAnEventCutsAtACharacterBoundary) {
  vrd4sender_Event_Ausloesen(s, "A", "ää");  // "A;ää" is 6 bytes
  char buf[5];
  EXPECT_EQ(vrd4sender_EreignisAbholen(s, buf, sizeof buf), 6u);
  EXPECT_STREQ(buf, "A;ä");
  EXPECT_EQ(vrd4sender_EreignisAbholen(s, buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "");
}

TEST_F(CSchnittstelle, NullHandleAndNullTextsAreHarmless) {
  vrd4sender_Cls(nullptr);
  EXPECT_EQ(vrd4sender_BlinkText(nullptr, 1, 1, 1, 1, nullptr, 0, nullptr, 9, 0, 0, 0, 0, 0, 0, 0, 1), 0);
  EXPECT_EQ(vrd4sender_Initialisieren(nullptr, 0, 0), 0);
  vrd4sender_free(nullptr);
  vrd4sender_IPAdresse(s, nullptr);
  EXPECT_EQ(gv::Sendetexte(0).GetMemory(), u"Befehl\x1bIPAdresse\x1b");
  EXPECT_EQ(vrd4sender_fileExists(s, nullptr), 0);
}

}  // namespace
}  // namespace vrd4::sender::test
