// The text-effect controls over the board, and blinking and scrolling texts
// in them with the test's clock: slots, replies, phases, steps and what the
// board shows.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"
#include "render/Schrift.h"

namespace vrd4::render {
namespace {

using namespace test;

constexpr double kTick = 1.0 / 64;

struct Texte : testing::Test {
  Texte() { board.line(0, 0, 299, 199, 0x00FF00); }
  void tick(double s = kTick) { host.zeit += s, blink.BlinktexteTakten(), lauf.LauftexteTakten(); }
  // Whether any pixel of the control differs from its top-left one.
  static bool zeigt(CtlLTundBK& ctl) {
    QImage leer = ctl.surface().image();
    leer.fill(leer.pixel(0, 0));
    return ctl.surface().image() != leer;
  }
  // Where scrolling text n was drawn last: printing leaves the position at its end.
  long gezeichnetBei(int n) {
    const platform::Surface& s = lauf.CtlLaufschrift(n).surface();
    return std::lround(s.currentX() - s.textWidth(QStringLiteral("Anpfiff")));
  }
  // Both kinds follow the same slot rules; art is "Blinktext" or "Lauftext".
  template <class Neu, class Loeschen>
  void slotTabelle(Neu neu, Loeschen loeschen, Antwort antwort, QString art) {
    for (int i = 1; i <= 10; ++i) {
      EXPECT_EQ(neu(feld(1, int16_t(i * 15), 60, int16_t(i * 15 + 10))), i);
      EXPECT_EQ(host.antworten.back(), std::make_pair(antwort, QString::number(i)));
      EXPECT_EQ(host.ereignisse.back(), Ereignis(art + "Nr", QString::number(i)));
    }
    host.ereignisse.clear();
    EXPECT_EQ(neu(feld(100, 1, 160, 20)), 0);
    EXPECT_EQ(host.ereignisse, (std::vector<Ereignis>{befehlFehler("max. 10 " + art + "e bereits belegt!"),
                                                      {art + "Nr", "0"}}));
    EXPECT_EQ(host.antworten.back().second, QStringLiteral("0"));
    loeschen(3);
    EXPECT_EQ(neu(feld(100, 1, 160, 20)), 3) << "a freed slot is taken again";
    loeschen(5);
    EXPECT_EQ(neu(feld(1, 30, 60, 40)), 5) << "on slot 2's rectangle";
    EXPECT_EQ(neu(feld(200, 1, 260, 20)), 2) << "the older text there is gone";
    loeschen(11);
    EXPECT_EQ(host.ereignisse.back(), befehlFehler(art + "nummer: 11 gibt es nicht!"));
  }
  FakeHost host;
  platform::Surface board{300, 200};
  TextRenderer text{host};
  Blinktexte blink{host, board, text};
  Lauftexte lauf{host, board, text};
};

TEST_F(Texte, SlotTables) {
  slotTabelle([&](const TextParameter& p) { return blink.BKNeu(p, 1); },
              [&](uint8_t i) { blink.BKNeuLoeschen(i); }, Antwort::BlinktextNr, "Blinktext");
  slotTabelle([&](const TextParameter& p) { return lauf.LTNeu(p, 0.1, 0); },
              [&](uint8_t i) { lauf.LTNeuLoeschen(i); }, Antwort::LauftextNr, "Lauftext");
}

// Full screen on a smaller monitor: the board's units are larger or smaller
// than its pixels. Sending the same field again still replaces the text there.
TEST_F(Texte, SameFieldReplacesItsTextAtEveryScale) {
  for (auto [sw, sh] : {std::pair{768.0, 480.0}, {1366.0, 768.0}, {200.0, 120.0}, {300.0, 200.0}}) {
    board.setScale(sw, sh);
    for (int16_t x = 1; x <= 13; x += 3) {
      const TextParameter p = feld(x, int16_t(2 * x + 1), int16_t(x + 97), int16_t(2 * x + 31));
      for (int mal = 0; mal < 11; ++mal) {
        ASSERT_NE(blink.BKNeu(p, 1), 0) << sw << " " << x << " " << mal;
        ASSERT_NE(lauf.LTNeu(p, 0.1, 0), 0) << sw << " " << x << " " << mal;
      }
      int belegt = 0;
      for (int n = 1; n <= 10; ++n) belegt += blink.belegt(n) + lauf.belegt(n);
      EXPECT_EQ(belegt, 2) << sw << " " << x;
      for (uint8_t n = 1; n <= 10; ++n) blink.BKNeuLoeschen(n), lauf.LTNeuLoeschen(n);
    }
  }
}

TEST_F(Texte, BlinkPhasesLastTheirIntervalButAtLeastFourHundredths) {
  using Folge = std::vector<std::pair<double, bool>>;  // time step, text shown afterwards
  auto pruefe = [&](const Folge& folge) {
    for (auto [schritt, gezeigt] : folge) {
      tick(schritt);
      EXPECT_EQ(zeigt(blink.CtlBlinktext(1)), gezeigt) << host.zeit;
    }
  };
  blink.BKNeu(feld(11, 11, 110, 50), 0);
  EXPECT_FALSE(zeigt(blink.CtlBlinktext(1))) << "nothing is drawn before the first tick";
  pruefe(Folge{{0, true}, {0.03125, true}, {0.015625, false}, {0.03125, false}, {0.015625, true}});
  // After about 116 days: as a 32-bit float such a clock has whole seconds only.
  blink.BKNeuLoeschen(1);
  blink.BKNeu(feld(11, 11, 110, 50), 0.5);
  pruefe(Folge{{1e7, true}, {0.5, true}, {kTick, false}, {0.5, false}, {kTick, true}});
}

TEST_F(Texte, ScrollingWaitsForTheStartDelayThenStepsEveryFourHundredthsAtLeast) {
  lauf.LTNeu(feld(1, 1, 300, 30), 0, 2);  // Geschwindigkeit 0 means the shortest step
  for (int i = 0; i <= 128; ++i) tick(i ? kTick : 0);  // 2 s
  EXPECT_EQ(gezeichnetBei(1), 0);
  // After the delay one tick starts the wait; the step comes with the first
  // tick more than 0.04 s later: every fourth tick.
  for (int i = 1; i <= 12; ++i) {
    tick();
    EXPECT_EQ(gezeichnetBei(1), -(i / 4)) << i;
  }
}

TEST_F(Texte, ScrollingTextLeavesAtTheLeftAndComesBackFromTheFieldWidth) {
  lauf.LTNeu(feld(1, 1, 30, 30), 0.04, 0);
  const long breite = lauf.CtlLaufschrift(1).TextWidth(QStringLiteral("Anpfiff"));
  ASSERT_GT(breite, 30);
  std::vector<long> folge{0}, erwartet;
  for (long x = 0; x >= -breite; --x) erwartet.push_back(x);
  for (long x = 30; x > 30 - 4; --x) erwartet.push_back(x);
  for (int i = 0; folge.size() < erwartet.size() && i < 4 * (breite + 9); ++i) {
    tick(i ? kTick : 0);
    if (gezeichnetBei(1) != folge.back()) folge.push_back(gezeichnetBei(1));
  }
  EXPECT_EQ(folge, erwartet) << "one-pixel steps, then the wrap";
}

TEST_F(Texte, SeeThroughScrollingTextShowsOnlyItsGlyphsAndDeletingAllHidesEverything) {
  TextParameter p = feld(1, 1, 200, 40);
  p.Transparent = true;
  lauf.LTNeu(p, 0.04, 0);
  lauf.LTNeu(feld(1, 51, 200, 90), 0.04, 0);
  blink.BKNeu(feld(1, 101, 200, 140), 1);
  tick(), tick();
  ASSERT_EQ(board.image().pixel(105, 70), qRgb(0, 255, 0)) << "the line crosses the opaque one";
  EXPECT_EQ(board.presented().pixel(105, 70), qRgb(0, 0, 0));
  EXPECT_EQ(board.presented().pixel(45, 30), qRgb(0, 255, 0)) << "the line shows through the other";
  for (uint8_t i = 1; i <= 10; ++i) lauf.LTNeuLoeschen(i), blink.BKNeuLoeschen(i);
  EXPECT_EQ(board.presented(), board.image());
}

}  // namespace
}  // namespace vrd4::render
