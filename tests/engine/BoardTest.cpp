// What shows on the board: drawing commands through the dispatcher, checked
// by the pixels they leave, and the animation slot table.
#include "EngineTestSupport.h"
#include "support/Numbers.h"

namespace vrd4::engine::test {
namespace {

constexpr platform::Colour kRot = 0x0000FF, kGruen = 0x00FF00, kWeiss = 0xFFFFFF, kSchwarz = 0x000000;
struct Board : EngineTest {
  // Each pixel (x, y, colour) of the list has its colour.
  void pixel(std::initializer_list<std::tuple<int, int, platform::Colour>> soll) {
    for (const auto& [x, y, c] : soll) EXPECT_EQ(farbeBei(x, y), c) << x << "," << y;
  }
};

TEST_F(Board, DrawingSurvivesTheBackgroundColourUntilClsWhichEndsBlackAndWhite) {
  ausfuehren({u"Cls"});
  ausfuehren({u"Hintergrundfarbe", u"255"});
  EXPECT_TRUE(ganzIn(kRot)) << "nothing drawn since Cls: the colour shows at once";
  pic.setDrawWidth(3);
  ausfuehren({u"Linie", u"1", u"1", u"10", u"1", u"1", u"65280"});
  pixel({{0, 0, kGruen}, {9, 0, kGruen}, {10, 0, kRot}, {0, 1, kRot}});
  EXPECT_TRUE(pic.drawWidth() == 3 && pic.foreColor() == kWeiss);
  const QImage vorher = pic.image();
  ausfuehren({u"Hintergrundfarbe", u"0"});
  EXPECT_EQ(pic.image(), vorher);
  ausfuehren({u"Vordergrundfarbe", u"255"});
  ausfuehren({u"Cls"});
  EXPECT_TRUE(ganzIn(kSchwarz));
  EXPECT_EQ(pic.foreColor(), kWeiss);
}

TEST_F(Board, BoxesCoverBothCornersTakeTheFillPatternAndPutThePenBackMinus32768DrawsNothing) {
  pic.setDrawWidth(3);
  pic.setForeColor(0x123456);
  ausfuehren({u"Rechteck", u"11", u"11", u"30", u"30", u"0", u"255", u"0"});
  pixel({{10, 10, kRot}, {29, 29, kRot}, {11, 11, kSchwarz}});  // width 0 draws one pixel wide; inside not filled
  EXPECT_TRUE(pic.drawWidth() == 3 && pic.foreColor() == 0x123456u);
  ausfuehren({u"Rechteck", u"41", u"41", u"45", u"45", u"1", u"65280", u"-1"});
  pixel({{40, 40, kGruen}, {44, 44, kGruen}, {45, 45, kSchwarz}});
  pic.setDrawStyle(2);
  engine->Linienstil(7);  // out of range: solid
  EXPECT_EQ(pic.drawStyle(), 0);
  engine->Fuellstyle(8);  // out of range: solid, so an outlined box is filled
  engine->Fuellfarbe(kRot);
  ausfuehren({u"Rechteck", u"51", u"51", u"59", u"59", u"1", u"65280", u"0"});
  pixel({{50, 50, kGruen}, {54, 54, kRot}});
  const QImage vorher = pic.image();
  EXPECT_THROW(ausfuehren({u"Linie", u"-32768", u"1", u"10", u"1", u"1", u"255"}), OverflowError);
  EXPECT_THROW(ausfuehren({u"Rechteck", u"1", u"1", u"10", u"-32768", u"1", u"255", u"-1"}), OverflowError);
  EXPECT_EQ(engine->befehlsname(), QStringLiteral("Rechteck"));
  EXPECT_EQ(pic.image(), vorher);
  EXPECT_EQ(pic.foreColor(), 0x123456u);
}

}  // namespace
}  // namespace vrd4::engine::test
