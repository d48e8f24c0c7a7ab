// Scrolling texts with the test's clock, ticking every 1/64 s: slots,
// replies, the start delay, the one-pixel steps and the wrap.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Lauftexte.h"

namespace vrd4::render {
namespace {

using test::Ereignis;
using test::FakeHost;

constexpr double kTick = 1.0 / 64;

TextParameter feld(int16_t xs, int16_t ys, int16_t xe, int16_t ye, const char* t = "Anpfiff") {
  TextParameter p;
  p.Xstart = xs, p.Ystart = ys, p.Xende = xe, p.YEnde = ye;
  p.Ausgabetext = QString::fromUtf8(t);
  p.SchriftgroesseinPixel = 16;
  p.FeldHintergrundfarbe = 0x000000;
  return p;
}

struct LauftexteTest : testing::Test {
  void tick() {
    host.zeit += kTick;
    lauf.LauftexteTakten();
  }
  // Where slot n's text was drawn last: printing leaves the position at its end.
  long gezeichntBei(int n) {
    const platform::Surface& s = lauf.CtlLaufschrift(n).surface();
    return std::lround(s.currentX() - s.textWidth(QStringLiteral("Anpfiff")));
  }
  bool gezeichnet(int n) {
    const QImage& bild = lauf.CtlLaufschrift(n).surface().image();
    for (int y = 0; y < bild.height(); ++y)
      for (int x = 0; x < bild.width(); ++x)
        if (bild.pixel(x, y) != qRgb(0, 0, 0)) return true;
    return false;
  }
  FakeHost host;
  platform::Surface board{300, 200};
  TextRenderer text{host};
  Lauftexte lauf{host, board, text};
};

TEST_F(LauftexteTest, SlotsAreNumberedFromOneAndTheEleventhIsRefused) {
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(lauf.LTNeu(feld(1, int16_t(i * 15), 60, int16_t(i * 15 + 10)), 0.1, 0), i);
    EXPECT_EQ(host.antworten.back(), std::make_pair(Antwort::LauftextNr, QString::number(i)));
  }
  host.ereignisse.clear();
  EXPECT_EQ(lauf.LTNeu(feld(100, 1, 160, 20), 0.1, 0), 0);
  EXPECT_EQ(host.ereignisse,
            (std::vector<Ereignis>{
                {QStringLiteral("BefehlFehler"), QStringLiteral("max. 10 Lauftexte bereits belegt!")},
                {QStringLiteral("LauftextNr"), QStringLiteral("0")}}));
  EXPECT_EQ(host.antworten.back().second, QStringLiteral("0"));
  lauf.LTNeuLoeschen(7);
  EXPECT_EQ(lauf.LTNeu(feld(100, 1, 160, 20), 0.1, 0), 7);
}

TEST_F(LauftexteTest, DeletingAnUnknownNumberRaisesItsEvent) {
  lauf.LTNeuLoeschen(0);
  EXPECT_EQ(host.ereignisse, (std::vector<Ereignis>{{QStringLiteral("BefehlFehler"),
                                                     QStringLiteral("Lauftextnummer: 0 gibt es nicht!")}}));
}

TEST_F(LauftexteTest, NewTextOnTheSameRectangleReplacesTheOlder) {
  lauf.LTNeu(feld(1, 1, 60, 30), 0.1, 0);
  lauf.LTNeu(feld(1, 41, 60, 70), 0.1, 0);
  EXPECT_EQ(lauf.LTNeu(feld(1, 1, 60, 30), 0.1, 0), 3);
  EXPECT_FALSE(lauf.belegt(1));
}

TEST_F(LauftexteTest, FailureIsReportedAndTheSlotStaysFree) {
  EXPECT_EQ(lauf.LTNeu(feld(-32768, 1, 10, 20), 0.1, 0), 0);
  EXPECT_EQ(host.ereignisse,
            (std::vector<Ereignis>{
                {QStringLiteral("Fehler"),
                 QString::fromUtf8("Fehler beim Anlegen einer neuen Form für die Laufschrift!")},
                {QStringLiteral("LauftextNr"), QStringLiteral("0")}}));
  EXPECT_EQ(host.antworten.back().second, QStringLiteral("0"));
  EXPECT_FALSE(lauf.belegt(1));
  EXPECT_FALSE(lauf.CtlLaufschrift(1).visible());
}

TEST_F(LauftexteTest, StandsStillForTheStartDelayThenStepsEveryFourHundredthsAtLeast) {
  lauf.LTNeu(feld(1, 1, 300, 30), 0, 2);  // Geschwindigkeit 0 means the shortest step
  lauf.LauftexteTakten();
  EXPECT_EQ(gezeichntBei(1), 0);
  for (int i = 0; i < 128; ++i) tick();  // 2 s
  EXPECT_EQ(gezeichntBei(1), 0);
  // After the delay one tick starts the wait, the step comes with the first
  // tick more than 0.04 s later: every fourth tick.
  for (int schritt = 1; schritt <= 5; ++schritt) {
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(gezeichntBei(1), 1 - schritt);
    tick();
    EXPECT_EQ(gezeichntBei(1), -schritt);
  }
}

TEST_F(LauftexteTest, TextLeavesAtTheLeftAndComesBackFromTheFieldWidth) {
  lauf.LTNeu(feld(1, 1, 30, 30), 0.04, 0);  // the text is wider than the field
  const long breite = lauf.CtlLaufschrift(1).TextWidth(QStringLiteral("Anpfiff"));
  ASSERT_GT(breite, 30);
  std::vector<long> folge{0};
  lauf.LauftexteTakten();
  for (int i = 0; i < 4 * (breite + 5); ++i) {
    tick();
    if (gezeichntBei(1) != folge.back()) folge.push_back(gezeichntBei(1));
  }
  std::vector<long> erwartet;
  for (long x = 0; x >= -breite; --x) erwartet.push_back(x);
  for (long x = 30; x > 30 - 4; --x) erwartet.push_back(x);
  ASSERT_GE(folge.size(), erwartet.size());
  folge.resize(erwartet.size());
  EXPECT_EQ(folge, erwartet);
}

TEST_F(LauftexteTest, OneFirstDisplayPerTick) {
  lauf.LTNeu(feld(1, 1, 100, 30), 0.04, 0);
  lauf.LTNeu(feld(1, 41, 100, 70), 0.04, 0);
  lauf.LTNeu(feld(1, 81, 100, 110), 0.04, 0);
  tick();
  EXPECT_TRUE(gezeichnet(1));
  EXPECT_FALSE(gezeichnet(2));
  tick();
  EXPECT_TRUE(gezeichnet(2));
  EXPECT_FALSE(gezeichnet(3));
  tick();
  for (int i = 0; i < 9; ++i) tick();  // slot 3 steps on ticks 7 and 11 and waits again from 12
  ASSERT_EQ(gezeichntBei(3), -2) << "slot 3 scrolls";
  // A new text in slot 1 holds the others back for the tick of its first display.
  lauf.LTNeuLoeschen(1);
  lauf.LTNeu(feld(1, 1, 100, 30), 0.04, 0);
  const long vorher = gezeichntBei(3);
  host.zeit += 1;
  lauf.LauftexteTakten();
  EXPECT_EQ(gezeichntBei(3), vorher);
}

TEST_F(LauftexteTest, SeeThroughTextShowsOnlyItsGlyphsAndDeletingAllHidesEverything) {
  board.line(0, 0, 299, 199, 0x00FF00);
  TextParameter p = feld(1, 1, 200, 40);
  p.Transparent = true;
  lauf.LTNeu(p, 0.04, 0);
  lauf.LTNeu(feld(1, 51, 200, 90), 0.04, 0);
  tick();
  tick();
  const QImage bild = board.presented();
  EXPECT_EQ(bild.pixel(150, 20), board.image().pixel(150, 20));
  int linie = 0;  // where the line crosses row 70
  while (board.image().pixel(linie, 70) != qRgb(0, 255, 0)) ++linie;
  EXPECT_EQ(bild.pixel(linie, 70), qRgb(0, 0, 0)) << "the opaque one hides the line";
  for (uint8_t i = 1; i <= 10; ++i) lauf.LTNeuLoeschen(i);
  EXPECT_EQ(board.presented(), board.image());
}

}  // namespace
}  // namespace vrd4::render
