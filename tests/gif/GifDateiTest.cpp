// The parser's reading of the looping and control extensions, and hostile
// files: each gives a defined result within bounded memory and time.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "GifSchreiber.h"

namespace vrd4::gif::test {
namespace {

// Only the looping extension sets the loop count, in any letter case; one
// whose sub-block is not 3 bytes long is skipped whole.
TEST(GifDatei, OnlyTheNetscapeExtensionSetsTheLoopCount) {
  const struct {
    const char* id;
    std::vector<uint8_t> block;
    std::optional<int32_t> loops;
  } faelle[] = {{"NETSCAPE2.0", {3, 1, 5, 0, 0}, 5}, {"netscape2.0", {3, 1, 5, 0, 0}, 5},
                {"ANIMEXTS1.0", {3, 1, 5, 0, 0}, std::nullopt}, {"NETSCAPE2.0", {2, 1, 9, 0}, std::nullopt}};
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.id);
    GifSchreiber s(4, 4, graurampe(16));
    s.roh({0x21, 0xFF, 11});
    for (const char* c = f.id; *c; ++c) s.bytes.push_back(uint8_t(*c));
    s.bytes.insert(s.bytes.end(), f.block.begin(), f.block.end());
    s.bild(flach(0, 0, 4, 4, 3));
    GifDatei g;
    ASSERT_EQ(g.parse(s.fertig()), 1);
    EXPECT_EQ(g.loopCount(), f.loops);
  }
}

TEST(GifDatei, ControlExtensionsGiveDelayDisposalAndTransparency) {
  GifSchreiber s(8, 8, graurampe(16));
  // Frame 1: disposal 3 is stored as 0; a second extension replaces the first.
  s.gce(2, 7, uint8_t{9});
  s.roh({0x21, 0xFE, 1, '#', 0});  // a comment between the two
  Bild b = flach(0, 0, 8, 8, 1);
  b.disposal = 3, b.delay = 4;
  s.bild(b);
  b.delay = 0, b.transparent = uint8_t{5};
  s.bild(b);
  b.gce = false;  // no extension: nothing carried over
  s.bild(b);
  b.gce = true, b.disposal = 2, b.transparent = std::nullopt;
  s.bild(b);

  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 4);
  const std::vector<std::vector<int>> soll = {{0, 40, 0, 0}, {3, 0, 1, 5}, {0, 0, 0, 0}, {2, 0, 0, 0}};
  for (std::size_t i = 0; i < 4; ++i) {
    const FrameInfo& f = g.frames()[i];
    EXPECT_EQ((std::vector<int>{f.disposal, f.delay, f.transparencyFlag, f.transparentIndex}), soll[i]) << i;
  }
  EXPECT_TRUE(g.anyTransparent());
  EXPECT_TRUE(g.anyDisposal2or3());
  EXPECT_FALSE(g.allDisposal2());
}

// Image data given as codes, with the widths a decoder reads them at.
std::vector<uint8_t> roheCodes(std::initializer_list<uint32_t> codes) {
  Codes k(2);
  for (uint32_t c : codes) k(c);
  return k.fertig();
}

// A 4 × 2 frame with raw LZW data and the given code-size byte.
std::vector<uint8_t> mitDaten(const std::vector<uint8_t>& daten, uint8_t codeGroesse = 2) {
  GifSchreiber s(4, 2, graurampe(4));
  s.roh({0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0, codeGroesse});
  unterbloecke(s.bytes, daten);
  return s.fertig();
}

// Flat images on a 4 × 4 screen (or the size and signature given) with four grey levels.
std::vector<uint8_t> datei(std::initializer_list<Bild> bilder, int logB = 4, int logH = 4, const char* sig = "GIF89a") {
  GifSchreiber s(logB, logH, graurampe(4), sig);
  for (const Bild& b : bilder) s.bild(b);
  return s.fertig();
}

std::vector<uint8_t> vieleFrames(int n) {
  GifSchreiber s(1, 1, graurampe(4));
  for (int i = 0; i < n; ++i) s.bild(flach(0, 0, 1, 1));
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
  const std::vector<uint8_t> null8(8, 0), eins16(16, 1);
  // 16000 full sub-blocks of `fuell`, never a terminator.
  const auto endlos = [](std::vector<uint8_t> b, uint8_t fuell) {
    for (int i = 0; i < 16000; ++i) {
      b.push_back(255);
      b.insert(b.end(), 255, fuell);
    }
    return b;
  };
  return {
      {"SignatureInAnyLetterCase", [] { return datei({flach(0, 0, 4, 4)}, 4, 4, "gIf87A"); }, 1, eins16},
      {"UnknownVersionIsRefused", [] { return datei({flach(0, 0, 4, 4)}, 4, 4, "GIF90a"); }, 0},
      {"CodeBeyondTheTableStopsTheFrame", [=] { return mitDaten(roheCodes({c, 1, 2, 6, 9, 3, e})); }, 1,
       {1, 2, 1, 2, 0, 0, 0, 0}},
      {"StringBeingDefinedIsValid", [=] { return mitDaten(roheCodes({c, 1, 2, 7, 3, e})); }, 1,
       {1, 2, 2, 2, 3, 0, 0, 0}},
      {"StringCodeRightAfterClearStopsTheFrame", [=] { return mitDaten(roheCodes({c, 1, c, 6, 2, e})); }, 1,
       {1, 0, 0, 0, 0, 0, 0, 0}},
      {"DataEndingBeforeTheFrameKeepsThePrefix", [=] { return mitDaten(roheCodes({c, 3, 2, 1})); }, 1,
       {3, 2, 1, 0, 0, 0, 0, 0}},
      {"EndCodeFirstLeavesIndexZero", [=] { return mitDaten(roheCodes({e, 1, 1, 1})); }, 1, null8},
      {"NoDataSubBlocksAtAll", [] { return mitDaten({}); }, 1, null8},
      {"CodesAfterAFullFrameAreIgnored",
       [=] { return mitDaten(roheCodes({c, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 7, 7})); }, 1,
       {1, 1, 1, 1, 2, 2, 2, 2}},
      {"CodeSizeTwelveLeavesIndexZero", [=] { return mitDaten(roheCodes({c, 1, 1, e}), 12); }, 1, null8},
      {"OnlyAFrameOfHeightZeroIsNoPicture",
       [] {
         GifSchreiber s(4, 4, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 4, 0, 0, 0, 0, 2, 2, 0x4C, 0x01, 0});
         return s.fertig();
       },
       0},
      {"CanvasSideAtTheLimitLoads", [] { return datei({flach(kMaxSeite - 2, 0, 2, 1)}); }, 1, {1, 1}},
      {"CanvasSideOneBeyondTheLimitIsRefused", [] { return datei({flach(kMaxSeite - 1, 0, 2, 1)}); }, 0},
      {"ManyLargeFramesLoadWithoutDecoding",
       [] {
         // 17 frames of 4096 × 1024 (claimed; the data is tiny): 68 Mpx in all.
         GifSchreiber s(4096, 1024, graurampe(4));
         for (int i = 0; i < 17; ++i) s.roh({0x2C, 0, 0, 0, 0, 0, 0x10, 0, 0x04, 0, 2, 1, 0x04, 0});
         return s.fertig();
       },
       17},
      {"FrameBeyondTheLimitIsRefused",
       [] {
         GifSchreiber s(8192, 8200, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 0, 0x20, 0x08, 0x20, 0, 2, 1, 0x04, 0});
         return s.fertig();
       },
       0},
      {"HugeLogicalScreenWithASmallFrameLoads", [] { return datei({flach(0, 0, 2, 2, 3)}, 65535, 65535); }, 1,
       {3, 3, 3, 3},
       [](const GifDatei& g) {
         EXPECT_EQ(g.logicalWidth(), 65535);
         EXPECT_EQ(g.canvasWidth(), 2);
       }},
      {"TenThousandTinyFramesLoad", [] { return vieleFrames(kMaxFrames); }, kMaxFrames, {1}},
      {"OneFrameMoreIsRefused", [] { return vieleFrames(kMaxFrames + 1); }, 0},
      {"EndlessSubBlockChainInImageData",
       [=] {
         GifSchreiber s(64, 64, graurampe(4));
         s.roh({0x2C, 0, 0, 0, 0, 64, 0, 64, 0, 0, 2});
         return endlos(s.bytes, 0x49);
       },
       1},
      {"ControlExtensionWithWrongBlockSizeEndsTheFile", [] {
         // The terminator is looked for 7 bytes after the 0x21; what follows
         // it is not a block, so the file ends there.
         GifSchreiber s(4, 4, graurampe(4));
         s.bild(flach(0, 0, 4, 4));
         s.roh({0x21, 0xF9, 9, 0x09, 10, 0, 2, 0, 7, 7, 0});
         s.bild(flach(0, 0, 4, 4));
         return s.fertig();
       }, 1, eins16},
  };
}

TEST(GifFeindlich, EveryHostileFileGivesItsDefinedResult) {
  for (const Fall& f : faelle()) {
    SCOPED_TRACE(f.name);
    GifDatei g;
    ASSERT_EQ(g.parse(f.datei()), f.frames);
    std::vector<uint8_t> indizes;
    EXPECT_FALSE(g.frameDekodieren(f.frames + 1, indizes));
    if (f.frames == 0) continue;
    for (int k = 1; k <= std::min(g.frameCount(), 3); ++k) {
      ASSERT_TRUE(g.frameDekodieren(k, indizes));
      const FrameInfo& fi = g.frames()[std::size_t(k - 1)];
      EXPECT_EQ(indizes.size(), std::size_t(fi.width) * std::size_t(fi.height));
    }
    if (!f.frame1.empty()) {
      EXPECT_EQ(frameIndizes(g, 1), f.frame1);
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
    const int bits = i == 1 ? 3 : 4;  // frame 2 with a local table of 8
    Bild b{.width = 12 - i, .height = 10 - 2 * i, .indizes = zufallsIndizes(12 - i, 10 - 2 * i, bits, uint32_t(i + 1)),
           .codeGroesse = bits, .lokal = i == 1 ? std::optional(graurampe(8)) : std::nullopt};
    for (auto& x : b.indizes) x = static_cast<uint8_t>(x | 1);  // never 0: a cut shows
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
    for (int k = 1; k <= frames; ++k) {
      const std::vector<uint8_t> ist = frameIndizes(g, k);
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
