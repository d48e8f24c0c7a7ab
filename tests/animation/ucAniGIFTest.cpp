// The GIF control on a clock moved by hand: timing, loops, actions, the
// composed pixels (disposal, transparency, stretch, mirror) and loading.
#include <gmock/gmock.h>

#include <QFile>
#include <QGuiApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "platform/Clock.h"
#include "platform/Surface.h"
#include "render/ucAniGIF.h"
#include "tests/gif/GifSchreiber.h"

namespace vrd4::render {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using gif::test::Bild;
using gif::test::einfarbigeFrames;
using gif::test::GifSchreiber;

struct Umgebung final : ::testing::Environment {
  void SetUp() override { app = std::make_unique<QGuiApplication>(argc, argv); }
  void TearDown() override { app.reset(); }
  int argc = 1;
  char name[16] = "animation_tests", *argv[2] = {name, nullptr};
  std::unique_ptr<QGuiApplication> app;
};
::testing::Environment* const umgebung = ::testing::AddGlobalTestEnvironment(new Umgebung);

constexpr QRgb kRot = 0xFFFF0000, kGruen = 0xFF00FF00, kBlau = 0xFF0000FF, kSchwarz = 0xFF000000;

// Writes `b` to `pfad`; returns the path.
QString schreibeDatei(const QString& pfad, const std::vector<uint8_t>& b) {
  QFile f(pfad);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(reinterpret_cast<const char*>(b.data()), qint64(b.size()));
  return pfad;
}

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
  ctl.setLoops(3);
  ASSERT_TRUE(laden(einfarbigeFrames(4, 4, 1), 4, 4));
  ctl.setAction(1);
  EXPECT_EQ(ctl.Action(), 0);
  bis(1.0);
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(ctl.LoopsRemaining(), 3);
  EXPECT_EQ(ctl.FrameCount(), 1);
  EXPECT_EQ(pixel(3, 3), kRot);
}

TEST_F(GifControl, TheFilesLoopCountPlaysThreePassesEndsOnFrameOneAndReportsOnce) {
  ctl.setDelayAnimation(0);  // decoded and playing at once
  GifSchreiber g(2, 2, gif::test::Farben{0xFF0000, 0x00FF00, 0x0000FF, 0});
  g.schleife(3);
  for (uint8_t k = 0; k < 3; ++k) {
    Bild b = gif::test::flach(0, 0, 2, 2, k);
    b.delay = 10;
    g.bild(b);
  }
  ASSERT_TRUE(laden(g.fertig(), 2, 2));
  EXPECT_EQ(ctl.Action(), 1);
  EXPECT_EQ(ctl.Loops(), 3) << "the file's own count";
  bis(0.95);
  EXPECT_THAT(frames, ElementsAre(2, 3, 1, 2, 3, 1, 2, 3, 1));
  EXPECT_EQ(loopsEnded, 1);
  EXPECT_EQ(ctl.Action(), 0);
  EXPECT_EQ(ctl.aktuellesFrame(), 1);
  EXPECT_EQ(ctl.LoopsRemaining(), 3) << "loops done start again from 0";
  bis(3.0);
  EXPECT_EQ(frames.size(), 9u) << "nothing after the end";

  ctl.setLoops(-2);
  EXPECT_EQ(ctl.Loops(), 2);
  ctl.setLoops(0);
  ctl.setAction(1);
  bis(10.0);
  EXPECT_EQ(ctl.LoopsRemaining(), 0);
  EXPECT_EQ(ctl.Action(), 1) << "Loops 0 plays forever";
}

TEST_F(GifControl, FrameDelaysBelowTheMinimumPlayAsTheMinimum) {
  struct Fall {
    const char* name;
    int delayHundertstel, minFrameDelay;
    double erstesFrame;  // seconds until frame 2
  } faelle[] = {
      {"10 ms plays as the default 50 ms", 1, 50, 0.05},
      {"0 ms plays as 50 ms", 0, 50, 0.05},
      {"a longer own delay stays", 20, 50, 0.20},
      {"a raised minimum", 1, 120, 0.12},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    t = 0;
    ctl.setMinFrameDelay(f.minFrameDelay);
    ctl.setDelayAnimation(0);
    ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 2, f.delayHundertstel), 2, 2));
    bis(f.erstesFrame - 0.01);
    EXPECT_TRUE(frames.empty());
    bis(f.erstesFrame);
    EXPECT_THAT(frames, ElementsAre(2));
    bis(2 * f.erstesFrame);
    EXPECT_THAT(frames, ElementsAre(2, 1)) << "each frame stays its own time";
  }
}

TEST_F(GifControl, DeferredDecodingTakes20MsAndBit1KeepsItFromPlaying) {
  ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 3), 2, 2));  // DelayAnimation 1
  EXPECT_EQ(ctl.Action(), 0);
  bis(0.01);
  EXPECT_EQ(ctl.Action(), 0);
  bis(0.02);
  EXPECT_EQ(ctl.Action(), 1) << "frames 2..n decoded 20 ms after loading, then playing";

  ctl.setDelayAnimation(3);
  ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 3), 2, 2));
  bis(1.0);
  EXPECT_EQ(ctl.Action(), 0);
  EXPECT_TRUE(frames.empty());
  ctl.setAction(3);  // a step decodes what it needs
  EXPECT_EQ(pixel(0, 0), kGruen);
}

TEST_F(GifControl, ActionsStepStopPauseRestartAndIgnoredValues) {
  ctl.setDelayAnimation(2);
  ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 3), 2, 2));
  ctl.setAction(3);
  ctl.setAction(3);
  EXPECT_EQ(ctl.aktuellesFrame(), 3);
  ctl.setAction(3);
  EXPECT_EQ(ctl.aktuellesFrame(), 1) << "a step from the last frame shows frame 1";
  EXPECT_EQ(ctl.Action(), 2) << "and leaves the control paused";
  EXPECT_EQ(pixel(1, 1), kRot);

  ctl.setAction(1);
  bis(0.10);
  EXPECT_EQ(ctl.aktuellesFrame(), 2);
  ctl.setAction(2);
  bis(1.0);
  EXPECT_EQ(ctl.aktuellesFrame(), 2) << "paused";
  ctl.setAction(4);
  EXPECT_EQ(ctl.aktuellesFrame(), 1);
  EXPECT_EQ(ctl.Action(), 1) << "restart plays from frame 1";
  ctl.setAction(0);
  EXPECT_EQ(ctl.Action(), 0);
  ctl.setAction(2);
  EXPECT_EQ(ctl.Action(), 0) << "pausing a stopped control changes nothing";

  for (int a : {5, -1}) ctl.setAction(a);
  ctl.setStretch(5);
  ctl.setStretch(-1);
  ctl.setMirrored(4);
  ctl.setDelayAnimation(4);
  EXPECT_EQ(ctl.Action(), 0);
  EXPECT_EQ(ctl.Stretch(), 1);
  EXPECT_EQ(ctl.Mirrored(), 0);
  EXPECT_EQ(ctl.DelayAnimation(), 2);
}

TEST_F(GifControl, HidingPausesAndShowingResumes) {
  ctl.setDelayAnimation(0);
  ctl.setVisible(true);
  ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 3), 2, 2));
  bis(0.10);
  ctl.setVisible(false);
  EXPECT_EQ(ctl.Action(), 2);
  bis(1.0);
  EXPECT_THAT(frames, ElementsAre(2));
  ctl.setVisible(true);
  EXPECT_EQ(ctl.Action(), 1);
  bis(1.10);
  EXPECT_THAT(frames, ElementsAre(2, 3));
}

// Two frames over a 4 × 1 canvas: frame 1 red everywhere, frame 2 covers
// pixels 1 and 2 with green, pixel 2 transparent. After frame 2 comes
// frame 1 again (drawn over what the disposal of frame 2 left).
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
  const auto zeile = [&] { return std::vector<QRgb>{pixel(0, 0), pixel(1, 0), pixel(2, 0), pixel(3, 0)}; };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    GifSchreiber g(4, 1, gif::test::Farben{0xFF0000, 0x00FF00, 0x0000FF, 0});
    g.bild(Bild{.width = 4, .indizes = {0, 0, 0, 0}, .codeGroesse = 2, .delay = 10});
    g.bild(Bild{.left = 1, .width = 2, .indizes = {1, 3}, .codeGroesse = 2, .delay = 10,
                .disposal = f.disposal2, .transparent = 3});
    g.bild(Bild{.left = 3, .indizes = {2}, .codeGroesse = 2, .delay = 10});
    ctl.surface().setBackColor(0x808080);
    ctl.setDelayAnimation(2);
    ASSERT_TRUE(laden(g.fertig(), 4, 1));
    ctl.setAction(3);
    EXPECT_THAT(zeile(), ElementsAre(kRot, kGruen, kRot, kRot));
    ctl.setAction(3);
    EXPECT_THAT(zeile(), ElementsAreArray(f.nachFrame3));
    ctl.setAction(3);  // frame 1 again covers everything
    EXPECT_THAT(zeile(), ElementsAre(kRot, kRot, kRot, kRot));
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
  GifSchreiber zwei(2, 1, farben);
  zwei.bild(Bild{.width = 2, .indizes = {0, 3}, .codeGroesse = 2, .delay = 10, .disposal = 2, .transparent = 3});
  zwei.bild(Bild{.left = 1, .indizes = {1}, .codeGroesse = 2, .delay = 10});
  struct Fall {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<QRgb> frame1, frame2;
  } faelle[] = {
      {"one frame: its transparent index", einBild.fertig(), {kRot, gelb}, {kRot, gelb}},
      {"two frames: transparency, then what disposal 2 cleared", zwei.fertig(), {kRot, gelb}, {gelb, kGruen}},
  };
  board.setBackColor(0x00FFFF);
  ctl.surface().setBackColor(0x808080);
  ctl.setVisible(true);
  ctl.setDelayAnimation(2);
  const auto zeile = [&] {
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

TEST_F(GifControl, StretchModesAndMirroringPlaceTheCanvas) {
  // 2 × 1: red, blue; the control 8 × 2 in its own units.
  GifSchreiber g(2, 1, gif::test::Farben{0xFF0000, 0x0000FF});
  g.bild(Bild{.width = 2, .indizes = {0, 1}, .codeGroesse = 2});
  ASSERT_TRUE(laden(g.fertig(), 8, 2));
  ctl.surface().setBackColor(0x000000);
  auto zeile = [&](int y) {
    std::vector<QRgb> z;
    for (int x = 0; x < 8; ++x) z.push_back(pixel(x, y));
    return z;
  };
  const QRgb R = kRot, B = kBlau, S = kSchwarz;
  ctl.Refresh();
  EXPECT_THAT(zeile(1), ElementsAre(R, R, B, B, S, S, S, S)) << "1: uniform fit, scale 2";
  ctl.setStretch(2);
  EXPECT_THAT(zeile(1), ElementsAre(R, R, R, R, B, B, B, B)) << "2: fill";
  ctl.setStretch(0);
  EXPECT_THAT(zeile(0), ElementsAre(R, B, S, S, S, S, S, S)) << "0: unscaled";
  EXPECT_EQ(pixel(0, 1), S);
  ctl.setStretch(3);
  EXPECT_THAT(zeile(0), ElementsAre(R, B, S, S, S, S, S, S)) << "3: never enlarged";
  ctl.setStretch(1);
  ctl.setMirrored(1);
  EXPECT_THAT(zeile(0), ElementsAre(B, B, R, R, S, S, S, S)) << "mirrored horizontally";
  ctl.setMirrored(0);
  ctl.setOffsetX(1);
  ctl.setOffsetY(0);  // redraws
  EXPECT_THAT(zeile(0), ElementsAre(S, S, R, R, B, B, S, S)) << "a one-frame GIF's offset is scaled with it";
}

TEST_F(GifControl, LoadingFailuresLeaveTheControlEmpty) {
  ASSERT_TRUE(laden(einfarbigeFrames(2, 2, 2), 2, 2));
  const std::vector<uint8_t> keinGif{'G', 'I', 'F', '9', '0', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  EXPECT_FALSE(ctl.LoadAnimatedGIF_Array(keinGif));
  EXPECT_EQ(ctl.LoopsRemaining(), -1);
  EXPECT_EQ(ctl.FrameCount(), 0);
  EXPECT_EQ(ctl.aktuellesFrame(), 0);
  ctl.setAction(1);
  EXPECT_EQ(ctl.Action(), 0);
  EXPECT_FALSE(ctl.LoadAnimatedGIF_File(QStringLiteral("/nicht/da.gif")));

  QTemporaryDir dir;
  EXPECT_TRUE(ctl.LoadAnimatedGIF_File(schreibeDatei(dir.filePath(QStringLiteral("a.gif")), einfarbigeFrames(3, 2, 2))));
  EXPECT_EQ(ctl.ActualWidth(), 3);
  EXPECT_EQ(ctl.ActualHeight(), 2);
}

TEST_F(GifControl, RemoteReadsFileAddressesAndRefusesShortOrForeignOnes) {
  QTemporaryDir dir;
  auto schreiben = [&](const char* name, const std::vector<uint8_t>& b) {
    return QUrl::fromLocalFile(schreibeDatei(dir.filePath(QString::fromUtf8(name)), b)).toString();
  };
  int fehler = 0, fertig = 0;
  double breite = 0;
  ctl.RemoteLoadFailure = [&] { ++fehler; };
  ctl.RemoteLoadComplete = [&](bool&, double w, double) {
    ++fertig;
    breite = w;
  };
  ctl.LoadAnimatedGIF_Remote(schreiben("gut.gif", einfarbigeFrames(5, 2, 2)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return fertig + fehler > 0; }, 10000));
  EXPECT_EQ(fertig, 1);
  EXPECT_EQ(breite, 5.0);
  EXPECT_EQ(ctl.FrameCount(), 2);

  ctl.LoadAnimatedGIF_Remote(schreiben("kurz.gif", {'G', 'I', 'F', '8', '9', 'a', 1}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return fehler == 1; }, 10000));
  ctl.LoadAnimatedGIF_Remote(schreiben("falsch.gif", std::vector<uint8_t>(20, 'x')));
  ASSERT_TRUE(QTest::qWaitFor([&] { return fehler == 2; }, 10000));
  ctl.LoadAnimatedGIF_Remote(QStringLiteral("ftp://127.0.0.1/a.gif"));
  EXPECT_EQ(fehler, 3);

  // http on the loopback: a server that answers every request with a GIF.
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  const auto gifBytes = einfarbigeFrames(9, 2, 2);
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    QTcpSocket* s = server.nextPendingConnection();
    QObject::connect(s, &QTcpSocket::readyRead, s, [s, &gifBytes] {
      s->readAll();
      s->write("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " +
               QByteArray::number(qsizetype(gifBytes.size())) + "\r\n\r\n");
      s->write(reinterpret_cast<const char*>(gifBytes.data()), qint64(gifBytes.size()));
      s->disconnectFromHost();
    });
  });
  ctl.LoadAnimatedGIF_Remote(QStringLiteral("http://127.0.0.1:%1/logo.gif").arg(server.serverPort()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return fertig + fehler > 4; }, 10000));
  EXPECT_EQ(fertig, 2);
  EXPECT_EQ(breite, 9.0);
  EXPECT_EQ(ctl.ActualWidth(), 9);
  int spaet = 0;
  {
    ucAniGIF kurzlebig(board, *this);
    kurzlebig.RemoteLoadFailure = [&] { ++spaet; };
    kurzlebig.LoadAnimatedGIF_Remote(QStringLiteral("http://127.0.0.1:%1/b.gif").arg(server.serverPort()));
  }
  EXPECT_EQ(spaet, 0) << "a control that ends with a read pending reports nothing";
  ctl.RemoteLoadComplete = [&](bool& cancel, double, double) {
    cancel = true;
    ++fertig;
  };
  ctl.LoadAnimatedGIF_Remote(schreiben("abgebrochen.gif", einfarbigeFrames(7, 2, 2)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return fertig == 3; }, 10000));
  EXPECT_EQ(ctl.ActualWidth(), 9) << "a cancelled read loads nothing";
  EXPECT_EQ(fehler, 3);
}

}  // namespace
}  // namespace vrd4::render

