// Board commands through the dispatcher, checked by the pixels they leave.
#include <QImage>

#include "EngineTestSupport.h"
#include "render/Board.h"
#include "support/Numbers.h"

namespace vrd4::engine::test {
namespace {

constexpr platform::Colour kRot = 0x0000FF;
constexpr platform::Colour kGruen = 0x00FF00;
constexpr platform::Colour kWeiss = 0xFFFFFF;
constexpr platform::Colour kSchwarz = 0x000000;

class Board : public EngineTest {
 protected:
  bool ganzIn(platform::Colour c) const {
    const QImage& img = pic.image();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (platform::fromQColor(QColor(img.pixel(x, y))) != c) return false;
    return true;
  }
};

TEST_F(Board, BackgroundRightAfterClsMakesTheWholeBoardRed) {
  ausfuehren(befehl({u"Cls"}));
  ausfuehren(befehl({u"Hintergrundfarbe", u"255"}));
  EXPECT_TRUE(ganzIn(kRot));
}

TEST_F(Board, BackgroundAfterALineLeavesTheBoardAsItWas) {
  ausfuehren(befehl({u"Cls"}));
  ausfuehren(befehl({u"Linie", u"1", u"1", u"10", u"1", u"1", u"16777215"}));
  const QImage vorher = pic.image();
  ausfuehren(befehl({u"Hintergrundfarbe", u"255"}));
  EXPECT_EQ(pic.image(), vorher);
  EXPECT_EQ(farbeBei(100, 100), kSchwarz);
}

TEST_F(Board, LineFromOneOneToTenOneColoursTheFirstTenPixelsOfTheTopRow) {
  ausfuehren(befehl({u"Linie", u"1", u"1", u"10", u"1", u"1", u"65280"}));
  for (int x = 0; x < 10; ++x) EXPECT_EQ(farbeBei(x, 0), kGruen) << x;
  EXPECT_EQ(farbeBei(10, 0), kSchwarz);
  EXPECT_EQ(farbeBei(0, 1), kSchwarz);
  EXPECT_TRUE(pic.hasPicture());
}

TEST_F(Board, BoxWithWidthZeroDrawsWidthOneAndRestoresPenAndForeColour) {
  pic.setDrawWidth(3);
  pic.setForeColor(0x123456);
  ausfuehren(befehl({u"Rechteck", u"11", u"11", u"30", u"30", u"0", u"255", u"0"}));
  EXPECT_EQ(farbeBei(10, 10), kRot);
  EXPECT_EQ(farbeBei(29, 29), kRot);
  EXPECT_EQ(farbeBei(11, 11), kSchwarz) << "outline one pixel wide, inside not filled";
  EXPECT_EQ(pic.drawWidth(), 3);
  EXPECT_EQ(pic.foreColor(), 0x123456u);
}

TEST_F(Board, FilledBoxIsWhollyInItsColourBothCornersIncluded) {
  ausfuehren(befehl({u"Rechteck", u"1", u"1", u"5", u"5", u"1", u"65280", u"-1"}));
  EXPECT_EQ(farbeBei(0, 0), kGruen);
  EXPECT_EQ(farbeBei(2, 2), kGruen);
  EXPECT_EQ(farbeBei(4, 4), kGruen);
  EXPECT_EQ(farbeBei(5, 5), kSchwarz);
}

TEST_F(Board, OutlinedBoxTakesFillColourUnderSolidPattern) {
  engine->Fuellstyle(0);
  engine->Fuellfarbe(kRot);
  ausfuehren(befehl({u"Rechteck", u"1", u"1", u"9", u"9", u"1", u"65280", u"0"}));
  EXPECT_EQ(farbeBei(0, 0), kGruen);
  EXPECT_EQ(farbeBei(4, 4), kRot);
}

TEST_F(Board, CoordinateMinus32768OverflowsAndDrawsNothing) {
  const QImage vorher = pic.image();
  EXPECT_THROW(ausfuehren(befehl({u"Linie", u"-32768", u"1", u"10", u"1", u"1", u"255"})),
               OverflowError);
  EXPECT_THROW(ausfuehren(befehl({u"Rechteck", u"1", u"1", u"10", u"-32768", u"1", u"255", u"-1"})),
               OverflowError);
  EXPECT_EQ(engine->befehlsname(), QStringLiteral("Rechteck"));
  EXPECT_EQ(pic.image(), vorher);
  EXPECT_EQ(pic.foreColor(), kWeiss);
}

TEST_F(Board, ClsEndsBlackAndWhiteWhateverWasSet) {
  ausfuehren(befehl({u"Linie", u"1", u"1", u"10", u"1", u"1", u"255"}));
  ausfuehren(befehl({u"Vordergrundfarbe", u"255"}));
  ausfuehren(befehl({u"Hintergrundfarbe", u"65280"}));
  ausfuehren(befehl({u"Cls"}));
  EXPECT_TRUE(ganzIn(kSchwarz));
  EXPECT_EQ(pic.foreColor(), kWeiss);
  EXPECT_EQ(pic.backColor(), kSchwarz);
  EXPECT_FALSE(pic.hasPicture());
}

TEST_F(Board, ClsRestoresTheStartColoursTheWindowSet) {
  engine->StartHintergrundfarbe = kRot;
  engine->StartVordergrundfarbe = kGruen;
  ausfuehren(befehl({u"Cls"}));
  EXPECT_TRUE(ganzIn(kRot));
  EXPECT_EQ(pic.foreColor(), kGruen);
}

TEST_F(Board, BoardSizeChangesNothing) {
  const QImage vorher = pic.image();
  ausfuehren(befehl({u"Tafelgroesse", u"100", u"50"}));
  EXPECT_EQ(pic.widthPx(), 768);
  EXPECT_EQ(pic.image(), vorher);
  EXPECT_TRUE(events.events.empty());
}

struct MusterFall {
  const char* name;
  void (*setzen)(platform::Surface&, uint8_t);
  int (platform::Surface::*lesen)() const;
  uint8_t wert;
  int erwartet;
};

class Muster : public ::testing::TestWithParam<MusterFall> {};

TEST_P(Muster, ValuesAboveTheRangeBecomeZero) {
  const MusterFall& f = GetParam();
  platform::Surface pic(8, 8);
  f.setzen(pic, f.wert);
  EXPECT_EQ((pic.*f.lesen)(), f.erwartet);
}

INSTANTIATE_TEST_SUITE_P(
    Grenzen, Muster,
    ::testing::Values(
        MusterFall{"Fuellstyle8", render::Fuellstyle, &platform::Surface::fillStyle, 8, 0},
        MusterFall{"Fuellstyle7", render::Fuellstyle, &platform::Surface::fillStyle, 7, 7},
        MusterFall{"Linienstil7", render::Linienstil, &platform::Surface::drawStyle, 7, 0},
        MusterFall{"Linienstil6", render::Linienstil, &platform::Surface::drawStyle, 6, 6},
        MusterFall{"Rahmenart6", render::Rahmenart, &platform::Surface::borderStyle, 6, 0},
        MusterFall{"Rahmenart5", render::Rahmenart, &platform::Surface::borderStyle, 5, 5},
        MusterFall{"Rahmenart1", render::Rahmenart, &platform::Surface::borderStyle, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vrd4::engine::test
