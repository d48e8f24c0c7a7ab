// The sender with the real receiver, under Xvfb, on the real channel names.
// Skipped while the receiver has not been built.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Process.h"
#include "platform/X11Window.h"
#include "vrd4/clsVRD4Sender.h"

#include <X11/Xlib.h>

namespace vrd4::sender::test {
namespace {

namespace fs = std::filesystem;
namespace gv = channel::modVRD4GlobaleVariablen;

const std::string kEmpfaenger = std::string(VRD4_BIN_DIR) + "/VRD4Empfaenger";
const std::string kVrd4send = std::string(VRD4_BIN_DIR) + "/vrd4send";

struct Ereignis {
  std::u16string art, meldung;
  bool operator==(const Ereignis&) const = default;
};

// Waits for what another process does; the limit only guards against a hang.
template <typename F>
bool bisZu(F bedingung, double sekunden = 15) {
  auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::optional<pid_t> laufenderEmpfaenger() {
  auto e = platform::findProcess([](const platform::ProcessEntry& p) { return clsVRD4Sender::IstEmpfaengerName(p.exeName); });
  if (!e) return std::nullopt;
  return e->pid;
}

// Ends every receiver left over (a failed test must not leave one behind).
void aufraeumen() {
  for (int i = 0; i < 5; ++i) {
    auto p = laufenderEmpfaenger();
    if (!p) return;
    platform::terminateProcess(*p, 3000);
  }
}

class EndeZuEnde : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kEmpfaenger)) GTEST_SKIP() << "receiver not built: " << kEmpfaenger;
    aufraeumen();
    sender = std::make_unique<clsVRD4Sender>();
    sender->setMessageBox([this](const std::u16string& t, const std::u16string& titel) {
      meldungen.push_back({titel, t});
    });
    sender->setEreignis([this](const std::u16string& a, const std::u16string& m) { ereignisse.push_back({a, m}); });
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
  std::vector<Ereignis> meldungen;  // {title, text}
  std::vector<Ereignis> ereignisse;
};

TEST_F(EndeZuEnde, InitialisierenStartsTheReceiverAndEndsOneThatAlreadyRuns) {
  auto erster = starten();
  ASSERT_TRUE(erster);
  EXPECT_TRUE(meldungen.empty());
  EXPECT_EQ(gv::clsVRD4EmpfaengerGestartet().GetMemory(), u"-1");

  ASSERT_EQ(sender->Initialisieren(0, 0), 1);
  EXPECT_EQ(meldungen, (std::vector<Ereignis>{{u"VRD4 Fehler",
                                               u"VRD4Empfaenger.exe bereits geladen!\r\nVRD4Empfaenger.Exe wird beendet"}}));
  EXPECT_FALSE(platform::processAlive(*erster));
  auto zweiter = laufenderEmpfaenger();
  ASSERT_TRUE(zweiter);
  EXPECT_NE(*zweiter, *erster);
}

class MitFenster : public EndeZuEnde {
 protected:
  void SetUp() override {
    EndeZuEnde::SetUp();
    if (IsSkipped()) return;
    for (int i = 0; i < 50 && !d; ++i) {
      d = XOpenDisplay(nullptr);
      if (!d) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(d, nullptr);
    fenster = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 100, 30, 0, 0, 0);
    XStoreName(d, fenster, "Turnier");
    XSync(d, False);
  }
  void TearDown() override {
    EndeZuEnde::TearDown();
    if (d) {
      XDestroyWindow(d, fenster);
      XCloseDisplay(d);
    }
  }
  std::u16string titel() { return platform::x11::windowText(fenster).value_or(u"?"); }
  Display* d = nullptr;
  Window fenster = 0;
};

TEST_F(MitFenster, BlinkTextReturnsTheSlotTheReceiverWroteAndEventsBecomeTheWindowTitle) {
  ASSERT_TRUE(starten(static_cast<int64_t>(fenster)));
  uint8_t nr = sender->BlinkText(10, 10, 300, 60, u"Hallo", 4, u"Arial", 30, true, false, false, false, false, 255,
                                 0, 0.5);
  EXPECT_GE(nr, 1);
  EXPECT_LE(nr, 10);
  const std::string text = std::to_string(nr);
  const std::u16string nummer(text.begin(), text.end());
  EXPECT_EQ(gv::clsVRD4BlinktextNr().GetMemory(), nummer);
  EXPECT_EQ(titel(), u"BlinktextNr;" + nummer);

  // An error the receiver raises reaches the window without the sender.
  sender->BlinkTextLoeschen(11);
  EXPECT_TRUE(bisZu([&] { return titel() == u"BefehlFehler;Blinktextnummer: 11 gibt es nicht!"; })) << "title";
}

TEST_F(EndeZuEnde, SenderEndingEndsTheReceiver) {
  auto pid = starten();
  ASSERT_TRUE(pid);
  sender.reset();
  EXPECT_TRUE(bisZu([&] { return !platform::processAlive(*pid); }));
}

TEST_F(EndeZuEnde, ReceiverKilledMeanwhileMakesTheNextCommandReportIt) {
  auto pid = starten();
  ASSERT_TRUE(pid);
  ::kill(*pid, SIGKILL);
  ASSERT_TRUE(bisZu([&] { return !platform::processAlive(*pid); }));
  sender->Cls();
  EXPECT_EQ(ereignisse, (std::vector<Ereignis>{{u"BefehlFehler", u"VRD4Empfaenger_Steuerung nicht geladen!"}}));
}

TEST_F(EndeZuEnde, ReceiverThatNeverAnswersEndsTheReplyWaitAtItsTimeLimit) {
  sender->setEmpfaengerPfad(VRD4_SENDER_FAKE_RECEIVER);
  sender->setAntwortZeitlimit(0.5);
  ASSERT_EQ(sender->Initialisieren(0, 0), 1);
  EXPECT_TRUE(sender->EmpfaengerLaeuft());
  EXPECT_EQ(sender->BlinkText(1, 1, 50, 20, u"x", 0, u"Arial", 10, false, false, false, false, false, 0, 0, 1), 0);
  EXPECT_EQ(ereignisse, (std::vector<Ereignis>{{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: keine Antwort!"}}));
  // The stand-in does not read the stop request.
  aufraeumen();
}

// Not about the receiver itself, but it looks at the real process list.
TEST(EndeZuEndeStart, ReceiverThatCannotBeStartedIsAMessage) {
  const fs::path datei = fs::temp_directory_path() / ("t_sender_kein_programm_" + std::to_string(::getpid()));
  std::ofstream(datei) << "kein Programm\n";
  fs::permissions(datei, fs::perms::owner_read | fs::perms::owner_write);
  clsVRD4Sender s;
  s.setEmpfaengerWeiterlaufen(true);
  std::vector<std::u16string> meldungen;
  s.setMessageBox([&](const std::u16string& t, const std::u16string&) { meldungen.push_back(t); });
  s.setEmpfaengerPfad(datei.string());
  if (laufenderEmpfaenger()) GTEST_SKIP() << "a receiver runs; it is not ours to end";
  EXPECT_EQ(s.Initialisieren(0, 0), 0);
  EXPECT_EQ(meldungen, std::vector<std::u16string>{u"VRD4-Farbe Empfangsprogramm konnte nicht gestartet werden!"});
  fs::remove(datei);
}

// --- vrd4send ----------------------------------------------------------------

struct Lauf {
  int rueckgabe = -1;
  std::string aus, fehler;
};

class Vrd4send : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kEmpfaenger)) GTEST_SKIP() << "receiver not built: " << kEmpfaenger;
    aufraeumen();
    dir = fs::temp_directory_path() / ("t_vrd4send_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    if (!dir.empty()) fs::remove_all(dir);
    bisZu([] { return !laufenderEmpfaenger(); }, 10);
    aufraeumen();
  }
  Lauf lauf(const std::string& argumente) {
    const fs::path aus = dir / "aus", fehler = dir / "fehler";
    std::string befehl = "timeout 120 " + kVrd4send + " " + argumente + " >" + aus.string() + " 2>" + fehler.string();
    int st = std::system(befehl.c_str());
    Lauf l;
    l.rueckgabe = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    l.aus = lesen(aus);
    l.fehler = lesen(fehler);
    return l;
  }
  fs::path skript(const std::string& name, const std::string& inhalt) {
    fs::path p = dir / name;
    std::ofstream(p) << inhalt;
    return p;
  }
  static std::string lesen(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path dir;
};

TEST_F(Vrd4send, WrongLinesAreReportedWithTheirNumberAndTheRestRuns) {
  auto p = skript("fehler.txt",
                  "# Probe\n"
                  "Cls\n"
                  "Blinken 1 2\n"
                  "BlinkText 10 10 300 60 \"Hallo Welt\" 4 Arial 30 -1 0 0 0 0 255 0 0.5\n"
                  "Hintergrundfarbe rot\n");
  Lauf l = lauf(p.string());
  EXPECT_EQ(l.rueckgabe, 1) << l.fehler;
  EXPECT_NE(l.fehler.find("Zeile 3: unbekannte Operation \"Blinken\""), std::string::npos) << l.fehler;
  EXPECT_NE(l.fehler.find("Zeile 5: Parameter 1 (Hintergrundfarbe, Int32)"), std::string::npos) << l.fehler;
  EXPECT_TRUE(std::regex_match(l.aus, std::regex("([1-9]|10)\n"))) << l.aus;
  // The end of the input ended the receiver.
  EXPECT_TRUE(bisZu([] { return !laufenderEmpfaenger(); }));
}

TEST_F(Vrd4send, DemoBoardRunsWithoutErrors) {
  std::string demo = lesen(fs::path(VRD4_SOURCE_DIR) / "examples/anzeigetafel.txt");
  ASSERT_FALSE(demo.empty());
  // The demo keeps the board up for a while; here a moment is enough.
  demo = std::regex_replace(demo, std::regex("^Warten [0-9.]+", std::regex::multiline), "Warten 0.2");
  Lauf l = lauf(skript("demo.txt", demo).string());
  EXPECT_EQ(l.rueckgabe, 0) << l.fehler;
  EXPECT_EQ(l.fehler.find("BefehlFehler"), std::string::npos) << l.fehler;
  EXPECT_TRUE(std::regex_match(l.aus, std::regex("([1-9]|10)\n([1-9]|10)\n"))) << l.aus;
}

TEST_F(Vrd4send, KeepRunningThenConnectUsesTheSameReceiver) {
  auto p = skript("cls.txt", "Cls\n");
  Lauf erster = lauf("--weiterlaufen " + p.string());
  EXPECT_EQ(erster.rueckgabe, 0) << erster.fehler;
  auto pid = laufenderEmpfaenger();
  ASSERT_TRUE(pid);
  Lauf zweiter = lauf("--verbinden " + p.string());
  EXPECT_EQ(zweiter.rueckgabe, 0) << zweiter.fehler;
  EXPECT_EQ(zweiter.fehler.find("bereits geladen"), std::string::npos);
  // The second run used it and, at its end, ended it.
  EXPECT_TRUE(bisZu([&] { return !platform::processAlive(*pid); }));
}

}  // namespace
}  // namespace vrd4::sender::test
