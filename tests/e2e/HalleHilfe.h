// Shared by the hall's end-to-end tests: a mosquitto of the test's own, the
// publishing receiver fed through its ring, boards started with their
// history (stderr) in a file, vrd4send --tafeln, and a client of the test's
// own that writes what a stranger would.
#pragma once

#include <fstream>
#include <thread>
#include <sstream>

#include "E2EHilfe.h"
#include "MosquittoBroker.h"
#include "channel/ClsVRD4Memory.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"
#include "hall/TafelStatus.h"

namespace vrd4::e2e {

// Drawings under a blinking text, a scrolling text and a playing GIF, each
// in slot 1. The phase of a text effect differs from board to board by
// nature: both are deleted by the end of every round of ten, so boards are
// compared at the end of a round (n a multiple of 10). The GIF has one frame
// and stays until the next round's: it shows the same on every board.
inline std::vector<std::u16string> tafelBauen(int n, const std::u16string& bild, const std::u16string& gif) {
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

// A client of the test's own on the hall's broker (a stranger, a reader).
class TestKlient {
 public:
  TestKlient(const std::string& url, const std::string& clientId, std::vector<std::string> abos = {},
             const std::string& ca = "", std::pair<std::string, std::string> zugang = {}) {
    halle::MqttEinstellungen e;
    e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(url, false));
    e.clientId = clientId;
    e.caDatei = ca;
    std::tie(e.benutzer, e.passwort) = zugang;
    k_ = std::make_unique<halle::MqttKlient>(e);
    for (const auto& a : abos) k_->abonnieren(a);
    std::string fehler;
    EXPECT_TRUE(k_->starten(fehler, 0)) << fehler;
    verbunden_ = warteBis([&] { return holen(), k_->verbunden(); }, kSekunden);
    EXPECT_TRUE(verbunden_) << "the test's client did not connect";
  }
  ~TestKlient() { k_->beenden(std::nullopt, std::chrono::milliseconds(0)); }
  // Publishes each (topic, payload) and waits until the broker has them all.
  bool senden(const std::vector<std::pair<std::string, std::string>>& nachrichten, bool retain = false) {
    std::size_t offen = 0;
    for (const auto& [topic, payload] : nachrichten) offen += k_->senden(topic, payload, retain).has_value();
    if (offen != nachrichten.size()) return false;
    return warteBis([&] {
      for (const auto& e : holen()) offen -= e.art == halle::MqttKlient::Ereignis::Art::Bestaetigt && offen > 0;
      return offen == 0;
    }, kSekunden);
  }
  // The last message on `topic` within the time (payload), once one came.
  std::optional<std::string> letzte(const std::string& topic, double sekunden = kSekunden) {
    std::optional<std::string> r;
    warteBis([&] {
      holen();
      if (const auto it = gesehen_.find(topic); it != gesehen_.end()) r = it->second;
      return r.has_value();
    }, sekunden);
    return r;
  }
  std::vector<halle::MqttKlient::Ereignis> holen() {
    std::vector<halle::MqttKlient::Ereignis> r;
    for (auto& e : k_->abholen(0)) {
      if (e.art == halle::MqttKlient::Ereignis::Art::Nachricht) gesehen_[e.topic] = e.payload;
      r.push_back(std::move(e));
    }
    return r;
  }
  bool verbunden() const { return verbunden_; }

 private:
  std::unique_ptr<halle::MqttKlient> k_;
  std::map<std::string, std::string> gesehen_;
  bool verbunden_ = false;
};

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
  // (--halle-ca, --halle-zugang). Its history goes to "protokoll" in its
  // folder.
  void quelleStarten(std::vector<std::string> zugang = {}) {
    channel::setChannelNamePrefix(praefixQ);
    ringFrischAnlegen();
    quelle = std::make_unique<Empfaenger>(praefixQ);
    zugang.insert(zugang.begin(), {"--halle", halleUrl});
    mitProtokoll(*quelle, zugang);
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
  // Starts `t` with `args`; its status-list history (stderr, as when a
  // sending program starts it) goes to "protokoll" in its folder.
  static void mitProtokoll(Empfaenger& t, const std::vector<std::string>& args) { t.starten(args, "protokoll"); }
  // Starts board `name` of the hall with `mehr`.
  void tafelStarten(Empfaenger& t, const std::string& name, std::vector<std::string> mehr = {}) {
    mehr.insert(mehr.begin(), {"--tafel", halleUrl + "/" + name});
    mitProtokoll(t, mehr);
  }
  static std::string protokoll(const Empfaenger& t) { return t.datei("protokoll"); }
  // The history shows `zeile` within the time.
  static bool protokolliert(const Empfaenger& t, const std::string& zeile, double sekunden = kSekunden) {
    return warteBis([&] { return protokoll(t).find(zeile) != std::string::npos; }, sekunden);
  }
  // How often the history shows `zeile`.
  static int mal(const Empfaenger& t, const std::string& zeile) {
    const std::string p = protokoll(t);
    int n = 0;
    for (std::size_t at = p.find(zeile); at != std::string::npos; at = p.find(zeile, at + 1)) ++n;
    return n;
  }
  // The history's lines that begin (after the time stamp) with "Halle: ",
  // in order, time stamps cut off.
  static std::vector<std::string> hallenZeilen(const Empfaenger& t) {
    std::vector<std::string> r;
    std::istringstream s(protokoll(t));
    for (std::string z; std::getline(s, z);)
      if (const auto at = z.find("Halle: "); at != std::string::npos) r.push_back(z.substr(at));
    return r;
  }
  bool gleich(Empfaenger& t, double sekunden = kSekunden) {
    return warteBis([&] { const QImage a = quelle->schnappschuss(); return !a.isNull() && a == t.schnappschuss(); }, sekunden);
  }
  // vrd4send --tafeln with `zugang`: its output, error output and "status N".
  std::string tafeln(const std::vector<std::string>& zugang = {}, const std::string& url = "") {
    std::string aufruf = VRD4_BIN_DIR "/vrd4send --tafeln --halle " + (url.empty() ? halleUrl : url);
    for (const auto& a : zugang) aufruf += " " + a;
    return ausgabe(aufruf + " 2>&1; echo status $?");
  }
  // Board `name`'s line of the listing, blanks squeezed (empty: not listed).
  static std::string zeileVon(const std::string& liste, const std::string& name) {
    const auto a = liste.find("\n" + name + " ");
    if (a == std::string::npos) return {};
    std::string z;
    for (char c : liste.substr(a + 1, liste.find('\n', a + 1) - a - 1))
      if (c != ' ' || z.empty() || z.back() != ' ') z += c;
    return z + " ";
  }
  // Board `name`'s line shows `was` within the time.
  bool tafelZeigt(const std::string& name, const char* was, double sekunden, const std::vector<std::string>& zugang = {},
                  const std::string& url = "") {
    return warteBis([&] { return zeileVon(tafeln(zugang, url), name).find(was) != std::string::npos; }, sekunden);
  }
  // The publisher's run, from the listing.
  uint64_t quellLauf() {
    const std::string t = tafeln();
    const auto at = t.find("Lauf ");
    return at == std::string::npos ? 0 : std::stoull(t.substr(at + 5, 16), nullptr, 16);
  }

  std::unique_ptr<halle::test::MosquittoBroker> broker;
  std::string halleUrl;
  const std::string praefixQ = "t_halle_" + std::to_string(getpid()) + "_Q_";
  const std::string praefixT = "t_halle_" + std::to_string(getpid()) + "_T_";
  std::unique_ptr<Empfaenger> quelle, tafel;
  const std::u16string bild = u"nur_hier.bmp", gif = u"nur_hier.gif";
};

// A hall over TLS: a CA, a broker certificate for 127.0.0.1 and a password
// file made here (users T1 "zugang", quelle "quelle"; "falsch" a wrong
// password), and the same once more under another CA in "fremd/" (a
// certificate the boards do not trust). The publisher runs.
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
        " && printf 'T1\\ngeheim\\n' > zugang && printf 'T1\\nfalsch\\n' > falsch"
        " && mkdir fremd && cd fremd && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2"
        " -subj /CN=fremd && openssl req -newkey rsa:2048 -nodes -keyout b.key -out b.csr -subj /CN=127.0.0.1"
        " && openssl x509 -req -in b.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out b.crt -days 2 -extfile ../ext";
    ASSERT_EQ(std::system(("(" + machen + ") >/dev/null 2>&1").c_str()), 0) << machen;
    ASSERT_NO_FATAL_FAILURE(brokerStarten(konfig(""), "mqtts"));
    ASSERT_NO_FATAL_FAILURE(quelleStarten({"--halle-ca", o + "/ca.crt", "--halle-zugang", o + "/quelle"}));
  }
  // The broker's TLS config with the certificate of `unter` ("" or "fremd/").
  // user root: a broker started as root keeps the rights to read the test's
  // files.
  std::string konfig(const std::string& unter) {
    return "cafile " + o + "/" + unter + "ca.crt\ncertfile " + o + "/" + unter + "b.crt\nkeyfile " + o + "/" + unter +
           "b.key\nallow_anonymous false\npassword_file " + o + "/pw\nuser root\n";
  }
  // --halle-ca and, unless `zugang` is empty, --halle-zugang with that file.
  std::vector<std::string> mit(const std::string& zugang) {
    std::vector<std::string> a{"--halle-ca", o + "/ca.crt"};
    if (!zugang.empty()) a.insert(a.end(), {"--halle-zugang", o + "/" + zugang});
    return a;
  }
  QTemporaryDir d;
  const std::string o = d.path().toStdString();
};

}  // namespace vrd4::e2e
