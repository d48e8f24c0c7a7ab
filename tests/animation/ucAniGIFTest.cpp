// The GIF control on a clock moved by hand: timing, loops and the composed
// pixels (disposal, transparency).
#include <gmock/gmock.h>

#include <QGuiApplication>
#include <random>

#include "platform/Clock.h"
#include "platform/SurfacePrivate.h"
#include "render/ucAniGIF.h"
#include "tests/TestHilfe.h"
#include "tests/gif/GifSchreiber.h"

namespace vrd4::render {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using gif::test::Bild;
using gif::test::einfarbigeFrames;
using gif::test::GifSchreiber;

::testing::Environment* const umgebung = ::testing::AddGlobalTestEnvironment(new test::Anwendung<QGuiApplication>);

constexpr QRgb kRot = 0xFFFF0000, kGruen = 0xFF00FF00, kBlau = 0xFF0000FF;

class GifControl : public ::testing::Test, public platform::Clock {
 protected:
  double seconds() const override { return t; }
  void SetUp() override {
    ctl.FrameChanged = [this](int32_t f) { frames.push_back(f); };
    ctl.LoopsEnded = [this] { ++loopsEnded; };
  }
  bool laden(const std::vector<uint8_t>& b, int w, int h) {
    ctl.move(0, 0, w, h);
    const bool ok = ctl.LoadAnimatedGIF_Array(b);
    frames.clear();
    return ok;
  }
  // Moves the clock in polling steps of 10 ms up to `bis` seconds after 0.
  void bis(double sekunden) {
    while (t + 0.005 < sekunden) {
      t += 0.01;
      ctl.takt();
    }
  }
  QRgb pixel(int x, int y) { return ctl.surface().image().pixel(x, y); }

  double t = 0.0;
  platform::Surface board{200, 100};
  ucAniGIF ctl{board, *this};
  std::vector<int32_t> frames;
  int loopsEnded = 0;
};

TEST_F(GifControl, OneFrameGifShowsButNeverPlays) {
  ASSERT_TRUE(laden(einfarbigeFrames(4, 4, 1), 4, 4));
  ctl.setAction(1);
  EXPECT_EQ(ctl.Action(), 0);
  bis(1.0);
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(pixel(3, 3), kRot);
  EXPECT_FALSE(ctl.brauchtTakt()) << "a still picture needs no ticks";
}

TEST_F(GifControl, TheFilesLoopCountPlaysThreePassesEndsOnFrameOneAndReportsOnce) {
  ctl.setDelayAnimation(0);  // decoded and playing at once
  ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 3, 10, 3), 2, 2));
  EXPECT_EQ(ctl.Action(), 1);
  EXPECT_TRUE(ctl.brauchtTakt());
  EXPECT_EQ(ctl.Loops(), 3) << "the file's own count";
  bis(0.95);
  EXPECT_THAT(frames, ElementsAre(2, 3, 1, 2, 3, 1, 2, 3, 1));
  EXPECT_EQ(loopsEnded, 1);
  EXPECT_EQ(ctl.Action(), 0);
  EXPECT_FALSE(ctl.brauchtTakt()) << "ended: nothing more to tick";
  EXPECT_EQ(ctl.aktuellesFrame(), 1);
  EXPECT_EQ(ctl.LoopsRemaining(), 3) << "loops done start again from 0";
  bis(3.0);
  EXPECT_EQ(frames.size(), 9u) << "nothing after the end";
  ctl.setLoops(0);
  ctl.setAction(1);
  bis(10.0);
  EXPECT_EQ(ctl.LoopsRemaining(), 0);
  EXPECT_EQ(ctl.Action(), 1) << "Loops 0 plays forever";
}

TEST_F(GifControl, FrameDelaysBelowTheMinimumPlayAsTheMinimum) {
  // Own delay in hundredths, the minimum in ms, and the seconds until frame 2.
  for (const auto& [name, hundertstel, minimum, erstesFrame] :
       {std::tuple{"a longer own delay stays", 20, 50, 0.20}, std::tuple{"10 ms plays as the minimum", 1, 120, 0.12}}) {
    SCOPED_TRACE(name);
    t = 0;
    ctl.setMinFrameDelay(minimum);
    ctl.setDelayAnimation(0);
    ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 2, hundertstel), 2, 2));
    bis(erstesFrame - 0.01);
    EXPECT_TRUE(frames.empty());
    bis(erstesFrame);
    EXPECT_THAT(frames, ElementsAre(2));
    bis(2 * erstesFrame);
    EXPECT_THAT(frames, ElementsAre(2, 1)) << "each frame stays its own time";
  }
}

// Two frames over a 4 × 1 canvas: frame 1 red everywhere, frame 2 covers
// pixels 1 and 2 with green, pixel 2 transparent. After frame 2 comes
// frame 1 again (drawn over what the disposal of frame 2 left). The same
// GIF magnified 256 times (a canvas of 1024 × 256, composed on the worker
// with the shown pixels only) gives the same pixels, also when the control
// doubles its size or mirrors after frame 3 (the canvas composed anew).
TEST_F(GifControl, ComposedPixelsFollowDisposalAndTransparency) {
  const QRgb grau = 0xFF808080;
  struct Fall {
    const char* name;
    int disposal2;
    std::vector<QRgb> nachFrame3;  // frame 3: one blue pixel at 3
  } faelle[] = {
      {"disposal 1 keeps the frame", 1, {kRot, kGruen, kRot, kBlau}},
      {"disposal 2 clears its area to see-through", 2, {kRot, grau, grau, kBlau}},
      {"disposal 3 restores what was before", 3, {kRot, kRot, kRot, kBlau}},
  };
  const auto zeile = [&](int n = 4) {
    ctl.Refresh();  // waits for the worker
    std::vector<QRgb> z;
    for (int x = 0; x < n; ++x) z.push_back(pixel(x, 0));
    return z;
  };
  for (const Fall& f : faelle) {
    for (const int g : {1, 256}) {
      SCOPED_TRACE(testing::Message() << f.name << ", magnified " << g);
      const auto bild = [g](int left, std::vector<uint8_t> idx, int disposal = 0, std::optional<uint8_t> tr = {}) {
        Bild b{.left = left * g, .width = int(idx.size()) * g, .height = g, .codeGroesse = 2, .delay = 10,
               .disposal = disposal, .transparent = tr};
        for (int y = 0; y < g; ++y)
          for (uint8_t i : idx) b.indizes.insert(b.indizes.end(), size_t(g), i);
        return b;
      };
      GifSchreiber gs(4 * g, g, gif::test::Farben{0xFF0000, 0x00FF00, 0x0000FF, 0});
      gs.bild(bild(0, {0, 0, 0, 0}));
      gs.bild(bild(1, {1, 3}, f.disposal2, 3));
      gs.bild(bild(3, {2}));
      ctl.surface().setBackColor(0x808080);
      ctl.setDelayAnimation(2);
      ASSERT_TRUE(laden(gs.fertig(), 4, 1));
      ctl.setMirrored(0);
      ctl.setAction(3);
      EXPECT_THAT(zeile(), ElementsAre(kRot, kGruen, kRot, kRot));
      ctl.setAction(3);
      EXPECT_THAT(zeile(), ElementsAreArray(f.nachFrame3));
      ctl.move(0, 0, 8, 2);
      const auto& n3 = f.nachFrame3;
      EXPECT_THAT(zeile(8), ElementsAre(n3[0], n3[0], n3[1], n3[1], n3[2], n3[2], n3[3], n3[3]));
      ctl.setMirrored(1);
      EXPECT_THAT(zeile(8), ElementsAre(n3[3], n3[3], n3[2], n3[2], n3[1], n3[1], n3[0], n3[0]));
      ctl.setAction(3);  // frame 1 again covers everything
      EXPECT_THAT(zeile(), ElementsAre(kRot, kRot, kRot, kRot));
    }
  }
}

// A logo with a transparent background over a coloured board: the board
// shows where the GIF is transparent or a disposal 2 cleared it, not the
// control's back colour. A 2 × 1 GIF in a 2 × 1 control at the board's corner.
TEST_F(GifControl, TransparentPixelsAndDisposal2ShowTheBoardBeneath) {
  const QRgb gelb = 0xFFFFFF00;
  const gif::test::Farben farben{0xFF0000, 0x00FF00, 0x0000FF, 0};
  GifSchreiber einBild(2, 1, farben);
  einBild.bild(Bild{.width = 2, .indizes = {0, 3}, .codeGroesse = 2, .transparent = 3});
  // The same magnified 512 times: decoded on the worker, the shown pixels kept.
  GifSchreiber gross(1024, 512, farben);
  Bild g{.width = 1024, .height = 512, .codeGroesse = 2, .transparent = 3};
  for (int y = 0; y < 512; ++y)
    for (uint8_t i : {0, 3}) g.indizes.insert(g.indizes.end(), 512, i);
  gross.bild(g);
  GifSchreiber zwei(2, 1, farben);
  zwei.bild(Bild{.width = 2, .indizes = {0, 3}, .codeGroesse = 2, .delay = 10, .disposal = 2, .transparent = 3});
  zwei.bild(Bild{.left = 1, .indizes = {1}, .codeGroesse = 2, .delay = 10});
  struct Fall {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<QRgb> frame1, frame2;
  } faelle[] = {
      {"one frame: its transparent index", einBild.fertig(), {kRot, gelb}, {kRot, gelb}},
      {"one large frame", gross.fertig(), {kRot, gelb}, {kRot, gelb}},
      {"two frames: transparency, then what disposal 2 cleared", zwei.fertig(), {kRot, gelb}, {gelb, kGruen}},
  };
  board.setBackColor(0x00FFFF);
  ctl.surface().setBackColor(0x808080);
  ctl.setVisible(true);
  ctl.setDelayAnimation(2);
  const auto zeile = [&] {
    ctl.Refresh();  // waits for the worker
    const QImage schirm = board.presented();
    return std::vector<QRgb>{schirm.pixel(0, 0), schirm.pixel(1, 0)};
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    ASSERT_TRUE(laden(f.bytes, 2, 1));
    EXPECT_THAT(zeile(), ElementsAreArray(f.frame1));
    ctl.setAction(3);
    EXPECT_THAT(zeile(), ElementsAreArray(f.frame2));
  }
}

// A small GIF keeps its shown frames and shows them again when they come in
// order. Random GIFs (frames of any place, disposal and transparency),
// played, stepped, stopped, restarted, mirrored and resized at random, show
// after every step what a control without room for kept frames shows.
TEST_F(GifControl, KeptFramesShowWhatComposingShows) {
  std::mt19937 rng(7);
  const auto z = [&](int n) { return int(rng() % uint32_t(n)); };
  platform::Surface board2{200, 100};
  ucAniGIF ref{board2, *this};
  for (ucAniGIF* c : {&ctl, &ref}) c->setVisible(true);
  for (int gifNr = 0; gifNr < 40; ++gifNr) {
    GifSchreiber gs(6, 4, gif::test::Farben{0xFF0000, 0x00FF00, 0x0000FF, 0x000000});
    for (int k = 0, n = 2 + z(4); k < n; ++k) {
      const bool ganz = z(3) == 0;
      Bild b{.left = ganz ? 0 : z(5), .top = ganz ? 0 : z(3), .width = ganz ? 6 : 1 + z(5), .height = ganz ? 4 : 1 + z(3),
             .codeGroesse = 2, .delay = 10, .disposal = z(4), .transparent = z(2) ? std::optional<uint8_t>(3) : std::nullopt};
      for (int i = 0; i < b.width * b.height; ++i) b.indizes.push_back(uint8_t(z(4)));
      gs.bild(b);
    }
    const auto bytes = gs.fertig();
    ASSERT_TRUE(laden(bytes, 12, 8));
    ref.move(0, 0, 12, 8);
    ref.setSpeicherGrenze(ctl.Speicherbedarf() - 1);
    ASSERT_TRUE(ref.LoadAnimatedGIF_Array(bytes));
    ASSERT_LT(ref.Speicherbedarf(), ctl.Speicherbedarf()) << "only ctl keeps frames";
    for (int schritt = 0; schritt < 120; ++schritt) {
      const int a = z(24), m = z(4), w = 6 + z(12);
      const double t0 = t;
      for (ucAniGIF* c : {&ctl, &ref}) {
        t = t0;  // both see the same times
        if (a < 5) c->setAction(a);
        else if (a == 5) c->setMirrored(m);
        else if (a == 6) c->move(0, 0, w, w);
        else for (int i = 0; i < 30; ++i) t += 0.01, c->takt();
      }
      ASSERT_EQ(board.presented(), board2.presented()) << "GIF " << gifNr << ", step " << schritt;
    }
  }
}

// A canvas of a quarter megapixel or more is composed on a worker thread; every
// caller but the tick waits for it, so the frames still come in order.
TEST_F(GifControl, ALargeCanvasIsComposedOnTheWorkerInFrameOrder) {
  ctl.setDelayAnimation(2);
  ASSERT_TRUE(laden(einfarbigeFrames(1024, 1024, 3), 4, 4));
  ctl.setAction(3);
  ctl.setAction(3);
  EXPECT_TRUE(ctl.brauchtTakt()) << "a frame on the worker is drawn by a tick";
  ctl.Refresh();
  EXPECT_FALSE(ctl.brauchtTakt());
  EXPECT_EQ(pixel(3, 3), kBlau);
  EXPECT_THAT(frames, ElementsAre(3)) << "frames replaced before they were done are not shown";
}

// The board recomposes only what changed: after every step of a long random
// mix of drawings, moves, hidings, masks and GIF frames it shows exactly what
// a composition from scratch shows.
TEST_F(GifControl, DamageTrackedBoardEqualsAFullCompositionAfterEveryStep) {
  platform::Surface deckel{60, 40}, innen{20, 20};
  deckel.setParentSurface(&board);
  innen.setParentSurface(&deckel);
  ctl.setDelayAnimation(0);
  ASSERT_TRUE(laden(einfarbigeFrames(8, 8, 3, 5), 50, 30));
  ctl.setVisible(true);
  std::mt19937 rng(19);
  const auto z = [&](int n) { return int(rng() % uint32_t(n)); };
  for (int schritt = 0; schritt < 3000; ++schritt) {
    platform::Surface& s = z(3) == 0 ? board : z(2) ? deckel : innen;
    const platform::Colour c = rng() & 0xFFFFFF;
    switch (z(11)) {
      case 0: s.line(z(240) - 20, z(140) - 20, z(240) - 20, z(140) - 20, c); break;
      case 1: s.setDrawWidth(1 + z(5)), s.box(z(200), z(100), z(200), z(100), c); break;
      case 2: s.filledBox(z(220) - 10, z(120) - 10, z(220) - 10, z(120) - 10, c); break;
      case 3: s.setCurrentX(z(200)), s.setCurrentY(z(100)), s.print(QStringLiteral("Tor!")); break;
      case 4: (z(2) ? deckel : innen).move(z(220) - 40, z(120) - 40); break;
      case 5: (z(2) ? deckel : innen).setVisible(z(4) != 0); break;
      case 6: deckel.setBackStyle(z(2)), deckel.makeImageMaskPicture(); break;
      case 7: (z(2) ? deckel : innen).resize(1 + z(80), 1 + z(60)); break;
      case 8: if (z(20) == 0) s.setBackColor(c); break;
      case 9: ctl.move(z(200) - 20, z(100) - 20, 1 + z(90), 1 + z(60)); break;
      default: bis(t + 0.05); break;
    }
    if (z(4) == 0) continue;  // changes pile up between presentations, too
    ASSERT_EQ(board.presented(), platform::composedFromScratch(board)) << "step " << schritt;
  }
}

}  // namespace
}  // namespace vrd4::render

