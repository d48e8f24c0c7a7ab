// Text on the board: the field layout (measured with a fixed table of
// character widths so that every position is known exactly), fitting a font
// to a pixel height, the font check, and printing: the fill, the failure path
// and the hand-over to a scrolling text.
#include <QRect>
#include <cmath>
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"
#include "render/Schrift.h"
#include "render/TextAusgabe.h"
#include "render/TextFeld.h"

namespace vrd4::render {
namespace {

using namespace test;

// 'i' is 4 wide, 'W' 16, every other UTF-16 unit 10; every line is 14 high.
TextMass tabelle() {
  return {[](const QString& t) {
            double w = 0;
            for (QChar c : t) w += c == u'i' ? 4 : c == u'W' ? 16 : 10;
            return w;
          },
          [](const QString&) { return 14.0; }};
}

// x, y: the 0-based print position on the board; passt: the text that fits.
struct Zeile {
  const char *name, *text;
  int16_t xs, ys, xe, ye, ausrichtung, x, y;
  const char* passt;
  int16_t feldBreite, feldHoehe, yEnde;
  bool ereignis = false;
};

class Layout : public testing::TestWithParam<Zeile> {};

TEST_P(Layout, PlacesAndShortensTheText) {
  const Zeile& z = GetParam();
  FakeHost host;
  TextFeld brett{z.xs, z.ys, z.xe, z.ye, QString::fromUtf8(z.text)};
  TextFeld ctl = brett;

  TextFeldAusgabeBerechnen(brett, z.ausrichtung, tabelle(), host);
  EXPECT_EQ(brett.Xstart, z.x);
  EXPECT_EQ(brett.Ystart, z.y);
  EXPECT_EQ(brett.Ausgabetext, QString::fromUtf8(z.passt));
  EXPECT_EQ(brett.FeldBreite, z.feldBreite);
  EXPECT_EQ(brett.FeldHoehe, z.feldHoehe);
  EXPECT_EQ(brett.OriginalYEnde, z.yEnde);
  EXPECT_EQ(brett.yPosinPicfuerLauftext, z.feldHoehe > 14 ? (z.feldHoehe - 14) / 2 : 0);

  // In a control over the field the position is relative to its corner.
  TextFeldAusgabeBerechnenfuerUserControl(ctl, z.ausrichtung, tabelle(), host);
  EXPECT_EQ(ctl.xPosinUserControlfuerLauftext, z.x - (z.xs - 1));
  EXPECT_EQ(ctl.yPosinUserControlfuerLauftext, z.y - (z.ys - 1));
  EXPECT_EQ(ctl.Ausgabetext, brett.Ausgabetext);

  const Ereignis falsch = befehlFehler("Parameter   'Ausrichtung'   nicht zwischen 0 und 8!");
  EXPECT_EQ(host.ereignisse, std::vector<Ereignis>(z.ereignis ? 2 : 0, falsch));
}

// Field (11,21)-(110,40): 100 × 20, 0-based corner (10, 20); "ABCD" is 40 × 14.
// "WABCi" is 50 wide in a field 35 wide.
INSTANTIATE_TEST_SUITE_P(TextFeld, Layout, testing::Values(
        Zeile{"TopRight", "ABCD", 11, 21, 110, 40, 2, 70, 20, "ABCD", 100, 20, 39},
        Zeile{"MiddleCentre", "ABCD", 11, 21, 110, 40, 4, 40, 23, "ABCD", 100, 20, 39},
        Zeile{"BottomLeft", "ABCD", 11, 21, 110, 40, 6, 10, 26, "ABCD", 100, 20, 39},
        // Halves are cut: 101 - 40 = 61 and 21 - 14 = 7.
        Zeile{"OddRemaindersAreTruncated", "ABCD", 1, 1, 101, 21, 4, 30, 3, "ABCD", 101, 21, 20},
        Zeile{"LeftLosesCharactersAtTheEnd", "WABCi", 1, 1, 35, 20, 0, 0, 0, "WA", 35, 20, 19},
        Zeile{"RightLosesCharactersAtTheStart", "WABCi", 1, 1, 35, 20, 2, 1, 0, "ABCi", 35, 20, 19},
        // A surrogate pair is dropped whole, though "AB" and half of it would fit.
        Zeile{"SurrogatePairFromTheEnd", "AB\U0001F600", 1, 1, 30, 20, 0, 0, 0, "AB", 30, 20, 19},
        Zeile{"SurrogatePairFromTheStart", "\U0001F600AB", 1, 1, 30, 20, 2, 10, 0, "AB", 30, 20, 19},
        Zeile{"EndBeforeStartGivesOnePixelWideField", "AB", 50, 1, 10, 20, 0, 49, 0, "", 1, 20, 19},
        Zeile{"LowFieldGrowsDownwards", "ABCD", 1, 1, 100, 5, 4, 30, 0, "ABCD", 100, 14, 14},
        Zeile{"AlignmentNine", "ABCDE", 11, 21, 40, 40, 9, 10, 20, "ABCDE", 30, 20, 39, true},
        Zeile{"NegativeAlignment", "ABCDE", 11, 21, 40, 40, -1, 10, 20, "ABCDE", 30, 20, 39, true}),
    [](const testing::TestParamInfo<Zeile>& i) { return std::string(i.param.name); });

// The smallest rectangle holding every pixel that is not black.
QRect tinte(const QImage& bild) {
  QRect r;
  for (int y = 0; y < bild.height(); ++y)
    for (int x = 0; x < bild.width(); ++x)
      if (bild.pixel(x, y) != qRgb(0, 0, 0)) r = r.united(QRect(x, y, 1, 1));
  return r;
}

struct TextAusgabeTest : testing::Test {
  FakeHost host;
  platform::Surface board{200, 100};
  TextRenderer renderer{host};
};

// (Where the text lands in its field: the layout rows and the engine's field test.)
TEST_F(TextAusgabeTest, FillsTheFieldGrownToTheTextUnlessTransparentAndLeavesTheBoardsFont) {
  TextParameter p = feld(11, 11, 60, 40, "x");
  p.FeldHintergrundfarbe = 0x0000FF, p.Transparent = true, p.Fett = true;
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(board.image().pixel(59, 39), qRgb(0, 0, 0));
  EXPECT_TRUE(board.hasPicture());
  EXPECT_FALSE(board.fontBold());
  EXPECT_EQ(board.fontSize(), 8.25);
  p.Transparent = false;
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(tinte(board.image()), QRect(10, 10, 50, 30));
  p.Xstart = 101, p.Xende = 150, p.Ystart = 1, p.YEnde = 3;  // lower than the text line
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_GE(tinte(board.image().copy(100, 0, 100, 100)).height(), 18);
}

TEST_F(TextAusgabeTest, FontNamesInAnyLetterCaseCountAndUnknownOnesPrintInArial) {
  EXPECT_EQ(renderer.SchriftartPruefen(QStringLiteral("courier new")), QStringLiteral("courier new"));
  platform::Surface arial{200, 100};
  TextParameter p = feld(1, 1, 200, 50, "Hallo");
  p.Schriftart = QStringLiteral("aRiAl");
  renderer.TextAusgabe(arial, p, false, 0, 0);
  p.Schriftart = QStringLiteral("Gibtsnicht");
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(board.image(), arial.image());
  EXPECT_EQ(host.ereignisse,
            std::vector{befehlFehler("Schrift: Gibtsnicht nicht vorhanden. - Arial wird gesetzt!")});
}

TEST_F(TextAusgabeTest, OnlyATooWideTextBecomesAScrollingTextWhenAsked) {
  board.setScale(100, 50);  // two pixels per unit: the control is placed in units
  Lauftexte lauftexte(host, board, renderer);
  renderer.setLauftexte(&lauftexte);
  renderer.TextAusgabe(board, feld(6, 6, 30, 20, "Ein viel zu langer Text"), true, 0.1, 1);
  EXPECT_TRUE(tinte(board.image()).isEmpty()) << "nothing printed on the board";
  EXPECT_EQ(lauftexte.CtlLaufschrift(1).surface().left(), 10);
  EXPECT_EQ(lauftexte.CtlLaufschrift(1).surface().widthPx(), 50);
  EXPECT_EQ(host.antworten.back().second, QStringLiteral("1"));
  renderer.TextAusgabe(board, feld(6, 26, 90, 40, "Kurz"), true, 0.1, 1);
  EXPECT_FALSE(lauftexte.belegt(2));
  EXPECT_FALSE(tinte(board.image()).isEmpty());
}

// ----------------------------------------------------------------------------
// The text-effect controls over the board, and blinking and scrolling texts
// in them with the test's clock: slots, replies, phases, steps and what the
// board shows.


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

TEST_F(Texte, BothKindsTakeSlotsOneToTenRefuseAnEleventhTakeFreedSlotsAgainAndReplaceTheTextOnTheSameField) {
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

TEST_F(Texte, ScrollingWaitsForTheStartDelayStepsAPixelEveryFourHundredthsAtLeastAndWrapsAtTheFieldWidth) {
  lauf.LTNeu(feld(1, 1, 30, 30), 0, 2);  // Geschwindigkeit 0 means the shortest step
  for (int i = 0; i <= 128; ++i) tick(i ? kTick : 0);  // 2 s
  EXPECT_EQ(gezeichnetBei(1), 0);
  const long breite = lauf.CtlLaufschrift(1).TextWidth(QStringLiteral("Anpfiff"));
  ASSERT_GT(breite, 30);
  std::vector<long> folge{0}, erwartet;
  for (long x = 0; x >= -breite; --x) erwartet.push_back(x);
  for (long x = 30; x > 30 - 4; --x) erwartet.push_back(x);
  // After the delay one tick starts the wait; the step comes with the first
  // tick more than 0.04 s later: every fourth tick.
  for (int i = 1; folge.size() < erwartet.size() && i < 4 * (breite + 9); ++i) {
    tick();
    EXPECT_TRUE(i > 12 || gezeichnetBei(1) == -(i / 4)) << i;
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
