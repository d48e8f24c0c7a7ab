// vrd4send with a real receiver (offscreen, on a channel of its own) that
// stops answering: a signal ends vrd4send at once and leaves the receiver
// alone; a receiver without a sign of life is noticed. (A refused picture
// still answers its reply operation: engine_tests.)
#include <unistd.h>

#include <chrono>

#include "E2EHilfe.h"
#include "platform/Ansi.h"

namespace vrd4::e2e {
namespace {

const std::string kPraefix = "t_abbruch_" + std::to_string(::getpid()) + "_";

// vrd4send on the receiver's channel, joining it; its input from a file,
// its output and errors into files of the receiver's folder.
struct Vrd4send : Prozess {
  Vrd4send(const std::string& ordner, const std::string& skript, std::vector<std::string> optionen) : ordner(ordner) {
    std::ofstream(ordner + "/skript") << skript;
    std::vector<std::string> args{VRD4_BIN_DIR "/vrd4send", "--prefix", kPraefix, "--verbinden"};
    args.insert(args.end(), optionen.begin(), optionen.end());
    args.push_back(ordner + "/skript");
    starten(args, ordner + "/aus", ordner + "/fehler");
  }
  std::string fehler() const { return dateiInhalt(ordner + "/fehler"); }
  std::string aus() const { return dateiInhalt(ordner + "/aus"); }
  std::string ordner;
};

class Abbruch : public ::testing::Test {
 protected:
  // The receiver of each test removes its channel's objects when it ends:
  // each test opens the channel afresh.
  static void SetUpTestSuite() { channel::setChannelNamePrefix(kPraefix); }
  void SetUp() override {
    ringFrischAnlegen();
    gv::clsVRD4LaufvariableNr().SetMemory(u"");
    empfaenger.emplace(kPraefix);
    empfaenger->starten();
    ASSERT_TRUE(gestartet());
    // Its polling loop runs: the sign of life a waiting sender watches.
    ASSERT_TRUE(warteBis([] { return !gv::clsVRD4LaufvariableNr().GetMemory().empty(); }, kStartSekunden));
  }
  // A reply operation waits in the ring of the stopped receiver.
  bool wartetImRing() {
    return warteBis([] {
      for (int i = 0; i < 100; ++i)
        if (gv::Sendetexte(i).GetMemory().find(u"Blinktext") != std::u16string::npos) return true;
      return false;
    }, kSekunden);
  }
  void TearDown() override {
    empfaenger.reset();
    gv::SpeichervariablenFreigeben();
  }
  std::optional<Empfaenger> empfaenger;
  const std::string blink = "BlinkText 10 10 300 60 Hallo 4 Arial 30 -1 0 0 0 0 255 0 0.5\n";
};

TEST_F(Abbruch, SigtermEndsVrd4sendWaitingForAStoppedReceiverAtOnceAndTheReceiverRunsOnWhenContinued) {
  ASSERT_EQ(kill(empfaenger->pid(), SIGSTOP), 0);
  // Without the sign-of-life watch only the signal can end this wait.
  Vrd4send senden(empfaenger->ordner(), blink + "Cls\n", {"--stillstand", "0"});
  ASSERT_TRUE(wartetImRing());
  const auto vorher = std::chrono::steady_clock::now();
  ASSERT_EQ(kill(senden.pid(), SIGTERM), 0);
  const std::optional<int> status = senden.exitStatus(kSekunden);
  const double dauer = std::chrono::duration<double>(std::chrono::steady_clock::now() - vorher).count();
  ASSERT_TRUE(status) << "vrd4send did not end after SIGTERM";
  RecordProperty("sekundenBisZumEnde", std::to_string(dauer));
  EXPECT_EQ(*status, 3) << senden.fehler();
  EXPECT_NE(senden.fehler().find("abgebrochen"), std::string::npos) << senden.fehler();
  // The receiver was there before vrd4send: no stop request, no signal.
  EXPECT_EQ(gv::clsVRD4ProgrammBeenden().GetMemory(), u"0");
  ASSERT_EQ(kill(empfaenger->pid(), SIGCONT), 0);
  EXPECT_TRUE(warteBis([] {
    for (int i = 0; i < 100; ++i)
      if (!gv::Sendetexte(i).GetMemory().empty()) return false;
    return true;
  }, kSekunden)) << "the continued receiver takes what waited";
  EXPECT_FALSE(empfaenger->warteAufEnde(1.0)) << "and runs on";
}

TEST_F(Abbruch, AStoppedReceiverIsNoticedAfterTheStallLimitAndTheRestIsNotSent) {
  ASSERT_EQ(kill(empfaenger->pid(), SIGSTOP), 0);
  Vrd4send senden(empfaenger->ordner(), blink + "Cls\n", {"--stillstand", "1"});
  const std::optional<int> status = senden.exitStatus(kSekunden);
  ASSERT_TRUE(status) << "vrd4send waits for the stopped receiver";
  EXPECT_EQ(*status, 3);
  EXPECT_NE(senden.fehler().find("Empfänger reagiert nicht!"), std::string::npos) << senden.fehler();
  EXPECT_NE(senden.fehler().find("kein Lebenszeichen"), std::string::npos) << senden.fehler();
  EXPECT_EQ(senden.aus(), "0\n");
  kill(empfaenger->pid(), SIGCONT);
  EXPECT_FALSE(empfaenger->warteAufEnde(1.0)) << "a receiver vrd4send did not start keeps running";
}

}  // namespace
}  // namespace vrd4::e2e
