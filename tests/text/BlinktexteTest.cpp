// Blinking texts with the test's clock: slots, replies, phases and what the
// board shows.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Blinktexte.h"

namespace vrd4::render {
namespace {

using test::Ereignis;
using test::FakeHost;

TextParameter feld(int16_t xs, int16_t ys, int16_t xe, int16_t ye, bool transparent = false) {
  TextParameter p;
  p.Xstart = xs, p.Ystart = ys, p.Xende = xe, p.YEnde = ye;
  p.Ausgabetext = QStringLiteral("Tor!");
  p.SchriftgroesseinPixel = 20;
  p.Transparent = transparent;
  p.FeldVordergrundfarbe = 0xFFFFFF;
  p.FeldHintergrundfarbe = 0x0000FF;
  return p;
}

struct BlinktexteTest : testing::Test {
  BlinktexteTest() { board.line(0, 0, 299, 199, 0x00FF00); }
  void tick(double sekunden) {
    host.zeit += sekunden;
    blink.BlinktexteTakten();
  }
  bool zeigtText(int n) {
    const QImage& bild = blink.CtlBlinktext(n).surface().image();
    const QRgb hinten = bild.pixel(0, 0);
    for (int y = 0; y < bild.height(); ++y)
      for (int x = 0; x < bild.width(); ++x)
        if (bild.pixel(x, y) != hinten) return true;
    return false;
  }
  FakeHost host;
  platform::Surface board{300, 200};
  TextRenderer text{host};
  Blinktexte blink{host, board, text};
};

TEST_F(BlinktexteTest, SlotsAreNumberedFromOneAndReported) {
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(blink.BKNeu(feld(1, int16_t(i * 15), 60, int16_t(i * 15 + 10)), 1), i);
    EXPECT_EQ(host.antworten.back(), std::make_pair(Antwort::BlinktextNr, QString::number(i)));
    EXPECT_EQ(host.ereignisse.back(), (Ereignis{QStringLiteral("BlinktextNr"), QString::number(i)}));
  }
  host.ereignisse.clear();
  EXPECT_EQ(blink.BKNeu(feld(100, 1, 160, 20), 1), 0);
  EXPECT_EQ(host.ereignisse,
            (std::vector<Ereignis>{
                {QStringLiteral("BefehlFehler"), QStringLiteral("max. 10 Blinktexte bereits belegt!")},
                {QStringLiteral("BlinktextNr"), QStringLiteral("0")}}));
  EXPECT_EQ(host.antworten.back().second, QStringLiteral("0"));

  blink.BKNeuLoeschen(3);
  EXPECT_FALSE(blink.CtlBlinktext(3).visible());
  EXPECT_EQ(blink.BKNeu(feld(100, 1, 160, 20), 1), 3);
}

TEST_F(BlinktexteTest, NewTextOnTheSameRectangleReplacesTheOlder) {
  blink.BKNeu(feld(1, 1, 60, 30), 1);
  blink.BKNeu(feld(1, 41, 60, 70), 1);
  blink.BKNeu(feld(1, 81, 60, 110), 1);
  EXPECT_EQ(blink.BKNeu(feld(1, 41, 60, 70), 1), 4);
  EXPECT_TRUE(blink.belegt(1));
  EXPECT_FALSE(blink.belegt(2));
  EXPECT_TRUE(blink.belegt(4));
}

TEST_F(BlinktexteTest, DeletingAnUnknownNumberRaisesItsEvent) {
  blink.BKNeuLoeschen(0);
  blink.BKNeuLoeschen(11);
  blink.BKNeuLoeschen(5);  // free: nothing happens
  EXPECT_EQ(host.ereignisse,
            (std::vector<Ereignis>{
                {QStringLiteral("BefehlFehler"), QStringLiteral("Blinktextnummer: 0 gibt es nicht!")},
                {QStringLiteral("BefehlFehler"), QStringLiteral("Blinktextnummer: 11 gibt es nicht!")}}));
}

TEST_F(BlinktexteTest, IntervalBelowTheShortestBlinksEveryFourHundredths) {
  blink.BKNeu(feld(11, 11, 110, 50), 0);
  EXPECT_FALSE(zeigtText(1)) << "nothing is drawn before the first tick";
  tick(0);
  EXPECT_TRUE(zeigtText(1));
  tick(0.03125);
  EXPECT_TRUE(zeigtText(1));
  tick(0.015625);  // 0.046875 after the first display
  EXPECT_FALSE(zeigtText(1));
  tick(0.03125);
  EXPECT_FALSE(zeigtText(1));
  tick(0.015625);
  EXPECT_TRUE(zeigtText(1));
}

TEST_F(BlinktexteTest, PhasesKeepTheirLengthAfterMonthsOfRunning) {
  blink.BKNeu(feld(11, 11, 110, 50), 0.04);
  tick(0);
  tick(1e7);  // about 116 days: as a 32-bit float such a count has whole seconds only
  const bool phase = zeigtText(1);
  tick(0.03125);
  EXPECT_EQ(zeigtText(1), phase);
  tick(0.015625);
  EXPECT_NE(zeigtText(1), phase);
}

TEST_F(BlinktexteTest, PhasesLastTheirInterval) {
  blink.BKNeu(feld(11, 11, 110, 50), 0.5);
  tick(0);
  int wechsel = 0;
  bool zuletzt = true;
  for (int i = 0; i < 160; ++i) {  // 2.5 s in 1/64 s ticks
    tick(0.015625);
    if (zeigtText(1) != zuletzt) ++wechsel, zuletzt = !zuletzt;
  }
  EXPECT_EQ(wechsel, 4);  // 0.5 s plus one tick per phase
}

TEST_F(BlinktexteTest, ControlCoversTheLaidOutField) {
  TextParameter p = feld(21, 31, 120, 60);
  p.Ausrichtung = 4;
  blink.BKNeu(p, 1);
  const CtlLTundBK& c = blink.CtlBlinktext(1);
  EXPECT_EQ(c.left(), 20);
  EXPECT_EQ(c.top(), 30);
  EXPECT_EQ(c.width(), 100);
  EXPECT_EQ(c.height(), 30);
  EXPECT_EQ(c.ScaleWidth(), 100);
  EXPECT_LE(c.TextHeight(QString::fromUtf8("AyjgÜÀ")), 20);
}

TEST_F(BlinktexteTest, BadAlignmentStillCreatesTheText) {
  TextParameter p = feld(1, 1, 100, 40);
  p.Ausrichtung = 9;
  EXPECT_EQ(blink.BKNeu(p, 1), 1);
  EXPECT_EQ(host.ereignisse.front().meldung,
            QStringLiteral("Parameter   'Ausrichtung'   nicht zwischen 0 und 8!"));
}

TEST_F(BlinktexteTest, FieldEndingBeforeItsStartFailsAndLeavesTheSlotFree) {
  EXPECT_ANY_THROW(blink.BKNeu(feld(50, 1, 10, 20), 1));
  EXPECT_FALSE(blink.belegt(1));
  EXPECT_FALSE(blink.CtlBlinktext(1).visible());
  EXPECT_EQ(board.presented(), board.image());
}

TEST_F(BlinktexteTest, HiddenPhaseOfATransparentTextShowsTheBoardUnchanged) {
  blink.BKNeu(feld(11, 11, 110, 50, true), 0.04);
  tick(0);
  EXPECT_NE(board.presented(), board.image()) << "the text shows";
  EXPECT_EQ(board.presented().pixel(100, 45), board.image().pixel(100, 45)) << "its field does not";
  tick(0.0625);
  EXPECT_EQ(board.presented(), board.image());
}

TEST_F(BlinktexteTest, HiddenPhaseOfAnOpaqueTextShowsItsFieldColour) {
  blink.BKNeu(feld(11, 11, 110, 50), 0.04);
  tick(0);
  tick(0.0625);
  const QImage bild = board.presented();
  for (QPoint p : {QPoint(10, 10), QPoint(109, 49), QPoint(60, 30)}) {
    EXPECT_EQ(bild.pixel(p), qRgb(255, 0, 0));
  }
  EXPECT_EQ(bild.pixel(110, 50), board.image().pixel(110, 50));
}

TEST_F(BlinktexteTest, DeletingAllSlotsLeavesNoControlVisible) {
  for (int i = 0; i < 10; ++i) blink.BKNeu(feld(int16_t(1 + 20 * i), 1, int16_t(20 + 20 * i), 30), 1);
  tick(0);
  for (uint8_t i = 1; i <= 10; ++i) blink.BKNeuLoeschen(i);
  for (int i = 1; i <= 10; ++i) EXPECT_FALSE(blink.CtlBlinktext(i).visible());
  EXPECT_EQ(board.presented(), board.image());
}

}  // namespace
}  // namespace vrd4::render
