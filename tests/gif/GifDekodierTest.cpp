// The decoder against giflib on generated files: every frame's indices equal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "GifSchreiber.h"
#include "GifTestHilfe.h"
#include "GiflibOrakel.h"

namespace vrd4::gif::test {
namespace {

struct Fall {
  std::string name;
  std::function<std::vector<uint8_t>()> datei;
};

Bild bild(int x, int y, int w, int h, int bits, uint32_t saat) {
  Bild b;
  b.left = x;
  b.top = y;
  b.width = w;
  b.height = h;
  b.codeGroesse = bits;
  b.indizes = zufallsIndizes(w, h, bits, saat);
  return b;
}

std::vector<uint8_t> einzeln(const Bild& b, int logB = 0, int logH = 0) {
  GifSchreiber s(logB ? logB : b.left + b.width, logH ? logH : b.top + b.height, graurampe(256));
  s.bild(b);
  return s.fertig();
}

std::vector<Fall> faelle() {
  std::vector<Fall> f;
  for (int bits = 2; bits <= 8; ++bits) {
    for (bool inter : {false, true}) {
      f.push_back({"CodeSize" + std::to_string(bits) + (inter ? "Interlaced" : ""), [bits, inter] {
                     Bild b = bild(0, 0, 61, 37, bits, static_cast<uint32_t>(bits));
                     b.interlaced = inter;
                     return einzeln(b);
                   }});
    }
  }
  for (int h = 1; h <= 9; ++h) {
    f.push_back({"InterlacedHeight" + std::to_string(h), [h] {
                   Bild b = bild(0, 0, 5, h, 4, static_cast<uint32_t>(h));
                   b.interlaced = true;
                   return einzeln(b);
                 }});
  }
  f.push_back({"LocalAndGlobalTables", [] {
                 GifSchreiber s(40, 30, graurampe(16));
                 s.bild(bild(0, 0, 40, 30, 4, 1));
                 Bild lok = bild(3, 4, 20, 10, 2, 2);
                 lok.lokal = graurampe(4);
                 s.bild(lok);
                 Bild lok8 = bild(0, 0, 17, 19, 8, 3);
                 lok8.lokal = graurampe(256);
                 lok8.interlaced = true;
                 s.bild(lok8);
                 s.bild(bild(1, 1, 9, 9, 4, 4));
                 return s.fertig();
               }});
  f.push_back({"FramesOutsideTheLogicalScreen", [] {
                 GifSchreiber s(10, 10, graurampe(256));
                 s.bild(bild(0, 0, 10, 10, 8, 5));
                 s.bild(bild(20, 5, 30, 7, 8, 6));
                 s.bild(bild(3, 40, 4, 4, 8, 7));
                 return s.fertig();
               }});
  f.push_back({"DisposalsAndTransparency", [] {
                 GifSchreiber s(32, 32, graurampe(64));
                 s.schleife(0);
                 for (int i = 0; i < 6; ++i) {
                   Bild b = bild(i, 2 * i, 20, 16, 6, static_cast<uint32_t>(10 + i));
                   b.disposal = i % 4;
                   b.delay = 5 * i;
                   if (i % 2) b.transparent = static_cast<uint8_t>(i);
                   s.bild(b);
                 }
                 return s.fertig();
               }});
  f.push_back({"OneByOne", [] { return einzeln(bild(0, 0, 1, 1, 2, 8)); }});
  f.push_back({"FourThousandByOne", [] { return einzeln(bild(0, 0, 4000, 1, 8, 9)); }});
  f.push_back({"ClearCodeInTheMiddle", [] {
                 Bild b = bild(0, 0, 120, 50, 5, 11);
                 b.lzw.clearNach = 300;
                 return einzeln(b);
               }});
  f.push_back({"ClearCodeEveryFewCodes", [] {
                 Bild b = bild(0, 0, 64, 64, 3, 12);
                 b.lzw.clearNach = 7;
                 return einzeln(b);
               }});
  f.push_back({"FullTableWithClear", [] {
                 Bild b = bild(0, 0, 320, 200, 8, 13);
                 return einzeln(b);
               }});
  f.push_back({"FullTableWithoutClear", [] {
                 Bild b = bild(0, 0, 320, 200, 8, 14);
                 b.lzw.ohneClearWennVoll = true;
                 return einzeln(b);
               }});
  f.push_back({"FullTableWithoutClearSmallCodes", [] {
                 Bild b = bild(0, 0, 300, 300, 2, 15);
                 b.lzw.ohneClearWennVoll = true;
                 return einzeln(b);
               }});
  f.push_back({"LongRunsOfOneIndex", [] {
                 Bild b = bild(0, 0, 700, 500, 8, 16);
                 std::fill(b.indizes.begin(), b.indizes.end(), uint8_t{7});
                 return einzeln(b);
               }});
  f.push_back({"OneByteSubBlocks", [] {
                 Bild b = bild(0, 0, 33, 21, 7, 17);
                 b.blockGroesse = 1;
                 return einzeln(b);
               }});
  f.push_back({"GIF87aWithoutExtensions", [] {
                 GifSchreiber s(16, 16, graurampe(2), "GIF87a");
                 Bild b = bild(0, 0, 16, 16, 2, 18);
                 for (auto& x : b.indizes) x &= 1;
                 b.gce = false;
                 s.bild(b);
                 return s.fertig();
               }});
  return f;
}

TEST(GifDekodieren, EveryFrameEqualsGiflibAndTheEncodedIndices) {
  for (const Fall& fall : faelle()) {
    SCOPED_TRACE(fall.name);
    const std::vector<uint8_t> datei = fall.datei();
    const GiflibErgebnis orakel = mitGiflib(datei);
    ASSERT_TRUE(orakel.ok) << "giflib error " << orakel.fehler;

    GifDatei g;
    ASSERT_EQ(g.parse(datei), static_cast<int>(orakel.frames.size()));
    ASSERT_TRUE(g.decode(true));
    ASSERT_TRUE(g.decode(false));
    for (int k = 1; k <= g.frameCount(); ++k) {
      SCOPED_TRACE(k);
      const GiflibFrame& o = orakel.frames[static_cast<std::size_t>(k - 1)];
      const FrameInfo& f = g.frames()[static_cast<std::size_t>(k - 1)];
      EXPECT_EQ(std::tie(f.left, f.top, f.width, f.height), std::tie(o.left, o.top, o.width, o.height));
      EXPECT_TRUE(frameAusStreifen(g, k) == o.indizes);
    }
  }
}

// The encoder's own input, so that a fault shared by giflib and the decoder
// (or by the encoder) shows too.
TEST(GifDekodieren, FramesEqualTheIndicesThatWereEncoded) {
  GifSchreiber s(100, 100, graurampe(256));
  std::vector<Bild> bilder;
  for (int bits = 2; bits <= 8; ++bits) {
    Bild b = bild(bits, bits, 13 * bits, 7 * bits, bits, static_cast<uint32_t>(100 + bits));
    b.interlaced = bits % 2;
    b.lzw.ohneClearWennVoll = bits == 8;
    s.bild(b);
    bilder.push_back(b);
  }
  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 7);
  ASSERT_TRUE(g.decode(true) && g.decode(false));
  for (int k = 1; k <= 7; ++k) EXPECT_TRUE(frameAusStreifen(g, k) == bilder[static_cast<std::size_t>(k - 1)].indizes) << k;
}

// Many small files with every option drawn at random (fixed seeds).
TEST(GifDekodieren, RandomFilesEqualGiflib) {
  std::mt19937 rng(2026);
  auto zahl = [&](int von, int bis) { return von + static_cast<int>(rng() % static_cast<uint32_t>(bis - von + 1)); };
  for (int datei = 0; datei < 150; ++datei) {
    SCOPED_TRACE(datei);
    const int globalBits = zahl(1, 8);
    GifSchreiber s(zahl(1, 80), zahl(1, 80), graurampe(1 << globalBits));
    const int frames = zahl(1, 4);
    for (int k = 0; k < frames; ++k) {
      Bild b;
      b.left = zahl(0, 90);
      b.top = zahl(0, 90);
      b.width = zahl(1, 70);
      b.height = zahl(1, 70);
      const int bits = zahl(1, 8);
      b.codeGroesse = std::max(bits, 2);
      if (zahl(0, 1)) b.lokal = graurampe(1 << bits);
      b.indizes = zufallsIndizes(b.width, b.height, bits, rng());
      b.interlaced = zahl(0, 1);
      b.lzw.clearNach = zahl(0, 3) == 0 ? zahl(1, 500) : 0;
      b.lzw.ohneClearWennVoll = zahl(0, 1);
      b.blockGroesse = zahl(1, 255);
      b.disposal = zahl(0, 3);
      s.bild(b);
    }
    const std::vector<uint8_t> bytes = s.fertig();
    const GiflibErgebnis orakel = mitGiflib(bytes);
    ASSERT_TRUE(orakel.ok) << orakel.fehler;
    GifDatei g;
    ASSERT_EQ(g.parse(bytes), frames);
    ASSERT_TRUE(g.decode(true) && g.decode(false));
    for (int k = 1; k <= frames; ++k)
      ASSERT_TRUE(frameAusStreifen(g, k) == orakel.frames[static_cast<std::size_t>(k - 1)].indizes) << k;
  }
}

std::vector<uint8_t> lies(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Files from another encoder, and the fuzzer's regression files, all decode
// as giflib decodes them.
TEST(GifDekodieren, CommittedFilesEqualGiflib) {
  const std::filesystem::path ordner = std::filesystem::path(VRD4_TEST_DATA_DIR) / "gif";
  int gesehen = 0;
  for (const auto& e : std::filesystem::directory_iterator(ordner)) {
    if (e.path().extension() != ".gif") continue;
    SCOPED_TRACE(e.path().filename().string());
    ++gesehen;
    const std::vector<uint8_t> datei = lies(e.path());
    const GiflibErgebnis orakel = mitGiflib(datei);
    GifDatei g;
    const int n = g.parse(datei);
    if (!orakel.ok) continue;  // a damaged file: only that nothing breaks
    ASSERT_EQ(n, static_cast<int>(orakel.frames.size()));
    ASSERT_TRUE(g.decode(true) && g.decode(false));
    for (int k = 1; k <= n; ++k) EXPECT_TRUE(frameAusStreifen(g, k) == orakel.frames[static_cast<std::size_t>(k - 1)].indizes) << k;
  }
  EXPECT_GE(gesehen, 2);

  GifDatei g;
  ASSERT_EQ(g.parse(lies(ordner / "zwei_frames_giflib.gif")), 2);
  EXPECT_EQ(g.loopCount(), 0);
  EXPECT_EQ(g.canvasWidth(), 28);
  EXPECT_EQ(g.canvasHeight(), 15);
  const FrameInfo& f2 = g.frames()[1];
  EXPECT_EQ(std::tie(f2.delay, f2.disposal, f2.transparencyFlag, f2.transparentIndex, f2.colorTable),
            std::make_tuple(250, uint8_t{2}, uint8_t{1}, uint8_t{3}, 1));
  EXPECT_EQ(g.colourTable(1)[256], 4u);
}

}  // namespace
}  // namespace vrd4::gif::test
