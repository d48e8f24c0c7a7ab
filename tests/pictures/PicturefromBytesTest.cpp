// Decoding picture files: the formats Qt reads, and files that must not
// become a picture (empty, foreign, damaged, or claiming a huge size).
#include <gtest/gtest.h>

#include "TestBilder.h"
#include "render/modPicturefromBytes.h"

namespace vrd4::render {
namespace {

using testbilder::Bytes;

const QRgb kRot = qRgb(220, 20, 30);
const QRgb kBlau = qRgb(10, 40, 230);

struct FormatFall {
  const char* name;
  Bytes (*bytes)();
  int breite, hoehe;
  QRgb mitte;
  int toleranz;
};

const FormatFall kFormate[] = {
    {"Png", [] { return testbilder::kodieren(testbilder::einfarbig(30, 20, kRot), "PNG"); }, 30, 20, kRot, 0},
    {"Bmp", [] { return testbilder::kodieren(testbilder::einfarbig(30, 20, kRot), "BMP"); }, 30, 20, kRot, 0},
    {"Jpeg", [] { return testbilder::kodieren(testbilder::einfarbig(30, 20, kRot), "JPEG", 95); }, 30, 20, kRot, 8},
    {"Ppm", [] { return testbilder::kodieren(testbilder::einfarbig(30, 20, kRot), "PPM"); }, 30, 20, kRot, 0},
    {"Xpm", [] { return testbilder::kodieren(testbilder::einfarbig(30, 20, kRot), "XPM"); }, 30, 20, kRot, 0},
    {"Ico", [] { return testbilder::kodieren(testbilder::einfarbig(32, 32, kRot), "ICO"); }, 32, 32, kRot, 0},
    {"GifTakesItsFirstImage",
     [] { return testbilder::gif(6, 5, {1, 2}, {0, kRot, kBlau, 0}); }, 6, 5, kRot, 0},
};

class ModPicturefromBytesFormat : public testing::TestWithParam<FormatFall> {};

TEST_P(ModPicturefromBytesFormat, DecodesToItsSizeAndColour) {
  const FormatFall& f = GetParam();
  const std::optional<QImage> bild = modPicturefromBytes(f.bytes());
  ASSERT_TRUE(bild.has_value());
  EXPECT_EQ(bild->width(), f.breite);
  EXPECT_EQ(bild->height(), f.hoehe);
  EXPECT_TRUE(testbilder::nahe(bild->pixel(f.breite / 2, f.hoehe / 2), f.mitte, f.toleranz));
}

INSTANTIATE_TEST_SUITE_P(Formate, ModPicturefromBytesFormat, testing::ValuesIn(kFormate),
                         [](const auto& info) { return std::string(info.param.name); });

struct SchlechterFall {
  const char* name;
  Bytes (*bytes)();
};

Bytes abgeschnitten(const char* format) {
  Bytes b = testbilder::kodieren(testbilder::gemustert(200, 120), format, 90);
  b.resize(b.size() / 2);
  return b;
}

const SchlechterFall kSchlecht[] = {
    {"Empty", [] { return Bytes{}; }},
    {"PlainText", [] { return testbilder::text("Dies ist kein Bild, nur ein Text.\r\n"); }},
    {"OnlyAPngSignature", [] { return Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }},
    {"TruncatedJpeg", [] { return abgeschnitten("JPEG"); }},
    {"JpegCutInItsHeader",
     [] {
       Bytes b = testbilder::kodieren(testbilder::gemustert(40, 30), "JPEG", 90);
       b.resize(60);
       return b;
     }},
    {"TruncatedPng", [] { return abgeschnitten("PNG"); }},
    {"TruncatedGif",
     [] {
       Bytes b = testbilder::gif(40, 40, {1}, {0, kRot, 0, 0});
       b.resize(b.size() - 20);
       return b;
     }},
    {"TruncatedBmp", [] { return abgeschnitten("BMP"); }},
    {"PngClaiming30000Square", [] { return testbilder::pngMitBehaupteterGroesse(30000, 30000); }},
    {"PngWiderThanTheSideLimit", [] { return testbilder::pngMitBehaupteterGroesse(kMaxBildSeite + 1, 1); }},
    {"PngOverThePixelLimit", [] { return testbilder::pngMitBehaupteterGroesse(16384, 16384); }},
    {"BmpClaiming30000Square", [] { return testbilder::bmpMitBehaupteterGroesse(30000, 30000); }},
    {"GifClaiming30000Square",
     [] { return testbilder::gif(2, 2, {1}, {0, kRot, 0, 0}, 30000, 30000); }},
};

class ModPicturefromBytesRefuses : public testing::TestWithParam<SchlechterFall> {};

TEST_P(ModPicturefromBytesRefuses, GivesNoPicture) {
  EXPECT_FALSE(modPicturefromBytes(GetParam().bytes()).has_value());
}

INSTANTIATE_TEST_SUITE_P(Schlecht, ModPicturefromBytesRefuses, testing::ValuesIn(kSchlecht),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModPicturefromBytes, JpegWithBytesAfterItsEndStillDecodes) {
  Bytes b = testbilder::kodieren(testbilder::einfarbig(30, 20, kBlau), "JPEG", 95);
  b.insert(b.end(), 100, 0x00);
  const auto bild = modPicturefromBytes(b);
  ASSERT_TRUE(bild.has_value());
  EXPECT_EQ(bild->size(), QSize(30, 20));
}

TEST(ModPicturefromBytes, GifCutInItsSecondImageStillShowsTheFirst) {
  Bytes b = testbilder::gif(40, 40, {1, 2}, {0, kRot, kBlau, 0});
  b.resize(b.size() - 20);
  const auto bild = modPicturefromBytes(b);
  ASSERT_TRUE(bild.has_value());
  EXPECT_EQ(bild->pixel(39, 39), kRot);
}

TEST(ModPicturefromBytes, TopDownBmpDecodes) {
  Bytes b = testbilder::kodieren(testbilder::einfarbig(30, 20, kBlau), "BMP");
  const int32_t minus20 = -20;
  for (int i = 0; i < 4; ++i) b[22 + std::size_t(i)] = uint8_t(uint32_t(minus20) >> (8 * i));
  const auto bild = modPicturefromBytes(b);
  ASSERT_TRUE(bild.has_value());
  EXPECT_EQ(bild->size(), QSize(30, 20));
}

TEST(ModPicturefromBytes, LimitsAllowUpToTheSideAndPixelCount) {
  EXPECT_TRUE(bildGroesseErlaubt(1, 1));
  EXPECT_TRUE(bildGroesseErlaubt(kMaxBildSeite, kMaxBildPixel / kMaxBildSeite));
  EXPECT_FALSE(bildGroesseErlaubt(kMaxBildSeite, kMaxBildPixel / kMaxBildSeite + 1));
  EXPECT_FALSE(bildGroesseErlaubt(kMaxBildSeite + 1, 1));
  EXPECT_FALSE(bildGroesseErlaubt(0, 10));
  EXPECT_FALSE(bildGroesseErlaubt(10, -1));
}

}  // namespace
}  // namespace vrd4::render
