// Pictures on the board, checked by pixels on an offscreen 768 x 480 board:
// where and how large each picture lands, what ends without drawing, and
// that bad files are reported and leave the board working.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "TestBilder.h"
#include "platform/Surface.h"
#include "render/Bilder.h"
#include "render/RenderHost.h"

namespace vrd4::render {
namespace {

using testbilder::Bytes;

const QRgb kSchwarz = qRgb(0, 0, 0);
const QRgb kRot = qRgb(230, 20, 20);
const QRgb kGruen = qRgb(20, 200, 40);

class FakeHost : public RenderHost {
 public:
  void raiseEvent(const QString& art, const QString& meldung) override {
    events.emplace_back(art, meldung);
  }
  void addStatus(const QString&) override {}
  void writeReply(Antwort, const QString&) override {}
  double now() const override { return 0.0; }
  std::vector<std::pair<QString, QString>> events;
};

std::pair<QString, QString> nichtGeladen(const char* name) {
  return {QStringLiteral("BefehlFehler"),
          QStringLiteral("Bild: ") + QString::fromUtf8(name) + QStringLiteral(" konnte nicht geladen werden!")};
}

Bytes png(int w, int h, QRgb farbe) { return testbilder::kodieren(testbilder::einfarbig(w, h, farbe), "PNG"); }
// Large pictures as BMP: nothing to compress, quick to make.
Bytes bmp(int w, int h, QRgb farbe) { return testbilder::kodieren(testbilder::einfarbig(w, h, farbe), "BMP"); }

class BilderTest : public testing::Test {
 protected:
  FakeHost host;
  Bilder bilder{host};
  platform::Surface tafel{768, 480};
};

// --- placement -------------------------------------------------------------

struct Lage {
  const char* name;
  int bildW, bildH;
  int16_t xs, ys, xe, ye;
  bool anpassen, zentrieren;
  QRect erwartet;  // board pixels
};

const Lage kLagen[] = {
    {"SmallerKeepsItsSizeTopLeft", 100, 50, 1, 1, 400, 300, false, false, {0, 0, 100, 50}},
    {"SmallerCentred", 100, 50, 1, 1, 400, 300, false, true, {150, 125, 100, 50}},
    {"SmallerEnlargedToTheWidth", 100, 50, 1, 1, 400, 300, true, false, {0, 0, 400, 200}},
    {"SmallerEnlargedAndCentred", 100, 50, 1, 1, 400, 300, true, true, {0, 50, 400, 200}},
    {"LargerShrunkToTheWidth", 1000, 500, 1, 1, 400, 300, false, false, {0, 0, 400, 200}},
    {"TallerShrunkToTheHeight", 100, 400, 1, 1, 400, 300, false, false, {0, 0, 75, 300}},
    {"TallerEnlargedIsTheSameAsShrunk", 100, 400, 1, 1, 400, 300, true, false, {0, 0, 75, 300}},
    {"TallerCentredHalfPixelRoundsToEven", 100, 400, 1, 1, 400, 300, false, true, {162, 0, 75, 300}},
    {"WiderWithGroesseAnpassenStaysInTheField", 1000, 500, 1, 1, 400, 300, true, true, {0, 50, 400, 200}},
    {"WideFlatWithGroesseAnpassenTakesTheFieldWidth", 800, 100, 1, 1, 400, 300, true, false, {0, 0, 400, 50}},
    {"FieldAwayFromTheOrigin", 100, 50, 101, 51, 300, 150, false, true, {150, 75, 100, 50}},
    {"CentringByHalfAPixelRoundsDownToEven", 100, 50, 1, 1, 101, 51, false, true, {0, 0, 100, 50}},
    {"CentringByOneAndAHalfRoundsUpToEven", 100, 50, 1, 1, 103, 53, false, true, {2, 2, 100, 50}},
    {"HeightHalfRoundsDownToEven", 4, 2, 1, 1, 5, 100, true, false, {0, 0, 5, 2}},
    {"HeightHalfRoundsUpToEven", 4, 2, 1, 1, 7, 100, true, false, {0, 0, 7, 4}},
    {"FieldPartlyOffTheBoardIsCut", 100, 50, 701, 401, 900, 600, false, false, {700, 400, 100, 50}},
    {"HugeFieldSmallPictureKeepsItsSize", 100, 50, 1, 1, 32767, 32767, false, false, {0, 0, 100, 50}},
};

class BilderLage : public BilderTest, public testing::WithParamInterface<Lage> {};

TEST_P(BilderLage, DrawsThePictureWhereTheFieldAndFlagsSay) {
  const Lage& l = GetParam();
  bilder.BildAnzeigenanPosition(tafel, "bild.png", l.xs, l.ys, l.xe, l.ye, l.anpassen,
                                l.zentrieren, png(l.bildW, l.bildH, kRot));
  EXPECT_TRUE(host.events.empty());
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), l.erwartet, kRot, kSchwarz));
  // Drawn for good: redrawing the board from its background picture keeps it.
  tafel.cls();
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), l.erwartet, kRot, kSchwarz));
}

INSTANTIATE_TEST_SUITE_P(Lagen, BilderLage, testing::ValuesIn(kLagen),
                         [](const auto& info) { return std::string(info.param.name); });

// --- fields where nothing can be drawn ----------------------------------------

struct Leer {
  const char* name;
  int bildW, bildH;
  int16_t xs, ys, xe, ye;
  bool anpassen;
};

const Leer kLeer[] = {
    {"FieldWithoutWidth", 100, 50, 10, 1, 9, 300, false},
    {"FieldWithoutHeight", 100, 50, 1, 10, 400, 9, false},
    {"ReversedCorners", 100, 50, 400, 300, 1, 1, false},
    {"CornerBelowSixteenBits", 100, 50, -32768, 1, 400, 300, false},
    {"FieldWidthBeyondSixteenBits", 100, 50, -100, 1, 32767, 300, false},
    {"PictureRoundsToNoHeight", 1000, 1, 1, 1, 400, 300, false},
    {"PictureRoundsToNoWidth", 1, 1000, 1, 1, 400, 300, false},
    // No surface is that large, so the fitted picture cannot be made.
    {"EnlargedBeyondAnySurface", 100, 100, 1, 1, 32767, 32767, true},
};

class BilderLeer : public BilderTest, public testing::WithParamInterface<Leer> {};

TEST_P(BilderLeer, EndsSilentlyWithoutDrawing) {
  const Leer& l = GetParam();
  tafel.filledBox(0, 0, 767, 479, 0x00FF00);  // green, so that any change shows
  const QImage vorher = tafel.image().copy();
  bilder.BildAnzeigenanPosition(tafel, "bild.png", l.xs, l.ys, l.xe, l.ye, l.anpassen, true,
                                png(l.bildW, l.bildH, kRot));
  EXPECT_TRUE(host.events.empty());
  EXPECT_EQ(tafel.image(), vorher);
}

INSTANTIATE_TEST_SUITE_P(Leer, BilderLeer, testing::ValuesIn(kLeer),
                         [](const auto& info) { return std::string(info.param.name); });

// --- bad files ---------------------------------------------------------------

struct Schlecht {
  const char* name;
  Bytes (*bytes)();
};

const Schlecht kSchlecht[] = {
    {"EmptyBytes", [] { return Bytes{}; }},
    {"NoPicture", [] { return testbilder::text("GIF87 ist das nicht"); }},
    {"TruncatedJpeg",
     [] {
       Bytes b = testbilder::kodieren(testbilder::gemustert(300, 200), "JPEG", 90);
       b.resize(b.size() * 2 / 3);
       return b;
     }},
    {"PictureBombPng", [] { return testbilder::pngMitBehaupteterGroesse(30000, 30000); }},
    {"PictureBombBmp", [] { return testbilder::bmpMitBehaupteterGroesse(30000, 30000); }},
};

class BilderSchlecht : public BilderTest, public testing::WithParamInterface<Schlecht> {};

TEST_P(BilderSchlecht, ReportsNotLoadedDrawsNothingAndTheNextPictureWorks) {
  const QImage vorher = tafel.image().copy();
  bilder.BildAnzeigenanPosition(tafel, "C:\\Bilder\\logo.jpg", 1, 1, 400, 300, true, true,
                                GetParam().bytes());
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0], nichtGeladen("C:\\Bilder\\logo.jpg"));
  EXPECT_EQ(tafel.image(), vorher);
  EXPECT_FALSE(bilder.PicFuerGroessenanpassungQuelle().hasPicture());

  bilder.BildAnzeigenanPosition(tafel, "gut.png", 1, 1, 400, 300, false, false, png(100, 50, kGruen));
  EXPECT_EQ(host.events.size(), 1u);
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 0, 100, 50}, kGruen, kSchwarz));
}

INSTANTIATE_TEST_SUITE_P(Schlecht, BilderSchlecht, testing::ValuesIn(kSchlecht),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BilderTest, BildAnzeigenOnBadBytesReportsTheFileName) {
  bilder.BildAnzeigen(tafel, "/srv/bilder/fahne.gif", false, false, testbilder::text("kaputt"));
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0], nichtGeladen("/srv/bilder/fahne.gif"));
}

// --- the whole board ---------------------------------------------------------

TEST_F(BilderTest, BildAnzeigenFitsAndCentresOnTheWholeBoard) {
  bilder.BildAnzeigen(tafel, "bild.png", true, true, png(100, 50, kRot));
  EXPECT_TRUE(host.events.empty());
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 48, 768, 384}, kRot, kSchwarz));
}

TEST_F(BilderTest, BildAnzeigenWithoutFlagsPutsThePictureTopLeftAtItsSize) {
  bilder.BildAnzeigen(tafel, "bild.png", false, false, png(100, 50, kRot));
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 0, 100, 50}, kRot, kSchwarz));
}

TEST_F(BilderTest, BildAnzeigenShrinksALargerPictureToTheBoard) {
  bilder.BildAnzeigen(tafel, "bild.png", false, true, bmp(1920, 1080, kRot));
  // 768 wide gives 432 high, centred: (480 - 432) / 2 = 24.
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 24, 768, 432}, kRot, kSchwarz));
}

TEST_F(BilderTest, BildAnzeigenWorksInTheBoardsScaleUnits) {
  tafel.setScale(384, 240);  // every unit two pixels
  bilder.BildAnzeigen(tafel, "bild.png", false, false, png(100, 50, kRot));
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 0, 200, 100}, kRot, kSchwarz));
}

TEST_F(BilderTest, BildAnzeigenWithABoardScaleBeyondSixteenBitsReportsNotLoaded) {
  tafel.setScale(40000, 480);
  const QImage vorher = tafel.image().copy();
  bilder.BildAnzeigen(tafel, "weit.png", true, true, png(100, 50, kRot));
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0], nichtGeladen("weit.png"));
  EXPECT_EQ(tafel.image(), vorher);
}

// --- auxiliary surfaces and picture contents -------------------------------------

TEST_F(BilderTest, SourceTakesThePictureSizeAndIntermediateTheFittedSize) {
  bilder.BildAnzeigenanPosition(tafel, "bild.png", 1, 1, 400, 300, false, false, bmp(1000, 500, kRot));
  EXPECT_EQ(bilder.PicFuerGroessenanpassungQuelle().widthPx(), 1000);
  EXPECT_EQ(bilder.PicFuerGroessenanpassungQuelle().heightPx(), 500);
  EXPECT_EQ(bilder.PicFuerGroessenanpassungZwischen().widthPx(), 400);
  EXPECT_EQ(bilder.PicFuerGroessenanpassungZwischen().heightPx(), 200);
  EXPECT_EQ(bilder.PicFuerGroessenanpassungZwischen().borderStyle(), 0);
}

TEST_F(BilderTest, PictureKeepsItsOrientationAndLeavesTheRestOfTheFieldAlone) {
  tafel.filledBox(0, 0, 767, 479, 0x00FF00);
  QImage bild = testbilder::einfarbig(20, 10, kRot);
  for (int y = 0; y < 10; ++y)
    for (int x = 10; x < 20; ++x) bild.setPixel(x, y, kGruen);  // right half green
  bilder.BildAnzeigenanPosition(tafel, "zwei.png", 11, 21, 210, 320, true, false,
                                testbilder::kodieren(bild, "PNG"));
  // 200 x 100 at (10, 20): red on the left, green on the right.
  EXPECT_TRUE(testbilder::nahe(tafel.image().pixel(15, 25), kRot, 8));
  EXPECT_TRUE(testbilder::nahe(tafel.image().pixel(100, 110), kRot, 8));
  EXPECT_TRUE(testbilder::nahe(tafel.image().pixel(115, 25), kGruen, 8));
  EXPECT_TRUE(testbilder::nahe(tafel.image().pixel(205, 115), kGruen, 8));
  // The field below the picture keeps what was there.
  EXPECT_EQ(tafel.image().pixel(100, 200), qRgb(0, 255, 0));
  EXPECT_EQ(tafel.image().pixel(100, 120), qRgb(0, 255, 0));
}

TEST_F(BilderTest, TransparentPartsShowTheBoardsBackColour) {
  tafel.setBackColor(0xFF0000);                 // blue
  tafel.filledBox(0, 0, 767, 479, 0x00FF00);    // drawn green over it
  QImage bild(20, 10, QImage::Format_ARGB32);
  bild.fill(Qt::transparent);
  for (int y = 0; y < 10; ++y)
    for (int x = 10; x < 20; ++x) bild.setPixel(x, y, kRot);
  bilder.BildAnzeigenanPosition(tafel, "halb.png", 1, 1, 20, 10, false, false,
                                testbilder::kodieren(bild, "PNG"));
  EXPECT_EQ(tafel.image().pixel(3, 5), qRgb(0, 0, 255));
  EXPECT_EQ(tafel.image().pixel(15, 5), kRot);
  EXPECT_EQ(tafel.image().pixel(25, 5), qRgb(0, 255, 0));
}

TEST_F(BilderTest, AnimatedGifShowsItsFirstImage) {
  bilder.BildAnzeigenanPosition(tafel, "fahne.gif", 1, 1, 400, 300, false, false,
                                testbilder::gif(8, 4, {1, 2}, {0, kRot, kGruen, 0}));
  EXPECT_TRUE(host.events.empty());
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 0, 8, 4}, kRot, kSchwarz, 0));
}

TEST_F(BilderTest, DecodedPictureEntryDrawsLikeTheBytes) {
  bilder.BildAnzeigenanPositionVonBild(tafel, "bild", 1, 1, 400, 300, true, true,
                                       testbilder::einfarbig(100, 50, kRot));
  EXPECT_TRUE(testbilder::rechteckIn(tafel.image(), {0, 50, 400, 200}, kRot, kSchwarz));
  bilder.BildAnzeigenanPositionVonBild(tafel, "leer", 1, 1, 400, 300, true, true, QImage());
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0], nichtGeladen("leer"));
}

}  // namespace
}  // namespace vrd4::render
