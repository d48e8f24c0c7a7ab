// Video clips in an animation slot: the command strings sent to the media
// layer, the temporary copy, and clips played with FFmpeg on an injected
// clock.
#include <sys/inotify.h>
#include <unistd.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/MciFfmpeg.h"
#include "platform/Surface.h"
#include "render/modAviWiedergeben.h"
#include "tests/video/ClipSchreiber.h"

namespace fs = std::filesystem;
using namespace vrd4;
using render::aviOeffnen;

namespace {

using Bytes = std::vector<uint8_t>;

struct Gui : testing::Environment {
  int argc = 1;
  char* argv[2] = {const_cast<char*>("video_tests"), nullptr};
  std::optional<QGuiApplication> app;
  void SetUp() override { app.emplace(argc, argv); }
  void TearDown() override { app.reset(); }
};
const auto* const kGui = testing::AddGlobalTestEnvironment(new Gui);

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

// Records every command string; answers error 1 for those starting with
// one of `ablehnen`.
struct AufzeichnendesMci : platform::Mci {
  std::vector<std::string> befehle;
  std::vector<std::string> ablehnen;
  uint32_t sendString(const std::string& b) override {
    befehle.push_back(b);
    for (const auto& a : ablehnen)
      if (b.rfind(a, 0) == 0) return 1;
    return 0;
  }
  void takt(const std::string&, double) override {}
};

// 64 x 48, ten frames of ten colours at 10 frames per second.
const Bytes& zehnFarben() {
  static const Bytes clip = testclip::mjpegAvi(64, 48, 10, 10, [](int i) {
    return testclip::einfarbig(64, 48, testclip::farbeVonBild(i));
  });
  return clip;
}

void schreibeClip(const std::string& pfad) {
  std::ofstream f(pfad, std::ios::binary);
  f.write(reinterpret_cast<const char*>(zehnFarben().data()), static_cast<std::streamsize>(zehnFarben().size()));
}

// JPEG moves colours a little.
::testing::AssertionResult farbeNahe(QRgb ist, QRgb soll) {
  const int d = std::max({std::abs(qRed(ist) - qRed(soll)), std::abs(qGreen(ist) - qGreen(soll)),
                          std::abs(qBlue(ist) - qBlue(soll))});
  if (d <= 24) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hex << "pixel 0x" << ist << " instead of 0x" << soll;
}

TEST(AviGeraetetyp, FollowsTheExtensionInAnyLetterCase) {
  struct Zeile {
    const char* typ;
    bool video;
    std::vector<const char*> dateien;
  };
  const Zeile tabelle[] = {
      {"Sequencer", false, {"a.mid", "a.MIDI", "a.rmi"}},
      {"waveaudio", false, {"/x/y.Wav"}},
      {"CDAudio", false, {"Track01.cda"}},
      {"MPEGVideo", false, {"a.aif", "a.aifc", "a.aiff", "a.au", "a.MP3", "a.snd"}},
      {"MPEGVideo2", false, {"a.wma"}},
      {"MPEGVideo", true, {"a.mpeg", "a.mpg", "a.m1v", "a.mp2", "a.mpa", "a.mpe"}},
      {"AVIVideo", true, {"/tmp/3AviTmpab12cd.avi", "CLIP.AVI"}},
      {"MPEGVideo2", true, {"a.wmv"}},
      // unknown, the last dot counts, a dot in a folder, an empty extension
      {"MPEGVideo", false, {"a.mkv", "a.avi.txt", "/x.avi/clip", "clip."}},
      {"", false, {"clip"}},
  };
  for (const Zeile& z : tabelle)
    for (const char* datei : z.dateien) {
      const auto t = render::aviGeraetetyp(datei);
      EXPECT_EQ(t.typ, z.typ) << datei;
      EXPECT_EQ(t.video, z.video) << datei;
    }
}
TEST_F(Video, TemporaryFilesLieInTheTemporaryFolderUnderTheAlias) {
  const std::string a = render::aviTempDateiname("7AviTmp");
  const std::string b = render::aviTempDateiname("7AviTmp");
  EXPECT_THAT(a, testing::MatchesRegex(tmp_ + "/7AviTmp[A-Za-z0-9]{6}\\.tmp"));
  EXPECT_NE(a, b);
  EXPECT_TRUE(fs::exists(a));  // reserved: nobody else gets the name

  setenv("TMPDIR", ("/" + std::string(600, 'x')).c_str(), 1);
  EXPECT_EQ(render::aviTempDateiname("7AviTmp"), "") << "folder path of 512 characters or more";
}

TEST_F(Video, CommandStringsOfOpenStartStopAndDeleteAreExact) {
  const std::string datei = tmp_ + "/3AviTmp[A-Za-z0-9]{6}\\.avi";
  struct Zeile {
    const char* name;
    std::vector<std::string> ablehnen;
    bool offen;
    std::vector<std::string> erwartet;  // regular expressions, one per string
  };
  const std::string open = "open " + datei + " type AVIVideo alias 3AviTmp", set = "set 3AviTmp time format milliseconds";
  const std::vector<std::string> alle = {open, set, "window 3AviTmp handle 1", "play 3AviTmp from 0 repeat",
                                         "put 3AviTmp destination", "stop 3AviTmp", "stop 3AviTmp", "close 3AviTmp"};
  const Zeile tabelle[] = {
      {"everything answers 0", {}, true, alle},
      {"open refused", {"open"}, false, {open}},
      {"time format refused closes again", {"set"}, false, {open, set, "close 3AviTmp"}},
      {"window refused is not checked", {"window"}, true, alle},
  };
  const Bytes clip = {'R', 'I', 'F', 'F', 1, 2, 3};
  for (const Zeile& z : tabelle) {
    SCOPED_TRACE(z.name);
    AufzeichnendesMci mci;
    mci.ablehnen = z.ablehnen;
    platform::Surface ziel(40, 30);
    auto medium = aviOeffnen(3, ziel, clip, mci);
    ASSERT_EQ(medium != nullptr, z.offen);
    if (medium) {
      // the copy holds the bytes while the clip is open
      ASSERT_EQ(tmpInhalt().size(), 1u);
      std::ifstream f(tmp_ + "/" + tmpInhalt()[0], std::ios::binary);
      EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(f), {}), clip);
      medium->starten();
      medium->stoppen();
      medium->loeschen();
      medium.reset();  // deleting twice sends nothing more
    }
    ASSERT_EQ(mci.befehle.size(), z.erwartet.size());
    for (size_t i = 0; i < z.erwartet.size(); ++i)
      EXPECT_THAT(mci.befehle[i], testing::MatchesRegex(z.erwartet[i])) << i;
    EXPECT_THAT(tmpInhalt(), testing::IsEmpty()) << "the temporary copy is gone";
  }
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
    const QRgb soll = testclip::farbeVonBild(k % 10);
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
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), testclip::farbeVonBild(4)));
  EXPECT_EQ(clip->statistik().gezeigt, 25u);
  EXPECT_EQ(clip->statistik().verworfen, 0u);

  // A tick that comes 0.3 s late shows the frame due then; the three
  // between count as dropped.
  medium->takt(t0 + 2.8);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), testclip::farbeVonBild(8)));
  EXPECT_EQ(clip->statistik().verworfen, 3u);

  // Stopped: the frame stays. Started again: from the clip's beginning.
  medium->stoppen();
  medium->takt(t0 + 5.0);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), testclip::farbeVonBild(8)));
  medium->starten();
  ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
  medium->takt(t0 + 7.0);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), testclip::farbeVonBild(0)));
  ASSERT_TRUE(clip->warteBisDekodiert(kWarten));
  medium->takt(t0 + 7.1);
  EXPECT_TRUE(farbeNahe(ziel.image().pixel(5, 5), testclip::farbeVonBild(1)));

  ASSERT_EQ(tmpInhalt().size(), 1u);
  EXPECT_THAT(tmpInhalt()[0], testing::MatchesRegex("4AviTmp[A-Za-z0-9]{6}\\.avi"));
  medium->setVisible(false);
  medium->loeschen();
  EXPECT_EQ(mci.geraet("4AviTmp"), nullptr);
  EXPECT_THAT(tmpInhalt(), testing::IsEmpty());
  EXPECT_EQ(board.presented().pixel(30 + 64, 20 + 48), qRgb(0, 0, 0));
}

// Watches a file for being opened or read.
class Zugriffe {
 public:
  explicit Zugriffe(const std::string& pfad) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    inotify_add_watch(fd_, pfad.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~Zugriffe() { close(fd_); }
  bool keine() const {
    char puffer[4096];
    return read(fd_, puffer, sizeof puffer) < 0 && errno == EAGAIN;
  }

 private:
  int fd_;
};

TEST_F(Video, WhatIsNoPlayableClipOpensNothingAndLeavesNothing) {
  // A real clip outside the temporary folder: what a hostile file would
  // like FFmpeg to read.
  const std::string draussen = tmp_ + "-draussen.avi";
  schreibeClip(draussen);
  auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  Bytes rahmen = {'R', 'I', 'F', 'F', 0xff, 0xff, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};
  Bytes hlsImRahmen = rahmen;
  const Bytes hls = text("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nfile:" + draussen + "\n#EXT-X-ENDLIST\n");
  hlsImRahmen.insert(hlsImRahmen.end(), hls.begin(), hls.end());
  const Bytes& gut = zehnFarben();
  Bytes nurKopf(gut.begin(), gut.begin() + 200);
  Bytes ohneBilder = gut;  // the header intact, every frame's bytes (and the index) gone
  const std::string movi = "movi";
  const auto daten = std::search(ohneBilder.begin(), ohneBilder.end(), movi.begin(), movi.end());
  ASSERT_NE(daten, ohneBilder.end());
  std::fill(daten + 4, ohneBilder.end(), 0);

  struct Zeile {
    const char* name;
    Bytes bytes;
  };
  const Zeile tabelle[] = {
      {"no bytes", {}},
      {"text", text("kein Film")},
      {"a picture", text("\x89PNG\r\n\x1a\n")},
      {"HLS playlist", hls},
      {"HLS playlist with a plain path", text("#EXTM3U\n#EXTINF:1,\n" + draussen + "\n")},
      {"concat list", text("ffconcat version 1.0\nfile '" + draussen + "'\n")},
      {"HLS playlist behind an AVI header", hlsImRahmen},
      {"a clip cut after its first 200 bytes", nurKopf},
      {"a clip whose frames are all zeros", ohneBilder},
  };
  for (const Zeile& z : tabelle) {
    SCOPED_TRACE(z.name);
    Zugriffe zugriffe(draussen);
    platform::MciFfmpeg mci;
    platform::Surface ziel(64, 48);
    EXPECT_EQ(aviOeffnen(2, ziel, z.bytes, mci), nullptr);
    EXPECT_EQ(mci.geraet("2AviTmp"), nullptr);
    EXPECT_THAT(tmpInhalt(), testing::IsEmpty());
    EXPECT_TRUE(zugriffe.keine()) << "the file outside was opened";
  }
  {  // the watch does see an open
    Zugriffe zugriffe(draussen);
    platform::MciFfmpeg mci;
    EXPECT_EQ(mci.sendString("open " + draussen + " type AVIVideo alias 2AviTmp"), 0u);
    EXPECT_FALSE(zugriffe.keine());
  }
  fs::remove(draussen);
}

TEST(MciFfmpeg, RefusesWhatItDoesNotKnow) {
  platform::MciFfmpeg mci;
  struct Zeile {
    const char* name;
    std::string befehl;
    uint32_t fehler;
  };
  const Zeile tabelle[] = {
      {"unknown command", "seek 1AviTmp to start", platform::kMciUnbekannterBefehl},
      {"empty", "", platform::kMciUnbekannterBefehl},
      {"unknown alias", "play 9AviTmp from 0 repeat", platform::kMciUnbekanntesGeraet},
      {"other device type", "open /tmp/a.wav type waveaudio alias 1AviTmp", platform::kMciTypNichtVorhanden},
      {"missing file", "open /nonexistent/a.avi type AVIVideo alias 1AviTmp", platform::kMciDateiFehlt},
      {"open without alias", "open /tmp/a.avi type AVIVideo", platform::kMciParameterFehlt},
      {"open without file", "open type AVIVideo alias 1AviTmp", platform::kMciParameterFehlt},
      {"play with a bad position", "play 1AviTmp from -5 repeat", platform::kMciParameterFehlt},
      {"play with words after repeat", "play 1AviTmp repeat now", platform::kMciParameterFehlt},
      {"window without a number", "window 1AviTmp handle x", platform::kMciParameterFehlt},
      {"other time format", "set 1AviTmp time format frames", platform::kMciParameterFehlt},
      {"overlong", "stop " + std::string(1100, 'a'), platform::kMciUnbekannterBefehl},
      {"long name of blanks without alias", "open " + std::string(1000, ' ') + "x type AVIVideo",
       platform::kMciParameterFehlt},
  };
  for (const Zeile& z : tabelle) EXPECT_EQ(mci.sendString(z.befehl), z.fehler) << z.name;
}

TEST_F(Video, WindowHandleNamesARegisteredSurfaceAndBlanksInNamesWork) {
  // A temporary folder with a blank in its name.
  const std::string ordner = tmp_ + "/mit blank";
  fs::create_directory(ordner);
  const std::string datei = ordner + "/clip.avi";
  schreibeClip(datei);
  platform::MciFfmpeg mci;
  EXPECT_EQ(mci.sendString("open " + datei + " type AVIVideo alias 5AviTmp"), 0u);
  EXPECT_EQ(mci.sendString("OPEN " + datei + " TYPE avivideo ALIAS 5aviTMP"), platform::kMciAliasBelegt);
  EXPECT_EQ(mci.sendString("window 5AviTmp handle 77"), platform::kMciKeinFenster);
  platform::Surface ziel(32, 24);
  {
    platform::SurfaceHandle h(ziel);
    EXPECT_EQ(mci.sendString("window 5avitmp handle " + std::to_string(h.wert())), 0u);
    EXPECT_EQ(mci.geraet("5AviTmp")->ziel(), &ziel);
  }
  EXPECT_EQ(platform::surfaceZuHandle(1), nullptr) << "the handle ends with its object";
  EXPECT_EQ(mci.sendString("close 5AviTmp"), 0u);
  EXPECT_EQ(mci.geraet("5AviTmp"), nullptr);
}

}  // namespace
