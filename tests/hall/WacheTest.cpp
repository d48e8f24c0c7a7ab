// What keeps a hall honest, with times given by hand: the connection's
// back-off and its lines, one name per board, the publisher's memory of
// what it sent, the causes in German, and vrd4send's listing.
#include <gtest/gtest.h>
#include <mosquitto.h>

#include <cerrno>
#include <string>
#include <vector>

#include "Tafeln.h"
#include "hall/Aufsicht.h"
#include "hall/Herkunft.h"
#include "hall/Namenswache.h"
#include "hall/Nachricht.h"
#include "hall/Verbindungstext.h"

namespace vrd4::halle {
namespace {

// Events at times: "v" verbunden, "x:<cause>" verloren; each row lists what
// is said and when the next attempt is due after each loss.
TEST(Verbindungsaufsicht, TriesAgainAfterOneSecondDoublingToThirtyAndSaysEachCauseOnceUntilTheConnectionHolds) {
  struct Schritt {
    double zeit;
    std::string ereignis;
  };
  struct Zeile {
    const char* name;
    std::vector<Schritt> schritte;
    std::vector<std::string> gesagt;
    std::vector<double> fristen;  // after each loss
  };
  const Zeile zeilen[] = {
      {"a broker that stays away: once, attempts at 1 3 7 15 31 61 91",
       {{0, "x:weg"}, {1, "x:weg"}, {3, "x:weg"}, {7, "x:weg"}, {15, "x:weg"}, {31, "x:weg"}, {61, "x:weg"}},
       {"weg"},
       {1, 3, 7, 15, 31, 61, 91}},
      {"a wrong password, then a certificate: each cause once",
       {{0, "x:pw"}, {1, "x:pw"}, {3, "x:tls"}, {7, "x:tls"}, {15, "x:pw"}},
       {"pw", "tls"},
       {1, 3, 7, 15, 31}},
      {"a connection that held: the next loss is news and comes back soon",
       {{0, "v"}, {100, "x:weg"}, {101, "x:weg"}, {103, "v"}, {200, "x:weg"}},
       {"verbunden", "weg", "verbunden", "weg"},
       {101, 103, 201}},
      {"thrown off at once, again and again: said once, the attempts spread out",
       {{0, "v"}, {1, "x:weg"}, {2, "v"}, {3, "x:weg"}, {5, "v"}, {6, "x:weg"}, {10, "v"}, {11, "x:weg"}},
       {"verbunden", "weg", "verbunden"},
       {2, 5, 10, 19}},
  };
  for (const Zeile& z : zeilen) {
    SCOPED_TRACE(z.name);
    Verbindungsaufsicht a;
    a.versuch(0);
    std::vector<std::string> gesagt;
    std::vector<double> fristen;
    for (const auto& s : z.schritte) {
      if (s.ereignis != "v") {
        EXPECT_FALSE(a.faellig(s.zeit - 0.01));
      }
      const std::string zeile = s.ereignis == "v" ? a.verbunden(s.zeit) : a.verloren(s.zeit, s.ereignis.substr(2));
      if (!zeile.empty()) gesagt.push_back(zeile == "mit dem Broker verbunden" ? "verbunden" : zeile);
      if (s.ereignis != "v") {
        fristen.push_back(a.frist());
        EXPECT_TRUE(a.faellig(a.frist()));
        a.versuch(a.frist());
      } else {
        EXPECT_EQ(a.frist(), Verbindungsaufsicht::kNie) << "no attempt while connected";
      }
    }
    EXPECT_EQ(gesagt, z.gesagt);
    EXPECT_EQ(fristen, z.fristen);
  }
}

TEST(Namenswache, AnotherProcessOnlineUnderTheNameIsDoppeltUntilItGoesAndAPredecessorIsNot) {
  const std::string start = "2026-12-06T20:00:00Z";
  const auto status = [](bool online, const char* kennung, const char* zeit) {
    TafelStatus s;
    s.online = online;
    s.kennung = kennung;
    s.zeit = zeit;
    return std::optional(s);
  };
  using A = Namenswache::Aenderung;
  Namenswache w("aaaaaaaaaaaaaaaa", start);
  EXPECT_EQ(w.nachricht(status(true, "aaaaaaaaaaaaaaaa", "2026-12-06T20:00:05Z"), false, 1), A::Keine) << "our own";
  EXPECT_EQ(w.nachricht(status(true, "pppppppppppppppp", "2026-12-06T19:59:50Z"), true, 1), A::Keine)
      << "a retained one from before our start: the predecessor's";
  EXPECT_EQ(w.nachricht(status(false, "pppppppppppppppp", "2026-12-06T19:59:50Z"), false, 2), A::Ersetzt)
      << "its will took our status away";
  EXPECT_FALSE(w.doppelt());
  EXPECT_EQ(w.nachricht(status(true, "bbbbbbbbbbbbbbbb", "2026-12-06T20:00:09Z"), false, 10), A::Doppelt);
  EXPECT_EQ(w.nachricht(status(true, "bbbbbbbbbbbbbbbb", "2026-12-06T20:00:10Z"), false, 11), A::Keine) << "said once";
  EXPECT_TRUE(w.doppelt());
  EXPECT_EQ(w.andere(), "bbbbbbbbbbbbbbbb");
  EXPECT_EQ(w.nachricht(status(false, "bbbbbbbbbbbbbbbb", "2026-12-06T20:00:20Z"), false, 20), A::WiederAllein);
  EXPECT_EQ(w.nachricht(status(true, "cccccccccccccccc", "2026-12-06T20:00:30Z"), true, 30), A::Doppelt)
      << "retained, but written after our start: another board that connected while we were away";
  EXPECT_EQ(w.frist(), 30 + Namenswache::kVergessen);
  EXPECT_EQ(w.takt(30 + Namenswache::kVergessen - 1), A::Keine);
  EXPECT_EQ(w.takt(30 + Namenswache::kVergessen), A::WiederAllein) << "silent too long";
  EXPECT_EQ(w.nachricht(std::nullopt, false, 200), A::Ersetzt) << "emptied or garbage: ours goes out again";
}

TEST(Herkunft, TellsItsOwnCommandsAndScenesFromAStrangersAndFromThoseThatClaimItsRun) {
  const uint64_t lauf = 0x1234;
  Herkunft h(lauf);
  const auto befehl = [&](uint64_t l, uint64_t seq, const char* text) {
    return befehlSchreiben(l, seq, text, {});
  };
  for (const char* t : {"eins", "zwei", "drei"}) h.befehl(inhaltsPruefsumme(befehl(lauf, h.seq() + 1, t)));
  h.befehl(std::nullopt);  // 4: numbered while the broker was away
  using U = Herkunft::Urteil;
  EXPECT_EQ(h.befehlGesehen(befehl(lauf, 2, "zwei")), U::Eigen);
  EXPECT_EQ(h.befehlGesehen(befehl(lauf, 2, "andere")), U::FremdImLauf) << "other content under our number";
  EXPECT_EQ(h.befehlGesehen(befehl(lauf, 4, "vier")), U::FremdImLauf) << "a number we never published";
  EXPECT_EQ(h.befehlGesehen(befehl(lauf, 5, "fuenf")), U::FremdImLauf) << "the next number, before us";
  EXPECT_EQ(h.befehlGesehen(befehl(lauf, 18446744073709551615u, "x")), U::FremdImLauf);
  EXPECT_EQ(h.befehlGesehen(befehl(0x99, 1, "x")), U::Fremd) << "another run";
  EXPECT_EQ(h.befehlGesehen("garbage"), U::Fremd);

  const std::string szene = szeneSchreiben(lauf, 4, {{"Befehl\x1b" "Cls", {}}});
  h.szene(pruefsumme(szene));
  EXPECT_EQ(h.szeneGesehen(szene, false), U::Eigen);
  EXPECT_EQ(h.letzteSzene(), pruefsumme(szene));
  EXPECT_EQ(h.szeneGesehen(szeneSchreiben(lauf, 4, {}), false), U::FremdImLauf) << "ours would be ignored after it";
  EXPECT_EQ(h.szeneGesehen(szeneSchreiben(lauf, 1 << 30, {}), true), U::FremdImLauf);
  EXPECT_EQ(h.szeneGesehen(szeneSchreiben(lauf, 2, {}), false), U::Fremd) << "older: our next scene covers it";
  EXPECT_EQ(h.szeneGesehen(szeneSchreiben(lauf, 2, {}), true), U::Alt) << "a stale one kept by the broker";
  EXPECT_EQ(h.szeneGesehen(szeneSchreiben(0x99, 7, {}), false), U::Fremd);
  EXPECT_EQ(h.szeneGesehen(szeneSchreiben(0x99, 7, {}), true), U::Alt) << "kept from before we subscribed";
  EXPECT_EQ(h.szeneGesehen("", false), U::Fremd) << "a stranger removed it";

  h.neuerLauf(0x5678);
  EXPECT_EQ(h.seq(), 0u);
  EXPECT_EQ(h.befehlGesehen(befehl(lauf, 2, "zwei")), U::Alt) << "our earlier run";
  EXPECT_EQ(h.szeneGesehen(szene, false), U::Alt);
}

TEST(Verbindungstext, SaysEveryCauseInGermanAndNamesTheReasonOfAFailedHandshake) {
  struct Zeile {
    int connack, rc, fehlerNr;
    const char* tls;
    bool warVerbunden;
    const char* text;
  };
  const Zeile zeilen[] = {
      {5, MOSQ_ERR_CONN_REFUSED, 0, "", false, "Broker verweigert: nicht berechtigt"},
      {4, MOSQ_ERR_CONN_REFUSED, 0, "", false, "Broker verweigert: Benutzername oder Passwort falsch"},
      {0, MOSQ_ERR_TLS, 0, "certificate verify failed", false,
       "Verbindung zum Broker: TLS-Aushandlung gescheitert (Zertifikat?): certificate verify failed"},
      {0, MOSQ_ERR_ERRNO, EPROTO, "", false, "Verbindung zum Broker: TLS-Aushandlung gescheitert (Zertifikat?)"},
      {0, MOSQ_ERR_ERRNO, EPROTO, "unexpected eof while reading", true, "Verbindung zum Broker: Verbindung verloren"},
      {0, MOSQ_ERR_CONN_LOST, 0, "", true, "Verbindung zum Broker: Verbindung verloren"},
      {0, MOSQ_ERR_KEEPALIVE, 0, "", true, "Verbindung zum Broker: Broker antwortet nicht mehr"},
      {0, MOSQ_ERR_ERRNO, ECONNREFUSED, "", false,
       "Verbindung zum Broker: Verbindung abgelehnt (kein Broker an der Adresse?)"},
      {0, MOSQ_ERR_EAI, 0, "", false, "Verbindung zum Broker: Rechnername nicht auflösbar"},
      {0, MOSQ_ERR_ERRNO, 12345, "", false, "Verbindung zum Broker: Netzwerkfehler (Fehlernummer 12345)"},
  };
  for (const Zeile& z : zeilen) EXPECT_EQ(ursacheText(z.connack, z.rc, z.fehlerNr, z.tls, z.warVerbunden), z.text);
}

}  // namespace
}  // namespace vrd4::halle

namespace vrd4::vrd4send {
namespace {

TEST(TafelnListe, ShowsDoppeltUngueltigAndWhatAnOfflineBoardLastDrew) {
  const auto s = [](bool online, const char* lauf, uint64_t seq, const char* zeit) {
    halle::TafelStatus t;
    t.online = online;
    t.lauf = lauf;
    t.seq = seq;
    t.zeit = zeit;
    t.breite = 768;
    t.hoehe = 480;
    return std::optional(t);
  };
  const char* L = "00000000000000aa";
  Gesehen quelle{s(true, L, 100, "Q"), std::nullopt};
  quelle.status->fremde = 2;
  std::map<std::string, Gesehen> tafeln;
  tafeln["Eben"] = {s(true, L, 100, "t1"), std::nullopt};
  tafeln["Doppelt"] = {s(true, L, 99, "t2"), std::nullopt};
  tafeln["Doppelt"].status->doppelt = true;
  tafeln["Fremd"] = {s(true, L, 18446744073709551615u, "t3"), std::nullopt};
  tafeln["Tot"] = {s(false, "", 0, "will"), s(true, L, 80, "t4")};
  tafeln["Anders"] = {s(true, "00000000000000bb", 5, "t5"), std::nullopt};
  tafeln["NurZuletzt"] = {std::nullopt, s(true, L, 1, "t6")};
  const std::string liste = tafelnListe(quelle, tafeln);
  EXPECT_EQ(liste,
            "Quelle: online, Lauf 00000000000000aa, Befehl 100, Q, fremde Nachrichten 2\n"
            "TAFEL                    ZUSTAND      BEFEHL   RUECKSTAND     GROESSE  ZEIT\n"
            "Anders                   online            5 anderer Lauf     768x480  t5\n"
            "Doppelt                  doppelt          99            1     768x480  t2\n"
            "Eben                     online          100            0     768x480  t1\n"
            "Fremd                    online   18446744073709551615     ungültig     768x480  t3\n"
            "Tot                      offline          80           20     768x480  t4\n");
  // A publisher that is gone counts nobody as ahead of it: its last status
  // may lag behind what it sent.
  quelle.status->online = false;
  quelle.zuletzt = s(true, L, 100, "Qz");
  EXPECT_NE(tafelnListe(quelle, tafeln).find("Fremd                    online   18446744073709551615            0"),
            std::string::npos);
  EXPECT_TRUE(tafelnListe(quelle, tafeln).starts_with("Quelle: offline, Lauf 00000000000000aa, Befehl 100, Qz"));
}

}  // namespace
}  // namespace vrd4::vrd4send
