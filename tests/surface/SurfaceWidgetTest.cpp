// The widget shows what the surface presents, 1:1, with its frame.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include "SurfaceTestSupport.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::platform {
namespace {

using test::at;
using test::countOf;
using test::kBlack;
using test::kBlue;
using test::kRed;

QImage shownBy(SurfaceWidget& w) {
  w.resize(w.sizeHint());
  return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(SurfaceWidgetShows, PresentedImageWithChildren) {
  Surface board(60, 40), child(10, 10);
  board.setBackColor(kBlue);
  child.setBackColor(kRed);
  child.setParentSurface(&board);
  child.move(5, 5);
  SurfaceWidget w(board);
  const QImage shown = shownBy(w);
  ASSERT_EQ(shown.size(), QSize(60, 40));
  EXPECT_EQ(shown, board.presented());
}

TEST(SurfaceWidgetShows, OnePixelFrameAroundTheBoardWithBorderStyleOne) {
  Surface board(30, 20);
  board.setBackColor(kBlue);
  board.setBorderStyle(1);
  SurfaceWidget w(board);
  EXPECT_EQ(w.sizeHint(), QSize(32, 22));
  const QImage shown = shownBy(w);
  EXPECT_EQ(at(shown, 0, 0), kBlack);
  EXPECT_EQ(at(shown, 31, 21), kBlack);
  EXPECT_EQ(at(shown, 1, 1), kBlue);
  EXPECT_EQ(countOf(shown, kBlue), 30 * 20);
}

TEST(SurfaceWidgetShows, ChangeAfterCreationIsPainted) {
  Surface board(30, 20);
  SurfaceWidget w(board);
  board.filledBox(0, 0, 9, 9, kRed);
  EXPECT_EQ(countOf(shownBy(w), kRed), 100);
}

TEST(SurfaceWidgetShows, GivesTheCallbackBackWhenDestroyed) {
  Surface board(30, 20);
  {
    SurfaceWidget w(board);
  }
  board.line(0, 0, 5, 5, kRed);  // must not reach the destroyed widget
  int calls = 0;
  board.setChangedCallback([&] { ++calls; });
  board.line(0, 0, 5, 5, kRed);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vrd4::platform
