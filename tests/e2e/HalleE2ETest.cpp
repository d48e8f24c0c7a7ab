// A hall of screens through a real mosquitto on loopback: the publishing
// receiver takes commands from its ring; three boards follow it, from before
// its first command, from the middle of its stream and after it, one of them
// through the broker and the board itself being killed and hostile messages
// on the hall's topics; vrd4send --tafeln sees the boards level with the
// publisher. Over TLS a board with its password follows; without it, the
// broker refuses it and the board says so.
#include <fcntl.h>

#include <fstream>
#include <sstream>

#include "E2EHilfe.h"
#include "MosquittoBroker.h"
#include "channel/ClsVRD4Memory.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"

namespace vrd4::e2e {
namespace {

// Drawings under a blinking text, a scrolling text and a playing GIF, each
// in slot 1. The phase of a text effect differs from board to board by
// nature: both are deleted by the end of every round of ten, so boards are
// compared at the end of a round (n a multiple of 10). The GIF has one frame
// and stays until the next round's: it shows the same on every board.
std::vector<std::u16string> tafelBauen(int n, const std::u16string& bild, const std::u16string& gif) {
  std::vector<std::u16string> b{befehl({u"Hintergrundfarbe", u"4210752"}), befehl({u"Cls"})};
  for (int i = 0; i < n; ++i) {
    const auto z = [](int v) { return QString::number(v).toStdU16String(); };
    switch (i % 10) {
      case 0: b.push_back(befehl({u"Linie", z(i % 700), u"5", z(700 - i % 700), u"470", u"2", z(i * 977 % 16777216)})); break;
      case 1: b.push_back(befehl({u"Rechteck", z(i % 600), z(i % 400), z(i % 600 + 60), z(i % 400 + 40), u"1", z(i * 31337 % 16777216), u"-1"})); break;
      case 2: b.push_back(befehl({u"BildAnzeigenanPosition", bild, z(i % 700), z(i % 440), z(i % 700 + 20), z(i % 440 + 20), u"-1", u"0"})); break;
      case 3: b.push_back(befehl({u"Blinktext", u"1", u"1", u"50", u"20", u"x", u"0", u"Liberation Sans", u"12", u"0", u"0", u"0", u"0", u"-1", u"255", u"0", u"0.5"})); break;
      case 4: b.push_back(befehl({u"Lauftext", u"100", u"300", u"400", u"330", u"Laufschrift über die Tafel", u"Liberation Sans", u"20", u"0", u"0", u"0", u"0", u"0", u"16777215", u"128", u"0.2", u"0"})); break;
      case 5: b.push_back(befehl({u"AniGifLoeschen", u"1"})); break;
      case 6: b.push_back(befehl({u"AniGifLadenanPosition", gif, z(i % 700), u"50", z(i % 700 + 60), u"90", u"0", u"0", u""})); break;
      case 7: b.push_back(befehl({u"AniGifStarten", u"1", u"0"})); break;
      case 8: b.push_back(befehl({u"BlinktextLoeschen", u"1"})); break;
      default: b.push_back(befehl({u"LauftextLoeschen", u"1"})); break;
    }
  }
  return b;
}

class Halle : public ::testing::Test, protected Ring {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(brokerStarten("", "mqtt")); }
  // A broker with `konfig` (empty: anonymous, no TLS).
  void brokerStarten(const std::string& konfig, const std::string& schema) {
    if (halle::test::mosquittoProgramm().empty()) GTEST_SKIP() << "mosquitto is not installed: no hall test";
    broker = std::make_unique<halle::test::MosquittoBroker>(konfig);
    ASSERT_TRUE(broker->starten()) << "mosquitto did not start";
    halleUrl = schema + "://127.0.0.1:" + std::to_string(broker->port()) + "/H";
  }
  // The publisher, fed through the ring; it connects with `zugang`
  // (--halle-ca, --halle-zugang).
  void quelleStarten(std::vector<std::string> zugang = {}) {
    channel::setChannelNamePrefix(praefixQ);
    ringFrischAnlegen();
    quelle = std::make_unique<Empfaenger>(praefixQ);
    zugang.insert(zugang.begin(), {"--halle", halleUrl});
    quelle->starten(zugang);
    ASSERT_TRUE(gestartet());
    // Named from the program's folder: a board finds no such file in its own.
    const QString ordner = QString::fromStdString(quelle->ordner());
    ASSERT_TRUE(QFile::copy(QStringLiteral(VRD4_TEST_DATA_DIR "/engine/rot_4x4.bmp"), ordner + "/nur_hier.bmp"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VRD4_TEST_DATA_DIR "/gif/einfarbig_87a_giflib.gif"), ordner + "/nur_hier.gif"));
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
  // Starts board `name` with `mehr`; its status-list history (stderr, as
  // when a sending program starts it) goes to "protokoll" in its folder.
  void tafelStarten(Empfaenger& t, const std::string& name, std::vector<std::string> mehr = {}) {
    mehr.insert(mehr.begin(), {"--tafel", halleUrl + "/" + name});
    const int datei = ::open((t.ordner() + "/protokoll").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int fehler = ::dup(2);
    ::dup2(datei, 2);
    t.starten(mehr);
    ::dup2(fehler, 2);
    ::close(fehler);
    ::close(datei);
  }
  // The history shows `zeile` within the time.
  static bool protokolliert(const Empfaenger& t, const std::string& zeile, double sekunden = kSekunden) {
    return warteBis([&] {
      std::stringstream s;
      s << std::ifstream(t.ordner() + "/protokoll").rdbuf();
      return s.str().find(zeile) != std::string::npos;
    }, sekunden);
  }
  bool gleich(Empfaenger& t) {
    return warteBis([&] { const QImage a = quelle->schnappschuss(); return !a.isNull() && a == t.schnappschuss(); }, kSekunden);
  }
  // vrd4send --tafeln with `zugang`: its output, error output and "status N".
  std::string tafeln(const std::vector<std::string>& zugang = {}) {
    std::string aufruf = VRD4_BIN_DIR "/vrd4send --tafeln --halle " + halleUrl;
    for (const auto& a : zugang) aufruf += " " + a;
    return ausgabe(aufruf + " 2>&1; echo status $?");
  }
  // Board `name`'s line of the listing, blanks squeezed, shows `was` within the time.
  bool tafelZeigt(const std::string& name, const char* was, double sekunden, const std::vector<std::string>& zugang = {}) {
    return warteBis([&] {
      const std::string t = tafeln(zugang);
      const auto a = t.find("\n" + name + " ");
      std::string z;
      for (char c : t.substr(std::min(a + 1, t.size()), t.find('\n', a + 1) - a - 1))
        if (c != ' ' || z.empty() || z.back() != ' ') z += c;
      return a != std::string::npos && (z + " ").find(was) != std::string::npos;
    }, sekunden);
  }
  // Publishes each (topic, payload) as a client of the test's own and waits
  // until the broker has them all.
  void stoeren(const std::vector<std::pair<std::string, std::string>>& nachrichten) {
    halle::MqttEinstellungen e;
    e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(halleUrl, false));
    e.clientId = "vrd4-test-stoerer";
    halle::MqttKlient k(e);
    std::string fehler;
    ASSERT_TRUE(k.starten(fehler)) << fehler;
    ASSERT_TRUE(warteBis([&] { return k.verbunden(); }, kSekunden));
    for (const auto& [topic, payload] : nachrichten) ASSERT_TRUE(k.senden(topic, payload, false));
    std::size_t bestaetigt = 0;
    EXPECT_TRUE(warteBis([&] {
      for (const auto& ereignis : k.abholen()) bestaetigt += ereignis.art == halle::MqttKlient::Ereignis::Art::Bestaetigt;
      return bestaetigt == nachrichten.size();
    }, kSekunden));
    k.beenden(std::nullopt, std::chrono::milliseconds(0));
  }
  // The most memory the board's process has held, in MB.
  double tafelSpitzeMb() {
    std::ifstream f("/proc/" + std::to_string(tafel->pid()) + "/status");
    for (std::string z; std::getline(f, z);)
      if (z.starts_with("VmHWM:")) return std::stod(z.substr(6)) / 1024;
    return 0;
  }

  std::unique_ptr<halle::test::MosquittoBroker> broker;
  std::string halleUrl;
  const std::string praefixQ = "t_halle_" + std::to_string(getpid()) + "_Q_";
  const std::string praefixT = "t_halle_" + std::to_string(getpid()) + "_T_";
  std::unique_ptr<Empfaenger> quelle, tafel;
  const std::u16string bild = u"nur_hier.bmp", gif = u"nur_hier.gif";
};

TEST_F(Halle, ThreeBoardsFollowFromAnyMomentThroughKilledBrokerAndBoardAndHostileMessagesAndEndLevel) {
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

  // The broker dies mid-stream: the publisher's board goes on reading its
  // ring, and both ends reconnect by themselves.
  broker->stoppen(SIGKILL);
  senden(tafelBauen(40, bild, gif));
  ASSERT_TRUE(broker->starten());
  senden({befehl({u"Linie", u"0", u"0", u"767", u"479", u"4", u"16711935"})});
  EXPECT_TRUE(gleich(*tafel)) << "both ends reconnect and the scene brings the board level";
  EXPECT_TRUE(protokolliert(*tafel, "Halle: Verbindung zum Broker: Verbindung verloren"));

  // The board dies mid-stream and comes back.
  kill(tafel->pid(), SIGKILL);
  ASSERT_TRUE(tafel->warteAufEnde(kSekunden));
  senden(tafelBauen(20, bild, gif));
  tafelStarten(*tafel, "T1");
  ASSERT_TRUE(tafelZeigt("T1", " online ", kStartSekunden));
  EXPECT_TRUE(gleich(*tafel)) << "the restarted board draws the scene";

  // Hostile messages: each is dropped with a line in the board's status
  // list (and its history), the one over the bound without being copied;
  // the board goes on.
  const std::vector<uint8_t> keinBild;
  const std::string quellZeile = tafeln();
  const uint64_t lauf = std::stoull(quellZeile.substr(quellZeile.find("Lauf ") + 5, 16), nullptr, 16);
  stoeren({{"vrd4/H/befehle", "kein Befehl"},
           {"vrd4/H/befehle", std::string(100u << 20, 'x')},
           {"vrd4/H/befehle", halle::befehlSchreiben(42, 7, "Befehl\x1b" "Cls", keinBild)},
           {"vrd4/H/befehle", halle::befehlSchreiben(lauf, 1u << 30, "Befehl\x1b" "Cls", keinBild)},
           {"vrd4/H/szene", "VRD4H1 S zz 1 1\n"}});
  senden({befehl({u"Rechteck", u"10", u"10", u"300", u"200", u"1", u"255", u"-1"})});
  EXPECT_TRUE(gleich(*tafel)) << "the board goes on after hostile messages";
  for (const char* zeile : {"Halle: unlesbarer Befehl verworfen (11 Bytes)",
                            "Halle: Nachricht auf vrd4/H/befehle verworfen (104857600 Bytes, über der Grenze)",
                            "Halle: Befehl 7 eines fremden Laufs 000000000000002a wartet auf dessen Szene",
                            "Halle: Befehl 1073741824 statt 1110: Lücke, wartet auf die nächste Szene",
                            "Halle: unlesbare Szene verworfen (16 Bytes)"})
    EXPECT_TRUE(protokolliert(*tafel, zeile)) << zeile;
  EXPECT_LT(tafelSpitzeMb(), 400) << "a 100 MB message is not held";

  EXPECT_TRUE(tafelZeigt("T1", " online 1110 0 ", kSekunden))
      << "vrd4send --tafeln: T1 drew all 1110 commands, none behind\n" << tafeln();
}

// TLS with a CA, a broker certificate and a password file made here: the
// publisher and a board with their passwords connect, the board follows and
// is listed; a board or a reader without a password or with a wrong one is
// refused, says so in its history (vrd4send: exit status 3) and is not listed.
class HalleTls : public Halle {
 protected:
  void SetUp() override {
    if (halle::test::mosquittoProgramm().empty()) GTEST_SKIP() << "mosquitto is not installed: no hall test";
    const std::string machen =
        "cd " + o + " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj /CN=ca"
        " && openssl req -newkey rsa:2048 -nodes -keyout b.key -out b.csr -subj /CN=127.0.0.1"
        " && printf 'subjectAltName=IP:127.0.0.1' > ext && openssl x509 -req -in b.csr -CA ca.crt -CAkey ca.key"
        " -CAcreateserial -out b.crt -days 2 -extfile ext && mosquitto_passwd -c -b pw T1 geheim"
        " && mosquitto_passwd -b pw quelle geheim2 && printf 'quelle\\ngeheim2\\n' > quelle"
        " && printf 'T1\\ngeheim\\n' > zugang && printf 'T1\\nfalsch\\n' > falsch";
    ASSERT_EQ(std::system(("(" + machen + ") >/dev/null 2>&1").c_str()), 0) << machen;
    // user root: a broker started as root keeps the rights to read the test's files.
    ASSERT_NO_FATAL_FAILURE(brokerStarten("cafile " + o + "/ca.crt\ncertfile " + o + "/b.crt\nkeyfile " + o +
                                              "/b.key\nallow_anonymous false\npassword_file " + o + "/pw\nuser root\n",
                                          "mqtts"));
    ASSERT_NO_FATAL_FAILURE(quelleStarten({"--halle-ca", o + "/ca.crt", "--halle-zugang", o + "/quelle"}));
  }
  std::vector<std::string> mit(const std::string& zugang) {
    std::vector<std::string> a{"--halle-ca", o + "/ca.crt"};
    if (!zugang.empty()) a.insert(a.end(), {"--halle-zugang", o + "/" + zugang});
    return a;
  }
  QTemporaryDir d;
  const std::string o = d.path().toStdString();
};

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
    const std::string t = tafeln(mit(zugang));
    EXPECT_NE(t.find("verweigert: nicht berechtigt"), std::string::npos) << t;
    EXPECT_NE(t.find("status 3"), std::string::npos) << t;
  }
  EXPECT_EQ(tafeln(mit("zugang")).find("\nT2 "), std::string::npos) << "a refused board is not listed";
}

}  // namespace
}  // namespace vrd4::e2e
