// Hostile files: each gives a defined result within bounded memory and time.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "GifSchreiber.h"
#include "GifTestHilfe.h"

namespace vrd4::gif::test {
namespace {

Bild bild(int x, int y, int w, int h, uint8_t index = 1) {
  Bild b;
  b.left = x;
  b.top = y;
  b.width = w;
  b.height = h;
  b.codeGroesse = 2;
  b.indizes.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), index);
  return b;
}

// Image data given as codes, with the widths a decoder reads them at.
std::vector<uint8_t> roheCodes(std::initializer_list<uint32_t> codes, int codeGroesse = 2) {
  std::vector<uint8_t> d;
  const uint32_t clear = 1u << codeGroesse;
  uint32_t akku = 0, naechster = clear + 2;
  int bits = 0, breite = codeGroesse + 1;
  bool erster = true;
  for (uint32_t c : codes) {
    akku |= c << bits;
    bits += breite;
    while (bits >= 8) {
      d.push_back(static_cast<uint8_t>(akku));
      akku >>= 8;
      bits -= 8;
    }
    if (c == clear) {
      breite = codeGroesse + 1;
      naechster = clear + 2;
      erster = true;
    } else if (!erster && ++naechster == (1u << breite) && breite < 12) {
      ++breite;
    } else {
      erster = false;
    }
  }
  if (bits) d.push_back(static_cast<uint8_t>(akku));
  return d;
}

// A 4 × 2 frame with raw LZW data and the given code-size byte.
std::vector<uint8_t> mitDaten(const std::vector<uint8_t>& daten, uint8_t codeGroesse = 2) {
  GifSchreiber s(4, 2, graurampe(4));
  s.roh({0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0, codeGroesse});
  unterbloecke(s.bytes, daten);
  return s.fertig();
}

std::vector<uint8_t> vieleFrames(int n) {
  GifSchreiber s(1, 1, graurampe(4));
  const std::size_t kopf = s.bytes.size();
  s.bild(bild(0, 0, 1, 1));
  const std::vector<uint8_t> frame(s.bytes.begin() + static_cast<std::ptrdiff_t>(kopf), s.bytes.end());
  for (int i = 1; i < n; ++i) s.bytes.insert(s.bytes.end(), frame.begin(), frame.end());
  return s.fertig();
}

struct Fall {
  std::string name;
  std::function<std::vector<uint8_t>()> datei;
  int frames;                                       // parse() result
  std::vector<uint8_t> frame1 = {};                 // frame 1's indices when given
  std::function<void(const GifDatei&)> pruefen = {};  // anything more
};

std::vector<Fall> faelle() {
  const uint8_t c = 4, e = 5;  // clear and end codes at code size 2
  return {
      {"CodeBeyondTheTableStopsTheFrame", [=] { return mitDaten(roheCodes({c, 1, 2, 6, 9, 3, e})); }, 1,
       {1, 2, 1, 2, 0, 0, 0, 0}},
      {"StringBeingDefinedIsValid", [=] { return mitDaten(roheCodes({c, 1, 2, 7, 3, e})); }, 1,
       {1, 2, 2, 2, 3, 0, 0, 0}},
      {"StringCodeRightAfterClearStopsTheFrame", [=] { return mitDaten(roheCodes({c, 1, c, 6, 2, e})); }, 1,
       {1, 0, 0, 0, 0, 0, 0, 0}},
      {"DataEndingBeforeTheFrameKeepsThePrefix", [=] { return mitDaten(roheCodes({c, 3, 2, 1})); }, 1,
       {3, 2, 1, 0, 0, 0, 0, 0}},
      {"EndCodeFirstLeavesIndexZero", [=] { return mitDaten(roheCodes({e, 1, 1, 1})); }, 1,
       std::vector<uint8_t>(8, 0)},
      {"NoDataSubBlocksAtAll", [] { return mitDaten({}); }, 1, std::vector<uint8_t>(8, 0)},
      {"CodesAfterAFullFrameAreIgnored",
       [=] { return mitDaten(roheCodes({c, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 7, 7})); }, 1,
       {1, 1, 1, 1, 2, 2, 2, 2}},
      {"CodeSizeZeroLeavesIndexZero", [=] { return mitDaten(roheCodes({c, 1, 1, e}), 0); }, 1,
       std::vector<uint8_t>(8, 0)},
      {"CodeSizeOneLeavesIndexZero", [=] { return mitDaten(roheCodes({2, 1, 1, 3}, 1), 1); }, 1,
       std::vector<uint8_t>(8, 0)},
      {"CodeSizeTwelveLeavesIndexZero", [=] { return mitDaten(roheCodes({c, 1, 1, e}), 12); }, 1,
       std::vector<uint8_t>(8, 0)},
      {"OnlyClearCodes",
       [] {
         std::vector<uint8_t> d;  // eight 3-bit clear codes in three bytes, again and again
         for (int i = 0; i < 1000; ++i) d.insert(d.end(), {0x24, 0x49, 0x92});
         return mitDaten(d);
       },
       1,
       std::vector<uint8_t>(8, 0)},
      {"FrameOfWidthZeroTakesNoColumns",
       [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(0, 0, 4, 4));
         s.roh({0x2C, 0, 0, 0, 0, 0, 0, 4, 0, 0, 2, 2, 0x4C, 0x01, 0});
         s.bild(bild(0, 0, 2, 2, 3));
         return s.fertig();
       },
       3, std::vector<uint8_t>(16, 1),
       [](const GifDatei& g) {
         EXPECT_EQ(g.stripWidth(), 6);
         EXPECT_EQ(g.frames()[2].offset, 4);
         EXPECT_EQ(frameAusStreifen(g, 3), std::vector<uint8_t>(4, 3));
       }},
      {"DamagedFrameBesideATallerEmptyOneLeavesTheRowsBelowZero",
       [=] {
         GifSchreiber s(4, 6, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0, 2});
         unterbloecke(s.bytes, roheCodes({c, 1, 2, 6, 6, 15}));
         s.roh({0x2C, 0, 0, 0, 0, 0, 0, 6, 0, 0, 2, 2, 0x4C, 0x01, 0});
         return s.fertig();
       },
       2, {1, 2, 1, 2, 1, 2, 0, 0},
       [](const GifDatei& g) {
         ASSERT_EQ(g.stripHeight(), 6);
         for (int i = 8; i < 24; ++i) EXPECT_EQ(g.strip()[i], 0) << i;
       }},
      {"OnlyAFrameOfHeightZeroIsNoPicture",
       [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 4, 0, 0, 0, 0, 2, 2, 0x4C, 0x01, 0});
         return s.fertig();
       },
       0},
      {"FrameFarOutsideTheCanvasIsRefused",
       [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(0, 0, 4, 4));
         s.bild(bild(60000, 60000, 2, 2));
         return s.fertig();
       },
       0},
      {"CanvasSideAtTheLimitLoads", [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(kMaxSeite - 2, 0, 2, 1));
         return s.fertig();
       }, 1, {1, 1}},
      {"CanvasSideOneBeyondTheLimitIsRefused", [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(kMaxSeite - 1, 0, 2, 1));
         return s.fertig();
       }, 0},
      {"StripBeyondTheLimitIsRefused",
       [] {
         // 17 frames of 4096 × 1024 (claimed; the data is tiny) = 68 Mpx.
         GifSchreiber s(4096, 1024, graurampe(4));
         for (int i = 0; i < 17; ++i) s.roh({0x2C, 0, 0, 0, 0, 0, 0x10, 0, 0x04, 0, 2, 1, 0x04, 0});
         return s.fertig();
       },
       0},
      {"HugeLogicalScreenWithASmallFrameLoads", [] {
         GifSchreiber s(65535, 65535, graurampe(4));
         s.bild(bild(0, 0, 2, 2, 3));
         return s.fertig();
       }, 1, {3, 3, 3, 3},
       [](const GifDatei& g) {
         EXPECT_EQ(g.logicalWidth(), 65535);
         EXPECT_EQ(g.canvasWidth(), 2);
       }},
      {"TenThousandTinyFramesLoad", [] { return vieleFrames(kMaxFrames); }, kMaxFrames, {1}},
      {"OneFrameMoreIsRefused", [] { return vieleFrames(kMaxFrames + 1); }, 0},
      {"EndlessSubBlockChainInImageData",
       [] {
         GifSchreiber s(64, 64, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 64, 0, 64, 0, 0, 2});
         for (int i = 0; i < 16000; ++i) {
           s.bytes.push_back(255);
           s.bytes.insert(s.bytes.end(), 255, uint8_t{0x49});
         }
         return s.bytes;
       },
       1},
      {"EndlessSubBlockChainInAnExtension",
       [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(0, 0, 4, 4));
         s.roh({0x21, 0xFE});
         for (int i = 0; i < 16000; ++i) {
           s.bytes.push_back(255);
           s.bytes.insert(s.bytes.end(), 255, uint8_t{0x21});
         }
         return s.bytes;
       },
       1, std::vector<uint8_t>(16, 1)},
      {"SubBlockLengthPointingPastTheEnd",
       [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 2, 200, 0x8C, 0x2D});
         return s.bytes;
       },
       1},
      {"GlobalTableCutShortIsNoPicture", [] {
         GifSchreiber s(4, 4, graurampe(256));
         s.bytes.resize(13 + 500);
         return s.bytes;
       }, 0},
      {"LocalTableCutShortEndsTheParse", [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(0, 0, 4, 4));
         Bild b = bild(0, 0, 4, 4);
         b.lokal = graurampe(256);
         s.bild(b);
         s.bytes.resize(s.bytes.size() - 600);
         return s.bytes;
       }, 1, std::vector<uint8_t>(16, 1),
       [](const GifDatei& g) { EXPECT_EQ(g.localTableCount(), 0); }},
      {"ControlExtensionWithWrongBlockSizeEndsTheFile", [] {
         // The terminator is looked for 7 bytes after the 0x21; what follows
         // it is not a block, so the file ends there.
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(bild(0, 0, 4, 4));
         s.roh({0x21, 0xF9, 9, 0x09, 10, 0, 2, 0, 7, 7, 0});
         s.bild(bild(0, 0, 4, 4));
         return s.fertig();
       }, 1, std::vector<uint8_t>(16, 1)},
  };
}

TEST(GifFeindlich, EveryHostileFileGivesItsDefinedResult) {
  for (const Fall& f : faelle()) {
    SCOPED_TRACE(f.name);
    GifDatei g;
    ASSERT_EQ(g.parse(f.datei()), f.frames);
    if (f.frames == 0) {
      EXPECT_FALSE(g.decode(true));
      EXPECT_EQ(g.strip(), nullptr);
      continue;
    }
    ASSERT_TRUE(g.decode(true));
    ASSERT_TRUE(g.decode(false));
    for (int k = 1; k <= g.frameCount(); ++k) EXPECT_TRUE(g.frameDecoded(k));
    if (!f.frame1.empty()) {
      EXPECT_EQ(frameAusStreifen(g, 1), f.frame1);
    }
    if (f.pruefen) f.pruefen(g);
  }
}

// Every prefix of a small file: the frames whose descriptor is complete are
// there; a frame cut inside its data keeps a prefix of its pixels in file
// order and index 0 after it; nothing else changes.
TEST(GifFeindlich, EveryPrefixOfAFileKeepsWhatCameBeforeTheCut) {
  GifSchreiber s(12, 10, graurampe(16));
  s.schleife(3);
  std::vector<Bild> bilder;
  for (int i = 0; i < 3; ++i) {
    Bild b;
    b.width = 12 - i;
    b.height = 10 - 2 * i;
    b.codeGroesse = 4;
    b.indizes = zufallsIndizes(b.width, b.height, 4, static_cast<uint32_t>(i + 1));
    for (auto& x : b.indizes) x = static_cast<uint8_t>(x | 1);  // never 0: a cut shows
    if (i == 1) {
      b.lokal = graurampe(8);
      b.codeGroesse = 3;
      for (auto& x : b.indizes) x = static_cast<uint8_t>((x & 7) | 1);
    }
    s.bild(b);
    bilder.push_back(b);
  }
  const std::vector<uint8_t> datei = s.fertig();
  int vorige = 0;
  for (std::size_t n = 0; n <= datei.size(); ++n) {
    SCOPED_TRACE(n);
    GifDatei g;
    const int frames = g.parse(std::span(datei).first(n));
    ASSERT_GE(frames, vorige);
    ASSERT_LE(frames, 3);
    vorige = frames;
    if (frames == 0) continue;
    ASSERT_TRUE(g.decode(true) && g.decode(false));
    for (int k = 1; k <= frames; ++k) {
      const std::vector<uint8_t> ist = frameAusStreifen(g, k);
      const std::vector<uint8_t>& soll = bilder[static_cast<std::size_t>(k - 1)].indizes;
      std::size_t gleich = 0;
      while (gleich < ist.size() && ist[gleich] == soll[gleich]) ++gleich;
      for (std::size_t i = gleich; i < ist.size(); ++i) ASSERT_EQ(ist[i], 0) << "frame " << k << " pixel " << i;
      if (k < frames) {
        EXPECT_EQ(gleich, ist.size()) << "frame " << k;
      }
    }
  }
  EXPECT_EQ(vorige, 3);
}

}  // namespace
}  // namespace vrd4::gif::test
