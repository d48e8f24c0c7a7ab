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
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "channel/modVRD4GlobaleVariablen.h"

// After Qt: Xlib defines Bool and Status as macros.
#include <X11/Xlib.h>

extern char** environ;

namespace vrd4::e2e {
namespace {

namespace gv = channel::modVRD4GlobaleVariablen;
using Uhr = std::chrono::steady_clock;

// Generous: the machine may be busy. Waiting ends as soon as the condition holds.
constexpr double kStartSekunden = 60.0;
constexpr double kSekunden = 10.0;

bool warteBis(const std::function<bool()>& bedingung, double sekunden) {
  const auto ende = Uhr::now() + std::chrono::duration<double>(sekunden);
  for (;;) {
    if (bedingung()) return true;
    if (Uhr::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::u16string u16(const std::string& s) { return std::u16string(s.begin(), s.end()); }
std::string u8(const std::u16string& s) { return QString::fromStdU16String(s).toStdString(); }

std::u16string befehl(std::initializer_list<std::u16string> teile) {
  std::u16string s = u"Befehl";
  for (const auto& t : teile) {
    s += u'\x1b';
    s += t;
  }
  return s;
}

// One started receiver; killed and reaped if a test leaves it running.
class Prozess {
 public:
  explicit Prozess(const std::string& pfad) {
    char* argv[] = {const_cast<char*>(pfad.c_str()), nullptr};
    if (posix_spawn(&pid_, pfad.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
  }
  ~Prozess() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Prozess(const Prozess&) = delete;
  Prozess& operator=(const Prozess&) = delete;

  pid_t pid() const { return pid_; }
  bool laeuft() {
    pruefen();
    return pid_ > 0 && !status_;
  }
  // The wait status once it has ended within the time, else nullopt.
  std::optional<int> warteAufEnde(double sekunden) {
    warteBis([this] { return !laeuft(); }, sekunden);
    return status_;
  }

 private:
  void pruefen() {
    if (pid_ <= 0 || status_) return;
    int st = 0;
    if (waitpid(pid_, &st, WNOHANG) == pid_) status_ = st;
  }
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// A window of "the sending program" whose title the receiver sets.
class XFenster {
 public:
  XFenster() : dpy_(XOpenDisplay(nullptr)) {
    if (!dpy_) return;
    win_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 40, 20, 0, 0, 0);
    XSync(dpy_, False);
  }
  ~XFenster() {
    if (!dpy_) return;
    XDestroyWindow(dpy_, win_);
    XCloseDisplay(dpy_);
  }
  XFenster(const XFenster&) = delete;
  XFenster& operator=(const XFenster&) = delete;
  bool ok() const { return dpy_ != nullptr; }
  unsigned long id() const { return win_; }
  std::string titel() const {
    const Atom prop = XInternAtom(dpy_, "_NET_WM_NAME", False);
    const Atom type = XInternAtom(dpy_, "UTF8_STRING", False);
    Atom actual = 0;
    int format = 0;
    unsigned long n = 0, rest = 0;
    unsigned char* data = nullptr;
    std::string wert;
    if (XGetWindowProperty(dpy_, win_, prop, 0, 1 << 16, False, type, &actual, &format, &n, &rest, &data) ==
            Success &&
        data)
      wert.assign(reinterpret_cast<char*>(data), n);
    if (data) XFree(data);
    return wert;
  }

 private:
  Display* dpy_;
  Window win_ = 0;
};

class EmpfaengerE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    char muster[] = "/tmp/vrd4_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(muster), nullptr);
    ordner_ = muster;
    programm_ = ordner_ + "/VRD4Empfaenger";
    ASSERT_TRUE(QFile::copy(QStringLiteral(VRD4_BIN_DIR "/VRD4Empfaenger"), QString::fromStdString(programm_)))
        << "build the VRD4Empfaenger target first";

    // As a sending program does: the set first, then the receiver.
    gv::SpeichervariablenAnlegen();
    gv::clsVRD4EmpfaengerGestartet().SetMemory(u"");
    gv::clsVRD4EventFensterHandle().SetMemory(u"");
    gv::clsVRD4Event().SetMemory(u"");
    // Counters survive while any other process holds the set: start both
    // sides from slot 0, as a fresh pair would.
    gv::clsVRD4LetzteGesendete().SetMemory(u"");
    gv::clsVRD4LetzteGelesene().SetMemory(u"");
    empfaenger_ = std::make_unique<Prozess>(programm_);
    ASSERT_GT(empfaenger_->pid(), 0);
    ASSERT_TRUE(warteBis([] { return gv::clsVRD4EmpfaengerGestartet().GetMemory() == u"-1"; }, kStartSekunden))
        << "no start mark from the receiver";
  }

  void TearDown() override {
    if (empfaenger_ && empfaenger_->laeuft()) {
      gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
      empfaenger_->warteAufEnde(kSekunden);
    }
    empfaenger_.reset();
    gv::SpeichervariablenFreigeben();
    if (!ordner_.empty()) QDir(QString::fromStdString(ordner_)).removeRecursively();
  }

  int senden(const std::u16string& text) {
    const int slot = schreibzeiger_;
    gv::Sendetexte(slot).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(u16(std::to_string(slot)));
    schreibzeiger_ = (schreibzeiger_ + 1) % gv::kAnzahlSendetexte;
    return slot;
  }
  bool gelesen(int slot) {
    return warteBis([slot] { return gv::clsVRD4LetzteGelesene().GetMemory() == u16(std::to_string(slot)); },
                    kSekunden);
  }
  static bool eventIst(const std::u16string& erwartet) {
    return warteBis([&] { return gv::clsVRD4Event().GetMemory() == erwartet; }, kSekunden);
  }

  QImage schnappschuss() {
    const QString datei = QString::fromStdString(ordner_) + QStringLiteral("/Picture.bmp");
    QFile::remove(datei);
    kill(empfaenger_->pid(), SIGUSR1);
    if (!warteBis([&] { return QFile::exists(datei); }, kSekunden)) return {};
    return QImage(datei);
  }

  std::string ordner_;
  std::string programm_;
  std::unique_ptr<Prozess> empfaenger_;
  int schreibzeiger_ = 0;
};

TEST_F(EmpfaengerE2E, CommandsWrittenIntoTheRingShowOnTheBoard) {
  senden(befehl({u"Cls"}));
  senden(befehl({u"Rechteck", u"1", u"1", u"100", u"50", u"1", u"255", u"-1"}));  // red, filled
  const int letzter = senden(befehl({u"Linie", u"1", u"200", u"768", u"200", u"3", u"16711680"}));  // blue
  ASSERT_TRUE(gelesen(letzter));

  const QImage bild = schnappschuss();
  ASSERT_FALSE(bild.isNull()) << "no Picture.bmp after SIGUSR1";
  EXPECT_EQ(bild.size(), QSize(768, 480));
  EXPECT_EQ(bild.pixelColor(50, 25), QColor(255, 0, 0));
  EXPECT_EQ(bild.pixelColor(400, 199), QColor(0, 0, 255));
  EXPECT_EQ(bild.pixelColor(400, 400), QColor(0, 0, 0));
  EXPECT_TRUE(empfaenger_->laeuft());
}

TEST_F(EmpfaengerE2E, BadCommandsAreReportedAsEventsAndTheReceiverGoesOn) {
  XFenster fenster;
  ASSERT_TRUE(fenster.ok());
  gv::clsVRD4EventFensterHandle().SetMemory(u16(std::to_string(fenster.id())));

  senden(befehl({u"GibtEsNicht"}));
  const std::u16string unbekannt = u"BefehlFehler;Falsche Abfragetext: GibtEsNicht\r\noder VRD4-Modul noch nicht geöffnet!";
  ASSERT_TRUE(eventIst(unbekannt));
  EXPECT_TRUE(warteBis([&] { return fenster.titel() == u8(unbekannt); }, kSekunden)) << fenster.titel();

  senden(befehl({u"Linie", u"abc", u"1", u"2", u"2", u"1", u"255"}));
  ASSERT_TRUE(warteBis([] { return gv::clsVRD4Event().GetMemory().starts_with(u"BefehlFehler;Fehler in Linie: "); },
                       kSekunden))
      << u8(gv::clsVRD4Event().GetMemory());
  EXPECT_TRUE(empfaenger_->laeuft());

  const int letzter = senden(befehl({u"Rechteck", u"1", u"1", u"20", u"20", u"1", u"65280", u"-1"}));
  ASSERT_TRUE(gelesen(letzter));
  const QImage bild = schnappschuss();
  ASSERT_FALSE(bild.isNull());
  EXPECT_EQ(bild.pixelColor(10, 10), QColor(0, 255, 0));
}

TEST_F(EmpfaengerE2E, EndRequestEndsTheReceiverWithinATick) {
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  const auto status = empfaenger_->warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value()) << "still running";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(gv::clsVRD4EmpfaengerGestartet().GetMemory(), u"0");
}

class SignalE2E : public EmpfaengerE2E, public ::testing::WithParamInterface<int> {};

TEST_P(SignalE2E, EndsTheReceiverWithTheStopMark) {
  ASSERT_EQ(kill(empfaenger_->pid(), GetParam()), 0);
  const auto status = empfaenger_->warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value()) << "still running";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "ended by the signal itself: " << *status;
  EXPECT_EQ(gv::clsVRD4EmpfaengerGestartet().GetMemory(), u"0");
}

INSTANTIATE_TEST_SUITE_P(Signale, SignalE2E, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT"); });

}  // namespace
}  // namespace vrd4::e2e
