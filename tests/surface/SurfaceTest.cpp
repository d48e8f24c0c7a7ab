// The display surface, offscreen: lines, boxes, the background picture, the
// scale, text, children over their parent and the widget, checked by pixels.
#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "platform/Surface.h"
#include "platform/SurfacePrivate.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::platform {
namespace {

// Fonts, painting and the widget need an application; one lives for the run.
struct GuiEnvironment : testing::Environment {
  void SetUp() override {
    static int argc = 1;
    static char name[] = "surface_tests";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
  }
  void TearDown() override { delete app; }
  QApplication* app = nullptr;
};
const auto* const kGui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr Colour kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00,
                 kBlue = 0xFF0000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kHall = QStringLiteral("Hall");

Colour at(const QImage& img, int x, int y) { return fromQColor(img.pixelColor(x, y)); }
Colour at(const Surface& s, int x, int y) { return at(s.image(), x, y); }

// How many pixels of the image have colour c.
int countOf(const QImage& img, Colour c) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += at(img, x, y) == c;
  return n;
}
int countOf(const Surface& s, Colour c) { return countOf(s.image(), c); }

// --- lines, boxes, picture, scale, text ------------------------------------

TEST(SurfaceLine, ColoursBothEndsAndNothingBeyondInEitherDirection) {
  struct Case {
    const char* name;
    double x1, y1, x2, y2;
    std::vector<std::pair<int, int>> coloured, untouched;  // red / still black
    int count;                                              // red pixels in all
  };
  const Case cases[] = {
      {"Horizontal", 0, 0, 9, 0, {{0, 0}, {9, 0}}, {{10, 0}, {0, 1}}, 10},
      {"DiagonalUp", 8, 1, 1, 8, {{8, 1}, {4, 5}, {1, 8}}, {{9, 0}, {0, 9}}, 8},
      {"Shallow", 1, 2, 30, 13, {{1, 2}, {30, 13}}, {{0, 2}, {31, 13}}, 30},
      {"Steep", 2, 0, 5, 20, {{2, 0}, {5, 20}}, {{2, 21}, {5, 21}}, 21},
      {"SinglePoint", 7, 7, 7, 7, {{7, 7}}, {{6, 7}, {8, 7}}, 1},
      {"LeavesTheSurface", 30, 5, 60, 5, {{30, 5}, {39, 5}}, {{29, 5}}, 10},
      {"FarAwayEnds", -32768, 3, 32767, 3, {{0, 3}, {39, 3}}, {{0, 2}}, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Surface s(40, 30), reversed(40, 30);
    s.line(c.x1, c.y1, c.x2, c.y2, kRed);
    reversed.line(c.x2, c.y2, c.x1, c.y1, kRed);
    for (auto [x, y] : c.coloured) EXPECT_EQ(at(s, x, y), kRed) << x << "," << y;
    for (auto [x, y] : c.untouched) EXPECT_EQ(at(s, x, y), kBlack) << x << "," << y;
    EXPECT_EQ(countOf(s, kRed), c.count);
    EXPECT_EQ(reversed.image(), s.image());
  }
}

TEST(SurfaceLine, PenWidthAndPattern) {
  Surface s(40, 30), dot(40, 30), thin(40, 30);
  s.setDrawWidth(5);
  s.line(5, 10, 30, 10, kRed);
  EXPECT_EQ(countOf(s.image().copy(18, 8, 1, 5), kRed), 5);  // across the line
  EXPECT_EQ(countOf(s.image().copy(18, 0, 1, 30), kRed), 5);
  dot.setDrawWidth(4);  // Qt alone draws nothing for a wide zero-length line
  dot.line(10, 10, 10, 10, kRed);
  EXPECT_GE(countOf(dot, kRed), 9);
  thin.setDrawWidth(-3);  // below one: one pixel
  thin.line(0, 5, 9, 5, kRed);
  thin.setDrawStyle(5);  // transparent
  thin.line(0, 6, 9, 6, kRed);
  EXPECT_EQ(countOf(thin, kRed), 10);
  thin.setDrawStyle(1);  // dashed
  thin.line(0, 0, 39, 0, kRed);
  EXPECT_EQ(at(thin, 0, 0), kRed);
  EXPECT_EQ(at(thin, 20, 0), kBlack);
}

TEST(SurfaceLine, NonFiniteDrawsNothingAndFarAwayWidePensAreCut) {
  Surface s(40, 30);
  s.line(0, 0, kNaN, 5, kRed);
  s.box(0, 0, std::numeric_limits<double>::infinity(), 5, kRed);
  EXPECT_EQ(countOf(s, kRed), 0);
  s.setDrawWidth(3);
  s.line(-1e9, 10, 1e9, 10, kRed);
  EXPECT_EQ(countOf(s, kRed), 40 * 3);
  s.setDrawWidth(32767);
  s.line(-32768, -32768, 32767, 32767, kBlue);
  EXPECT_EQ(countOf(s, kBlue), 40 * 30);
}

TEST(SurfaceBox, CornersInAnyOrderOutlineAndSolidFill) {
  Surface s(30, 30);
  s.filledBox(12, 15, 3, 4, kRed);
  EXPECT_EQ(countOf(s.image().copy(3, 4, 10, 12), kRed), 10 * 12);
  EXPECT_EQ(countOf(s, kRed), 10 * 12);
  s.box(23, 11, 14, 2, kWhite);  // fill pattern 1: the inside stays
  EXPECT_EQ(countOf(s.image().copy(14, 2, 10, 10), kWhite), 4 * 9);
  EXPECT_EQ(countOf(s, kWhite), 4 * 9);
  s.setFillStyle(0);
  s.setFillColor(kGreen);
  s.box(14, 2, 23, 11, kWhite);
  EXPECT_EQ(countOf(s, kGreen), 8 * 8);
}

TEST(SurfaceBox, EachFillPatternDrawsInFillColourAndLeavesGaps) {
  for (int style = 2; style <= 7; ++style) {
    Surface s(60, 60);
    s.setBackColor(kBlue);
    s.setFillStyle(style);
    s.setFillColor(kRed);
    s.box(0, 0, 59, 59, kWhite);
    const int red = countOf(s, kRed), blue = countOf(s, kBlue);
    EXPECT_GT(red, 0) << style;
    EXPECT_GT(blue, 0) << style;  // gaps keep what was there
    EXPECT_EQ(red + blue + countOf(s, kWhite), 60 * 60) << style;
  }
}

TEST(SurfaceBox, WidePenIsCentredOnTheOutlineOrInside) {
  for (int style : {0, 6}) {
    Surface s(30, 30);
    s.setDrawWidth(3);
    s.setDrawStyle(style);
    s.box(5, 5, 20, 20, kRed);
    const int reach = style == 6 ? 0 : 1, outer = 16 + 2 * reach;  // a centred pen reaches out
    const int ring = outer * outer - (outer - 6) * (outer - 6);
    EXPECT_EQ(countOf(s.image().copy(5 - reach, 5 - reach, outer, outer), kRed), ring) << style;
    EXPECT_EQ(countOf(s, kRed), ring) << style;
  }
}

TEST(SurfacePicture, DrawingSurvivesBackColourUntilClsWhateverIsDrawnAfter) {
  Surface s(200, 160);
  s.filledBox(10, 10, 20, 20, kRed);
  s.makeImagePicture();
  const QImage made = s.image().copy();
  // Small drawings save only what they touch; a large one copies the picture.
  s.setFontItalic(true);
  s.setCurrentX(70);
  s.setCurrentY(60);
  s.print(QStringLiteral("Wj"));  // glyphs reach out of their cell
  s.setDrawWidth(5);
  s.box(40, 30, 60, 50, kWhite);
  s.line(-30, -10, 130, 90, kGreen);  // saved piece by piece, with the pen's reach
  EXPECT_EQ(s.picture(), made);
  s.filledBox(0, 0, 199, 100, kGreen);
  s.setBackColor(kBlue);
  EXPECT_EQ(s.image(), made);  // the picture covers the new colour
  QImage small(4, 2, QImage::Format_RGB32);
  small.fill(toQColor(kRed));
  s.setPicture(small);
  s.cls();
  EXPECT_EQ(countOf(s, kRed), 8);
  EXPECT_EQ(countOf(s, kBlue), 200 * 160 - 8);
  EXPECT_EQ(s.currentX(), 0);
}

TEST(SurfaceScale, FullScreenScaleEnlargesLinesBoxesAndText) {
  Surface s(1280, 1024), board(768, 480);
  s.setScale(768, 480);
  EXPECT_NEAR(s.textWidth(kHall) * 1280 / 768, board.textWidth(kHall), 1e-9);  // in units
  EXPECT_NEAR(s.textHeight(kHall) * 1024 / 480, board.textHeight(kHall), 1e-9);
  s.line(0, 0, 767, 0, kRed);
  // Unit 767 starts at pixel 1278.33: the line reaches into the last unit.
  EXPECT_EQ(countOf(s.image().copy(0, 0, 1280, 1), kRed), 1279);
  s.line(0, 479, 0, 0, kRed);
  EXPECT_EQ(at(s, 0, 1022), kRed);
  s.filledBox(0, 0, 383, 479, kRed);
  s.filledBox(384, 0, 767, 479, kGreen);
  EXPECT_EQ(countOf(s, kRed) + countOf(s, kGreen), 1280 * 1024);
}

TEST(SurfaceSize, ResizeKeepsTheDrawingAndClampsBadSizes) {
  Surface s(10, 10);
  s.setBackColor(kBlue);
  s.filledBox(0, 0, 9, 9, kRed);
  s.resize(20, 15);
  EXPECT_EQ(s.scaleWidth(), 20);
  EXPECT_EQ(countOf(s, kRed), 100);
  EXPECT_EQ(countOf(s, kBlue), 300 - 100);
  Surface bad(0, -5);
  EXPECT_EQ(bad.widthPx() * bad.heightPx(), 1);
  bad.resize(1 << 30, 10);
  EXPECT_LE(bad.widthPx(), 8192);
}

double sizeInForce(double requested) {
  Surface s;
  s.setFontSize(requested);
  return s.fontSize();
}

TEST(SurfaceFont, SizeOnThePixelGridStateInTheFontAndWindowsNames) {
  EXPECT_DOUBLE_EQ(sizeInForce(10.3), 10.5);  // 13.73 px -> 14 px
  EXPECT_DOUBLE_EQ(sizeInForce(0.1), 0.75);   // at least 1 px
  EXPECT_DOUBLE_EQ(sizeInForce(1e9), 4096 * 0.75);
  EXPECT_DOUBLE_EQ(sizeInForce(kNaN), 8.25);  // kept
  Surface s;
  s.setFontSize(24);
  const double plain = s.textWidth(kHall);  // realises the font once
  s.setFontBold(true);
  EXPECT_GT(s.textWidth(kHall), plain);
  s.setFontItalic(true);
  s.setFontUnderline(true);
  s.setFontStrikethru(true);
  const QFont f = s.font();
  EXPECT_EQ(f.pixelSize(), 32);
  EXPECT_TRUE(f.bold() && f.italic() && f.underline() && f.strikeOut());
  const auto& names = screenFontNames();  // through metric-compatible faces
  for (const char* n : {"Arial", "Times New Roman", "Courier New"})
    EXPECT_NE(std::find(names.begin(), names.end(), QLatin1String(n)), names.end()) << n;
}

TEST(SurfaceText, FamiliesOfSeveralFoundriesCountUnderTheirPlainName) {
  const QStringList db{"Nimbus Sans [urw]", "Nimbus Sans [UKWN]", "DejaVu Sans", "Nimbus Mono PS [urw]",
                       "Nimbus Mono PS", "Seltsam [ohne Ende", "[nur]"};
  const std::vector<QString> names = screenFontNamesFrom(db);
  for (const char* n : {"Nimbus Sans", "Nimbus Mono PS", "Nimbus Sans [urw]", "DejaVu Sans"})
    EXPECT_EQ(std::count(names.begin(), names.end(), QLatin1String(n)), 1) << n;
  EXPECT_EQ(std::count(names.begin(), names.end(), QLatin1String("Seltsam")), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), QString()), 0);
}

TEST(SurfaceText, TransparentPrintDrawsOnlyGlyphsOpaqueFillsTheCellBothAdvance) {
  for (bool transparent : {true, false}) {
    SCOPED_TRACE(transparent);
    Surface s(200, 60);
    s.setBackColor(kBlue);
    s.filledBox(0, 30, 199, 59, kWhite);
    s.setForeColor(kRed);
    s.setFontSize(20);
    s.setFontTransparent(transparent);
    s.setCurrentX(10);
    s.setCurrentY(25);
    const int w = int(s.textWidth(kHall)), h = int(s.textHeight(kHall));
    s.print(kHall);
    EXPECT_DOUBLE_EQ(s.currentX(), 10 + s.textWidth(kHall));
    EXPECT_GT(countOf(s, kRed), 0);
    // The cell's corner takes the back colour only when opaque.
    EXPECT_EQ(at(s, 10 + w - 1, 25 + h - 1), transparent ? kWhite : kBlue);
    // Left of the cell and above it nothing changed.
    EXPECT_EQ(countOf(s.image().copy(0, 0, 9, 60), kBlue), 9 * 30);
    EXPECT_EQ(countOf(s.image().copy(0, 0, 200, 24), kBlue), 200 * 24);
  }
}

// --- children and the widget ---------------------------------------------

constexpr int kAll = 100 * 60;

// A green board with a text-effect style child: back colour blue, text red.
struct Board {
  Surface board{100, 60};
  Surface child{40, 20};
  Board() {
    board.setBackColor(kGreen);
    child.setParentSurface(&board);
    child.move(30, 20);
    child.setBackColor(kBlue);
    child.setMaskColor(kBlue);
    child.setForeColor(kRed);
  }
  void printText() {
    child.cls();
    child.setCurrentX(2);
    child.setCurrentY(2);
    child.print(QStringLiteral("Tor"));
    child.makeImageMaskPicture();
  }
  int shown(Colour c) const { return countOf(board.presented(), c); }
};

TEST(SurfaceChildren, OpaqueChildShowsItsWholeImageCutAtTheBoard) {
  Board b;
  b.child.move(90, 50);
  EXPECT_EQ(b.shown(kBlue), 10 * 10);
  b.child.move(30, 20);
  const QImage shown = b.board.presented();
  EXPECT_EQ(countOf(shown.copy(30, 20, 40, 20), kBlue), 40 * 20);
  EXPECT_EQ(countOf(shown, kBlue), 40 * 20);
  EXPECT_EQ(countOf(b.board, kGreen), kAll);  // the board's image stays untouched
}

TEST(SurfaceChildren, TransparentChildShowsOnlyWhereItsMaskDiffers) {
  Board b;
  b.child.setBackStyle(0);
  b.child.print(QStringLiteral("Tor"));
  EXPECT_EQ(b.shown(kGreen), kAll);  // no mask picture yet
  b.printText();
  const QImage shown = b.board.presented();
  EXPECT_EQ(countOf(shown, kBlue), 0);
  // Whatever is not green lies in the child's place.
  EXPECT_EQ(countOf(shown.copy(30, 20, 40, 20), kGreen) + kAll - 40 * 20, countOf(shown, kGreen));
  EXPECT_LT(countOf(shown, kGreen), kAll);
  b.child.cls();  // a blinking text going off
  b.child.makeImageMaskPicture();
  EXPECT_EQ(b.shown(kGreen), kAll);
}

TEST(SurfaceChildren, HiddenChildShowsNothingAndItsDrawingIsNoChangeOfTheParent) {
  Board b;
  int boardChanges = 0;
  b.board.setChangedCallback([&] { ++boardChanges; });
  b.child.line(0, 0, 5, 0, kRed);
  EXPECT_EQ(boardChanges, 1);  // the parent repaints for its child
  EXPECT_EQ(at(b.board.presented(), 30, 20), kRed);
  b.child.setVisible(false);
  EXPECT_EQ(b.shown(kGreen), kAll);
  boardChanges = 0;
  b.child.line(0, 1, 5, 1, kRed);
  EXPECT_EQ(boardChanges, 0);
  b.child.setVisible(true);
  EXPECT_EQ(boardChanges, 1);
  EXPECT_EQ(at(b.board.presented(), 30, 21), kRed);
}

TEST(SurfaceChildren, DestroyingDetachesBothWays) {
  Surface board(50, 50);
  auto child = std::make_unique<Surface>(10, 10);
  Surface grandchild(5, 5);
  child->setParentSurface(&board);
  grandchild.setParentSurface(child.get());
  child.reset();
  EXPECT_TRUE(board.children().empty());
  EXPECT_EQ(grandchild.parentSurface(), nullptr);
}

TEST(SurfaceWidgetShows, PresentedImageInsideItsFrameUntilDestroyed) {
  Board b;
  b.printText();
  {
    SurfaceWidget w(b.board);
    auto shown = [&w] {
      w.resize(w.sizeHint());
      return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(shown(), b.board.presented());
    b.board.setBorderStyle(1);
    b.board.filledBox(0, 0, 9, 9, kRed);
    const QImage framed = shown();
    ASSERT_EQ(framed.size(), QSize(102, 62));
    EXPECT_EQ(at(framed, 0, 0), kBlack);
    EXPECT_EQ(at(framed, 101, 61), kBlack);
    EXPECT_EQ(framed.copy(1, 1, 100, 60), b.board.presented());
  }
  b.board.line(0, 0, 5, 5, kRed);  // the callback went back: reaches no dead widget
}

}  // namespace
}  // namespace vrd4::platform
