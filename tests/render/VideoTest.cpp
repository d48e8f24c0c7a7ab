// Video clips in an animation slot: a clip played with FFmpeg on an injected
// clock, in its rectangle, frame by clip time, and nothing left behind.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "platform/MciFfmpeg.h"
#include "platform/Surface.h"
#include "render/modAviWiedergeben.h"

namespace fs = std::filesystem;
using namespace vrd4;
using render::aviOeffnen;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr auto kWarten = std::chrono::seconds(20);

// Each test gets its own temporary folder ($TMPDIR), so "nothing left
// behind" can be checked by listing it.
class Video : public testing::Test {
 protected:
  void SetUp() override {
    char muster[] = "/tmp/vrd4-videotestXXXXXX";
    ASSERT_NE(mkdtemp(muster), nullptr);
    tmp_ = muster;
    if (const char* alt = std::getenv("TMPDIR")) altTmp_ = alt;
    setenv("TMPDIR", tmp_.c_str(), 1);
  }
  void TearDown() override {
    if (altTmp_) setenv("TMPDIR", altTmp_->c_str(), 1); else unsetenv("TMPDIR");
    fs::remove_all(tmp_);
  }
  std::vector<std::string> tmpInhalt() const {
    std::vector<std::string> namen;
    for (const auto& e : fs::directory_iterator(tmp_)) namen.push_back(e.path().filename().string());
    return namen;
  }
  std::string tmp_;
  std::optional<std::string> altTmp_;
};

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
  static const QRgb kFarben[] = {qRgb(230, 30, 30), qRgb(30, 200, 40), qRgb(40, 60, 230), qRgb(240, 230, 40),
      qRgb(230, 40, 220), qRgb(40, 220, 220), qRgb(250, 250, 250), qRgb(120, 60, 10), qRgb(20, 20, 20),
      qRgb(130, 130, 130)};
  return kFarben[i % 10];
}

// JPEG moves colours a little.
::testing::AssertionResult farbeNahe(QRgb ist, QRgb soll) {
  const int d = std::max({std::abs(qRed(ist) - qRed(soll)), std::abs(qGreen(ist) - qGreen(soll)),
                          std::abs(qBlue(ist) - qBlue(soll))});
  if (d <= 24) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hex << "pixel 0x" << ist << " instead of 0x" << soll;
}

TEST_F(Video, ClipPlaysInItsRectangleFrameByClipTimeLoopsAndLeavesNothing) {
  ASSERT_FALSE(zehnFarben().empty());
  platform::MciFfmpeg mci;
  platform::Surface board(200, 150);
  platform::Surface ziel(128, 96);  // the 64 x 48 clip fitted twice its size
  ziel.setScale(64, 48);             // as the slot sets it: the clip's own size in units
  ziel.setParentSurface(&board);
  ziel.move(30, 20);
  ziel.setVisible(false);
  auto medium = aviOeffnen(4, ziel, zehnFarben(), mci);
  ASSERT_NE(medium, nullptr);
  platform::MciVideo* clip = mci.geraet("4AviTmp");
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->breite(), 64);
  EXPECT_DOUBLE_EQ(clip->bildDauer(), 0.1);

  medium->starten();
  medium->setVisible(true);
  const double t0 = 1000.25;
  for (int k = 0; k < 25; ++k) {  // two and a half passes, one frame per 0.1 s
    ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
    medium->takt(t0 + 0.1 * k);
    const QRgb soll = farbeVonBild(k % 10);
    SCOPED_TRACE(k);
    EXPECT_TRUE(farbeNahe(ziel.image().pixel(0, 0), soll));
    EXPECT_TRUE(farbeNahe(ziel.image().pixel(127, 95), soll));
    const QImage schirm = board.presented();
    EXPECT_TRUE(farbeNahe(schirm.pixel(30 + 64, 20 + 48), soll));
    EXPECT_EQ(schirm.pixel(29, 20), qRgb(0, 0, 0)) << "nothing outside the rectangle";
    EXPECT_EQ(schirm.pixel(30 + 128, 20 + 96), qRgb(0, 0, 0));
  }
  // A tick 5 ms later shows no new frame.
  ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
  medium->takt(t0 + 2.405);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), farbeVonBild(4)));
  EXPECT_EQ(clip->statistik().gezeigt, 25u);
  EXPECT_EQ(clip->statistik().verworfen, 0u);

  // A tick that comes 0.3 s late shows the frame due then; the three
  // between count as dropped.
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
  ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
  medium->takt(t0 + 7.1);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), farbeVonBild(1)));

  ASSERT_EQ(tmpInhalt().size(), 1u);
  EXPECT_THAT(tmpInhalt()[0], testing::MatchesRegex("4AviTmp[A-Za-z0-9]{6}\\.avi"));
  medium->setVisible(false);
  medium->loeschen();
  EXPECT_EQ(mci.geraet("4AviTmp"), nullptr);
  EXPECT_THAT(tmpInhalt(), testing::IsEmpty());
  EXPECT_EQ(board.presented().pixel(30 + 64, 20 + 48), qRgb(0, 0, 0));
}

}  // namespace
