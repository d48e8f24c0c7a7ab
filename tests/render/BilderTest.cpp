// Pictures: decoding picture files (the formats Qt reads, and hostile files
// that must give no picture), and placing pictures on an offscreen 768 x 480
// board, checked by pixels.
#include <QBuffer>
#include <QImage>

#include "FakeHost.h"
#include "platform/Surface.h"
#include "render/Bilder.h"
#include "render/RenderHost.h"
#include "render/modPicturefromBytes.h"
#include "tests/gif/GifSchreiber.h"

namespace vrd4::render {
namespace {

using test::FakeHost;

using Bytes = std::vector<uint8_t>;

const QRgb kRot = qRgb(220, 20, 30);
const QRgb kGruen = qRgb(20, 200, 40);

// --- picture files made in memory -------------------------------------------

Bytes kodieren(const QImage& bild, const char* format, int qualitaet = -1) {
  QByteArray daten;
  QBuffer puffer(&daten);
  puffer.open(QIODevice::WriteOnly);
  if (!bild.save(&puffer, format, qualitaet)) ADD_FAILURE() << "cannot write " << format;
  return Bytes(daten.begin(), daten.end());
}

// A w x h file of one colour.
Bytes datei(const char* format, int w, int h, QRgb farbe = kRot, int qualitaet = -1) {
  QImage bild(w, h, QImage::Format_RGB32);
  bild.fill(farbe);
  return kodieren(bild, format, qualitaet);
}

// The first half of a patterned picture (a solid one compresses to almost
// nothing, so cutting it would not cut the pixel data).
Bytes halbeDatei(const char* format) {
  QImage bild(200, 120, QImage::Format_RGB32);
  for (int i = 0; i < 200 * 120; ++i) bild.setPixel(i % 200, i / 200, i * 2654435761u);
  Bytes b = kodieren(bild, format, 90);
  b.resize(b.size() / 2);
  return b;
}

// Four bytes at `at`, low byte first.
void setzen(Bytes& b, std::size_t at, uint32_t v) { for (std::size_t i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> 8 * i); }

// A 4 x 4 BMP in kRot whose header claims w x h pixels.
Bytes bmpMitGroesse(int32_t w, int32_t h) {
  Bytes b = datei("BMP", 4, 4);
  setzen(b, 18, uint32_t(w));
  setzen(b, 22, uint32_t(h));
  return b;
}

// A GIF claiming w x h pixels, its one frame a single index: parsed, never decoded.
Bytes gif(int w, int h) {
  gif::test::GifSchreiber g(w, h, gif::test::Farben{0xFF0000, 0x00FF00});
  g.bild(gif::test::Bild{.width = w, .height = h, .indizes = {0}, .codeGroesse = 2});
  return g.fertig();
}

bool nahe(QRgb a, QRgb b) {
  return qAbs(qRed(a) - qRed(b)) <= 8 && qAbs(qGreen(a) - qGreen(b)) <= 8 && qAbs(qBlue(a) - qBlue(b)) <= 8;
}

// Every pixel inside r is near `farbe`, every pixel outside is `aussen`.
testing::AssertionResult rechteckIn(const QImage& bild, QRect r, QRgb farbe, QRgb aussen = qRgb(0, 0, 0)) {
  for (int y = 0; y < bild.height(); ++y)
    for (int x = 0; x < bild.width(); ++x)
      if (r.contains(x, y) ? !nahe(bild.pixel(x, y), farbe) : (bild.pixel(x, y) | 0xFF000000u) != (aussen | 0xFF000000u))
        return testing::AssertionFailure() << "pixel (" << x << "," << y << ") " << std::hex << bild.pixel(x, y);
  return testing::AssertionSuccess();
}

// --- decoding ------------------------------------------------------------------

struct Datei {
  const char* name;
  Bytes (*bytes)();
};
const auto kName = [](const auto& info) { return std::string(info.param.name); };

// --- on the board ----------------------------------------------------------------

class BilderTest : public testing::Test {
 protected:
  FakeHost host;
  Bilder bilder{host};
  platform::Surface tafel{768, 480};
};

// Bad and hostile files: a line in the status list saying why, nothing
// drawn, and the next picture works. Bytes that do not decode raise no
// event; a picture over the limits (its size) raises the same text as
// "BefehlFehler": the sender could not have known.
class Schlecht : public BilderTest, public testing::WithParamInterface<Datei> {};

TEST_P(Schlecht, DrawsNothingTellsTheStatusListAndTheSenderOnlyOfALimitAndTheNextPictureWorks) {
  bilder.BildAnzeigenanPosition(tafel, "C:\\Bilder\\logo.jpg", 1, 1, 400, 300, true, true, GetParam().bytes());
  ASSERT_EQ(host.status.size(), 1u);
  EXPECT_TRUE(host.status[0].startsWith(u"Bild: C:\\Bilder\\logo.jpg nicht angezeigt - ")) << host.status[0].toStdString();
  if (host.status[0].contains(u" - zu groß ("))
    EXPECT_EQ(host.ereignisse, std::vector<test::Ereignis>{test::befehlFehler(host.status[0])});
  else
    EXPECT_TRUE(host.ereignisse.empty());
  EXPECT_TRUE(rechteckIn(tafel.image(), {}, kRot));
  // The next picture decoded ahead (as a long TCP line brings it) draws the same.
  const std::size_t vorher = host.status.size() + host.ereignisse.size();
  VorabBild gut;
  gut.bild = modPicturefromBytes(datei("PNG", 100, 50, kGruen));
  bilder.BildAnzeigenanPosition(tafel, "gut.png", 1, 1, 400, 300, false, false, {}, &gut);
  EXPECT_EQ(host.status.size() + host.ereignisse.size(), vorher);
  EXPECT_TRUE(rechteckIn(tafel.image(), {0, 0, 100, 50}, kGruen));
  // Bad bytes decoded ahead keep their reason.
  VorabBild schlecht;
  schlecht.bild = modPicturefromBytes(GetParam().bytes(), &schlecht.grund);
  bilder.BildAnzeigenanPosition(tafel, "C:\\Bilder\\logo.jpg", 1, 1, 400, 300, true, true, {}, &schlecht);
  ASSERT_EQ(host.status.size(), 2u);
  EXPECT_EQ(host.status[1], host.status[0]);
}

INSTANTIATE_TEST_SUITE_P(Dateien, Schlecht, testing::ValuesIn(std::vector<Datei>{
    {"Empty", [] { return Bytes{}; }},
    {"NoPicture", [] { return Bytes{'G', 'I', 'F', '8', '7', ' ', 'n', 'o'}; }},
    {"JpegCutInItsHeader", [] { Bytes b = halbeDatei("JPEG"); b.resize(60); return b; }},
    {"TruncatedPng", [] { return halbeDatei("PNG"); }},
    {"PictureBombPng", [] {  // signature, header (with its checksum) and where the pixel data would start
       return Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0x75, 0x30, 0, 0, 0x75,
                    0x30, 8, 2, 0, 0, 0, 0xE9, 0x45, 0x6F, 0xED, 0, 0, 0, 0, 'I', 'D', 'A', 'T'}; }},
    {"GifWiderThanTheSideLimit", [] { return gif(kMaxBildSeite + 1, 1); }},  // its reader would decode it
    {"PictureBombBmp", [] { return bmpMitGroesse(30000, 30000); }},
    {"PictureBombGif", [] { return gif(30000, 30000); }},
}), kName);

// Where and how large a picture lands in the field xs..xe, ys..ye (1-based,
// inclusive), in board pixels; an empty rectangle: nothing drawn, no event.
struct Lage {
  const char* name;
  int w, h;  // the picture
  int16_t xs, ys, xe, ye;
  bool anpassen, zentrieren;
  QRect erwartet;
};

class Lagen : public BilderTest, public testing::WithParamInterface<Lage> {};

TEST_P(Lagen, DrawsThePictureWhereTheFieldAndFlagsSay) {
  const Lage& l = GetParam();
  bilder.BildAnzeigenanPosition(tafel, "bild.png", l.xs, l.ys, l.xe, l.ye, l.anpassen, l.zentrieren, datei("PNG", l.w, l.h));
  EXPECT_TRUE(host.ereignisse.empty());
  EXPECT_TRUE(rechteckIn(tafel.image(), l.erwartet, kRot));
  // The source surface takes the picture's size, the intermediate the fitted size.
  EXPECT_EQ(bilder.PicFuerGroessenanpassungQuelle().image().size(), QSize(l.w, l.h));
  EXPECT_TRUE(l.erwartet.isEmpty() || bilder.PicFuerGroessenanpassungZwischen().image().size() == l.erwartet.size());
  tafel.cls();  // drawn for good: it is the board's background picture now
  EXPECT_TRUE(rechteckIn(tafel.image(), l.erwartet, kRot));
}

INSTANTIATE_TEST_SUITE_P(Tabelle, Lagen, testing::ValuesIn(std::vector<Lage>{
    {"SmallerKeepsItsSizeTopLeft", 100, 50, 1, 1, 400, 300, false, false, {0, 0, 100, 50}},
    {"SmallerCentredInAFieldAwayFromTheOrigin", 100, 50, 101, 51, 300, 150, false, true, {150, 75, 100, 50}},
    {"SmallerEnlargedAndCentred", 100, 50, 1, 1, 400, 300, true, true, {0, 50, 400, 200}},
    {"LargerShrunkToTheWidth", 1000, 500, 1, 1, 400, 300, false, false, {0, 0, 400, 200}},
    {"TallerEnlargedPastSixteenBitsStillFits", 10, 1000, 1, 1, 400, 300, true, false, {0, 0, 3, 300}},
    {"CentringByHalfAPixelRoundsDownToEven", 100, 400, 1, 1, 400, 300, false, true, {162, 0, 75, 300}},
    {"HeightHalfRoundsDownToEven", 4, 2, 1, 1, 5, 100, true, false, {0, 0, 5, 2}},
    {"HeightHalfRoundsUpToEven", 4, 2, 1, 1, 7, 100, true, false, {0, 0, 7, 4}},
    {"FieldWithoutWidth", 100, 50, 10, 1, 9, 300, false, true, {}},
    {"FieldWidthBeyondSixteenBits", 100, 50, -100, 1, 32767, 300, false, true, {}},
    {"EnlargedBeyondAnySurface", 100, 100, 1, 1, 32767, 32767, true, true, {}},
}), kName);

TEST_F(BilderTest, KeepsOrientationShowsTheBackColourWhereTransparentAndLeavesTheRestOfTheField) {
  tafel.setBackColor(0xFF0000);               // blue
  tafel.filledBox(0, 0, 767, 479, 0x00FF00);  // drawn green over it
  QImage bild(20, 10, QImage::Format_ARGB32);
  bild.fill(Qt::transparent);  // left half
  for (int y = 0; y < 10; ++y)
    for (int x = 10; x < 20; ++x) bild.setPixel(x, y, y < 5 ? kGruen : kRot);
  // Enlarged to 200 x 100 at (10, 20) in a 200 x 300 field.
  bilder.BildAnzeigenanPosition(tafel, "bild.png", 11, 21, 210, 320, true, false, kodieren(bild, "PNG"));
  EXPECT_TRUE(nahe(tafel.image().pixel(15, 25), qRgb(0, 0, 255)));
  EXPECT_TRUE(nahe(tafel.image().pixel(205, 25), kGruen));
  EXPECT_TRUE(nahe(tafel.image().pixel(205, 115), kRot));
  EXPECT_EQ(tafel.image().pixel(100, 120), qRgb(0, 255, 0));
}

}  // namespace
}  // namespace vrd4::render
