// The real receiver program under a real X server, driven through the real
// channel names the way a sending program drives it: the test creates the
// variable set first, starts the receiver (which resets the ring again), waits
// for its start mark, then writes commands slot by slot.
#include "E2EHilfe.h"

namespace vrd4::e2e {
namespace {

class EmpfaengerE2E : public ::testing::Test, protected Ring {
 protected:
  void SetUp() override {
    ringFrischAnlegen();
    e.starten();
    ASSERT_TRUE(gestartet()) << "no start mark from the receiver";
  }
  void TearDown() override {
    if (e.laeuft()) gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    e.warteAufEnde(kSekunden);
    gv::SpeichervariablenFreigeben();
  }
  static bool eventBeginntMit(const std::u16string& anfang) {
    return warteBis([&] { return gv::clsVRD4Event().GetMemory().starts_with(anfang); }, kSekunden);
  }

  Empfaenger e;
};

// (Drawn commands on the snapshot: the sender chain run in sender_e2e_tests;
// bad commands reported as events: engine_tests and app_tests.)
TEST_F(EmpfaengerE2E, StartedGifIsVisibleAndChangesOnTheScreen) {
  // 8 × 4, frame 1 red, frame 2 green, 100 ms each; fitted into 80 × 40.
  senden(befehl({u"AniGifLadenanPosition", u"" VRD4_TEST_DATA_DIR "/engine/zwei_frames.gif", u"101", u"101", u"180",
                 u"140", u"0", u"0", u""}));
  EXPECT_TRUE(eventBeginntMit(u"AniGifNr;1"));
  ASSERT_TRUE(gelesen(senden(befehl({u"AniGifStarten", u"1", u"0"}))));
  bool rot = false, gruen = false;
  warteBis([&] {
    const QImage bild = e.schnappschuss();
    rot = rot || (!bild.isNull() && bild.pixelColor(140, 120) == QColor(255, 0, 0));
    gruen = gruen || (!bild.isNull() && bild.pixelColor(140, 120) == QColor(0, 255, 0));
    return rot && gruen;
  }, kSekunden);
  EXPECT_TRUE(rot && gruen) << "red " << rot << ", green " << gruen;
  ASSERT_TRUE(gelesen(senden(befehl({u"AniGifLoeschen", u"1"}))));
  const QImage bild = e.schnappschuss();
  ASSERT_FALSE(bild.isNull());
  EXPECT_EQ(bild.pixelColor(140, 120), QColor(0, 0, 0)) << "deleted: the board shows again";
}

// 0: the end request "-1" in the channel; else the signal sent.
class EndeE2E : public EmpfaengerE2E, public ::testing::WithParamInterface<int> {};

TEST_P(EndeE2E, EndsTheReceiverNormallyWithTheStopMark) {
  if (GetParam() == 0)
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  else
    ASSERT_EQ(kill(e.pid(), GetParam()), 0);
  const auto status = e.warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value()) << "still running";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(gv::clsVRD4EmpfaengerGestartet().GetMemory(), u"0");
}

INSTANTIATE_TEST_SUITE_P(Wege, EndeE2E, ::testing::Values(0, SIGTERM, SIGINT), [](const auto& info) {
  return std::string(info.param == 0 ? "EndRequest" : info.param == SIGTERM ? "SIGTERM" : "SIGINT");
});

}  // namespace
}  // namespace vrd4::e2e
