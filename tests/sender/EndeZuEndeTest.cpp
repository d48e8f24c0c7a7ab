// The sender and vrd4send with the real receiver, under Xvfb, on the real
// channel names. Skipped while the receiver has not been built.
#include "SenderTestBasis.h"
#include "platform/X11Window.h"

#include <X11/Xlib.h>

namespace vrd4::sender::test {
namespace {

namespace fs = std::filesystem;

std::optional<pid_t> laufenderEmpfaenger() {
  auto e = platform::findProcess([](const auto& p) { return clsVRD4Sender::IstEmpfaengerName(p.exeName); });
  return e ? std::optional(e->pid) : std::nullopt;
}

// Ends every receiver left over (a failed test must not leave one behind).
void aufraeumen() {
  for (int i = 0; i < 5; ++i)
    if (auto p = laufenderEmpfaenger()) platform::terminateProcess(*p, 3000);
}

class EndeZuEnde : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(VRD4_BIN_DIR "/VRD4Empfaenger")) GTEST_SKIP() << "receiver not built";
    aufraeumen();
    sender = std::make_unique<clsVRD4Sender>();
    mitschreiben(*sender, meldungen, ereignisse);
  }
  void TearDown() override {
    sender.reset();
    // The stop request ends a real receiver within a tick or two.
    bisZu([] { return !laufenderEmpfaenger(); }, 10);
    aufraeumen();
  }
  // Initialisieren, and the receiver is still there afterwards.
  std::optional<pid_t> starten(int64_t eventFenster = 0) {
    EXPECT_EQ(sender->Initialisieren(0, eventFenster), 1);
    auto pid = laufenderEmpfaenger();
    EXPECT_TRUE(pid) << "the receiver ended right after its start (see its output above)";
    return pid;
  }
  std::unique_ptr<clsVRD4Sender> sender;
  Ereignisse meldungen, ereignisse;
};

TEST_F(EndeZuEnde, StartBlinkTextEventsAsWindowTitleRestartAndEnd) {
  Display* d = nullptr;  // a busy server may refuse a connection for a moment
  ASSERT_TRUE(bisZu([&] { return (d = XOpenDisplay(nullptr)) != nullptr; }, 1));
  const Window fenster = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 100, 30, 0, 0, 0);
  XSync(d, False);

  // Above what the receiver opens itself; no O_CLOEXEC: must not leak all the same.
  ASSERT_EQ(::dup2(STDERR_FILENO, 999), 999);
  auto erster = starten(static_cast<int64_t>(fenster));
  ::close(999);
  ASSERT_TRUE(erster);
  // Detached: its own session, not our child, stdin from /dev/null, no descriptor of ours.
  EXPECT_EQ(::getsid(*erster), *erster);
  EXPECT_EQ(::waitpid(*erster, nullptr, WNOHANG), -1);
  const std::string fd = "/proc/" + std::to_string(*erster) + "/fd/";
  EXPECT_EQ(fs::read_symlink(fd + "0"), "/dev/null");
  EXPECT_FALSE(fs::exists(fd + "999"));
  // BlinkText returns the slot the receiver wrote; its event becomes the title.
  const uint8_t nr = sender->BlinkText(10, 10, 300, 60, u"Hallo", 4, u"Arial", 30, 1, 0, 0, 0, 0, 255, 0, 0.5);
  EXPECT_TRUE(nr >= 1 && nr <= 10) << int(nr);
  const std::u16string nummer = gv::clsVRD4BlinktextNr().GetMemory();  // as the receiver wrote it
  EXPECT_EQ(nummer, platform::fromUtf8(std::to_string(nr)));
  EXPECT_EQ(platform::x11::windowText(fenster), u"BlinktextNr;" + nummer);
  XCloseDisplay(d);

  // A second Initialisieren ends the receiver that runs, with its message.
  auto zweiter = starten();
  ASSERT_TRUE(zweiter);
  EXPECT_EQ(meldungen, (Ereignisse{{u"VRD4 Fehler",
                                    u"VRD4Empfaenger.exe bereits geladen!\r\nVRD4Empfaenger.Exe wird beendet"}}));
  EXPECT_FALSE(platform::processAlive(*erster));
  // The sender object ending ends the receiver.
  sender.reset();
  EXPECT_TRUE(bisZu([&] { return !platform::processAlive(*zweiter); }));
}

// A stand-in receiver that never answers, then is killed.
TEST_F(EndeZuEnde, ReplyWaitEndsAtItsTimeLimitAndAReceiverKilledMeanwhileIsReported) {
  sender->setEmpfaengerPfad(VRD4_SENDER_FAKE_RECEIVER);
  sender->setAntwortZeitlimit(0.5);
  auto pid = starten();
  ASSERT_TRUE(pid);
  EXPECT_EQ(sender->BlinkText(1, 1, 50, 20, u"x", 0, u"Arial", 10, 0, 0, 0, 0, 0, 0, 0, 1), 0);
  ::kill(*pid, SIGKILL);
  ASSERT_TRUE(bisZu([&] { return !platform::processAlive(*pid); }));
  sender->Cls();
  EXPECT_EQ(ereignisse, (Ereignisse{kKeineAntwort, kNichtGeladen}));
}

// vrd4send: a script with wrong lines, leaving the receiver running; then
// the demo board on that receiver, which ends it at the end of its input.
TEST_F(EndeZuEnde, Vrd4sendReportsWrongLinesAndShowsTheDemoBoard) {
  sender.reset();
  const fs::path dir = fs::temp_directory_path() / (testPrefix() + "vrd4send");
  fs::create_directories(dir);
  std::string aus, fehler;
  auto lauf = [&](const std::string& optionen, const std::string& skript) {
    std::ofstream(dir / "skript") << skript;
    const int st = std::system(("cd " + dir.string() + " && timeout 120 " VRD4_BIN_DIR "/vrd4send " + optionen +
                                " skript >aus 2>fehler").c_str());
    aus = lesen(dir / "aus");
    fehler = lesen(dir / "fehler");
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  };
  EXPECT_EQ(lauf("--weiterlaufen", "# Probe\nCls\nBlinken 1 2\nHintergrundfarbe rot\n"
                                   "BlinkText 10 10 300 60 \"Hallo Welt\" 4 Arial 30 -1 0 0 0 0 255 0 0.5\n"), 1);
  EXPECT_NE(fehler.find("Zeile 3: unbekannte Operation \"Blinken\""), std::string::npos) << fehler;
  EXPECT_NE(fehler.find("Zeile 4: Parameter 1 (Hintergrundfarbe, Int32)"), std::string::npos) << fehler;
  EXPECT_TRUE(std::regex_match(aus, std::regex("([1-9]|10)\n"))) << aus;
  auto pid = laufenderEmpfaenger();
  ASSERT_TRUE(pid);
  // The demo keeps the board up for a while; here a moment is enough.
  const std::string demo = std::regex_replace(lesen(VRD4_SOURCE_DIR "/examples/anzeigetafel.txt"),
                                              std::regex("^Warten [0-9.]+", std::regex::multiline), "Warten 0.2");
  EXPECT_EQ(lauf("--verbinden", demo), 0) << fehler;
  EXPECT_EQ(fehler.find("BefehlFehler"), std::string::npos) << fehler;
  EXPECT_EQ(fehler.find("bereits geladen"), std::string::npos) << fehler;
  EXPECT_TRUE(std::regex_match(aus, std::regex("([1-9]|10)\n([1-9]|10)\n"))) << aus;
  EXPECT_TRUE(bisZu([&] { return !platform::processAlive(*pid); }));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vrd4::sender::test
