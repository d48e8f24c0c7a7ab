// The parser's reading of the block structure: signature, looping extension,
// control extensions, canvas, colour tables, strip layout and decode phases.
#include <gtest/gtest.h>

#include <string>

#include "GifSchreiber.h"
#include "GifTestHilfe.h"

namespace vrd4::gif::test {
namespace {

Bild flach(int x, int y, int w, int h, uint8_t index) {
  Bild b;
  b.left = x;
  b.top = y;
  b.width = w;
  b.height = h;
  b.codeGroesse = 4;
  b.indizes.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), index);
  return b;
}

TEST(GifDatei, SignatureInAnyLetterCaseOfVersion87aOr89a) {
  const struct {
    const char* sig;
    int frames;
  } faelle[] = {{"GIF89a", 1}, {"GIF87a", 1}, {"gif89a", 1}, {"GiF87A", 1},
                {"GIF90a", 0}, {"JIF89a", 0}, {"GIF89", 0}};
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.sig);
    std::string sig = f.sig;
    sig.resize(6, ' ');
    GifSchreiber s(4, 4, graurampe(16), sig.c_str());
    s.bild(flach(0, 0, 4, 4, 3));
    GifDatei g;
    EXPECT_EQ(g.parse(s.fertig()), f.frames);
    EXPECT_EQ(g.frameCount(), f.frames);
  }
  GifDatei g;
  EXPECT_EQ(g.parse(std::vector<uint8_t>{'G', 'I', 'F'}), 0);
  EXPECT_EQ(g.parse({}), 0);
}

TEST(GifDatei, OnlyTheNetscapeExtensionSetsTheLoopCount) {
  const struct {
    const char* id;
    std::optional<int32_t> loops;
  } faelle[] = {{"NETSCAPE2.0", 5}, {"netscape2.0", 5}, {"ANIMEXTS1.0", std::nullopt}, {"", std::nullopt}};
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.id);
    GifSchreiber s(4, 4, graurampe(16));
    if (*f.id) s.schleife(5, f.id);
    s.bild(flach(0, 0, 4, 4, 3));
    s.bild(flach(0, 0, 4, 4, 2));
    GifDatei g;
    ASSERT_EQ(g.parse(s.fertig()), 2);
    EXPECT_EQ(g.loopCount(), f.loops);
  }
  // A looping extension whose sub-block is not 3 bytes long is skipped whole.
  GifSchreiber s(4, 4, graurampe(16));
  s.roh({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 2, 1, 9, 0});
  s.bild(flach(0, 0, 4, 4, 3));
  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 1);
  EXPECT_EQ(g.loopCount(), std::nullopt);
}

TEST(GifDatei, ControlExtensionsGiveDelayDisposalAndTransparency) {
  GifSchreiber s(8, 8, graurampe(16));
  // Frame 1: disposal 3 is stored as 0; a second extension replaces the first.
  s.gce(2, 7, uint8_t{9});
  s.kommentar("between the two");
  Bild b1 = flach(0, 0, 8, 8, 1);
  b1.disposal = 3;
  b1.delay = 4;
  s.bild(b1);
  Bild b2 = flach(0, 0, 8, 8, 2);
  b2.disposal = 3;
  b2.transparent = uint8_t{5};
  s.bild(b2);
  Bild b3 = flach(0, 0, 8, 8, 3);
  b3.gce = false;
  s.bild(b3);
  Bild b4 = flach(0, 0, 8, 8, 3);
  b4.disposal = 2;
  s.bild(b4);

  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 4);
  const auto& f = g.frames();
  EXPECT_EQ(f[0].disposal, 0);
  EXPECT_EQ(f[0].delay, 40);
  EXPECT_EQ(f[0].transparencyFlag, 0);
  EXPECT_EQ(f[1].disposal, 3);
  EXPECT_EQ(f[1].delay, 0);
  EXPECT_EQ(f[1].transparencyFlag, 1);
  EXPECT_EQ(f[1].transparentIndex, 5);
  EXPECT_EQ(f[2].disposal, 0);  // no extension: nothing carried over
  EXPECT_EQ(f[2].transparencyFlag, 0);
  EXPECT_EQ(f[3].disposal, 2);
  EXPECT_TRUE(g.anyTransparent());
  EXPECT_TRUE(g.anyDisposal2or3());
  EXPECT_FALSE(g.allDisposal2());
}

TEST(GifDatei, CanvasIsTheUnionOfFrameRectanglesAndTheStripTheirColumns) {
  GifSchreiber s(10, 10, graurampe(16));
  s.bild(flach(0, 0, 10, 10, 1));
  s.bild(flach(5, 20, 12, 4, 2));
  s.bild(flach(2, 3, 3, 6, 3));
  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 3);
  EXPECT_EQ(g.logicalWidth(), 10);
  EXPECT_EQ(g.logicalHeight(), 10);
  EXPECT_EQ(g.canvasWidth(), 17);
  EXPECT_EQ(g.canvasHeight(), 24);
  EXPECT_EQ(g.stripWidth(), 25);
  EXPECT_EQ(g.stripHeight(), 10);
  EXPECT_EQ(g.frames()[0].offset, 0);
  EXPECT_EQ(g.frames()[1].offset, 10);
  EXPECT_EQ(g.frames()[2].offset, 22);

  ASSERT_TRUE(g.decode(true));
  EXPECT_TRUE(g.frameDecoded(1));
  EXPECT_FALSE(g.frameDecoded(2));
  EXPECT_EQ(g.strip()[10], 0);  // frame 2 not yet decoded
  ASSERT_TRUE(g.decode(false));
  EXPECT_TRUE(g.frameDecoded(3));
  // Rows below a shorter frame stay index 0.
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 25; ++x) {
      const uint8_t erwartet = x < 10 ? 1 : x < 22 ? (y < 4 ? 2 : 0) : (y < 6 ? 3 : 0);
      ASSERT_EQ(g.strip()[y * 25 + x], erwartet) << x << "," << y;
    }
  }
}

TEST(GifDatei, ColourTablesAreKeptPerTableWithTheirSize) {
  GifSchreiber s(4, 4, Farben{0x112233, 0x445566});
  Bild b1 = flach(0, 0, 4, 4, 1);
  b1.codeGroesse = 2;
  s.bild(b1);
  Bild b2 = b1;
  b2.lokal = Farben{0xA0B0C0, 0x010203, 0xFFFFFF, 0x000001};
  s.bild(b2);
  s.bild(b1);
  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 3);
  EXPECT_TRUE(g.hasGlobalTable());
  EXPECT_EQ(g.localTableCount(), 1);
  EXPECT_EQ(g.frames()[0].colorTable, 0);
  EXPECT_EQ(g.frames()[1].colorTable, 1);
  EXPECT_EQ(g.frames()[2].colorTable, 0);
  EXPECT_EQ(g.colourTable(0)[1], 0x445566u);
  EXPECT_EQ(g.colourTable(0)[256], 2u);
  EXPECT_EQ(g.colourTable(1)[0], 0xA0B0C0u);
  EXPECT_EQ(g.colourTable(1)[2], 0xFFFFFFu);
  EXPECT_EQ(g.colourTable(1)[256], 4u);
  EXPECT_EQ(g.colourTable(2)[256], 0u);  // no such table: empty

  // Without a global table, an image with its own table loads and one
  // without any table ends the file as unusable.
  GifSchreiber ohne(4, 4, std::nullopt);
  ohne.bild(b2);
  EXPECT_EQ(g.parse(ohne.fertig()), 1);
  EXPECT_FALSE(g.hasGlobalTable());
  ohne.bild(b1);
  EXPECT_EQ(g.parse(ohne.fertig()), 0);
  EXPECT_EQ(g.frameCount(), 0);
  EXPECT_FALSE(g.decode(true));
}

TEST(GifDatei, AFileEndingEarlyKeepsTheFramesFoundBefore) {
  GifSchreiber s(6, 6, graurampe(16));
  s.bild(flach(0, 0, 6, 6, 1));
  s.bild(flach(0, 0, 6, 6, 2));
  const std::size_t vorDrittem = s.bytes.size();
  Bild b3 = flach(0, 0, 6, 6, 3);
  b3.gce = false;
  s.bild(b3);
  const std::vector<uint8_t> ohneTrailer = s.bytes;

  GifDatei g;
  EXPECT_EQ(g.parse(ohneTrailer), 3);
  // Inside the image descriptor: "End of File", two frames.
  EXPECT_EQ(g.parse(std::span(ohneTrailer).first(vorDrittem + 5)), 2);
  // Inside the image data: the frame counts, decoded as far as its data goes.
  EXPECT_EQ(g.parse(std::span(ohneTrailer).first(vorDrittem + 13)), 3);
  ASSERT_TRUE(g.decode(true) && g.decode(false));
  EXPECT_EQ(frameAusStreifen(g, 2), std::vector<uint8_t>(36, 2));
  const std::vector<uint8_t> f3 = frameAusStreifen(g, 3);
  EXPECT_EQ(f3.back(), 0);
}

TEST(GifDatei, LoadingAgainReplacesAndClearEmpties) {
  GifSchreiber s(6, 6, graurampe(16));
  s.schleife(2);
  s.bild(flach(0, 0, 6, 6, 1));
  s.bild(flach(0, 0, 6, 6, 2));
  GifSchreiber t(3, 2, graurampe(16));
  t.bild(flach(0, 0, 3, 2, 4));
  GifDatei g;
  ASSERT_EQ(g.parse(s.fertig()), 2);
  ASSERT_TRUE(g.decode(true) && g.decode(false));
  ASSERT_EQ(g.parse(t.fertig()), 1);
  EXPECT_EQ(g.loopCount(), std::nullopt);
  EXPECT_FALSE(g.frameDecoded(1));
  ASSERT_TRUE(g.decode(true));
  EXPECT_EQ(frameAusStreifen(g, 1), std::vector<uint8_t>(6, 4));
  g.clear();
  EXPECT_EQ(g.frameCount(), 0);
  EXPECT_EQ(g.strip(), nullptr);
  EXPECT_EQ(g.canvasWidth(), 0);
  EXPECT_FALSE(g.decode(false));
}

}  // namespace
}  // namespace vrd4::gif::test
