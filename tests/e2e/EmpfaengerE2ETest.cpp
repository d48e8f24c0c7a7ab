// The real receiver program under a real X server, driven through the real
// channel names the way a sending program drives it: the test creates the
// variable set first, starts the receiver (which resets the ring again), waits
// for its start mark, then writes commands slot by slot.
//
// Each test runs its own copy of the program in a fresh folder, so that the
// snapshot "Picture.bmp" (saved on SIGUSR1) lands there.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "channel/modVRD4GlobaleVariablen.h"

extern char** environ;

namespace vrd4::e2e {
namespace {

namespace gv = channel::modVRD4GlobaleVariablen;

// Generous: the machine may be busy. Waiting ends as soon as the condition holds.
constexpr double kStartSekunden = 60.0;
constexpr double kSekunden = 10.0;

bool warteBis(const std::function<bool()>& bedingung, double sekunden) {
  const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::u16string befehl(std::initializer_list<std::u16string> teile) {
  std::u16string s = u"Befehl";
  for (const auto& t : teile) s += u'\x1b' + t;
  return s;
}

class EmpfaengerE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ordner_.isValid());
    const std::string programm = ordner_.path().toStdString() + "/VRD4Empfaenger";
    ASSERT_TRUE(QFile::copy(QStringLiteral(VRD4_BIN_DIR "/VRD4Empfaenger"), QString::fromStdString(programm)))
        << "build the VRD4Empfaenger target first";

    // As a sending program does: the set first, then the receiver. The
    // counters survive while any other process holds the set: start both
    // sides from slot 0, as a fresh pair would.
    gv::SpeichervariablenAnlegen();
    for (auto* v : {&gv::clsVRD4EmpfaengerGestartet(), &gv::clsVRD4EventFensterHandle(), &gv::clsVRD4Event(),
                    &gv::clsVRD4LetzteGesendete(), &gv::clsVRD4LetzteGelesene()})
      v->SetMemory(u"");
    char* argv[] = {const_cast<char*>(programm.c_str()), nullptr};
    ASSERT_EQ(posix_spawn(&pid_, programm.c_str(), nullptr, nullptr, argv, environ), 0);
    ASSERT_TRUE(warteBis([] { return gv::clsVRD4EmpfaengerGestartet().GetMemory() == u"-1"; }, kStartSekunden))
        << "no start mark from the receiver";
  }

  void TearDown() override {
    if (laeuft()) {
      gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
      if (!warteAufEnde(kSekunden)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    gv::SpeichervariablenFreigeben();
  }

  bool laeuft() {
    int st = 0;
    if (pid_ > 0 && !status_ && waitpid(pid_, &st, WNOHANG) == pid_) status_ = st;
    return pid_ > 0 && !status_;
  }
  // The wait status once it has ended within the time, else nullopt.
  std::optional<int> warteAufEnde(double sekunden) {
    warteBis([this] { return !laeuft(); }, sekunden);
    return status_;
  }

  int senden(const std::u16string& text) {
    const int slot = gesendet_++;
    gv::Sendetexte(slot).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(QString::number(slot).toStdU16String());
    return slot;
  }
  bool gelesen(int slot) {
    const std::u16string s = QString::number(slot).toStdU16String();
    return warteBis([&] { return gv::clsVRD4LetzteGelesene().GetMemory() == s; }, kSekunden);
  }
  static bool eventBeginntMit(const std::u16string& anfang) {
    return warteBis([&] { return gv::clsVRD4Event().GetMemory().starts_with(anfang); }, kSekunden);
  }
  QImage schnappschuss() {
    const QString datei = ordner_.path() + QStringLiteral("/Picture.bmp");
    QFile::remove(datei);
    kill(pid_, SIGUSR1);
    if (!warteBis([&] { return QFile::exists(datei); }, kSekunden)) return {};
    return QImage(datei);
  }

  QTemporaryDir ordner_;
  pid_t pid_ = -1;
  std::optional<int> status_;
  int gesendet_ = 0;
};

TEST_F(EmpfaengerE2E, CommandsShowOnTheBoardAndBadOnesAreReportedAsEvents) {
  senden(befehl({u"GibtEsNicht"}));
  EXPECT_TRUE(eventBeginntMit(u"BefehlFehler;Falsche Abfragetext: GibtEsNicht\r\n"));
  senden(befehl({u"Linie", u"abc", u"1", u"2", u"2", u"1", u"255"}));
  EXPECT_TRUE(eventBeginntMit(u"BefehlFehler;Fehler in Linie: "));

  senden(befehl({u"Cls"}));
  senden(befehl({u"Rechteck", u"1", u"1", u"100", u"50", u"1", u"255", u"-1"}));  // red, filled
  ASSERT_TRUE(gelesen(senden(befehl({u"Linie", u"1", u"200", u"768", u"200", u"3", u"16711680"}))));  // blue
  const QImage bild = schnappschuss();
  ASSERT_FALSE(bild.isNull()) << "no Picture.bmp after SIGUSR1";
  EXPECT_EQ(bild.size(), QSize(768, 480));
  EXPECT_EQ(bild.pixelColor(50, 25), QColor(255, 0, 0));
  EXPECT_EQ(bild.pixelColor(400, 199), QColor(0, 0, 255));
  EXPECT_EQ(bild.pixelColor(400, 400), QColor(0, 0, 0));
  EXPECT_TRUE(laeuft());
}

TEST_F(EmpfaengerE2E, StartedGifIsVisibleAndChangesOnTheScreen) {
  // 8 × 4, frame 1 red, frame 2 green, 100 ms each; fitted into 80 × 40.
  const std::u16string gif = QStringLiteral(VRD4_TEST_DATA_DIR "/engine/zwei_frames.gif").toStdU16String();
  senden(befehl({u"AniGifLadenanPosition", gif, u"101", u"101", u"180", u"140", u"0", u"0", u""}));
  EXPECT_TRUE(eventBeginntMit(u"AniGifNr;1"));
  ASSERT_TRUE(gelesen(senden(befehl({u"AniGifStarten", u"1", u"0"}))));
  bool rot = false, gruen = false;
  warteBis(
      [&] {
        const QImage bild = schnappschuss();
        if (bild.isNull()) return false;
        rot = rot || bild.pixelColor(140, 120) == QColor(255, 0, 0);
        gruen = gruen || bild.pixelColor(140, 120) == QColor(0, 255, 0);
        return rot && gruen;
      },
      kSekunden);
  EXPECT_TRUE(rot && gruen) << "red " << rot << ", green " << gruen;
  ASSERT_TRUE(gelesen(senden(befehl({u"AniGifLoeschen", u"1"}))));
  const QImage bild = schnappschuss();
  ASSERT_FALSE(bild.isNull());
  EXPECT_EQ(bild.pixelColor(140, 120), QColor(0, 0, 0)) << "deleted: the board shows again";
}

// 0: the end request "-1" in the channel; else the signal sent.
class EndeE2E : public EmpfaengerE2E, public ::testing::WithParamInterface<int> {};

TEST_P(EndeE2E, EndsTheReceiverNormallyWithTheStopMark) {
  if (GetParam() == 0)
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  else
    ASSERT_EQ(kill(pid_, GetParam()), 0);
  const auto status = warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value()) << "still running";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(gv::clsVRD4EmpfaengerGestartet().GetMemory(), u"0");
}

INSTANTIATE_TEST_SUITE_P(Wege, EndeE2E, ::testing::Values(0, SIGTERM, SIGINT), [](const auto& info) {
  return std::string(info.param == 0 ? "EndRequest" : info.param == SIGTERM ? "SIGTERM" : "SIGINT");
});

}  // namespace
}  // namespace vrd4::e2e
