// Printing a text on the board: the field, the fill, the font state, the
// failure path and the hand-over to a scrolling text.
#include <QImage>
#include <QRect>
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Lauftexte.h"
#include "render/TextAusgabe.h"

namespace vrd4::render {
namespace {

using test::Ereignis;
using test::FakeHost;

constexpr platform::Colour kRot = 0x0000FF;
constexpr platform::Colour kWeiss = 0xFFFFFF;

TextParameter text(const char* t, int16_t xs, int16_t ys, int16_t xe, int16_t ye,
                   int16_t ausrichtung = 0) {
  TextParameter p;
  p.Xstart = xs, p.Ystart = ys, p.Xende = xe, p.YEnde = ye;
  p.Ausgabetext = QString::fromUtf8(t);
  p.Ausrichtung = ausrichtung;
  p.SchriftgroesseinPixel = 20;
  p.Transparent = true;
  return p;
}

// The smallest rectangle holding every pixel that is not `hintergrund`.
QRect tinte(const QImage& bild, platform::Colour hintergrund) {
  const QRgb h = QColor(platform::toQColor(hintergrund)).rgb();
  QRect r;
  for (int y = 0; y < bild.height(); ++y)
    for (int x = 0; x < bild.width(); ++x)
      if (bild.pixel(x, y) != h) r = r.united(QRect(x, y, 1, 1));
  return r;
}

struct TextAusgabeTest : testing::Test {
  FakeHost host;
  platform::Surface board{200, 100};
  TextRenderer renderer{host};
};

TEST_F(TextAusgabeTest, PrintsInsideTheFieldAndKeepsItAsBackground) {
  renderer.TextAusgabe(board, text("Hallo", 21, 11, 180, 60, 4), false, 0, 0);
  const QRect r = tinte(board.image(), 0);
  ASSERT_FALSE(r.isEmpty());
  EXPECT_TRUE(QRect(20, 10, 160, 50).contains(r)) << r.x() << "," << r.y();
  EXPECT_NEAR(r.center().x(), 100, 3);
  EXPECT_NEAR(r.center().y(), 35, 4);
  EXPECT_TRUE(board.hasPicture());
  EXPECT_TRUE(host.status.empty());
}

TEST_F(TextAusgabeTest, FillsTheFieldUnlessTransparent) {
  TextParameter p = text("x", 11, 11, 60, 40);
  p.FeldHintergrundfarbe = kRot;
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(board.image().pixel(59, 39), qRgb(0, 0, 0));
  p.Transparent = false;
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(tinte(board.image(), 0), QRect(10, 10, 50, 30));
  EXPECT_EQ(board.image().pixel(59, 39), qRgb(255, 0, 0));
}

TEST_F(TextAusgabeTest, FillCoversAFieldGrownToTheTextHeight) {
  TextParameter p = text("", 1, 1, 50, 3);
  p.Transparent = false;
  p.FeldHintergrundfarbe = kRot;
  renderer.TextAusgabe(board, p, false, 0, 0);
  const QRect r = tinte(board.image(), 0);
  EXPECT_EQ(r.top(), 0);
  EXPECT_GE(r.height(), 18);
  EXPECT_LE(r.height(), 21);
}

TEST_F(TextAusgabeTest, RestoresTheFontState) {
  board.setFontName(QStringLiteral("Courier New"));
  board.setFontSize(12);
  board.setFontItalic(true);
  board.setFontTransparent(false);
  board.setForeColor(kRot);
  TextParameter p = text("Hallo", 1, 1, 100, 40);
  p.Fett = true;
  p.FeldVordergrundfarbe = kWeiss;
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(board.fontName(), QStringLiteral("Courier New"));
  EXPECT_EQ(board.fontSize(), 12);
  EXPECT_TRUE(board.fontItalic());
  EXPECT_FALSE(board.fontBold());
  EXPECT_FALSE(board.fontTransparent());
  EXPECT_EQ(board.foreColor(), kRot);
}

TEST_F(TextAusgabeTest, UnknownFontRaisesItsEventAndPrintsInArial) {
  platform::Surface arial{200, 100};
  renderer.TextAusgabe(arial, text("Hallo", 1, 1, 200, 50), false, 0, 0);
  TextParameter p = text("Hallo", 1, 1, 200, 50);
  p.Schriftart = QStringLiteral("Gibtsnicht");
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(board.image(), arial.image());
  EXPECT_EQ(host.ereignisse,
            (std::vector<Ereignis>{{QStringLiteral("BefehlFehler"),
                                    QStringLiteral("Schrift: Gibtsnicht nicht vorhanden. - Arial wird gesetzt!")}}));
}

TEST_F(TextAusgabeTest, BadAlignmentPrintsTheWholeTextAtTheCorner) {
  renderer.TextAusgabe(board, text("WWWWWWWWWW", 11, 11, 40, 60, 12), false, 0, 0);
  const QRect r = tinte(board.image(), 0);
  EXPECT_LE(r.left(), 12);
  EXPECT_LE(r.top(), 16);
  EXPECT_GT(r.right(), 100) << "not shortened";
  ASSERT_EQ(host.ereignisse.size(), 1u);
  EXPECT_EQ(host.ereignisse[0].meldung,
            QStringLiteral("Parameter   'Ausrichtung'   nicht zwischen 0 und 8!"));
}

TEST_F(TextAusgabeTest, OverflowIsReportedInTheStatusListAndLeavesTheFontSet) {
  TextParameter p = text("Hallo", -32768, 1, 100, 20);
  p.Schriftart = QStringLiteral("Courier New");
  renderer.TextAusgabe(board, p, false, 0, 0);
  EXPECT_EQ(host.status, (std::vector<QString>{QString::fromUtf8("Fehler in TextausgabeÜberlauf")}));
  EXPECT_EQ(board.fontName(), QStringLiteral("Courier New"));
  EXPECT_TRUE(tinte(board.image(), 0).isEmpty());
}

TEST_F(TextAusgabeTest, TooWideTextBecomesAScrollingTextWhenAsked) {
  Lauftexte lauftexte(host, board, renderer);
  renderer.setLauftexte(&lauftexte);
  TextParameter p = text("Ein viel zu langer Text", 11, 11, 60, 40);
  p.Transparent = false;
  renderer.TextAusgabe(board, p, true, 0.1, 1);
  EXPECT_TRUE(lauftexte.belegt(1));
  EXPECT_TRUE(tinte(board.image(), 0).isEmpty()) << "nothing printed on the board";
  EXPECT_EQ(lauftexte.CtlLaufschrift(1).left(), 10);
  EXPECT_EQ(lauftexte.CtlLaufschrift(1).width(), 50);
  EXPECT_EQ(host.antworten.back().second, QStringLiteral("1"));
  EXPECT_EQ(board.fontSize(), 8.25);
}

TEST_F(TextAusgabeTest, FittingTextIsPrintedEvenWhenScrollingIsAllowed) {
  Lauftexte lauftexte(host, board, renderer);
  renderer.setLauftexte(&lauftexte);
  renderer.TextAusgabe(board, text("Kurz", 11, 11, 180, 40), true, 0.1, 1);
  EXPECT_FALSE(lauftexte.belegt(1));
  EXPECT_FALSE(tinte(board.image(), 0).isEmpty());
}

}  // namespace
}  // namespace vrd4::render
