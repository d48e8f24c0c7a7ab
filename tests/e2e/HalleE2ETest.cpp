// A hall of screens through a real mosquitto on loopback: the publishing
// receiver takes commands from its ring, a board joins after the board was
// built and follows it, through the broker and the board itself being
// killed and hostile messages on the hall's topics; vrd4send --tafeln sees
// the board level with the publisher.
#include <fstream>

#include "E2EHilfe.h"
#include "MosquittoBroker.h"
#include "channel/ClsVRD4Memory.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"

namespace vrd4::e2e {
namespace {

// Still drawings only: the phase of a blinking text or an animation differs
// from board to board by nature.
std::vector<std::u16string> tafelBauen(int n, const std::u16string& bild) {
  std::vector<std::u16string> b{befehl({u"Hintergrundfarbe", u"4210752"}), befehl({u"Cls"})};
  for (int i = 0; i < n; ++i) {
    const auto z = [](int v) { return QString::number(v).toStdU16String(); };
    switch (i % 5) {
      case 0: b.push_back(befehl({u"Linie", z(i % 700), u"5", z(700 - i % 700), u"470", u"2", z(i * 977 % 16777216)})); break;
      case 1: b.push_back(befehl({u"Rechteck", z(i % 600), z(i % 400), z(i % 600 + 60), z(i % 400 + 40), u"1", z(i * 31337 % 16777216), u"-1"})); break;
      case 2: b.push_back(befehl({u"BildAnzeigenanPosition", bild, z(i % 700), z(i % 440), z(i % 700 + 20), z(i % 440 + 20), u"-1", u"0"})); break;
      case 3:  // a blinking text whose slot the next one deletes: the slot numbers stay in step
        b.push_back(befehl({u"Blinktext", u"1", u"1", u"50", u"20", u"x", u"0", u"Liberation Sans", u"12", u"0", u"0",
                            u"0", u"0", u"-1", u"255", u"0", u"0.5"}));
        break;
      default: b.push_back(befehl({u"BlinktextLoeschen", u"1"})); break;
    }
  }
  return b;
}

class Halle : public ::testing::Test, protected Ring {
 protected:
  void SetUp() override {
    if (halle::test::mosquittoProgramm().empty()) GTEST_SKIP() << "mosquitto is not installed: no hall test";
    ASSERT_TRUE(broker.starten()) << "mosquitto did not start";
    channel::setChannelNamePrefix(praefixQ);
    ringFrischAnlegen();
    quelle = std::make_unique<Empfaenger>(praefixQ);
    quelle->starten({"--halle", broker.url("H")});
    ASSERT_TRUE(gestartet());
    bild = QString::fromStdString(quelle->ordner() + "/nur_bei_der_quelle.bmp").toStdU16String();
    ASSERT_TRUE(QFile::copy(QStringLiteral(VRD4_TEST_DATA_DIR "/engine/rot_4x4.bmp"), QString::fromStdU16String(bild)));
  }
  void TearDown() override {
    tafel.reset();
    if (quelle) gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    quelle.reset();
    gv::SpeichervariablenFreigeben();
    channel::setChannelNamePrefix("");
  }
  void senden(const std::vector<std::u16string>& befehle) {
    for (const auto& b : befehle) ASSERT_TRUE(gelesen(Ring::senden(b)));
  }
  bool gleich() {
    return warteBis(
        [&] {
          const QImage a = quelle->schnappschuss(), b = tafel->schnappschuss();
          return !a.isNull() && a == b;
        },
        kSekunden);
  }
  std::string tafeln() {
    return ausgabe(std::string(VRD4_BIN_DIR "/vrd4send --halle ") + broker.url("H") + " --tafeln");
  }
  // T1's line of the listing, blanks squeezed, shows `was` within the time.
  bool tafelZeigt(const char* was, double sekunden) {
    return warteBis(
        [&] {
          const std::string t = tafeln();
          const auto a = t.find("\nT1 ");
          std::string z;
          for (char c : t.substr(std::min(a + 1, t.size()), t.find('\n', a + 1) - a - 1))
            if (c != ' ' || z.empty() || z.back() != ' ') z += c;
          return a != std::string::npos && (z + " ").find(was) != std::string::npos;
        },
        sekunden);
  }
  // Publishes each (topic, payload) as a client of the test's own and waits
  // until the broker has them all.
  void stoeren(const std::vector<std::pair<std::string, std::string>>& nachrichten) {
    halle::MqttEinstellungen e;
    e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(broker.url("H"), false));
    e.clientId = "vrd4-test-stoerer";
    halle::MqttKlient k(e);
    std::string fehler;
    ASSERT_TRUE(k.starten(fehler)) << fehler;
    ASSERT_TRUE(warteBis([&] { return k.verbunden(); }, kSekunden));
    for (const auto& [topic, payload] : nachrichten) ASSERT_TRUE(k.senden(topic, payload, false));
    std::size_t bestaetigt = 0;
    EXPECT_TRUE(warteBis(
        [&] {
          for (const auto& ereignis : k.abholen()) bestaetigt += ereignis.art == halle::MqttKlient::Ereignis::Art::Bestaetigt;
          return bestaetigt == nachrichten.size();
        },
        kSekunden));
    k.beenden(std::nullopt, std::chrono::milliseconds(0));
  }
  // The most memory the board's process has held, in MB.
  double tafelSpitzeMb() {
    std::ifstream f("/proc/" + std::to_string(tafel->pid()) + "/status");
    for (std::string z; std::getline(f, z);)
      if (z.starts_with("VmHWM:")) return std::stod(z.substr(6)) / 1024;
    return 0;
  }

  halle::test::MosquittoBroker broker;
  const std::string praefixQ = "t_halle_" + std::to_string(getpid()) + "_Q_";
  const std::string praefixT = "t_halle_" + std::to_string(getpid()) + "_T_";
  std::unique_ptr<Empfaenger> quelle, tafel;
  std::u16string bild;
};

TEST_F(Halle, ALateBoardFollowsThroughKilledBrokerAndBoardAndHostileMessagesAndEndsLevel) {
  senden(tafelBauen(300, bild));
  tafel = std::make_unique<Empfaenger>(praefixT);
  const auto start = std::chrono::steady_clock::now();
  tafel->starten({"--tafel", broker.url("H/T1")});
  // Its status says it is up (and its SIGUSR1 handler is in place).
  ASSERT_TRUE(tafelZeigt(" online ", kStartSekunden));
  EXPECT_TRUE(gleich()) << "the late board draws the retained scene";
  std::printf("late join of a 300-command board: identical after %.2f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

  senden(tafelBauen(40, bild));
  EXPECT_TRUE(gleich()) << "live commands follow";

  // The broker dies mid-stream: the publisher's board goes on reading its
  // ring, and both ends reconnect by themselves.
  broker.stoppen(SIGKILL);
  const auto ohneBroker = std::chrono::steady_clock::now();
  senden(tafelBauen(40, bild));
  std::printf("40 commands read by the publisher without a broker in %.0f ms\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - ohneBroker).count());
  ASSERT_TRUE(broker.starten());
  senden({befehl({u"Linie", u"0", u"0", u"767", u"479", u"4", u"16711935"})});
  EXPECT_TRUE(gleich()) << "both ends reconnect and the scene brings the board level";

  // The board dies mid-stream and comes back.
  kill(tafel->pid(), SIGKILL);
  ASSERT_TRUE(tafel->warteAufEnde(kSekunden));
  senden(tafelBauen(20, bild));
  const auto neu = std::chrono::steady_clock::now();
  tafel->starten({"--tafel", broker.url("H/T1")});
  ASSERT_TRUE(tafelZeigt(" online ", kStartSekunden));
  EXPECT_TRUE(gleich()) << "the restarted board draws the scene";
  std::printf("restarted board identical after %.2f s from its start\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - neu).count());

  // Hostile messages: each is dropped with a line in the board's status
  // list, the one over the bound without being copied; the board goes on.
  const std::vector<uint8_t> keinBild;
  const std::string quellZeile = tafeln();
  const uint64_t lauf = std::stoull(quellZeile.substr(quellZeile.find("Lauf ") + 5, 16), nullptr, 16);
  stoeren({{"vrd4/H/befehle", "kein Befehl"},
           {"vrd4/H/befehle", std::string(100u << 20, 'x')},
           {"vrd4/H/befehle", halle::befehlSchreiben(42, 7, "Befehl\x1b" "Cls", keinBild)},
           {"vrd4/H/befehle", halle::befehlSchreiben(lauf, 1u << 30, "Befehl\x1b" "Cls", keinBild)},
           {"vrd4/H/szene", "VRD4H1 S zz 1 1\n"}});
  senden({befehl({u"Rechteck", u"10", u"10", u"300", u"200", u"1", u"255", u"-1"})});
  EXPECT_TRUE(gleich()) << "the board goes on after hostile messages";
  EXPECT_LT(tafelSpitzeMb(), 400) << "a 100 MB message is not held";
  std::printf("board's peak memory after a 100 MB message: %.0f MB\n", tafelSpitzeMb());

  EXPECT_TRUE(tafelZeigt(" online 410 0 ", kSekunden))
      << "vrd4send --tafeln: T1 drew all 410 commands, none behind\n" << tafeln();
}

// TLS with a CA, a broker certificate and a password file made here: a board
// with its password connects and is listed by a reader with a password;
// anyone without one is refused (vrd4send says so, exit status 3).
TEST(HalleTls, ABoardWithItsPasswordConnectsAndAClientWithoutIsRefused) {
  if (halle::test::mosquittoProgramm().empty()) GTEST_SKIP() << "mosquitto is not installed: no hall test";
  QTemporaryDir d;
  const std::string o = d.path().toStdString();
  const std::string machen =
      "cd " + o + " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj /CN=ca"
      " && openssl req -newkey rsa:2048 -nodes -keyout b.key -out b.csr -subj /CN=127.0.0.1"
      " && printf 'subjectAltName=IP:127.0.0.1' > ext && openssl x509 -req -in b.csr -CA ca.crt -CAkey ca.key"
      " -CAcreateserial -out b.crt -days 2 -extfile ext && mosquitto_passwd -c -b pw T1 geheim"
      " && printf 'T1\\ngeheim\\n' > zugang && printf 'T1\\nfalsch\\n' > falsch";
  ASSERT_EQ(std::system(("(" + machen + ") >/dev/null 2>&1").c_str()), 0) << machen;
  // user root: a broker started as root keeps the rights to read the test's files.
  halle::test::MosquittoBroker broker("cafile " + o + "/ca.crt\ncertfile " + o + "/b.crt\nkeyfile " + o +
                                      "/b.key\nallow_anonymous false\npassword_file " + o + "/pw\nuser root\n");
  ASSERT_TRUE(broker.starten());
  const std::string url = "mqtts://127.0.0.1:" + std::to_string(broker.port()) + "/H";
  Empfaenger tafel("t_halle_" + std::to_string(getpid()) + "_TLS_");
  tafel.starten({"--tafel", url + "/T1", "--halle-ca", o + "/ca.crt", "--halle-zugang", o + "/zugang"});
  const auto tafeln = [&](const std::string& zugang) {
    return ausgabe(std::string(VRD4_BIN_DIR "/vrd4send --halle ") + url + " --halle-ca " + o + "/ca.crt" +
                   (zugang.empty() ? "" : " --halle-zugang " + o + "/" + zugang) + " --tafeln 2>&1; echo status $?");
  };
  EXPECT_TRUE(warteBis([&] { return tafeln("zugang").find("\nT1 ") != std::string::npos; }, kStartSekunden))
      << tafeln("zugang");
  for (const char* zugang : {"", "falsch"}) {
    const std::string t = tafeln(zugang);
    EXPECT_NE(t.find("verweigert: nicht berechtigt"), std::string::npos) << t;
    EXPECT_NE(t.find("status 3"), std::string::npos) << t;
  }
}

}  // namespace
}  // namespace vrd4::e2e
