// Font state, measuring and printing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SurfaceTestSupport.h"

namespace vrd4::platform {
namespace {

using test::at;
using test::countOf;
using test::countOther;
using test::kBlack;
using test::kBlue;
using test::kRed;
using test::kWhite;

struct SizeCase {
  std::string name;
  double requested;
  double inForce;
};

class FontSizeInForce : public testing::TestWithParam<SizeCase> {};

TEST_P(FontSizeInForce, ReadsBackThePixelGridSize) {
  Surface s;
  s.setFontSize(GetParam().requested);
  EXPECT_DOUBLE_EQ(s.fontSize(), GetParam().inForce);
}

INSTANTIATE_TEST_SUITE_P(
    Surface, FontSizeInForce,
    testing::Values(SizeCase{"Twelve", 12, 12},             // 16 px
                    SizeCase{"TenPointThree", 10.3, 10.5},  // 13.73 px -> 14 px
                    SizeCase{"EightQuarter", 8.25, 8.25},   // 11 px
                    SizeCase{"Tiny", 0.1, 0.75},            // at least 1 px
                    SizeCase{"Negative", -4, 0.75},
                    SizeCase{"Huge", 1e9, 4096 * 0.75}),
    [](const auto& info) { return info.param.name; });

TEST(SurfaceFont, NotANumberKeepsTheSize) {
  Surface s;
  s.setFontSize(20);
  s.setFontSize(std::numeric_limits<double>::quiet_NaN());
  EXPECT_DOUBLE_EQ(s.fontSize(), 20.25);
}

TEST(SurfaceFont, RealisedFontCarriesTheState) {
  Surface s;
  s.setFontName(QStringLiteral("Arial"));
  s.setFontSize(24);
  s.setFontBold(true);
  s.setFontItalic(true);
  s.setFontUnderline(true);
  s.setFontStrikethru(true);
  const QFont f = s.font();
  EXPECT_EQ(f.pixelSize(), 32);
  EXPECT_TRUE(f.bold());
  EXPECT_TRUE(f.italic());
  EXPECT_TRUE(f.underline());
  EXPECT_TRUE(f.strikeOut());
  EXPECT_EQ(s.fontName(), QStringLiteral("Arial"));
}

TEST(SurfaceFont, WindowsNamesArePresentThroughMetricCompatibleFaces) {
  const auto& names = screenFontNames();
  for (const char* n : {"Arial", "Times New Roman", "Courier New"}) {
    EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                            [&](const QString& s) { return s.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; }))
        << n;
  }
}

TEST(SurfaceMeasure, HeightGrowsWithSize) {
  Surface s;
  double last = 0;
  for (double pt : {6.0, 9.0, 12.0, 18.0, 36.0, 72.0}) {
    s.setFontSize(pt);
    const double h = s.textHeight(QStringLiteral("AyjgÜÀ"));
    EXPECT_GT(h, last) << pt;
    last = h;
  }
}

TEST(SurfaceMeasure, EmptyTextHasNoWidth) {
  Surface s;
  EXPECT_EQ(s.textWidth(QString()), 0);
  EXPECT_GT(s.textWidth(QStringLiteral("W")), 0);
}

TEST(SurfaceMeasure, WidthAddsUpAndDependsOnBold) {
  Surface s;
  s.setFontSize(20);
  const double one = s.textWidth(QStringLiteral("abcd"));
  EXPECT_GT(s.textWidth(QStringLiteral("abcdabcd")), one);
  s.setFontBold(true);
  EXPECT_GT(s.textWidth(QStringLiteral("abcd")), one);
}

TEST(SurfaceMeasure, EnlargedScaleMeasuresInUnits) {
  Surface board(768, 480), full(1536, 960);
  full.setScale(768, 480);
  board.setFontSize(30);
  full.setFontSize(30);
  EXPECT_DOUBLE_EQ(full.textHeight(QStringLiteral("A")) * 2, board.textHeight(QStringLiteral("A")));
  EXPECT_DOUBLE_EQ(full.textWidth(QStringLiteral("Abc")) * 2, board.textWidth(QStringLiteral("Abc")));
}

TEST(SurfacePrint, TransparentPrintDrawsOnlyGlyphsInsideTheCell) {
  Surface s(200, 60);
  s.setBackColor(kBlue);
  s.setForeColor(kRed);
  s.setFontSize(20);
  s.setCurrentX(10);
  s.setCurrentY(5);
  s.print(QStringLiteral("Hall"));
  const int w = int(s.textWidth(QStringLiteral("Hall")));
  EXPECT_GT(countOther(s.image(), kBlue), 20);
  EXPECT_GT(countOf(s, kBlue), 200 * 60 - w * int(s.textHeight({})));
  // Left of the cell and above it nothing changed.
  for (int y = 0; y < 60; ++y) EXPECT_EQ(at(s, 8, y), kBlue) << y;
  for (int x = 0; x < 200; ++x) EXPECT_EQ(at(s, x, 3), kBlue) << x;
}

TEST(SurfacePrint, OpaquePrintFillsTheCellWithBackColour) {
  Surface s(200, 60);
  s.setBackColor(kBlue);
  s.filledBox(0, 0, 199, 59, kWhite);
  s.setForeColor(kRed);
  s.setFontSize(20);
  s.setFontTransparent(false);
  s.setCurrentX(10);
  s.setCurrentY(5);
  const double w = s.textWidth(QStringLiteral("Hall")), h = s.textHeight({});
  s.print(QStringLiteral("Hall"));
  // The cell's corners take the back colour; outside stays white.
  EXPECT_EQ(at(s, 10, 5), kBlue);
  EXPECT_EQ(at(s, 10 + int(w) - 1, 5 + int(h) - 1), kBlue);
  EXPECT_EQ(at(s, 9, 5), kWhite);
  EXPECT_EQ(at(s, 10, 4), kWhite);
  EXPECT_GT(countOf(s, kRed), 0);
}

TEST(SurfacePrint, CurrentXAdvancesByTheWidth) {
  Surface s(300, 60);
  s.setCurrentX(12);
  s.print(QStringLiteral("Tor"));
  EXPECT_DOUBLE_EQ(s.currentX(), 12 + s.textWidth(QStringLiteral("Tor")));
  EXPECT_EQ(s.currentY(), 0);
}

TEST(SurfacePrint, SameTextPrintsTheSamePixels) {
  Surface a(200, 50), b(200, 50);
  for (Surface* s : {&a, &b}) {
    s->setFontSize(18);
    s->setCurrentX(3);
    s->print(QStringLiteral("Spielstand 3:1"));
  }
  EXPECT_EQ(a.image(), b.image());
}

TEST(SurfacePrint, PrintedTextSurvivesInThePictureExactly) {
  Surface s(200, 50);
  s.makeImagePicture();
  s.setFontSize(18);
  s.print(QStringLiteral("Runde 2"));
  const QImage printed = s.image();
  s.makeImagePicture();
  s.filledBox(0, 0, 199, 49, kRed);
  s.cls();
  EXPECT_EQ(s.image(), printed);
  s.clearPicture();
  s.cls();
  EXPECT_EQ(countOf(s, kBlack), 200 * 50);
}

}  // namespace
}  // namespace vrd4::platform
