// Children over their parent: what presented() shows, and change reports.
#include <gtest/gtest.h>

#include <memory>

#include "SurfaceTestSupport.h"

namespace vrd4::platform {
namespace {

using test::at;
using test::countOf;
using test::countOther;
using test::kBlack;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;

// A board with a text-effect style child: back colour blue, text in red.
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
    child.setFontSize(12);
  }
  void printText() {
    child.cls();
    child.setCurrentX(2);
    child.setCurrentY(2);
    child.print(QStringLiteral("Tor"));
    child.makeImageMaskPicture();
  }
};

TEST(SurfaceChildren, OpaqueChildShowsItsWholeImage) {
  Board b;
  b.printText();
  const QImage shown = b.board.presented();
  EXPECT_EQ(at(shown, 30, 20), kBlue);
  EXPECT_EQ(at(shown, 69, 39), kBlue);
  EXPECT_EQ(at(shown, 70, 39), kGreen);
  EXPECT_EQ(at(shown, 29, 20), kGreen);
  EXPECT_EQ(countOf(b.board, kGreen), 100 * 60);  // the image stays untouched
}

TEST(SurfaceChildren, TransparentChildShowsOnlyTheTextPixels) {
  Board b;
  b.child.setBackStyle(0);
  b.printText();
  const QImage shown = b.board.presented();
  EXPECT_EQ(countOf(shown, kBlue), 0);
  EXPECT_GT(countOther(shown, kGreen), 0);
  // Everything that is not green lies inside the child's rectangle.
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x)
      if (at(shown, x, y) != kGreen) {
        EXPECT_TRUE(QRect(30, 20, 40, 20).contains(x, y)) << x << "," << y;
      }
}

TEST(SurfaceChildren, TransparentChildWithoutMaskShowsNothing) {
  Board b;
  b.child.setBackStyle(0);
  b.child.print(QStringLiteral("Tor"));
  EXPECT_EQ(countOf(b.board.presented(), kGreen), 100 * 60);
}

TEST(SurfaceChildren, TextInTheMaskColourIsInvisible) {
  Board b;
  b.child.setBackStyle(0);
  b.child.setForeColor(kBlue);
  b.printText();
  EXPECT_EQ(countOf(b.board.presented(), kGreen), 100 * 60);
}

TEST(SurfaceChildren, ClsThenMaskLeavesTheBoardVisible) {
  Board b;
  b.child.setBackStyle(0);
  b.printText();
  b.child.cls();
  b.child.makeImageMaskPicture();
  EXPECT_EQ(countOf(b.board.presented(), kGreen), 100 * 60);
}

TEST(SurfaceChildren, HiddenChildShowsNothing) {
  Board b;
  b.printText();
  b.child.setVisible(false);
  EXPECT_EQ(countOf(b.board.presented(), kGreen), 100 * 60);
  b.child.setVisible(true);
  EXPECT_LT(countOf(b.board.presented(), kGreen), 100 * 60);
}

TEST(SurfaceChildren, ChildOutsideTheBoardIsClipped) {
  Board b;
  b.child.move(90, 50);
  const QImage shown = b.board.presented();
  EXPECT_EQ(shown.size(), QSize(100, 60));
  EXPECT_EQ(at(shown, 99, 59), kBlue);
  EXPECT_EQ(countOf(shown, kBlue), 10 * 10);
}

TEST(SurfaceChildren, LaterChildLiesOnTop) {
  Board b;
  Surface second(40, 20);
  second.setBackColor(kWhite);
  second.setParentSurface(&b.board);
  second.move(50, 20);
  const QImage shown = b.board.presented();
  EXPECT_EQ(at(shown, 55, 25), kWhite);
  EXPECT_EQ(at(shown, 45, 25), kBlue);
}

TEST(SurfaceChildren, DestroyingDetachesBothWays) {
  Surface board(50, 50);
  auto child = std::make_unique<Surface>(10, 10);
  auto grandchild = std::make_unique<Surface>(5, 5);
  child->setParentSurface(&board);
  grandchild->setParentSurface(child.get());
  child.reset();
  EXPECT_TRUE(board.children().empty());
  EXPECT_EQ(grandchild->parentSurface(), nullptr);
}

TEST(SurfaceChildren, ReparentingMovesBetweenChildLists) {
  Surface a(10, 10), b(10, 10), c(5, 5);
  c.setParentSurface(&a);
  c.setParentSurface(&b);
  EXPECT_TRUE(a.children().empty());
  ASSERT_EQ(b.children().size(), 1u);
  c.setParentSurface(&c);  // refused
  a.setParentSurface(&c);
  b.setParentSurface(&c);  // would be a cycle: refused
  EXPECT_EQ(b.parentSurface(), nullptr);
}

TEST(SurfaceChanged, ChildDrawingReportsOnTheParent) {
  Board b;
  int boardChanges = 0, childChanges = 0;
  b.board.setChangedCallback([&] { ++boardChanges; });
  b.child.setChangedCallback([&] { ++childChanges; });
  b.child.line(0, 0, 5, 0, kRed);
  EXPECT_EQ(childChanges, 1);
  EXPECT_EQ(boardChanges, 1);
  EXPECT_EQ(at(b.board.presented(), 30, 20), kRed);
}

TEST(SurfaceChanged, HiddenChildDrawingDoesNotReportOnTheParent) {
  Board b;
  b.child.setVisible(false);
  int boardChanges = 0;
  b.board.setChangedCallback([&] { ++boardChanges; });
  b.child.line(0, 0, 5, 0, kRed);
  EXPECT_EQ(boardChanges, 0);
  b.child.setVisible(true);
  EXPECT_EQ(boardChanges, 1);
  EXPECT_EQ(at(b.board.presented(), 30, 20), kRed);
}

TEST(SurfaceChanged, PresentedIsReusedWhileNothingChanges) {
  Board b;
  const QImage first = b.board.presented();
  EXPECT_EQ(b.board.presented().constBits(), first.constBits());
  b.child.move(0, 0);
  EXPECT_NE(b.board.presented(), first);
}

TEST(SurfaceChanged, GrandchildShowsThroughTheChild) {
  Board b;
  Surface grandchild(4, 4);
  grandchild.setBackColor(kWhite);
  grandchild.setParentSurface(&b.child);
  grandchild.move(1, 1);
  EXPECT_EQ(at(b.board.presented(), 31, 21), kWhite);
  grandchild.setBackColor(kRed);
  EXPECT_EQ(at(b.board.presented(), 31, 21), kRed);
}

}  // namespace
}  // namespace vrd4::platform
