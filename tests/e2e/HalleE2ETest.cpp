// A hall of screens through a real mosquitto on loopback: the publishing
// receiver takes commands from its ring; three boards follow it, from before
// its first command, from the middle of its stream and after it, one of them
// through hostile messages on the hall's topics (a killed broker and board:
// HalleStoerungE2ETest, UebersichtE2ETest); vrd4send --tafeln sees the boards level with the
// publisher. Over TLS a board with its password follows; without it, the
// broker refuses it and the board says so.
#include "HalleHilfe.h"

namespace vrd4::e2e {
namespace {

TEST_F(Halle, ThreeBoardsFollowFromAnyMomentThroughHostileMessagesAndEndLevel) {
  // T2 is there before the publisher, which it cannot be counted against;
  // once it drew the publisher's empty scene it is level (0 behind).
  auto t2 = std::make_unique<Empfaenger>(praefixT + "2"), t3 = std::make_unique<Empfaenger>(praefixT + "3");
  tafelStarten(*t2, "T2");
  EXPECT_TRUE(tafelZeigt("T2", " online 0 keine Szene ", kStartSekunden)) << tafeln();
  ASSERT_NO_FATAL_FAILURE(quelleStarten());
  EXPECT_TRUE(tafelZeigt("T2", " online 0 0 ", kSekunden)) << tafeln();
  // T3 joins mid-stream, with the effects alive in the retained scene; T1
  // once the board is built.
  const auto befehle = tafelBauen(1000, bild, gif);
  senden({befehle.begin(), befehle.begin() + 506});
  tafelStarten(*t3, "T3");
  senden({befehle.begin() + 506, befehle.end()});
  tafel = std::make_unique<Empfaenger>(praefixT);
  tafelStarten(*tafel, "T1");
  // Its status says it is up (and its SIGUSR1 handler is in place).
  ASSERT_TRUE(tafelZeigt("T1", " online ", kStartSekunden));
  EXPECT_TRUE(gleich(*tafel)) << "the late board draws the retained scene";
  EXPECT_TRUE(gleich(*t2)) << "the board there from the start followed every command";
  EXPECT_TRUE(gleich(*t3)) << "the board that joined mid-stream drew the scene with its effects and followed";
  for (const auto* t : {t2.get(), t3.get()})  // every effect ran there too: none failed
    EXPECT_FALSE(protokolliert(*t, "Halle: AniGif", 0) || protokolliert(*t, "Halle: Blinktext", 0) ||
                 protokolliert(*t, "Halle: Lauftext", 0));
  t2.reset();
  t3.reset();

  senden(tafelBauen(40, bild, gif));
  EXPECT_TRUE(gleich(*tafel)) << "live commands follow";

  EXPECT_TRUE(tafelZeigt("T1", " online 1044 0 ", kSekunden))
      << "vrd4send --tafeln: T1 drew all 1044 commands, none behind\n" << tafeln();

  // Messages that do not read, or are over the bound: each is dropped with
  // a line in the board's status list (and its history), the one over the
  // bound without being copied; the board goes on.
  {
    TestKlient stoerer(halleUrl, "vrd4-test-stoerer");
    ASSERT_TRUE(stoerer.senden({{"vrd4/H/befehle", "kein Befehl"},
                                {"vrd4/H/befehle", std::string(100u << 20, 'x')},
                                {"vrd4/H/befehle", halle::befehlSchreiben(42, 7, "Befehl\x1b" "Cls", {})},
                                {"vrd4/H/szene", "VRD4H1 S zz 1 1\n"}}));
  }
  senden({befehl({u"Rechteck", u"10", u"10", u"300", u"200", u"1", u"255", u"-1"})});
  EXPECT_TRUE(gleich(*tafel)) << "the board goes on after hostile messages";
  for (const char* zeile : {"Halle: unlesbarer Befehl verworfen (11 Bytes)",
                            "Halle: Nachricht auf vrd4/H/befehle verworfen (104857600 Bytes, über der Grenze)",
                            "Halle: Befehl 7 eines fremden Laufs 000000000000002a wartet auf dessen Szene",
                            "Halle: unlesbare Szene verworfen (16 Bytes)"})
    EXPECT_TRUE(protokolliert(*tafel, zeile)) << zeile;
  EXPECT_LT(procKiB(tafel->pid(), "VmHWM:") / 1024, 400) << "a 100 MB message is not held";
  EXPECT_TRUE(protokolliert(*quelle, "Halle: fremder Schreiber auf vrd4/H/befehle: unlesbarer Befehl (11 Bytes) (weitere still)"));
  EXPECT_TRUE(protokolliert(*quelle, "Halle: fremder Schreiber auf vrd4/H/szene: unlesbare Szene (16 Bytes); die eigene geht neu hinaus (weitere still)"));
  EXPECT_TRUE(tafelZeigt("T1", " online 1045 0 ", kSekunden)) << tafeln();
  EXPECT_NE(tafeln().find(", fremde Nachrichten 3\n"), std::string::npos) << tafeln();
}

// TLS with a CA, a broker certificate and a password file made here: the
// publisher and a board with their passwords connect, the board follows and
// is listed; a board or a reader without a password or with a wrong one is
// refused, says so once in its history however often it tries (vrd4send:
// exit status 3) and is not listed.
TEST_F(HalleTls, ABoardWithItsPasswordFollowsThePublisherAndOneWithoutIsRefusedAndSaysSo) {
  senden(tafelBauen(50, bild, gif));
  tafel = std::make_unique<Empfaenger>(praefixT);
  tafelStarten(*tafel, "T1", mit("zugang"));
  EXPECT_TRUE(tafelZeigt("T1", " online 52 0 ", kStartSekunden, mit("zugang"))) << tafeln(mit("zugang"));
  EXPECT_TRUE(gleich(*tafel)) << "the board follows over TLS";
  for (const char* zugang : {"", "falsch"}) {
    Empfaenger abgewiesen(praefixT + "2");
    tafelStarten(abgewiesen, "T2", mit(zugang));
    EXPECT_TRUE(protokolliert(abgewiesen, "Halle: Broker verweigert: nicht berechtigt", kStartSekunden)) << zugang;
    // Attempts after 1 and 3 s: said once, nothing else.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(mal(abgewiesen, "Halle: Broker verweigert: nicht berechtigt"), 1) << protokoll(abgewiesen);
    EXPECT_EQ(mal(abgewiesen, "Halle: Verbindung zum Broker"), 0) << protokoll(abgewiesen);
    const std::string t = tafeln(mit(zugang));
    EXPECT_NE(t.find("verweigert: nicht berechtigt"), std::string::npos) << t;
    EXPECT_NE(t.find("status 3"), std::string::npos) << t;
  }
  EXPECT_EQ(tafeln(mit("zugang")).find("\nT2 "), std::string::npos) << "a refused board is not listed";
}

}  // namespace
}  // namespace vrd4::e2e
