// vrd4halle's web side on loopback, asked as a browser and a script would:
// the page with its security rule, the JSON, the thumbnails, the password,
// the event stream and its bound; and the command line.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>

#include <chrono>
#include <thread>

#include "Optionen.h"
#include "PngMacher.h"
#include "Server.h"
#include "uebersicht/Json.h"
#include "uebersicht/Seite.h"

namespace vrd4::vrd4halle {
namespace {

using namespace std::chrono_literals;

const std::string kStatus =
    R"({"online":true,"version":"1.0.0","breite":768,"hoehe":480,"lauf":"3f2a9c0d11e84b70","seq":5,"zeit":"2026-12-07T09:40:00Z"})";

struct Laufend {
  explicit Laufend(ServerEinstellungen e = {}) : stand("H"), web(stand, [&] {
    e.adresse = {"127.0.0.1", 0};
    return e;
  }()) {
    std::string fehler;
    EXPECT_TRUE(web.binden(fehler)) << fehler;
    faden = std::thread([this] { web.laufen(); });
    http = std::make_unique<httplib::Client>("127.0.0.1", web.port());
    http->set_connection_timeout(5);
    http->set_read_timeout(5);
  }
  ~Laufend() {
    web.stoppen();
    faden.join();
  }
  void melden(const std::string& topic, const std::string& payload) {
    stand.aendern([&](uebersicht::Uebersicht& u) { return u.nachricht(topic, payload, false, 1796638862); });
  }
  Hallenstand stand;
  Webserver web;
  std::thread faden;
  std::unique_ptr<httplib::Client> http;
  httplib::Client& client() { return *http; }
};

std::string sha256Base64(std::string_view t) {
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(t.data(), t.size(), d, &n, EVP_sha256(), nullptr);
  std::string z(64, '\0');
  z.resize(static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(z.data()), d, static_cast<int>(n))));
  return z;
}

TEST(Webserver, ServesThePageTheJsonAndTheThumbnails) {
  Laufend l;
  auto seite = l.client().Get("/");
  ASSERT_TRUE(seite);
  EXPECT_EQ(seite->status, 200);
  EXPECT_EQ(seite->body, uebersicht::seite());
  EXPECT_EQ(seite->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(seite->get_header_value("X-Content-Type-Options"), "nosniff");
  // The page's own script and style by their hashes, nothing from elsewhere.
  const std::string regel = seite->get_header_value("Content-Security-Policy");
  const std::string_view s = uebersicht::seite();
  const auto a = s.find("<script>") + 8, b = s.find("</script>");
  EXPECT_NE(regel.find("script-src 'sha256-" + sha256Base64(s.substr(a, b - a)) + "'"), std::string::npos) << regel;
  EXPECT_NE(regel.find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(s.find("http://"), std::string_view::npos) << "nothing loaded from outside";
  EXPECT_EQ(s.find("https://"), std::string_view::npos);
  EXPECT_EQ(s.find("innerHTML"), std::string_view::npos);

  l.melden("vrd4/H/tafel/Nord/status", kStatus);
  const std::string png = uebersicht::test::pngKopf(320, 200);
  l.melden("vrd4/H/tafel/Nord/bild", png);
  auto json = l.client().Get("/tafeln.json");
  ASSERT_TRUE(json);
  EXPECT_EQ(json->get_header_value("Content-Type"), "application/json; charset=utf-8");
  const auto w = uebersicht::jsonLesen(json->body);
  ASSERT_TRUE(w);
  const auto& tafel = w->feld("tafeln")->liste()->at(0);
  EXPECT_EQ(*tafel.feld("name")->text(), "Nord");
  const std::string url = *tafel.feld("bild")->feld("url")->text();
  EXPECT_TRUE(url.starts_with("/tafel/Nord.png?v=")) << url;

  auto bild = l.client().Get(url.c_str());
  ASSERT_TRUE(bild);
  EXPECT_EQ(bild->status, 200);
  EXPECT_EQ(bild->body, png);
  EXPECT_EQ(bild->get_header_value("Content-Type"), "image/png");
  httplib::Headers wieder{{"If-None-Match", bild->get_header_value("ETag")}};
  EXPECT_EQ(l.client().Get("/tafel/Nord.png", wieder)->status, 304);
  struct Zeile {
    const char* pfad;
    int status;
  };
  const Zeile zeilen[] = {{"/tafel/Sued.png", 404}, {"/tafel/%3Cb%3E.png", 404}, {"/quelle.png", 404},
                          {"/tafel/Nord.png/../x", 404}, {"/etc/passwd", 404}};
  for (const auto& z : zeilen) EXPECT_EQ(l.client().Get(z.pfad)->status, z.status) << z.pfad;
  EXPECT_EQ(l.client().Post("/tafeln.json", "x", "text/plain")->status, 405);
}

TEST(Webserver, AsksForThePasswordWhenOneIsSet) {
  ServerEinstellungen e;
  e.benutzer = "leitung";
  e.passwort = "geheim:mit Doppelpunkt";
  Laufend l(e);
  for (const char* pfad : {"/", "/tafeln.json", "/ereignisse", "/tafel/Nord.png"}) {
    const auto r = l.client().Get(pfad);
    ASSERT_TRUE(r) << pfad;
    EXPECT_EQ(r->status, 401) << pfad;
    EXPECT_NE(r->get_header_value("WWW-Authenticate").find("Basic"), std::string::npos);
  }
  l.client().set_basic_auth("leitung", "falsch");
  EXPECT_EQ(l.client().Get("/")->status, 401);
  l.client().set_basic_auth("leitung", "geheim:mit Doppelpunkt");
  EXPECT_EQ(l.client().Get("/")->status, 200);
}

// Reads the event stream on a thread of its own; events as they come.
struct Strom {
  explicit Strom(uint16_t port) : client("127.0.0.1", port) {
    client.set_read_timeout(20);
    faden = std::thread([this] {
      httplib::Headers kopf{{"Accept-Encoding", "gzip, deflate, br"}};
      auto r = client.Get("/ereignisse", kopf, [this](const char* d, std::size_t n) {
        std::lock_guard lock(m);
        text.append(d, n);
        return !aus;
      });
      std::lock_guard lock(m);
      if (r) status = r->status, kodierung = r->get_header_value("Content-Encoding");
      fertig = true;
    });
  }
  ~Strom() {
    {
      std::lock_guard lock(m);
      aus = true;
    }
    client.stop();
    faden.join();
  }
  std::size_t ereignisse() {
    std::lock_guard lock(m);
    std::size_t n = 0;
    for (std::size_t p = 0; (p = text.find("\ndata: ", p)) != std::string::npos; ++p) ++n;
    return n;
  }
  bool warte(std::function<bool()> f, std::chrono::milliseconds max) {
    const auto ende = std::chrono::steady_clock::now() + max;
    while (!f() && std::chrono::steady_clock::now() < ende) std::this_thread::sleep_for(5ms);
    return f();
  }
  httplib::Client client;
  std::thread faden;
  std::mutex m;
  std::string text, kodierung;
  int status = 0;
  bool aus = false, fertig = false;
};

TEST(Webserver, StreamsEveryChangeAtOnceUncompressedAndBoundsTheStreams) {
  ServerEinstellungen e;
  e.maxStroeme = 2;
  Laufend l(e);
  Strom eins(l.web.port());
  ASSERT_TRUE(eins.warte([&] { return eins.ereignisse() == 1; }, 5s)) << "the first event: everything";
  const auto vorher = std::chrono::steady_clock::now();
  l.melden("vrd4/H/tafel/Nord/status", kStatus);
  ASSERT_TRUE(eins.warte([&] { return eins.ereignisse() == 2; }, 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - vorher, 1s) << "a change alone goes at once";
  {
    std::lock_guard lock(eins.m);
    EXPECT_NE(eins.text.find("\"name\":\"Nord\""), std::string::npos) << "plain text, not compressed";
    EXPECT_NE(eins.text.find("retry: 2000"), std::string::npos);
  }
  // A burst comes as few events, the last state in the last of them.
  for (int i = 0; i < 50; ++i)
    l.melden("vrd4/H/tafel/T" + std::to_string(i) + "/status", kStatus);
  ASSERT_TRUE(eins.warte([&] {
    std::lock_guard lock(eins.m);
    return eins.text.find("\"name\":\"T49\"") != std::string::npos;
  }, 5s));
  EXPECT_LE(eins.ereignisse(), 5u);

  Strom zwei(l.web.port());
  ASSERT_TRUE(zwei.warte([&] { return zwei.ereignisse() == 1; }, 5s));
  Strom drei(l.web.port());
  ASSERT_TRUE(drei.warte([&] {
    std::lock_guard lock(drei.m);
    return drei.fertig;
  }, 5s));
  EXPECT_EQ(drei.status, 503) << "past the bound";
  EXPECT_EQ(l.client().Get("/tafeln.json")->status, 200) << "the rest is still served";
}

// The first event of a stream that says how far it got (Last-Event-ID).
std::string erstesEreignis(uint16_t port, const std::string& id) {
  httplib::Client c("127.0.0.1", port);
  c.set_read_timeout(5);
  std::string text;
  c.Get("/ereignisse", httplib::Headers{{"Last-Event-ID", id}}, [&](const char* d, std::size_t n) {
    text.append(d, n);
    return text.find("\n\n", text.find("data: ")) == std::string::npos;
  });
  return text;
}

TEST(Webserver, ABrowserThatComesBackGetsWhatItMissedOrEverythingFromAnotherRun) {
  Laufend l;
  l.melden("vrd4/H/tafel/Alt/status", kStatus);
  const std::string erstes = erstesEreignis(l.web.port(), "");
  const auto a = erstes.find("id: ") + 4;
  const std::string id = erstes.substr(a, erstes.find('\n', a) - a);
  EXPECT_NE(erstes.find("\"voll\":true"), std::string::npos);
  l.melden("vrd4/H/tafel/Neu/status", kStatus);
  const std::string wieder = erstesEreignis(l.web.port(), id);
  EXPECT_NE(wieder.find("\"voll\":false"), std::string::npos) << wieder;
  EXPECT_NE(wieder.find("\"name\":\"Neu\""), std::string::npos);
  EXPECT_EQ(wieder.find("\"name\":\"Alt\""), std::string::npos) << "only what it missed";
  const std::string fremd = erstesEreignis(l.web.port(), "0badc0de-" + id.substr(id.find('-') + 1));
  EXPECT_NE(fremd.find("\"voll\":true"), std::string::npos) << "another server's numbering";
}

TEST(Optionen, ReadsEveryOptionAndRefusesWhatIsWrong) {
  struct Zeile {
    const char* name;
    std::vector<std::string> args;
    const char* fehler;  // nullptr: reads
    const char* host = "127.0.0.1";
    uint16_t port = 8480;
  };
  const Zeile zeilen[] = {
      {"hall only", {"--halle", "mqtt://b/H"}, nullptr},
      {"port only: loopback", {"--halle", "mqtt://b/H", "--http", "9000"}, nullptr, "127.0.0.1", 9000},
      {"all IPv4", {"--halle=mqtt://b/H", "--http=0.0.0.0:80"}, nullptr, "0.0.0.0", 80},
      {"IPv6", {"--halle", "mqtt://b/H", "--http", "[::]:8080"}, nullptr, "::", 8080},
      {"any free port", {"--halle", "mqtt://b/H", "--http", "0"}, nullptr, "127.0.0.1", 0},
      {"no hall", {"--http", "80"}, "--halle fehlt"},
      {"port too large", {"--halle", "x", "--http", "65536"}, "--http: Port muss eine Zahl von 0 bis 65535 sein"},
      {"IPv6 without brackets", {"--halle", "x", "--http", "::1:80"}, "--http: eine IPv6-Adresse steht in [ ]"},
      {"empty address", {"--halle", "x", "--http", ":80"}, "--http: Adresse fehlt vor dem :"},
      {"missing value", {"--halle"}, "--halle ohne Wert"},
      {"unknown", {"--halle", "x", "--tafel", "y"}, "unbekannte Option: --tafel"},
  };
  for (const auto& z : zeilen) {
    const auto o = optionenLesen(z.args);
    if (z.fehler) {
      ASSERT_TRUE(std::holds_alternative<std::string>(o)) << z.name;
      EXPECT_EQ(std::get<std::string>(o), z.fehler) << z.name;
    } else {
      ASSERT_TRUE(std::holds_alternative<Optionen>(o)) << z.name << ": " << std::get<std::string>(o);
      EXPECT_EQ(std::get<Optionen>(o).http.host, z.host) << z.name;
      EXPECT_EQ(std::get<Optionen>(o).http.port, z.port) << z.name;
    }
  }
}

}  // namespace
}  // namespace vrd4::vrd4halle
