// Lines, boxes, the background picture and the scale, checked by pixels.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "SurfaceTestSupport.h"

namespace vrd4::platform {
namespace {

using test::at;
using test::countOf;
using test::kBlack;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;

// --- lines -------------------------------------------------------------------

struct LineCase {
  std::string name;
  int x1, y1, x2, y2;
  std::vector<std::pair<int, int>> coloured;  // must be red
  std::vector<std::pair<int, int>> untouched;  // must stay black
  int count;                                   // red pixels in all
};

class LineEnds : public testing::TestWithParam<LineCase> {};

TEST_P(LineEnds, ColoursBothEndsAndNothingBeyond) {
  const LineCase& c = GetParam();
  Surface s(40, 30);
  s.line(c.x1, c.y1, c.x2, c.y2, kRed);
  for (auto [x, y] : c.coloured) EXPECT_EQ(at(s, x, y), kRed) << x << "," << y;
  for (auto [x, y] : c.untouched) EXPECT_EQ(at(s, x, y), kBlack) << x << "," << y;
  EXPECT_EQ(countOf(s, kRed), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Surface, LineEnds,
    testing::Values(
        LineCase{"Horizontal", 0, 0, 9, 0, {{0, 0}, {5, 0}, {9, 0}}, {{10, 0}, {0, 1}}, 10},
        LineCase{"HorizontalReversed", 9, 0, 0, 0, {{0, 0}, {9, 0}}, {{10, 0}}, 10},
        LineCase{"Vertical", 3, 2, 3, 12, {{3, 2}, {3, 12}}, {{3, 1}, {3, 13}}, 11},
        LineCase{"VerticalReversed", 3, 12, 3, 2, {{3, 2}, {3, 12}}, {{3, 1}, {3, 13}}, 11},
        LineCase{"Diagonal", 1, 1, 8, 8, {{1, 1}, {4, 4}, {8, 8}}, {{9, 9}, {0, 0}}, 8},
        LineCase{"DiagonalReversedUp", 8, 1, 1, 8, {{8, 1}, {1, 8}}, {{0, 9}, {9, 0}}, 8},
        LineCase{"Steep", 2, 0, 5, 20, {{2, 0}, {5, 20}}, {{5, 21}}, 21},
        LineCase{"SinglePoint", 7, 7, 7, 7, {{7, 7}}, {{8, 7}, {6, 7}}, 1},
        LineCase{"LeavesTheSurface", 30, 5, 60, 5, {{30, 5}, {39, 5}}, {{29, 5}}, 10},
        LineCase{"FarAwayEnd", -32768, 3, 32767, 3, {{0, 3}, {39, 3}}, {{0, 2}}, 40}),
    [](const auto& info) { return info.param.name; });

TEST(SurfaceLine, ReversedShallowLineColoursTheSamePixels) {
  Surface a(40, 30), b(40, 30);
  a.line(1, 2, 30, 13, kRed);
  b.line(30, 13, 1, 2, kRed);
  EXPECT_EQ(a.image(), b.image());
}

TEST(SurfaceLine, WidePenCoversItsWidthAcrossTheLine) {
  Surface s(40, 30);
  s.setDrawWidth(5);
  s.line(5, 10, 30, 10, kRed);
  for (int y = 8; y <= 12; ++y) EXPECT_EQ(at(s, 18, y), kRed) << y;
  EXPECT_EQ(at(s, 18, 7), kBlack);
  EXPECT_EQ(at(s, 18, 13), kBlack);
}

TEST(SurfaceLine, WideLineToAFarPointIsCutAtTheEdge) {
  Surface s(40, 30);
  s.setDrawWidth(3);
  s.line(-1e9, 10, 1e9, 10, kRed);
  s.setDrawWidth(32767);
  s.line(-32768, -32768, 32767, 32767, kBlue);
  EXPECT_EQ(countOf(s, kBlue), 40 * 30);
}

TEST(SurfaceLine, WidePenDrawsADotForAPoint) {
  Surface s(40, 30);
  s.setDrawWidth(4);
  s.line(10, 10, 10, 10, kRed);
  EXPECT_EQ(at(s, 10, 10), kRed);
  EXPECT_GE(countOf(s, kRed), 9);
  EXPECT_LE(countOf(s, kRed), 16);
}

TEST(SurfaceLine, PenWidthBelowOneDrawsOnePixel) {
  for (int width : {0, -3}) {
    Surface s(20, 20);
    s.setDrawWidth(width);
    s.line(0, 5, 9, 5, kRed);
    EXPECT_EQ(countOf(s, kRed), 10) << width;
  }
}

TEST(SurfaceLine, TransparentLinePatternDrawsNothing) {
  Surface s(20, 20);
  s.setDrawStyle(5);
  s.line(0, 0, 19, 19, kRed);
  EXPECT_EQ(countOf(s, kRed), 0);
}

TEST(SurfaceLine, DashedLineLeavesGaps) {
  Surface s(100, 10);
  s.setDrawStyle(1);
  s.line(0, 0, 99, 0, kRed);
  EXPECT_EQ(at(s, 0, 0), kRed);
  EXPECT_EQ(at(s, 20, 0), kBlack);
  EXPECT_GT(countOf(s, kRed), 50);
  EXPECT_LT(countOf(s, kRed), 100);
}

TEST(SurfaceLine, NonFiniteCoordinatesDrawNothing) {
  Surface s(20, 20);
  s.line(0, 0, std::numeric_limits<double>::quiet_NaN(), 5, kRed);
  s.box(0, 0, std::numeric_limits<double>::infinity(), 5, kRed);
  EXPECT_EQ(countOf(s, kRed), 0);
}

// --- boxes -----------------------------------------------------------------------

TEST(SurfaceBox, FilledBoxCoversBothCornersInAnyOrder) {
  Surface s(30, 30);
  s.filledBox(12, 15, 3, 4, kRed);
  EXPECT_EQ(countOf(s, kRed), 10 * 12);
  EXPECT_EQ(at(s, 3, 4), kRed);
  EXPECT_EQ(at(s, 12, 15), kRed);
  EXPECT_EQ(at(s, 13, 15), kBlack);
  EXPECT_EQ(at(s, 12, 16), kBlack);
}

TEST(SurfaceBox, OutlineWithoutFillLeavesTheInside) {
  Surface s(30, 30);
  s.box(2, 2, 11, 11, kWhite);
  EXPECT_EQ(countOf(s, kWhite), 4 * 9);
  EXPECT_EQ(at(s, 2, 2), kWhite);
  EXPECT_EQ(at(s, 11, 11), kWhite);
  EXPECT_EQ(at(s, 6, 6), kBlack);
}

TEST(SurfaceBox, SolidFillInsideTheOutline) {
  Surface s(30, 30);
  s.setFillStyle(0);
  s.setFillColor(kRed);
  s.box(2, 2, 11, 11, kWhite);
  EXPECT_EQ(countOf(s, kWhite), 4 * 9);
  EXPECT_EQ(countOf(s, kRed), 8 * 8);
  EXPECT_EQ(at(s, 3, 3), kRed);
  EXPECT_EQ(at(s, 10, 10), kRed);
}

struct FillCase {
  std::string name;
  int style;
};

class FillPatterns : public testing::TestWithParam<FillCase> {};

TEST_P(FillPatterns, PatternDrawsInFillColourAndLeavesGaps) {
  Surface s(60, 60);
  s.setBackColor(kBlue);
  s.setFillStyle(GetParam().style);
  s.setFillColor(kRed);
  s.box(0, 0, 59, 59, kWhite);
  const int red = countOf(s, kRed), blue = countOf(s, kBlue);
  EXPECT_GT(red, 0);
  EXPECT_GT(blue, 0);  // gaps keep what was there
  EXPECT_EQ(red + blue + countOf(s, kWhite), 60 * 60);
}

INSTANTIATE_TEST_SUITE_P(Surface, FillPatterns,
                         testing::Values(FillCase{"Horizontal", 2}, FillCase{"Vertical", 3},
                                         FillCase{"Upward", 4}, FillCase{"Downward", 5},
                                         FillCase{"Cross", 6}, FillCase{"DiagonalCross", 7}),
                         [](const auto& info) { return info.param.name; });

TEST(SurfaceBox, WideInsidePenStaysInTheBox) {
  Surface s(30, 30);
  s.setDrawWidth(3);
  s.setDrawStyle(6);
  s.box(5, 5, 20, 20, kRed);
  EXPECT_EQ(at(s, 5, 5), kRed);
  EXPECT_EQ(at(s, 7, 12), kRed);
  EXPECT_EQ(at(s, 8, 12), kBlack);
  EXPECT_EQ(at(s, 4, 12), kBlack);
  EXPECT_EQ(countOf(s, kRed), 16 * 16 - 10 * 10);
}

TEST(SurfaceBox, WideCentredPenReachesOutside) {
  Surface s(30, 30);
  s.setDrawWidth(3);
  s.box(5, 5, 20, 20, kRed);
  EXPECT_EQ(at(s, 4, 12), kRed);
  EXPECT_EQ(at(s, 6, 12), kRed);
  EXPECT_EQ(at(s, 7, 12), kBlack);
  EXPECT_EQ(at(s, 3, 12), kBlack);
}

// --- background picture ----------------------------------------------------------

TEST(SurfacePicture, DrawingSurvivesBackColourUntilCls) {
  Surface s(20, 20);
  s.line(0, 0, 9, 0, kRed);
  s.makeImagePicture();
  s.setBackColor(kBlue);
  EXPECT_EQ(at(s, 5, 0), kRed);
  EXPECT_EQ(at(s, 5, 5), kBlack);  // the picture covers the new colour
  s.clearPicture();
  s.cls();
  EXPECT_EQ(countOf(s, kBlue), 400);
}

TEST(SurfacePicture, PictureIsTheImageAsItWasWhenMade) {
  Surface s(20, 20);
  s.line(0, 0, 9, 0, kRed);
  s.makeImagePicture();
  s.filledBox(0, 5, 19, 19, kGreen);  // drawn after: not part of the picture
  const QImage pic = s.picture();
  EXPECT_EQ(at(pic, 5, 0), kRed);
  EXPECT_EQ(at(pic, 5, 10), kBlack);
  s.cls();
  EXPECT_EQ(at(s, 5, 0), kRed);
  EXPECT_EQ(at(s, 5, 10), kBlack);
}

TEST(SurfacePicture, LargeDrawingAfterMakingThePictureKeepsItExact) {
  Surface s(20, 20);
  s.filledBox(0, 0, 4, 4, kRed);
  s.makeImagePicture();
  for (int i = 0; i < 20; ++i) s.line(0, i, 19, i, kGreen);  // more than half
  s.setBackColor(kBlue);
  EXPECT_EQ(countOf(s, kRed), 25);
  EXPECT_EQ(countOf(s, kBlack), 400 - 25);
}

TEST(SurfacePicture, PictureMatchesACopyTakenWhenMadeAfterAnyDrawing) {
  // Drawing after the picture was made must never leak into it, whatever
  // mix of operations touched the image since.
  std::mt19937 rng(4711);
  std::uniform_int_distribution<int> coord(-30, 130), op(0, 5), colour(0, 0xFFFFFF);
  Surface s(100, 80);
  s.setFontSize(14);
  QImage expected;
  for (int round = 0; round < 60; ++round) {
    s.makeImagePicture();
    expected = s.image().copy();
    for (int k = 0, n = op(rng); k <= n; ++k) {
      const Colour c = Colour(colour(rng));
      switch (op(rng)) {
        case 0: s.line(coord(rng), coord(rng), coord(rng), coord(rng), c); break;
        case 1: s.box(coord(rng), coord(rng), coord(rng), coord(rng), c); break;
        case 2: s.filledBox(coord(rng), coord(rng), coord(rng), coord(rng), c); break;
        case 3:
          s.setCurrentX(coord(rng));
          s.setCurrentY(coord(rng));
          s.setForeColor(c);
          s.print(QStringLiteral("Wj"));
          break;
        case 4: s.setDrawWidth(1 + op(rng)); break;
        default: s.setFillStyle(op(rng)); break;
      }
    }
    ASSERT_EQ(s.picture(), expected) << round;
    ASSERT_FALSE(s.picture().isNull());
    if (round % 7 == 0) {
      s.cls();
      ASSERT_EQ(s.image(), expected) << round;
    }
  }
}

TEST(SurfacePicture, SmallerPictureShowsBackColourAround) {
  Surface s(20, 20);
  QImage pic(5, 5, QImage::Format_RGB32);
  pic.fill(toQColor(kRed));
  s.setPicture(pic);
  s.setBackColor(kBlue);
  EXPECT_EQ(countOf(s, kRed), 25);
  EXPECT_EQ(at(s, 4, 4), kRed);
  EXPECT_EQ(countOf(s, kBlue), 400 - 25);
}

TEST(SurfacePicture, ClsEndsWithBackColourAndTextPositionHome) {
  Surface s(20, 20);
  s.setBackColor(kBlue);
  s.line(0, 0, 19, 19, kRed);
  s.setCurrentX(7);
  s.setCurrentY(3);
  s.cls();
  EXPECT_EQ(countOf(s, kBlue), 400);
  EXPECT_EQ(s.currentX(), 0);
  EXPECT_EQ(s.currentY(), 0);
}

TEST(SurfacePicture, ResizeKeepsDrawingTopLeftAndFillsWithBackColour) {
  Surface s(10, 10);
  s.setBackColor(kBlue);
  s.filledBox(0, 0, 9, 9, kRed);
  s.resize(20, 15);
  EXPECT_EQ(s.scaleWidth(), 20);
  EXPECT_EQ(countOf(s, kRed), 100);
  EXPECT_EQ(countOf(s, kBlue), 300 - 100);
}

TEST(SurfacePicture, PaintPictureScalesIntoTheRectangle) {
  Surface s(40, 40);
  QImage pic(4, 2, QImage::Format_RGB32);
  pic.fill(toQColor(kRed));
  s.paintPicture(pic, 10, 10, 20, 10);
  EXPECT_EQ(countOf(s, kRed), 200);
  EXPECT_EQ(at(s, 10, 10), kRed);
  EXPECT_EQ(at(s, 29, 19), kRed);
}

// --- scale ---------------------------------------------------------------------

TEST(SurfaceScale, FullScreenScaleEnlargesALineToTheWholeWidth) {
  Surface s(1280, 1024);
  s.setScale(768, 480);
  s.line(0, 0, 767, 0, kRed);
  // Unit 767 starts at pixel 1278.33: the line reaches into the last unit.
  EXPECT_EQ(at(s, 0, 0), kRed);
  EXPECT_EQ(at(s, 1278, 0), kRed);
  EXPECT_EQ(countOf(s, kRed), 1279);
  s.line(0, 479, 0, 0, kRed);
  EXPECT_EQ(at(s, 0, 1022), kRed);
}

TEST(SurfaceScale, FullScreenBoxesTileTheBoard) {
  Surface s(1280, 1024);
  s.setScale(768, 480);
  s.filledBox(0, 0, 383, 479, kRed);
  s.filledBox(384, 0, 767, 479, kGreen);
  EXPECT_EQ(countOf(s, kRed) + countOf(s, kGreen), 1280 * 1024);
}

TEST(SurfaceScale, ScaleSurvivesResizeOnlyWhenSetExplicitly) {
  Surface s(100, 50);
  s.resize(200, 100);
  EXPECT_EQ(s.scaleWidth(), 200);
  s.setScale(100, 50);
  s.resize(300, 150);
  EXPECT_EQ(s.scaleWidth(), 100);
  EXPECT_EQ(s.scaleHeight(), 50);
  s.setScale(0, -1);  // ignored
  EXPECT_EQ(s.scaleWidth(), 100);
}

TEST(SurfaceSize, BadSizesAreClampedToUsableOnes) {
  Surface s(0, -5);
  EXPECT_EQ(s.widthPx(), 1);
  EXPECT_EQ(s.heightPx(), 1);
  s.resize(1 << 30, 10);
  EXPECT_LE(s.widthPx(), 8192);
}

}  // namespace
}  // namespace vrd4::platform
