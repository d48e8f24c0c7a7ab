// Video clips in an animation slot: a clip played with FFmpeg on an injected
// clock, in its rectangle, frame by clip time, and nothing left behind.
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gmock/gmock.h>

#include "FakeHost.h"
#include "platform/MciFfmpeg.h"
#include "platform/Surface.h"
#include "render/modAviWiedergeben.h"

using namespace vrd4;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr auto kWarten = std::chrono::seconds(20);

// 64 x 48 MJPEG, ten frames of one colour each at 10 frames per second
// (written with bench/video/ClipSchreiber).
const Bytes& zehnFarben() {
  static const Bytes clip = [] {
    std::ifstream f(VRD4_TEST_DATA_DIR "/video/zehn_farben.avi", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
  }();
  return clip;
}
QRgb farbeVonBild(int i) {
  static const QRgb kFarben[] = {qRgb(230, 30, 30),  qRgb(30, 200, 40),   qRgb(40, 60, 230), qRgb(240, 230, 40),
      qRgb(230, 40, 220), qRgb(40, 220, 220), qRgb(250, 250, 250), qRgb(120, 60, 10), qRgb(20, 20, 20), qRgb(130, 130, 130)};
  return kFarben[i % 10];
}

// JPEG moves colours a little.
::testing::AssertionResult farbeNahe(QRgb ist, QRgb soll) {
  const int d = std::max({std::abs(qRed(ist) - qRed(soll)), std::abs(qGreen(ist) - qGreen(soll)),
                          std::abs(qBlue(ist) - qBlue(soll))});
  if (d <= 24) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hex << "pixel 0x" << ist << " instead of 0x" << soll;
}

// In a temporary folder of its own ($TMPDIR), so "nothing left behind" can be
// checked by listing it.
TEST(Video, ClipPlaysInItsRectangleFrameByClipTimeLoopsAndLeavesNothing) {
  ASSERT_FALSE(zehnFarben().empty());
  QTemporaryDir tmp;
  const QByteArray altTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", tmp.path().toUtf8());
  const auto tmpInhalt = [&] {
    std::vector<std::string> namen;
    for (const auto& e : std::filesystem::directory_iterator(tmp.path().toStdString()))
      namen.push_back(e.path().filename().string());
    return namen;
  };
  platform::MciFfmpeg mci;
  platform::Surface board(200, 150);
  platform::Surface ziel(128, 96);  // the 64 x 48 clip fitted twice its size
  ziel.setScale(64, 48);             // as the slot sets it: the clip's own size in units
  ziel.setParentSurface(&board);
  ziel.move(30, 20);
  ziel.setVisible(false);
  auto medium = render::aviOeffnen(4, ziel, zehnFarben(), mci);
  ASSERT_NE(medium, nullptr);
  platform::MciVideo* clip = mci.geraet("4AviTmp");
  qputenv("TMPDIR", altTmp);  // the clip's file is made; later tests keep their own folder
  ASSERT_NE(clip, nullptr);

  medium->starten();
  medium->setVisible(true);
  const double t0 = 1000.25;
  for (int k = 0; k < 25; ++k) {  // two and a half passes, one frame per 0.1 s
    ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
    medium->takt(t0 + 0.1 * k);
    const QRgb soll = farbeVonBild(k % 10);
    SCOPED_TRACE(k);
    EXPECT_TRUE(farbeNahe(ziel.image().pixel(127, 95), soll));
    const QImage schirm = board.presented();
    EXPECT_TRUE(farbeNahe(schirm.pixel(30 + 64, 20 + 48), soll));
    EXPECT_EQ(schirm.pixel(29, 20), qRgb(0, 0, 0)) << "nothing outside the rectangle";
    EXPECT_EQ(schirm.pixel(30 + 128, 20 + 96), qRgb(0, 0, 0));
  }
  EXPECT_EQ(clip->statistik().gezeigt, 25u);
  EXPECT_EQ(clip->statistik().verworfen, 0u);

  // A tick that comes 0.3 s late shows the frame due then; the three
  // between count as dropped.
  ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
  medium->takt(t0 + 2.8);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), farbeVonBild(8)));
  EXPECT_EQ(clip->statistik().verworfen, 3u);

  // Stopped: the frame stays. Started again: from the clip's beginning.
  medium->stoppen();
  medium->takt(t0 + 5.0);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), farbeVonBild(8)));
  medium->starten();
  ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
  medium->takt(t0 + 7.0);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), farbeVonBild(0)));

  ASSERT_EQ(tmpInhalt().size(), 1u);
  EXPECT_THAT(tmpInhalt()[0], testing::MatchesRegex("4AviTmp[A-Za-z0-9]{6}\\.avi"));
  medium->setVisible(false);
  medium->loeschen();
  EXPECT_EQ(mci.geraet("4AviTmp"), nullptr);
  EXPECT_THAT(tmpInhalt(), testing::IsEmpty());
  EXPECT_EQ(board.presented().pixel(30 + 64, 20 + 48), qRgb(0, 0, 0));
}

}  // namespace
