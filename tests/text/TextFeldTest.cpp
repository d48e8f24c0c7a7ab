// The field layout, measured with a fixed table of character widths so that
// every position is known exactly.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "render/TextFeld.h"
#include "support/Numbers.h"

namespace vrd4::render {
namespace {

using test::Ereignis;
using test::FakeHost;

// 'i' is 4 wide, 'W' 16, every other character 10; every line is 14 high.
TextMass tabelle() {
  return {[](const QString& t) {
            double w = 0;
            for (QChar c : t) w += c == u'i' ? 4 : c == u'W' ? 16 : 10;
            return w;
          },
          [](const QString&) { return 14.0; }};
}

struct Zeile {
  const char* name;
  int16_t xs, ys, xe, ye;
  const char* text;
  int16_t ausrichtung;
  // board: print position; control: position inside the control
  int16_t x, y, cx, cy;
  const char* passt;  // the text that fits
  int16_t feldBreite, feldHoehe, yEnde;
  bool ereignis = false;
};

class Layout : public testing::TestWithParam<Zeile> {};

TEST_P(Layout, PlacesAndShortensTheText) {
  const Zeile& z = GetParam();
  FakeHost host;
  TextFeld brett;
  brett.Xstart = z.xs, brett.Ystart = z.ys, brett.Xende = z.xe, brett.YEnde = z.ye;
  brett.Ausgabetext = QString::fromUtf8(z.text);
  TextFeld ctl = brett;

  TextFeldAusgabeBerechnen(brett, z.ausrichtung, tabelle(), host);
  EXPECT_EQ(brett.Xstart, z.x);
  EXPECT_EQ(brett.Ystart, z.y);
  EXPECT_EQ(brett.Ausgabetext, QString::fromUtf8(z.passt));
  EXPECT_EQ(brett.FeldBreite, z.feldBreite);
  EXPECT_EQ(brett.FeldHoehe, z.feldHoehe);
  EXPECT_EQ(brett.OriginalXstart, z.xs - 1);
  EXPECT_EQ(brett.OriginalYStart, z.ys - 1);
  EXPECT_EQ(brett.OriginalYEnde, z.yEnde);
  EXPECT_EQ(brett.Mindestfeldhoehe, 14);
  EXPECT_EQ(brett.yPosinPicfuerLauftext, z.feldHoehe > 14 ? (z.feldHoehe - 14) / 2 : 0);

  TextFeldAusgabeBerechnenfuerUserControl(ctl, z.ausrichtung, tabelle(), host);
  EXPECT_EQ(ctl.Xstart, z.xs - 1);
  EXPECT_EQ(ctl.Ystart, z.ys - 1);
  EXPECT_EQ(ctl.xPosinUserControlfuerLauftext, z.cx);
  EXPECT_EQ(ctl.yPosinUserControlfuerLauftext, z.cy);
  EXPECT_EQ(ctl.Ausgabetext, brett.Ausgabetext);

  const Ereignis falsch{QStringLiteral("BefehlFehler"),
                        QStringLiteral("Parameter   'Ausrichtung'   nicht zwischen 0 und 8!")};
  if (z.ereignis) {
    EXPECT_EQ(host.ereignisse, (std::vector<Ereignis>{falsch, falsch}));
  } else {
    EXPECT_TRUE(host.ereignisse.empty());
  }
}

// Field (11,21)-(110,40): 100 × 20, 0-based corner (10, 20); "ABCD" is 40 × 14.
INSTANTIATE_TEST_SUITE_P(
    TextFeld, Layout,
    testing::Values(
        Zeile{"TopLeft", 11, 21, 110, 40, "ABCD", 0, 10, 20, 0, 0, "ABCD", 100, 20, 39},
        Zeile{"TopCentre", 11, 21, 110, 40, "ABCD", 1, 40, 20, 30, 0, "ABCD", 100, 20, 39},
        Zeile{"TopRight", 11, 21, 110, 40, "ABCD", 2, 70, 20, 60, 0, "ABCD", 100, 20, 39},
        Zeile{"MiddleLeft", 11, 21, 110, 40, "ABCD", 3, 10, 23, 0, 3, "ABCD", 100, 20, 39},
        Zeile{"MiddleCentre", 11, 21, 110, 40, "ABCD", 4, 40, 23, 30, 3, "ABCD", 100, 20, 39},
        Zeile{"MiddleRight", 11, 21, 110, 40, "ABCD", 5, 70, 23, 60, 3, "ABCD", 100, 20, 39},
        Zeile{"BottomLeft", 11, 21, 110, 40, "ABCD", 6, 10, 26, 0, 6, "ABCD", 100, 20, 39},
        Zeile{"BottomCentre", 11, 21, 110, 40, "ABCD", 7, 40, 26, 30, 6, "ABCD", 100, 20, 39},
        Zeile{"BottomRight", 11, 21, 110, 40, "ABCD", 8, 70, 26, 60, 6, "ABCD", 100, 20, 39},
        // The example field (1,1)-(100,20) with a 40 × 14 text in the middle.
        Zeile{"ExampleFieldMiddleCentre", 1, 1, 100, 20, "ABCD", 4, 30, 3, 30, 3, "ABCD", 100, 20,
              19},
        // Halves are cut: 101 - 40 = 61 and 21 - 14 = 7.
        Zeile{"OddRemaindersAreTruncated", 1, 1, 101, 21, "ABCD", 4, 30, 3, 30, 3, "ABCD", 101, 21,
              20},
        // "WABCi" is 50 wide in a field 35 wide.
        Zeile{"LeftLosesCharactersAtTheEnd", 1, 1, 35, 20, "WABCi", 0, 0, 0, 0, 0, "WA", 35, 20, 19},
        Zeile{"CentreLosesCharactersAtTheEnd", 1, 1, 35, 20, "WABCi", 4, 4, 3, 4, 3, "WA", 35, 20,
              19},
        Zeile{"RightLosesCharactersAtTheStartAndEndsFlush", 1, 1, 35, 20, "WABCi", 2, 1, 0, 1, 0,
              "ABCi", 35, 20, 19},
        Zeile{"EndBeforeStartGivesOnePixelWideField", 50, 1, 10, 20, "AB", 0, 49, 0, 0, 0, "", 1, 20,
              19},
        Zeile{"NarrowFieldEndsWithEmptyText", 1, 1, 3, 20, "ABC", 8, 3, 6, 3, 6, "", 3, 20, 19},
        Zeile{"LowFieldGrowsDownwardsToTheTextHeight", 1, 1, 100, 5, "ABCD", 4, 30, 0, 30, 0, "ABCD",
              100, 14, 14},
        Zeile{"AlignmentNineLeavesTextWholeAtTheCorner", 11, 21, 40, 40, "ABCDE", 9, 10, 20, 0, 0,
              "ABCDE", 30, 20, 39, true},
        Zeile{"NegativeAlignmentLeavesTextWholeAtTheCorner", 11, 21, 40, 40, "ABCDE", -1, 10, 20, 0,
              0, "ABCDE", 30, 20, 39, true}),
    [](const testing::TestParamInfo<Zeile>& i) { return std::string(i.param.name); });

TEST(TextFeld, CornerOutsideSixteenBitsIsAnOverflow) {
  FakeHost host;
  TextFeld f;
  f.Xstart = -32768;
  f.Ausgabetext = QStringLiteral("A");
  EXPECT_THROW(TextFeldAusgabeBerechnen(f, 0, tabelle(), host), OverflowError);
  TextFeld g;
  g.Xstart = 32767;
  g.Xende = 32767;
  g.Ystart = -32767;
  g.YEnde = 32767;  // the height does not fit 16 bits
  EXPECT_THROW(TextFeldAusgabeBerechnenfuerUserControl(g, 0, tabelle(), host), OverflowError);
}

// Dropping one character at a time, as the layout is defined.
QString einzelnGekuerzt(QString t, int breite, bool vomAnfang) {
  const TextMass m = tabelle();
  while (m.breite(t) > breite && !t.isEmpty()) {
    if (vomAnfang) {
      t.remove(0, 1);
    } else {
      t.chop(1);
    }
  }
  return t;
}

TEST(TextFeld, LongTextIsCutWhereDroppingOneByOneWould) {
  QString lang;
  for (int i = 0; i < 3000; ++i) lang += QChar(u"iWAxi"[i * 7 % 5]);
  for (int16_t ausrichtung : {0, 2}) {
    for (int16_t breite : {1, 35, 333, 9000}) {
      FakeHost host;
      TextFeld f;
      f.Xende = breite;
      f.Ausgabetext = lang;
      TextFeldAusgabeBerechnen(f, ausrichtung, tabelle(), host);
      EXPECT_EQ(f.Ausgabetext, einzelnGekuerzt(lang, breite, ausrichtung == 2))
          << ausrichtung << " " << breite;
      EXPECT_EQ(f.Mindestfeldbreite, tabelle().breite(f.Ausgabetext));
    }
  }
}

TEST(TextFeld, SurrogatePairIsDroppedAsOneCharacter) {
  FakeHost host;
  TextFeld f;
  f.Xende = 20;
  f.Ausgabetext = QStringLiteral("AB") + QString::fromUcs4(U"\U0001F600");  // 10 + 10 + 20
  TextFeldAusgabeBerechnen(f, 0, tabelle(), host);
  EXPECT_EQ(f.Ausgabetext, QStringLiteral("AB"));
}

}  // namespace
}  // namespace vrd4::render
