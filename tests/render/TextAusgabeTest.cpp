// Text on the board: the field layout (measured with a fixed table of
// character widths so that every position is known exactly), fitting a font
// to a pixel height, the font check, and printing: the fill, the failure path
// and the hand-over to a scrolling text.
#include <QRect>
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "platform/Surface.h"
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

TEST_F(TextAusgabeTest, PrintsInsideTheFieldAndLeavesTheBoardsFont) {
  TextParameter p = feld(21, 11, 180, 60, "Hallo");
  p.Ausrichtung = 4, p.Fett = true;
  renderer.TextAusgabe(board, p, false, 0, 0);
  const QRect r = tinte(board.image());
  EXPECT_NEAR(r.center().x(), 100, 3);
  EXPECT_NEAR(r.center().y(), 35, 4);
  EXPECT_TRUE(board.hasPicture());
  EXPECT_FALSE(board.fontBold());
  EXPECT_EQ(board.fontSize(), 8.25);
}

TEST_F(TextAusgabeTest, FillsTheFieldGrownToTheTextUnlessTransparent) {
  TextParameter p = feld(11, 11, 60, 40, "x");
  p.FeldHintergrundfarbe = 0x0000FF, p.Transparent = true;
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(board.image().pixel(59, 39), qRgb(0, 0, 0));
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

}  // namespace
}  // namespace vrd4::render
