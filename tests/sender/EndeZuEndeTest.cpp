// The sender and vrd4send with the real receiver, under Xvfb, on the real
// channel names. Skipped while the receiver has not been built.
#include "SenderTestBasis.h"
#include "platform/X11Window.h"

#include <QImage>
#include <X11/Xlib.h>


namespace vrd4::sender::test {
namespace {

namespace fs = std::filesystem;

// A receiver on the real channel names: boards of other channels (--prefix)
// on this PC are none of the test's business and are never ended by it.
std::optional<pid_t> laufenderEmpfaenger() {
  auto e = platform::findProcess([](const auto& p) {
    if (!clsVRD4Sender::IstEmpfaengerName(p.exeName)) return false;
    for (const std::string& a : platform::processArguments(p.pid))
      if (a.starts_with("--prefix")) return false;
    return true;
  });
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
    warteBis([] { return !laufenderEmpfaenger(); }, 10);
    aufraeumen();
  }
  // Initialisieren, and the receiver is still there afterwards.
  std::optional<pid_t> starten(int64_t eventFenster = 0) {
    EXPECT_EQ(sender->Initialisieren(0, eventFenster), 1);
    auto pid = laufenderEmpfaenger();
    EXPECT_TRUE(pid) << "the receiver ended right after its start (see " << clsVRD4Sender::EmpfaengerLogDatei()
                     << ")";
    return pid;
  }
  std::unique_ptr<clsVRD4Sender> sender;
  Ereignisse meldungen, ereignisse;
};

TEST_F(EndeZuEnde, StartBlinkTextEventsAsWindowTitleRestartAndEnd) {
  Display* d = nullptr;  // a busy server may refuse a connection for a moment
  ASSERT_TRUE(warteBis([&] { return (d = XOpenDisplay(nullptr)) != nullptr; }, 1));
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
  for (const char* n : {"1", "2"}) EXPECT_EQ(fs::read_symlink(fd + n), clsVRD4Sender::EmpfaengerLogDatei()) << n;
  EXPECT_FALSE(fs::exists(fd + "999"));
  // BlinkText returns the slot the receiver wrote; its event becomes the title.
  const uint8_t nr = sender->BlinkText(10, 10, 300, 60, u"Hallo", 4, u"Arial", 30, 1, 0, 0, 0, 0, 255, 0, 0.5);
  EXPECT_TRUE(nr >= 1 && nr <= 10) << int(nr);
  // The title follows the reply a moment later (the receiver opens its own X connection for it).
  const std::u16string titel = u"BlinktextNr;" + platform::fromUtf8(std::to_string(nr));
  EXPECT_TRUE(warteBis([&] { return platform::x11::windowText(fenster) == titel; }, 5))
      << platform::toUtf8(platform::x11::windowText(fenster).value_or(u"(kein Fenster)"));
  XCloseDisplay(d);

  // A second Initialisieren ends the receiver that runs, with its message.
  auto zweiter = starten();
  ASSERT_TRUE(zweiter);
  EXPECT_EQ(meldungen, (Ereignisse{{u"VRD4 Fehler",
                                    u"VRD4Empfaenger.exe bereits geladen!\r\nVRD4Empfaenger.Exe wird beendet"}}));
  EXPECT_FALSE(platform::processAlive(*erster));
  // The sender object ending ends the receiver.
  sender.reset();
  EXPECT_TRUE(warteBis([&] { return !platform::processAlive(*zweiter); }));
}

// A pixel of the receiver's snapshot as the board's colours are written: 0x00BBGGRR.
uint32_t farbeBei(const QImage& bild, int x, int y) {
  const QRgb p = bild.pixel(x, y);
  return uint32_t(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
}

// The library writes a thousand commands as fast as it can while the
// receiver polls; it waits for a free slot and never fills the slot taken
// last while the others still wait. Command i fills the cells i and i+1 of a
// chain across the board in a colour of its own, so cell k shows command k's
// colour only when command k ran, and ran after command k-1: a lost, doubled
// or reordered command leaves another colour behind. (A sender that refills
// every slot as soon as it is empty is driven against the engine in
// engine_tests.)
TEST_F(EndeZuEnde, ThousandCommandsOfTheLibraryAllRunOnceInOrder) {
  constexpr int kAnzahl = 1000, kProZeile = 500;
  const auto x = [](int k) { return int16_t(k % kProZeile + 10); };
  const auto y = [](int k) { return int16_t(k / kProZeile * 4 + 10); };
  const auto farbe = [](int i) { return int32_t((i & 0xFF) | ((i >> 8) * 60 + 30) << 8 | 0xC8 << 16); };
  const auto ende = [](int i) { return (i + 1) % kProZeile == 0 ? i : i + 1; };  // a row's last cell stays one
  // A receiver of its own, so that its snapshot lands in a folder of ours.
  const fs::path dir = fs::temp_directory_path() / (testPrefix() + "kette");
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(VRD4_BIN_DIR "/VRD4Empfaenger", dir / "VRD4Empfaenger");
  sender->setEmpfaengerPfad((dir / "VRD4Empfaenger").string());
  auto pid = starten();
  ASSERT_TRUE(pid);
  for (int i = 0; i < kAnzahl; ++i) sender->Rechteck(x(i), y(i), x(ende(i)), y(ende(i)), 1, farbe(i), true);
  EXPECT_TRUE(ereignisse.empty()) << platform::toUtf8(ereignisse.front().second);
  ASSERT_TRUE(warteBis([] { return gv::clsVRD4LetzteGelesene().GetMemory() == gv::clsVRD4LetzteGesendete().GetMemory() &&
                               gv::Sendetexte(gv::kAnzahlSendetexte - 1).GetMemory().empty(); }, 60));
  // The snapshot reads the screen back, which the window repaints a moment
  // after it drew: the board counts once it shows, so look again until then.
  std::vector<int> falsch;
  warteBis([&] {
    falsch = {-1};
    fs::remove(dir / "Picture.bmp");
    ::kill(*pid, SIGUSR1);
    QImage bild;
    if (!warteBis([&] { return bild.load(QString::fromStdString((dir / "Picture.bmp").string())); })) return false;
    falsch.clear();
    // Coordinates count from 1 on the board, from 0 in the picture.
    for (int k = 0; k < kAnzahl; ++k)
      if (farbeBei(bild, x(k) - 1, y(k) - 1) != uint32_t(farbe(k))) falsch.push_back(k);
    return falsch.empty();
  }, 20);
  EXPECT_TRUE(falsch.empty()) << falsch.size() << " cells wrong, the first " << falsch.front();
  fs::remove_all(dir);
}

// The README's line that shows the demo board: its options.
std::string demoOptionen() {
  const std::string readme = lesen(VRD4_SOURCE_DIR "/README.md");
  std::smatch m;
  if (!std::regex_search(readme, m, std::regex("build/bin/vrd4send ([^\n]*)examples/anzeigetafel\\.txt\n\n"))) return "?";
  return m[1];
}

// vrd4send: a script with wrong lines, leaving the receiver running, its
// output caught by a pipe that must end with vrd4send; then the README's demo
// line on that receiver, which keeps the board showing; then a script that
// ends the receiver at the end of its input.
TEST_F(EndeZuEnde, Vrd4sendReportsWrongLinesEndsWithItsPipeAndTheDemoLineKeepsTheBoard) {
  sender.reset();
  const fs::path dir = fs::temp_directory_path() / (testPrefix() + "vrd4send");
  fs::create_directories(dir);
  std::string aus, fehler;
  // A receiver that kept our pipe open would hold "cat" until the timeout.
  auto lauf = [&](const std::string& optionen, const std::string& skript) {
    std::ofstream(dir / "skript") << skript;
    fs::remove(dir / "status");
    const int st = std::system(("cd " + dir.string() + " && timeout 60 sh -c '(" VRD4_BIN_DIR "/vrd4send " +
                                optionen + " skript 2>fehler; echo $? >status) | cat >aus'").c_str());
    aus = lesen(dir / "aus");
    fehler = lesen(dir / "fehler");
    const std::string status = lesen(dir / "status");
    if (!WIFEXITED(st) || WEXITSTATUS(st) == 124 || status.empty()) return -1;  // the pipe did not end
    return std::stoi(status);
  };
  EXPECT_EQ(lauf("--weiterlaufen", "# Probe\nCls\nBlinken 1 2\nHintergrundfarbe rot\n"
                                   "BlinkText 10 10 300 60 \"Hallo Welt\" 4 Arial 30 -1 0 0 0 0 255 0 0.5\n"), 1);
  EXPECT_NE(fehler.find("Zeile 3: unbekannte Operation \"Blinken\""), std::string::npos) << fehler;
  EXPECT_NE(fehler.find("Zeile 4: Parameter 1 (Farbe, Int32)"), std::string::npos) << fehler;
  EXPECT_TRUE(std::regex_match(aus, std::regex("([1-9]|10)\n"))) << aus;
  auto pid = laufenderEmpfaenger();
  ASSERT_TRUE(pid);
  // The demo keeps the board up for a while; here a moment is enough.
  const std::string demo = std::regex_replace(lesen(VRD4_SOURCE_DIR "/examples/anzeigetafel.txt"),
                                              std::regex("^Warten [0-9.]+", std::regex::multiline), "Warten 0.2");
  EXPECT_EQ(lauf(demoOptionen(), demo), 0) << fehler;
  EXPECT_EQ(fehler.find("BefehlFehler"), std::string::npos) << fehler;
  EXPECT_EQ(fehler.find("bereits geladen"), std::string::npos) << fehler;
  EXPECT_TRUE(std::regex_match(aus, std::regex("([1-9]|10)\n([1-9]|10)\n"))) << aus;
  // A stop request would end it within a tick or two.
  EXPECT_FALSE(warteBis([&] { return !platform::processAlive(*pid); }, 2)) << "the demo board must keep showing";
  EXPECT_EQ(lauf("--verbinden", "Cls\n"), 0) << fehler;
  EXPECT_TRUE(warteBis([&] { return !platform::processAlive(*pid); }));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vrd4::sender::test
