// The recipes of docs/hall.md, run as they stand (Rezepte.h says what is
// moved onto the test's folder and ports): a broker on a plain LAN lets only
// the publisher write and no one take a board's id; a hall over TLS from the
// certificate recipe, with boards set up as systemd user services, listed
// and one of them retired; and a second hall behind the one-way bridge,
// whose boards follow, catch up after the link was cut and never draw
// anything stale.
#include <pwd.h>

#include "HalleHilfe.h"
#include "Rezepte.h"
#include "TcpStrecke.h"

namespace vrd4::e2e {
namespace {

using Uhr = std::chrono::steady_clock;

const std::string kPasswort = "rezept-" + std::to_string(::getpid());
const std::string kSuffix = std::to_string(::getpid() % 100000);

// One site: a folder standing in for a PC's /etc, /var and /run, and a
// broker set up there from the recipes.
struct Ort {
  QTemporaryDir d;
  std::string w = d.path().toStdString();
  std::unique_ptr<halle::test::MosquittoBroker> broker = std::make_unique<halle::test::MosquittoBroker>();
  Ersetzungen ersetzungen;
  Ersetzungen namen;  // the recipes' board names, for the users of this broker
  std::string pfad(const std::string& p) const { return w + p; }
};

class HalleRezepte : public Halle {
 protected:
  void SetUp() override {
    if (halle::test::mosquittoProgramm().empty()) GTEST_SKIP() << "mosquitto is not installed: no hall test";
    if (::geteuid() != 0) GTEST_SKIP() << "the recipes are an administrator's (chown, a broker that drops to mosquitto)";
    rezepte = rezepteLesen(VRD4_SOURCE_DIR "/docs/hall.md");
    for (const char* name : {"broker-lan", "broker-tls", "ca", "passwoerter", "acl", "broker-start", "tafel", "pruefen",
                             "entfernen", "bruecke"})
      ASSERT_TRUE(rezepte.contains(name)) << "docs/hall.md has no recipe " << name;
  }
  void TearDown() override {
    for (Ort* o : {&a, &b})
      if (HasFailure()) std::cerr << "broker log:\n" << ausgabe("cat " + o->pfad("/var/log/mosquitto/mosquitto.log"));
    Halle::TearDown();
  }

  // The broker of `o` from the recipes: passwords, ACL, `konfig` (and the
  // bridge recipe when `bruecke`), started as its recipe says, under
  // Debian's own mosquitto.conf. Names as `namen` has them.
  void einrichten(Ort& o, const std::string& konfig, const Ersetzungen& namen, uint16_t tlsZiel, bool bruecke,
                  const std::string& caPfad) {
    ::chmod(o.w.c_str(), 0755);  // the broker drops to the user mosquitto
    const passwd* m = ::getpwnam("mosquitto");
    for (const char* d : {"/etc/mosquitto/conf.d", "/var/lib/mosquitto", "/run/mosquitto", "/var/log/mosquitto", "/home"}) {
      std::filesystem::create_directories(o.pfad(d));
      if (m && !std::string(d).starts_with("/etc") && !std::string(d).starts_with("/home")) {
        ASSERT_EQ(::chown(o.pfad(d).c_str(), m->pw_uid, m->pw_gid), 0);
      }
    }
    const std::string port = std::to_string(o.broker->port());
    o.ersetzungen = {{"/etc/mosquitto", o.pfad("/etc/mosquitto")},
                     {"/var/lib/mosquitto", o.pfad("/var/lib/mosquitto")},
                     {"/run/mosquitto", o.pfad("/run/mosquitto")},
                     {"/var/log/mosquitto", o.pfad("/var/log/mosquitto")},
                     {"/media/usb/ca.crt", caPfad},
                     {"192.168.1.10", "127.0.0.1"},
                     {"broker.halle:8883", "127.0.0.1:" + std::to_string(tlsZiel)},
                     {"listener 8883", "listener " + port + " 127.0.0.1"},
                     {"listener 1883", "listener " + port + " 127.0.0.1"},
                     {"GEHEIM", kPasswort}};
    o.namen = namen;
    if (konfig == "broker-tls") ausfuehren(o, "ca", o.pfad("/home"));
    ausfuehren(o, "passwoerter", o.pfad("/home"));
    for (const std::string& datei : {std::string("acl"), konfig, bruecke ? std::string("bruecke") : std::string()})
      if (!datei.empty())
        std::ofstream(ersetzen(rezepte[datei].datei, o.ersetzungen)) << ersetzen(ersetzen(rezepte[datei].text, namen), o.ersetzungen);
    ausfuehren(o, "broker-start", o.pfad("/home"));
    EXPECT_EQ(stub(o.pfad("/home")), "restart mosquitto\n");
    // Debian's mosquitto.conf reads conf.d and keeps persistence on.
    std::string haupt = dateiInhalt("/etc/mosquitto/mosquitto.conf");
    if (haupt.empty())
      haupt = "persistence true\npersistence_location /var/lib/mosquitto/\ninclude_dir /etc/mosquitto/conf.d\n";
    o.broker->konfigDatei(ersetzen(haupt, o.ersetzungen));
    ASSERT_TRUE(o.broker->starten()) << "mosquitto did not start with the recipes' configuration";
  }
  // Runs shell recipe `name` of `o` as the user whose home is `heim`, its
  // board names as `namen` has them (empty: the broker's); it ends with
  // `status`.
  Lauf ausfuehren(Ort& o, const std::string& name, const std::string& heim, const Ersetzungen& namen = {},
                  int status = 0) {
    std::filesystem::create_directories(heim);
    const std::string text = ersetzen(ersetzen(rezepte[name].text, namen.empty() ? o.namen : namen), o.ersetzungen);
    const Lauf l = rezeptAusfuehren(text, heim, kPasswort, heim + "/.systemctl");
    EXPECT_EQ(l.status, status) << "recipe " << name << ":\n" << l.ausgabe;
    return l;
  }
  static std::string stub(const std::string& heim) {
    const std::string s = dateiInhalt(heim + "/.systemctl");
    std::filesystem::remove(heim + "/.systemctl");
    return s;
  }
  // A file with a user's credentials, as the recipes write them.
  std::string zugang(Ort& o, const std::string& benutzer) {
    const std::string datei = o.pfad("/home/" + benutzer + ".zugang");
    std::ofstream(datei) << benutzer << "\n" << kPasswort << "\n";
    return datei;
  }
  // A board's PC from the recipe "tafel" (board `name` in place of Nord):
  // the unit it enables is what starts the board.
  std::unique_ptr<Empfaenger> tafelAlsDienst(Ort& o, const std::string& name) {
    const std::string heim = o.pfad("/home/" + name);
    ausfuehren(o, "tafel", heim, {{"Nord", name}});
    const std::string einheit = "vrd4empfaenger@" + name + ".service";
    EXPECT_EQ(stub(heim), "--user enable --now " + einheit + "\n");
    std::string fehler;
    auto worte = einheitAufruf(VRD4_EINHEIT, einheit, heim, fehler);
    EXPECT_TRUE(fehler.empty()) << fehler;
    if (worte.empty()) return nullptr;
    worte.erase(worte.begin());  // the program: our own copy
    auto t = std::make_unique<Empfaenger>(name);
    mitProtokoll(*t, worte);
    return t;
  }
  // The publisher of hall Halle1 on `url` with the user quelle.
  void quelleAn(const std::string& url, std::vector<std::string> mehr) {
    halleUrl = url;
    mehr.insert(mehr.begin(), {"--halle-zugang", zugang(a, "quelle")});
    ASSERT_NO_FATAL_FAILURE(quelleStarten(mehr));
  }

  std::map<std::string, Rezept> rezepte;
  Ort a, b;
  const std::string nord = "Nord" + kSuffix, sued = "Sued" + kSuffix, west = "West" + kSuffix, ost = "Ost" + kSuffix;
};

TEST_F(HalleRezepte, OnTheLanConfigurationOnlyThePublisherWritesAndNoOneTakesABoardsId) {
  ASSERT_NO_FATAL_FAILURE(einrichten(a, "broker-lan", {{"Nord", nord}, {"Sued", sued}}, 0, false, ""));
  const std::string url = "mqtt://127.0.0.1:" + std::to_string(a.broker->port()) + "/Halle1";
  ASSERT_NO_FATAL_FAILURE(quelleAn(url, {}));
  senden(tafelBauen(20, bild, gif));
  tafel = std::make_unique<Empfaenger>(praefixT);
  mitProtokoll(*tafel, {"--tafel", url + "/" + nord, "--halle-zugang", zugang(a, nord)});
  const std::vector<std::string> leser{"--halle-zugang", zugang(a, "leser")};
  ASSERT_TRUE(tafelZeigt(nord.c_str(), " online 22 0 ", kStartSekunden, leser)) << tafeln(leser);
  ASSERT_TRUE(gleich(*tafel));
  const std::string vorher = tafeln(leser);
  const uint64_t lauf = std::stoull(vorher.substr(vorher.find("Lauf ") + 5, 16), nullptr, 16);

  // Another board and a reader write what only the publisher may: the
  // broker acknowledges and hands it to no one.
  const std::vector<halle::Eintrag> falsch{{"Befehl\x1b" "Cls", {}}};
  for (const std::string& wer : {sued, std::string("leser")}) {
    TestKlient k(url, "vrd4-test-" + wer, {}, "", {wer, kPasswort});
    ASSERT_TRUE(k.senden({{"vrd4/Halle1/szene", halle::szeneSchreiben(lauf, ~uint64_t{0}, falsch)},
                          {"vrd4/Halle1/befehle", halle::befehlSchreiben(lauf, 23, "Befehl\x1b" "Cls", {})},
                          {"vrd4/Halle1/status", R"({"online":false})"}},
                         true));
  }
  // The reader takes the board's id (with use_username_as_clientid it is
  // the board's user name): it gets its own name instead.
  {
    TestKlient dieb(url, nord, {}, "", {"leser", kPasswort});
    senden(tafelBauen(10, bild, gif));
    senden({befehl({u"Linie", u"0", u"240", u"767", u"240", u"3", u"65280"})});
    EXPECT_TRUE(gleich(*tafel));
  }
  const std::string liste = tafeln(leser);
  EXPECT_NE(zeileVon(liste, nord).find(" online 35 0 "), std::string::npos) << liste;
  EXPECT_TRUE(liste.starts_with("Quelle: online, Lauf " + halle::laufText(lauf) + ", Befehl 35, ")) << liste;
  EXPECT_EQ(liste.find("fremde Nachrichten"), std::string::npos) << "the publisher saw no stranger\n" << liste;
  EXPECT_EQ(mal(*quelle, "fremder Schreiber"), 0) << protokoll(*quelle);
  EXPECT_EQ(mal(*tafel, "Halle: Verbindung zum Broker"), 0) << "never thrown off\n" << protokoll(*tafel);
}

TEST_F(HalleRezepte, ATlsHallOfBoardsAsServicesIsListedRetiresABoardAndASecondHallFollowsOverTheBridge) {
  // Hall 1: its CA, broker, publisher, and two boards set up as services.
  ASSERT_NO_FATAL_FAILURE(einrichten(a, "broker-tls", {{"Nord", nord}, {"Sued", sued}}, a.broker->port(), false,
                                     a.pfad("/etc/mosquitto/certs/ca.crt")));
  const std::string ca = a.pfad("/etc/mosquitto/certs/ca.crt");
  ASSERT_NO_FATAL_FAILURE(quelleAn("mqtts://127.0.0.1:" + std::to_string(a.broker->port()) + "/Halle1", {"--halle-ca", ca}));
  senden(tafelBauen(20, bild, gif));
  tafel = tafelAlsDienst(a, nord);
  auto sued1 = tafelAlsDienst(a, sued);
  ASSERT_TRUE(tafel && sued1);
  const auto pruefen = [&] { return ausfuehren(a, "pruefen", a.pfad("/home/admin")).ausgabe; };
  EXPECT_TRUE(warteBis([&] {
    const std::string l = pruefen();
    return zeileVon(l, nord).find(" online 22 0 ") != std::string::npos &&
           zeileVon(l, sued).find(" online 22 0 ") != std::string::npos;
  }, kStartSekunden)) << pruefen() << protokoll(*tafel);
  EXPECT_TRUE(gleich(*tafel));
  EXPECT_TRUE(gleich(*sued1));

  // Sued is taken out of the hall: ended, then retired.
  EXPECT_NE(ausfuehren(a, "entfernen", a.pfad("/home/admin"), {}, 1).ausgabe.find(" ist online; erst die Tafel beenden"),
            std::string::npos)
      << "not while it runs";
  kill(sued1->pid(), SIGTERM);
  ASSERT_TRUE(sued1->warteAufEnde(kSekunden));
  EXPECT_TRUE(warteBis([&] { return zeileVon(pruefen(), sued).find(" offline 22 ") != std::string::npos; }, kSekunden));
  EXPECT_EQ(ausfuehren(a, "entfernen", a.pfad("/home/admin")).ausgabe, "Tafel " + sued + " entfernt\n");
  EXPECT_EQ(zeileVon(pruefen(), sued), "") << pruefen();

  // Hall 2 behind the one-way bridge (the link runs through a line the
  // test can cut): its boards follow hall 1's publisher.
  halle::test::TcpStrecke link(a.broker->port());
  std::filesystem::create_directories(b.pfad("/etc/mosquitto/certs"));
  std::filesystem::copy_file(ca, b.pfad("/etc/mosquitto/certs/ca.crt"));  // hall 1's CA certificate
  ASSERT_NO_FATAL_FAILURE(einrichten(b, "broker-lan", {{"Nord", west}, {"Sued", ost}}, link.port(), true, ""));
  const std::string urlB = "mqtt://127.0.0.1:" + std::to_string(b.broker->port()) + "/Halle1";
  Empfaenger westT(praefixT + "w");
  mitProtokoll(westT, {"--tafel", urlB + "/" + west, "--halle-zugang", zugang(b, west)});
  const std::vector<std::string> leserB{"--halle-zugang", zugang(b, "leser")};
  EXPECT_TRUE(tafelZeigt(west.c_str(), " online 22 0 ", kStartSekunden, leserB, urlB)) << tafeln(leserB, urlB);
  EXPECT_TRUE(gleich(westT));
  EXPECT_TRUE(warteBis([&] { return zeileVon(pruefen(), west).find(" online 22 0 ") != std::string::npos; }, kSekunden))
      << "hall 1 lists hall 2's boards\n" << pruefen();

  // The link is cut while the publisher goes on; when it is back, hall 2
  // catches up, and a board that joins there draws the current scene.
  link.trennen();
  senden(tafelBauen(10, bild, gif));
  senden({befehl({u"Linie", u"0", u"300", u"767", u"300", u"5", u"255"})});
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const auto zurueck = Uhr::now();
  link.verbinden();
  EXPECT_TRUE(gleich(westT, 40)) << "hall 2 catches up after the link returned";
  std::cerr << "hall 2 identical " << std::chrono::duration<double>(Uhr::now() - zurueck).count()
            << " s after the link returned\n";
  Empfaenger ostT(praefixT + "o");
  mitProtokoll(ostT, {"--tafel", urlB + "/" + ost, "--halle-zugang", zugang(b, ost)});
  EXPECT_TRUE(tafelZeigt(ost.c_str(), " online 35 0 ", kStartSekunden, leserB, urlB)) << tafeln(leserB, urlB);
  EXPECT_TRUE(gleich(ostT));
  // Nothing stale came back to hall 1: its retained scene is the
  // publisher's last, and no board there drew an older one.
  {
    TestKlient leser(halleUrl, "vrd4-test-leser", {"vrd4/Halle1/szene", "vrd4/Halle1/status"}, ca, {"leser", kPasswort});
    const auto szene = halle::kopfLesen(leser.letzte("vrd4/Halle1/szene").value_or(""));
    const auto status = halle::statusLesen(leser.letzte("vrd4/Halle1/status").value_or(""));
    ASSERT_TRUE(szene && status);
    EXPECT_EQ(std::tie(szene->seq, status->seq), std::tuple(35u, 35u));
    EXPECT_EQ(halle::laufText(szene->lauf), status->lauf);
  }
  for (const Empfaenger* t : {tafel.get(), &westT, &ostT}) EXPECT_EQ(mal(*t, "älter"), 0) << protokoll(*t);
  senden(tafelBauen(10, bild, gif));
  for (Empfaenger* t : {tafel.get(), &westT, &ostT}) EXPECT_TRUE(gleich(*t));
}

}  // namespace
}  // namespace vrd4::e2e
