// The text-effect control: a hidden child of the board whose properties are
// its surface's, shown opaque or with only its text.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Surface.h"
#include "render/CtlLTundBK.h"

namespace vrd4::render {
namespace {

struct CtlTest : testing::Test {
  CtlTest() {
    board.setBackColor(0x00FF00);
    board.line(0, 0, 199, 99, 0xFF0000);
  }
  platform::Surface board{200, 100};
};

TEST_F(CtlTest, StartsHiddenOverTheBoard) {
  CtlLTundBK ctl(board);
  EXPECT_EQ(ctl.surface().parentSurface(), &board);
  EXPECT_FALSE(ctl.visible());
  EXPECT_EQ(board.presented(), board.image());
}

TEST_F(CtlTest, FontSizeIsWholePoints) {
  CtlLTundBK ctl(board);
  ctl.setFontSize(12);
  EXPECT_EQ(ctl.FontSize(), 12);
  ctl.setFontSize(13);  // 17 pixels, 12.75 points in force
  EXPECT_EQ(ctl.FontSize(), 13);
  EXPECT_EQ(ctl.TextWidth(QString()), 0);
  EXPECT_GT(ctl.TextHeight(QStringLiteral("A")), 0);
}

TEST_F(CtlTest, OpaqueControlShowsItsWholeImage) {
  CtlLTundBK ctl(board);
  ctl.move(10, 20, 30, 15);
  ctl.setBackColor(0x0000FF);
  ctl.Cls();
  ctl.setVisible(true);
  const QImage bild = board.presented();
  EXPECT_EQ(bild.pixel(10, 20), qRgb(255, 0, 0));
  EXPECT_EQ(bild.pixel(39, 34), qRgb(255, 0, 0));
  EXPECT_EQ(bild.pixel(40, 35), board.image().pixel(40, 35));
  EXPECT_EQ(ctl.left(), 10);
  EXPECT_EQ(ctl.Width(), 30);
  EXPECT_EQ(ctl.Height(), 15);
}

TEST_F(CtlTest, SeeThroughControlShowsOnlyItsTextOverTheBoard) {
  CtlLTundBK ctl(board);
  ctl.move(0, 0, 200, 100);
  ctl.setBackColor(0x000000);
  ctl.setMaskColor(0x000000);
  ctl.setBackStyle(0);
  ctl.setVisible(true);
  ctl.setFontSize(30);
  ctl.setForeColor(0xFFFFFF);
  ctl.Cls();
  ctl.SetzeMaskPicture();
  EXPECT_EQ(board.presented(), board.image()) << "cleared: the board shows through";
  ctl.PrintText(QStringLiteral("Hallo"));
  ctl.SetzeMaskPicture();
  EXPECT_NE(board.presented(), board.image());
  EXPECT_EQ(board.presented().pixel(199, 99), board.image().pixel(199, 99));
}

TEST_F(CtlTest, TextInTheMaskColourIsInvisible) {
  CtlLTundBK ctl(board);
  ctl.move(0, 0, 200, 100);
  ctl.setBackColor(0x123456);
  ctl.setForeColor(0x123456);
  ctl.setMaskColor(0x123456);
  ctl.setBackStyle(0);
  ctl.setVisible(true);
  ctl.Cls();
  ctl.PrintText(QStringLiteral("Hallo"));
  ctl.SetzeMaskPicture();
  EXPECT_EQ(board.presented(), board.image());
}

TEST_F(CtlTest, RefusesNegativeSizesAndScales) {
  CtlLTundBK ctl(board);
  EXPECT_THROW(ctl.move(0, 0, -1, 10), std::invalid_argument);
  EXPECT_THROW(ctl.setScaleWidth(0), std::invalid_argument);
  EXPECT_THROW(ctl.move(0, 0, 30000, 30000), std::length_error);
}

TEST_F(CtlTest, PlacementIsInTheBoardsScaleUnits) {
  board.setScale(100, 50);  // two pixels per unit
  CtlLTundBK ctl(board);
  ctl.move(10, 5, 20, 10);
  EXPECT_EQ(ctl.surface().left(), 20);
  EXPECT_EQ(ctl.surface().top(), 10);
  EXPECT_EQ(ctl.surface().widthPx(), 40);
  EXPECT_EQ(ctl.left(), 10);
  EXPECT_EQ(ctl.height(), 10);
}

TEST_F(CtlTest, ClsEmptiesTheImageAndHomesThePosition) {
  CtlLTundBK ctl(board);
  ctl.move(0, 0, 50, 20);
  ctl.setBackColor(0x00FFFF);
  ctl.setCurrentX(7);
  ctl.PrintText(QStringLiteral("x"));
  ctl.surface().makeImagePicture();
  ctl.Cls();
  EXPECT_FALSE(ctl.surface().hasPicture());
  EXPECT_EQ(ctl.CurrentX(), 0);
  EXPECT_EQ(ctl.surface().image().pixel(10, 10), qRgb(255, 255, 0));
}

}  // namespace
}  // namespace vrd4::render
