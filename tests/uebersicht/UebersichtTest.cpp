// The overview's model of a hall: states and how far behind, what the last
// will leaves, removals, refusals, the bounds, and what the page is sent.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "PngMacher.h"
#include "hall/TafelStatus.h"
#include "uebersicht/Json.h"
#include "uebersicht/Uebersicht.h"

namespace vrd4::uebersicht {
namespace {

constexpr int64_t kJetzt = 1796636462;  // 2026-12-07T09:41:02Z
const std::string kLauf = "3f2a9c0d11e84b70";

std::string status(bool online, const std::string& lauf, uint64_t seq, const std::string& mehr = "") {
  return R"({"online":)" + std::string(online ? "true" : "false") +
         R"(,"version":"1.0.0","breite":768,"hoehe":480,"lauf":")" + lauf + R"(","seq":)" + std::to_string(seq) +
         R"(,"zeit":"2026-12-07T09:40:00Z")" + mehr + "}";
}
std::string tafelTopic(const std::string& name, const std::string& art = "status") {
  return "vrd4/H/tafel/" + name + "/" + art;
}

TEST(Uebersicht, WorksOutEachBoardsStateAgainstThePublisher) {
  struct Zeile {
    const char* name;
    std::string status;
    const char* zustand;
    int rueckstand;  // -1: none
  };
  const Zeile zeilen[] = {
      {"level", status(true, kLauf, 100), "online", 0},
      {"behind", status(true, kLauf, 60), "online", 40},
      {"no scene yet", status(true, "", 0), "keine Szene", -1},
      {"another run", status(true, "00000000000000aa", 100), "anderer Lauf", -1},
      {"beyond the publisher", status(true, kLauf, 101), "ungültig", -1},
      {"offline", status(false, kLauf, 90), "offline", 10},
      {"says it is doubled", status(true, kLauf, 100, R"(,"doppelt":true)"), "doppelt", 0},
      {"offline and once doubled", status(false, kLauf, 100, R"(,"doppelt":true)"), "offline", 0},
      {"reports a state", status(true, kLauf, 100, R"(,"zustand":"ungültig")"), "ungültig", 0},
      {"reports an unknown state", status(true, kLauf, 100, R"(,"zustand":"<b>x</b>")"), "online", 0},
  };
  Uebersicht u("H");
  ASSERT_TRUE(u.nachricht("vrd4/H/status", status(true, kLauf, 100), false, kJetzt));
  for (const auto& z : zeilen) {
    const std::string name = std::string("T") + std::to_string(&z - zeilen);
    ASSERT_TRUE(u.nachricht(tafelTopic(name), z.status, false, kJetzt)) << z.name;
    const Tafel* t = u.tafel(name);
    ASSERT_TRUE(t) << z.name;
    EXPECT_EQ(t->zustand, z.zustand) << z.name;
    EXPECT_EQ(t->rueckstand ? static_cast<int>(*t->rueckstand) : -1, z.rueckstand) << z.name;
  }
  // The publisher moves on: every board of its run is further behind.
  ASSERT_TRUE(u.nachricht("vrd4/H/status", status(true, kLauf, 150), false, kJetzt));
  EXPECT_EQ(*u.tafel("T0")->rueckstand, 50u);
  EXPECT_EQ(u.tafel("T4")->zustand, "online") << "no longer beyond it";
  // A publisher that is offline may lag behind what it sent: nobody is past it.
  ASSERT_TRUE(u.nachricht("vrd4/H/status", status(false, kLauf, 50, R"(,"fremde":3)"), false, kJetzt));
  EXPECT_EQ(u.tafel("T0")->zustand, "online");
  EXPECT_FALSE(u.tafel("T0")->rueckstand);
  EXPECT_NE(u.json().find("\"fremde\":3"), std::string::npos) << "strangers the publisher saw";
  // Without a publisher status a board's number cannot be counted.
  Uebersicht ohne("H");
  ohne.nachricht(tafelTopic("A"), status(true, kLauf, 5), false, kJetzt);
  EXPECT_EQ(ohne.tafel("A")->zustand, "online");
  EXPECT_FALSE(ohne.tafel("A")->rueckstand);
}

TEST(Uebersicht, ALastWillKeepsWhatTheBoardSaidAndTheTimeItWentOffline) {
  Uebersicht u("H");
  u.nachricht(tafelTopic("Nord"), status(true, kLauf, 1234), false, kJetzt);
  EXPECT_EQ(u.tafel("Nord")->gesehen, "2026-12-07T09:41:02Z");
  // The broker's last will: fixed at connect, without run, seq or size.
  const std::string wille = R"({"online":false,"version":"1.0.0","breite":0,"hoehe":0,"lauf":"","seq":0,)"
                            R"("zeit":"2026-12-07T08:00:00Z"})";
  u.nachricht(tafelTopic("Nord"), wille, false, kJetzt + 20);
  const Tafel* t = u.tafel("Nord");
  EXPECT_FALSE(t->status.online);
  EXPECT_EQ(t->status.seq, 1234u);
  EXPECT_EQ(t->status.lauf, kLauf);
  EXPECT_EQ(t->status.breite, 768);
  EXPECT_EQ(t->offlineSeit, "2026-12-07T09:41:22Z") << "when it was heard, not the will's connect time";
  u.nachricht(tafelTopic("Nord"), wille, true, kJetzt + 40);
  EXPECT_EQ(u.tafel("Nord")->offlineSeit, "2026-12-07T09:41:22Z") << "a repeat keeps the first time";
  // Offline before the overview started: the status's own time is all there is.
  u.nachricht(tafelTopic("Sued"), status(false, kLauf, 7), true, kJetzt);
  EXPECT_EQ(u.tafel("Sued")->offlineSeit, "2026-12-07T09:40:00Z");
  EXPECT_EQ(u.tafel("Sued")->gesehen, "2026-12-07T09:40:00Z");
  u.nachricht(tafelTopic("Sued"), status(true, kLauf, 8), false, kJetzt);
  EXPECT_EQ(u.tafel("Sued")->offlineSeit, "");
}

TEST(Uebersicht, LastSeenFillsInWhatALastWillLacks) {
  const std::string wille = R"({"online":false,"version":"1.0.0","breite":0,"hoehe":0,"lauf":"","seq":0,"zeit":""})";
  struct Zeile {
    const char* name;
    std::vector<std::pair<std::string, std::string>> nachrichten;  // (topic's last part, payload)
    const char* zustand;
    uint64_t seq;
  };
  const Zeile zeilen[] = {
      {"will, then last seen", {{"status", wille}, {"zuletzt", status(true, kLauf, 980)}}, "offline", 980},
      {"last seen, then will", {{"zuletzt", status(true, kLauf, 980)}, {"status", wille}}, "offline", 980},
      {"last seen alone", {{"zuletzt", status(true, kLauf, 980)}}, "offline", 980},
      {"online: its status counts", {{"status", status(true, kLauf, 990)}, {"zuletzt", status(true, kLauf, 980)}}, "online", 990},
  };
  for (const auto& z : zeilen) {
    Uebersicht u("H");
    u.nachricht("vrd4/H/status", status(true, kLauf, 1000), true, kJetzt);
    for (const auto& [blatt, payload] : z.nachrichten) u.nachricht(tafelTopic("Sued", blatt), payload, true, kJetzt);
    const Tafel* t = u.tafel("Sued");
    ASSERT_TRUE(t) << z.name;
    EXPECT_EQ(t->zustand, z.zustand) << z.name;
    EXPECT_EQ(t->status.seq, z.seq) << z.name;
    EXPECT_EQ(t->status.breite, 768) << z.name;
    EXPECT_EQ(t->rueckstand.value_or(0), 1000 - z.seq) << z.name;
  }
}

TEST(Uebersicht, RefusesWhatDoesNotReadAndKeepsWhatItHad) {
  Uebersicht u("H");
  const std::string png = test::pngKopf(320, 200);
  ASSERT_TRUE(u.nachricht(tafelTopic("A", "bild"), png, false, kJetzt));
  const uint64_t nummer = u.bild("A")->nummer;
  struct Zeile {
    const char* name;
    std::string topic, payload;
  };
  const Zeile zeilen[] = {
      {"status that is not JSON", tafelTopic("A"), "<script>"},
      {"status with a string seq", tafelTopic("A"), R"({"online":true,"seq":"x"})"},
      {"a picture that is HTML", tafelTopic("A", "bild"), "<html></html>"},
      {"a huge picture", tafelTopic("A", "bild"), png + std::string(70000, 'x')},
      {"status lines that are no object", tafelTopic("A", "meldungen"), "[1,2]"},
  };
  for (const auto& z : zeilen) EXPECT_TRUE(u.nachricht(z.topic, z.payload, false, kJetzt)) << z.name;
  EXPECT_TRUE(u.verworfen(tafelTopic("A", "bild"))) << "dropped unread by the client";
  EXPECT_EQ(u.tafel("A")->verworfen, 6u);
  EXPECT_EQ(u.bild("A")->nummer, nummer) << "the last good picture stays";
  EXPECT_FALSE(u.tafel("A")->hatStatus);
  // Nothing that does not read makes a tile.
  EXPECT_TRUE(u.nachricht(tafelTopic("B"), "garbage", false, kJetzt));
  EXPECT_FALSE(u.tafel("B"));
  // Topics that are not the overview's, and names that are no board's.
  EXPECT_FALSE(u.nachricht("vrd4/H/befehle", "x", false, kJetzt));
  EXPECT_FALSE(u.nachricht("vrd4/Anders/status", status(true, kLauf, 1), false, kJetzt));
  EXPECT_FALSE(u.nachricht("vrd4/H/tafel/<b>/status", status(true, kLauf, 1), false, kJetzt));
  EXPECT_FALSE(u.nachricht("vrd4/H/tafel/A/status/mehr", status(true, kLauf, 1), false, kJetzt));
  EXPECT_EQ(u.anzahl(), 1u);
}

TEST(Uebersicht, AnEmptyRetainedPayloadRemovesTheItem) {
  Uebersicht u("H");
  u.nachricht(tafelTopic("A"), status(true, kLauf, 1), false, kJetzt);
  u.nachricht(tafelTopic("A", "bild"), test::pngKopf(32, 20), false, kJetzt);
  u.nachricht(tafelTopic("A", "meldungen"), R"({"zeilen":[{"zeit":"","text":"x"}]})", false, kJetzt);
  const uint64_t vorher = u.stand();
  EXPECT_TRUE(u.nachricht(tafelTopic("A", "meldungen"), "", true, kJetzt));
  EXPECT_TRUE(u.tafel("A")->meldungen.empty());
  EXPECT_TRUE(u.nachricht(tafelTopic("A", "bild"), "", true, kJetzt));
  EXPECT_FALSE(u.bild("A"));
  EXPECT_TRUE(u.nachricht(tafelTopic("A"), "", true, kJetzt));
  EXPECT_FALSE(u.tafel("A"));
  EXPECT_FALSE(u.nachricht(tafelTopic("A"), "", true, kJetzt)) << "gone already";
  const auto d = jsonLesen(u.aenderungen(vorher));
  ASSERT_TRUE(d);
  ASSERT_EQ(d->feld("weg")->liste()->size(), 1u);
  EXPECT_EQ(*d->feld("weg")->liste()->at(0).text(), "A");
}

TEST(Uebersicht, SendsThePageOnlyWhatChanged) {
  Uebersicht u("H");
  u.nachricht(tafelTopic("A"), status(true, kLauf, 1), false, kJetzt);
  u.nachricht(tafelTopic("B"), status(true, kLauf, 1), false, kJetzt);
  u.nachricht(tafelTopic("B", "meldungen"), R"({"zeilen":[{"zeit":"","text":"<script>x</script>"}]})", false, kJetzt);
  const uint64_t s = u.stand();
  EXPECT_NE(u.aenderungen(s).find("\"tafeln\":[],\"weg\":[]"), std::string::npos) << "nothing new";
  u.nachricht(tafelTopic("B"), status(true, kLauf, 2), false, kJetzt);
  const auto d = jsonLesen(u.aenderungen(s));
  ASSERT_TRUE(d);
  EXPECT_FALSE(*d->feld("voll")->wahrheit());
  const JsonListe& tafeln = *d->feld("tafeln")->liste();
  ASSERT_EQ(tafeln.size(), 1u);
  EXPECT_EQ(*tafeln[0].feld("name")->text(), "B");
  EXPECT_FALSE(tafeln[0].feld("meldungen")) << "unchanged lines are not sent again";
  EXPECT_EQ(*tafeln[0].feld("seq")->zahl(), 2);
  // Far behind, or from another server's numbering: everything.
  EXPECT_TRUE(*jsonLesen(u.aenderungen(u.stand() + 5))->feld("voll")->wahrheit());
  // The whole JSON reads, lists the boards by name, and carries markup only escaped.
  const std::string voll = u.json();
  EXPECT_EQ(voll.find('<'), std::string::npos);
  const auto v = jsonLesen(voll);
  ASSERT_TRUE(v);
  EXPECT_EQ(*v->feld("tafeln")->liste()->at(0).feld("name")->text(), "A");
  EXPECT_EQ(*v->feld("tafeln")->liste()->at(1).feld("meldungen")->liste()->at(0).feld("text")->text(),
            "<script>x</script>");
}

TEST(Uebersicht, StaysBoundedWhenBoardsComeAndGo) {
  Uebersicht u("H");
  // Boards that come and go every second, far more names than room.
  for (int i = 0; i < 5000; ++i) {
    const std::string name = "T" + std::to_string(i);
    u.nachricht(tafelTopic(name), status(true, kLauf, 1), false, kJetzt + i);
    u.nachricht(tafelTopic(name, "bild"), test::pngKopf(320, 200), false, kJetzt + i);
    u.nachricht(tafelTopic(name), status(false, kLauf, 1), false, kJetzt + i + 1);
    if (i % 3 == 0) u.nachricht(tafelTopic(name), "", true, kJetzt + i + 1);
  }
  EXPECT_LE(u.anzahl(), Uebersicht::kMaxTafeln);
  EXPECT_TRUE(u.tafel("T4999")) << "the newest are there";
  EXPECT_TRUE(jsonLesen(u.aenderungen(1))) << "a page far behind gets everything";
  EXPECT_TRUE(*jsonLesen(u.aenderungen(1))->feld("voll")->wahrheit());
  // All online and the table full: a new name is refused, counted.
  Uebersicht voll("H");
  for (std::size_t i = 0; i < Uebersicht::kMaxTafeln; ++i)
    voll.nachricht(tafelTopic("T" + std::to_string(i)), status(true, kLauf, 1), false, kJetzt);
  voll.nachricht(tafelTopic("Neu"), status(true, kLauf, 1), false, kJetzt);
  EXPECT_FALSE(voll.tafel("Neu"));
  EXPECT_NE(voll.json().find("\"abgewiesen\":1"), std::string::npos);
}

}  // namespace
}  // namespace vrd4::uebersicht
