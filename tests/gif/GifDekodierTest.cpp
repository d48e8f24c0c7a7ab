// The decoder against giflib on generated files: every frame's indices equal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "GifSchreiber.h"
#include "GiflibOrakel.h"

namespace vrd4::gif::test {
namespace {

Bild zufall(int x, int y, int w, int h, int bits, uint32_t saat) {
  Bild b = flach(x, y, w, h, 0, bits);
  b.indizes = zufallsIndizes(w, h, bits, saat);
  return b;
}

// One image on a screen of its own size.
std::vector<uint8_t> einzeln(const Bild& b) {
  GifSchreiber s(b.left + b.width, b.top + b.height, graurampe(256));
  s.bild(b);
  return s.fertig();
}

// The file decodes (if giflib reads it) to giflib's frames, place and indices.
void wieGiflib(const std::vector<uint8_t>& datei, bool mussLesbarSein = true) {
  const GiflibErgebnis orakel = mitGiflib(datei);
  GifDatei g;
  const int n = g.parse(datei);
  if (!orakel.ok && !mussLesbarSein) return;  // a damaged file: only that nothing breaks
  ASSERT_TRUE(orakel.ok) << "giflib error " << orakel.fehler;
  ASSERT_EQ(n, static_cast<int>(orakel.frames.size()));
  for (int k = 1; k <= n; ++k) {
    SCOPED_TRACE(k);
    const GiflibFrame& o = orakel.frames[static_cast<std::size_t>(k - 1)];
    const FrameInfo& f = g.frames()[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(std::tie(f.left, f.top, f.width, f.height), std::tie(o.left, o.top, o.width, o.height));
    EXPECT_TRUE(frameIndizes(g, k) == o.indizes);
  }
}

// What the random files below seldom or never reach: a long row, and tables
// that run full with and without a clear.
TEST(GifDekodieren, EveryFrameEqualsGiflib) {
  const std::pair<const char*, std::vector<uint8_t>> f[] = {
      {"FourThousandByOne", einzeln(zufall(0, 0, 4000, 1, 8, 9))},
      {"FullTableWithClear", einzeln(zufall(0, 0, 320, 200, 8, 13))},
      {"FullTableWithoutClear", einzeln([] {
         Bild b = zufall(0, 0, 320, 200, 8, 14);
         b.lzw.ohneClearWennVoll = true;
         return b;
       }())},
  };
  for (const auto& [name, datei] : f) {
    SCOPED_TRACE(name);
    wieGiflib(datei);
  }
}

// Many small files with every option drawn at random (fixed seeds).
TEST(GifDekodieren, RandomFilesEqualGiflib) {
  std::mt19937 rng(2026);
  auto zahl = [&](int von, int bis) { return von + static_cast<int>(rng() % static_cast<uint32_t>(bis - von + 1)); };
  for (int datei = 0; datei < 150; ++datei) {
    SCOPED_TRACE(datei);
    GifSchreiber s(zahl(1, 80), zahl(1, 80), graurampe(1 << zahl(1, 8)));
    if (zahl(0, 1)) s.schleife(zahl(0, 5));
    for (int k = zahl(1, 4); k > 0; --k) {
      const int bits = zahl(1, 8);
      Bild b{.left = zahl(0, 90), .top = zahl(0, 90), .width = zahl(1, 70), .height = zahl(1, 70)};
      b.codeGroesse = std::max(bits, 2);
      b.indizes = zufallsIndizes(b.width, b.height, bits, rng());
      if (zahl(0, 1)) b.lokal = graurampe(1 << bits);
      b.interlaced = zahl(0, 1);
      b.lzw.clearNach = zahl(0, 3) == 0 ? zahl(1, 500) : 0;
      b.lzw.ohneClearWennVoll = zahl(0, 1);
      b.blockGroesse = zahl(1, 255);
      b.disposal = zahl(0, 3);
      if (zahl(0, 1)) b.transparent = static_cast<uint8_t>(zahl(0, 255));
      s.bild(b);
    }
    wieGiflib(s.fertig());
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
    wieGiflib(lies(e.path()), false);
  }
  EXPECT_GE(gesehen, 2);
}

}  // namespace
}  // namespace vrd4::gif::test
