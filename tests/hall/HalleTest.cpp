// The hall's pure parts: addresses, the subscriber's order, the message and
// status formats, the publisher's outbox.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hall/Ausgang.h"
#include "hall/Folge.h"
#include "hall/HallenAdresse.h"
#include "hall/Nachricht.h"
#include "hall/TafelStatus.h"
#include "hall/Zeilen.h"

namespace vrd4::halle {
namespace {

TEST(HallenAdresse, ReadsHostPortHallAndBoardAndRefusesWhatIsNoName) {
  struct Zeile {
    const char* name;
    const char* url;
    bool mitTafel;
    const char* host;  // nullptr: refused
    uint16_t port = 0;
    const char* halle = "";
    const char* tafel = "";
  };
  const Zeile zeilen[] = {
      {"publisher", "mqtt://127.0.0.1:1884/Halle_1", false, "127.0.0.1", 1884, "Halle_1"},
      {"tls default port", "mqtts://broker.local/H", false, "broker.local", 8883, "H"},
      {"board on IPv6", "mqtt://[::1]/H/Tafel-3", true, "::1", 1883, "H", "Tafel-3"},
      {"no scheme", "tcp://x/H", false, nullptr},
      {"port 0", "mqtt://x:0/H", false, nullptr},
      {"port too large", "mqtt://x:65536/H", false, nullptr},
      {"port not a number", "mqtt://x:1a/H", false, nullptr},
      {"no hall", "mqtt://x", false, nullptr},
      {"wildcard in hall", "mqtt://x/H+", false, nullptr},
      {"board missing", "mqtt://x/H/", true, nullptr},
      {"topic level in board", "mqtt://x/H/a/b", true, nullptr},
      {"board where none belongs", "mqtt://x/H/T", false, nullptr},
      {"name over 64", "mqtt://x/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", false, nullptr},
  };
  for (const Zeile& z : zeilen) {
    SCOPED_TRACE(z.name);
    const auto r = adresseLesen(z.url, z.mitTafel);
    if (!z.host) {
      EXPECT_TRUE(std::holds_alternative<std::string>(r));
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<HallenAdresse>(r)) << std::get<std::string>(r);
    const auto& a = std::get<HallenAdresse>(r);
    EXPECT_EQ(std::tie(a.host, a.port, a.halle, a.tafel), std::tuple(std::string(z.host), z.port, std::string(z.halle), std::string(z.tafel)));
  }
  EXPECT_EQ(tafelAusTopic("H", "vrd4/H/tafel/T-1/status"), "T-1");
  EXPECT_EQ(tafelAusTopic("H", "vrd4/H/tafel/a/b/status"), "");
}

// Events: "S<seq>" a scene, "B<seq>" a command, of run 1; a trailing "'"
// means run 2; "B<seq>x" a command with other content than B<seq>. The
// trace: what was drawn, in order, and the verdict of every message that
// was not drawn, as "-<Urteil><seq>".
TEST(Folge, DrawsTheSceneThenEachLaterCommandOnceInOrderAndDropsWhatAStrangerSent) {
  struct Zeile {
    const char* name;
    std::vector<std::string> ereignisse;
    const char* spur;
  };
  const Zeile zeilen[] = {
      {"commands before the first scene wait for it", {"B1", "B3", "B2", "S1"}, "S1 B2 B3"},
      {"redelivered commands run once", {"S0", "B1", "B1", "B2", "B1"}, "S0 B1 -D1 B2 -D1"},
      {"a gap waits for a scene that covers it", {"S0", "B1", "B3", "B4", "S2"}, "S0 B1 S2 B3 B4"},
      {"the late missing command closes the gap", {"S0", "B2", "B1"}, "S0 B1 B2"},
      {"a scene at the last drawn is the board in step", {"S0", "B1", "B2", "S2"}, "S0 B1 B2 -G2"},
      {"a scene before the last drawn is older", {"S0", "B1", "B2", "S1"}, "S0 B1 B2 -A1"},
      {"a scene past it (lost commands) is drawn", {"S0", "B1", "S3", "B4"}, "S0 B1 S3 B4"},
      {"a new publisher run starts over", {"S0", "B1", "B2", "B1'", "S0'", "B2'"}, "S0 B1 B2 S0' B1' B2'"},
      {"a gap that remains after the scene still waits", {"S0", "B3", "B5", "S3", "B4"}, "S0 S3 B4 B5"},
      {"other content under a drawn number is a stranger's", {"S0", "B1", "B1x", "B2"}, "S0 B1 -X1 B2"},
      {"other content under a waiting number is one too", {"S0", "B2", "B2x", "B1"}, "S0 -X2 B1 B2"},
      {"a stranger's jump past the window is dropped", {"S0", "B1", "B4098", "B18446744073709551615", "B2"},
       "S0 B1 -F4098 -F18446744073709551615 B2"},
      {"the window's last number waits", {"S0", "B4096", "S4095"}, "S0 S4095 B4096"},
      {"content behind a scene is unknown: a redelivery", {"S5", "B5x", "B6"}, "S5 -D5 B6"},
  };
  for (const Zeile& z : zeilen) {
    SCOPED_TRACE(z.name);
    Folge f;
    std::string spur;
    const auto anhaengen = [&](const std::string& t) { spur += (spur.empty() ? "" : " ") + t; };
    auto zeichne = [&](const char* art, const BefehlsNachricht& n) {
      anhaengen(std::string(art) + std::to_string(n.seq) + (n.lauf == 2 ? "'" : ""));
    };
    for (std::string e : z.ereignisse) {
      const bool anders = e.back() == 'x';
      if (anders) e.pop_back();
      BefehlsNachricht n{.lauf = e.back() == '\'' ? 2u : 1u, .seq = std::stoull(e.substr(1)), .befehl = {},
                         .pruefsumme = anders ? 2u : 1u};
      const auto r = e[0] == 'B' ? f.befehl(n) : f.szene(n.lauf, n.seq);
      using U = Folge::Urteil;
      if (r.urteil == U::Gezeichnet) zeichne("S", n);
      for (const auto& b : r.laufen) zeichne("B", b);
      const char* kurz = r.urteil == U::Doppelt      ? "D"
                         : r.urteil == U::Abweichend ? "X"
                         : r.urteil == U::Ausserhalb ? "F"
                         : r.urteil == U::Gleich     ? "G"
                         : r.urteil == U::Aelter     ? "A"
                                                     : nullptr;
      if (kurz) anhaengen("-" + std::string(kurz) + std::to_string(n.seq));
    }
    EXPECT_EQ(spur, z.spur);
  }
  Folge voll;
  for (uint64_t s = 2; s <= Folge::kMaxWartend + 2; ++s) voll.befehl({.lauf = 1, .seq = s, .befehl = {}});
  EXPECT_EQ(voll.wartend(), Folge::kMaxWartend);
  EXPECT_EQ(voll.verdraengte(), 1u) << "the oldest goes";
  EXPECT_EQ(voll.szene(1, 2).laufen.size(), Folge::kMaxWartend);
}

TEST(Nachricht, RoundTripsCommandsAndScenesWithRawPicturesAndRefusesAnythingMalformed) {
  const std::vector<uint8_t> bild{0x42, 0x4D, 0, '\n', 0xFF};
  const std::string payload = befehlSchreiben(0xABCDEFu, 7, "Befehl\x1b" "Cls", bild);
  const auto b = befehlLesen(payload);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->pruefsumme, inhaltsPruefsumme(payload));
  EXPECT_NE(b->pruefsumme, inhaltsPruefsumme(befehlSchreiben(0xABCDEFu, 7, "Befehl\x1b" "Cls", {})));
  EXPECT_EQ(b->pruefsumme, inhaltsPruefsumme(befehlSchreiben(1, 99, "Befehl\x1b" "Cls", bild)))
      << "the same content under another number and run";
  const auto k = kopfLesen(payload);
  ASSERT_TRUE(k);
  EXPECT_EQ(std::tie(k->art, k->lauf, k->seq, k->inhalt), std::tuple('B', 0xABCDEFu, 7u, payload.size() - 10 - bild.size()));
  EXPECT_EQ(std::tie(b->lauf, b->seq, b->befehl.text, b->befehl.bild), std::tuple(0xABCDEFu, 7u, std::string("Befehl\x1b" "Cls"), bild));

  const std::vector<Eintrag> eintraege{{"a", {}}, {"", bild}, {"\xc3\xa4\n", {}}};
  const auto s = szeneLesen(szeneSchreiben(1, 99, eintraege));
  ASSERT_TRUE(s);
  const auto sk = kopfLesen(szeneSchreiben(1, 99, eintraege));
  ASSERT_TRUE(sk);
  EXPECT_EQ(std::tie(sk->art, sk->lauf, sk->seq), std::tuple('S', 1u, 99u));
  for (const char* schlecht : {"", "VRD4H1 X 0000000000000001 1 0\n", "VRD4H1 B 0000000000000001 1 0\n",
                               "VRD4H1 S 0000000000000001 99999999999999999999 0\n"})
    EXPECT_FALSE(kopfLesen(schlecht)) << schlecht;
  EXPECT_EQ(s->seq, 99u);
  ASSERT_EQ(s->befehle.size(), 3u);
  EXPECT_EQ(s->befehle[1].bild, bild);
  EXPECT_EQ(s->befehle[2].text, "\xc3\xa4\n");

  const std::string gut = befehlSchreiben(1, 2, "abc", {});
  for (const std::string& schlecht :
       {std::string(), std::string("garbage"), gut.substr(0, gut.size() - 1), gut + "x",
        std::string("VRD4H1 S 0000000000000001 2 0\n") /* a scene on the command topic */,
        std::string("VRD4H1 B 00000000000000zz 2 3 0\nabc"), std::string("VRD4H1 B 0000000000000001 2 5 0\nabc"),
        std::string("VRD4H1 B 0000000000000001 99999999999999999999 3 0\nabc"),
        std::string("VRD4H1 B 0000000000000001 1 3 99999999999\nabc")})
    EXPECT_FALSE(befehlLesen(schlecht)) << schlecht;
  EXPECT_FALSE(szeneLesen("VRD4H1 S 0000000000000001 2 99999\n1 0\na")) << "more records than bound";
  EXPECT_FALSE(szeneLesen("VRD4H1 S 0000000000000001 2 2\n1 0\na")) << "a record short";

  // The forwarded form's hex field travels as raw bytes.
  const Eintrag e = eintragAusZeile(u"Befehl\x1b" u"BildAnzeigen\x1b" u"x.bmp\x1b-1\x1b" u"0\x1b" u"424DFF\x1b\x1b");
  EXPECT_EQ(e.text, "Befehl\x1b" "BildAnzeigen\x1b" "x.bmp\x1b-1\x1b" "0\x1b\x1b\x1b");
  EXPECT_EQ(e.bild, (std::vector<uint8_t>{0x42, 0x4D, 0xFF}));
}

TEST(TafelStatus, RoundTripsAndReadsOnlyAFlatObjectWithOnline) {
  const TafelStatus s{.online = true, .version = "1.0.0", .breite = 768, .hoehe = 480, .lauf = "00000000000000ab",
                      .seq = 12, .zeit = zeitText(0), .kennung = "0123456789abcdef", .doppelt = true, .fremde = 3};
  const auto r = statusLesen(statusSchreiben(s));
  ASSERT_TRUE(r);
  EXPECT_EQ(std::tie(r->online, r->version, r->breite, r->hoehe, r->lauf, r->seq, r->zeit, r->kennung, r->doppelt,
                     r->fremde),
            std::tie(s.online, s.version, s.breite, s.hoehe, s.lauf, s.seq, s.zeit, s.kennung, s.doppelt, s.fremde));
  EXPECT_EQ(s.zeit, "1970-01-01T00:00:00Z");
  const auto fremd = statusLesen(R"( { "x" : null, "online" : false, "version":"a\"\u00e4", "y": 1.5e3 } )");
  ASSERT_TRUE(fremd);
  EXPECT_EQ(fremd->version, "a\"?");
  // A known member of the wrong type is no board's status: not listed.
  for (const char* schlecht : {"", "{}", R"({"online":true)", R"({"online":true,"x":{}})", R"({"online":tru})",
                               R"({"online":true,"seq":-1})", R"({"online":true} x)", R"({"online":true,"v":"a)",
                               R"({"online":true,"seq":"x"})", R"({"online":"ja"})", R"({"online":true,"seq":1.5})",
                               R"({"online":true,"lauf":"xyz"})", R"({"online":true,"lauf":7})",
                               R"({"online":true,"breite":-1})", R"({"online":true,"doppelt":1})",
                               R"({"online":true,"zeit":null})", R"({"online":true,"fremde":"0"})"})
    EXPECT_FALSE(statusLesen(schlecht)) << schlecht;
  EXPECT_FALSE(statusLesen(R"({"online":true,"v":")" + std::string(kMaxStatusBytes, 'a') + "\"}"));
}

TEST(Ausgang, HoldsAtMostItsBoundOfUnacknowledgedMessages) {
  Ausgang a;
  EXPECT_TRUE(a.platz(Ausgang::kMaxBytes + 1)) << "an empty outbox takes any one message";
  for (int mid = 1; mid <= int(Ausgang::kMaxNachrichten); ++mid) a.gesendet(mid, 10);
  EXPECT_FALSE(a.platz(1));
  a.bestaetigt(1);
  a.bestaetigt(12345);
  EXPECT_TRUE(a.platz(1));
  EXPECT_FALSE(a.platz(Ausgang::kMaxBytes)) << "the byte bound";
  a.leeren();
  EXPECT_EQ(a.bytes(), 0u);
}

}  // namespace
}  // namespace vrd4::halle
