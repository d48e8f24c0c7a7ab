// Shared by the end-to-end tests: one real receiver process, run as a copy of
// the program in a folder of its own, where its settings file and its snapshot
// "<prefix>Picture.bmp" (saved on SIGUSR1) live; and the sending side of the ring on
// the channel names of this process.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "channel/modVRD4GlobaleVariablen.h"
#include "tests/TestHilfe.h"

extern char** environ;

namespace vrd4::e2e {

namespace gv = channel::modVRD4GlobaleVariablen;

// Generous: the machine may be busy. Waiting ends as soon as the condition holds.
inline constexpr double kStartSekunden = 60.0;
inline constexpr double kSekunden = 15.0;

using vrd4::test::befehl;
using vrd4::test::warteBis;

// As a sending program does before it starts the receiver: the set first. The
// counters survive while any other process holds the set, so both sides start
// from slot 0, as a fresh pair would.
inline void ringFrischAnlegen() {
  gv::SpeichervariablenAnlegen();
  for (auto* v : {&gv::clsVRD4EmpfaengerGestartet(), &gv::clsVRD4EventFensterHandle(), &gv::clsVRD4Event(),
                  &gv::clsVRD4LetzteGesendete(), &gv::clsVRD4LetzteGelesene()})
    v->SetMemory(u"");
}

// What a shell command writes to its standard output; its exit status into
// `status` when given (-1: it did not run or end normally).
inline std::string ausgabe(const std::string& aufruf, int* status = nullptr) {
  std::string text;
  int st = -1;
  if (std::FILE* p = ::popen(aufruf.c_str(), "r")) {
    for (char puffer[512]; std::fgets(puffer, sizeof puffer, p);) text += puffer;
    st = ::pclose(p);
  }
  if (status) *status = st != -1 && WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return text;
}

inline bool gestartet() {
  return warteBis([] { return gv::clsVRD4EmpfaengerGestartet().GetMemory() == u"-1"; }, kStartSekunden);
}

// The sending side of the ring: writes slot after slot, wrapping at 100.
struct Ring {
  int senden(const std::u16string& text) {
    const int slot = gesendet++ % 100;
    gv::Sendetexte(slot).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(QString::number(slot).toStdU16String());
    return slot;
  }
  static bool gelesen(int slot) {
    const std::u16string s = QString::number(slot).toStdU16String();
    return warteBis([&] { return gv::clsVRD4LetzteGelesene().GetMemory() == s; }, kSekunden);
  }
  int gesendet = 0;
};

// The contents of a file; empty when there is none.
inline std::string dateiInhalt(const std::string& pfad) {
  std::ifstream f(pfad);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// A field of /proc/PID/status in KiB ("VmRSS:", "VmHWM:"); -1 when unknown.
inline long procKiB(pid_t pid, const std::string& feld) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string z; std::getline(f, z);)
    if (z.starts_with(feld)) return std::stol(z.substr(feld.size()));
  return -1;
}

// A program the test starts (argv[0] a path), its stdout and stderr appended
// to the files given and its stdin from one (empty: the test's own). Ended
// with the object: SIGTERM, then SIGKILL when it does not end in time.
class Prozess {
 public:
  Prozess() = default;
  explicit Prozess(std::vector<std::string> args, const std::string& aus = "", const std::string& fehler = "",
                   const std::string& ein = "") {
    starten(std::move(args), aus, fehler, ein);
  }
  Prozess(const Prozess&) = delete;
  Prozess& operator=(const Prozess&) = delete;
  ~Prozess() { beenden(); }
  void beenden() {
    if (!laeuft()) return;
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    if (!warteAufEnde(kSekunden)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void starten(std::vector<std::string> args, const std::string& aus = "", const std::string& fehler = "",
               const std::string& ein = "") {
    status_.reset();
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    if (!aus.empty()) posix_spawn_file_actions_addopen(&aktionen, 1, aus.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (!fehler.empty())
      posix_spawn_file_actions_addopen(&aktionen, 2, fehler.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (!ein.empty()) posix_spawn_file_actions_addopen(&aktionen, 0, ein.c_str(), O_RDONLY, 0);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &aktionen, nullptr, argv.data(), environ), 0) << args[0];
    posix_spawn_file_actions_destroy(&aktionen);
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
  // The exit status (128 + signal when killed) once it has ended within the time.
  std::optional<int> exitStatus(double sekunden) {
    const auto st = warteAufEnde(sekunden);
    if (!st) return st;
    return WIFEXITED(*st) ? WEXITSTATUS(*st) : 128 + WTERMSIG(*st);
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// One receiver process. An empty prefix means the real channel names; with a
// prefix its leftover names under /dev/shm are removed at the end.
class Empfaenger : public Prozess {
 public:
  explicit Empfaenger(std::string praefix = "", const QByteArray& startwerte = {}) : praefix_(std::move(praefix)) {
    programm_ = ordner() + "/VRD4Empfaenger";
    EXPECT_TRUE(QFile::copy(QStringLiteral(VRD4_BIN_DIR "/VRD4Empfaenger"), QString::fromStdString(programm_)))
        << "build the VRD4Empfaenger target first";
    if (startwerte.isEmpty()) return;
    QFile f(QString::fromStdString(ordner() + "/" + praefix_ + "VRD4Startwerte.TXT"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(startwerte);
  }
  ~Empfaenger() {
    beenden();
    if (!praefix_.empty()) vrd4::test::kanalDateienEntfernen(praefix_);
  }

  // Starts the program (again, once it has ended) with the prefix and extra;
  // its stderr (its history) appended to the file `protokoll` of its folder
  // when one is named.
  void starten(const std::vector<std::string>& extra = {}, const std::string& protokoll = "") {
    std::vector<std::string> args{programm_};
    if (!praefix_.empty()) args.insert(args.end(), {"--prefix", praefix_});
    args.insert(args.end(), extra.begin(), extra.end());
    Prozess::starten(args, "", protokoll.empty() ? "" : ordner() + "/" + protokoll);
  }
  // A file of its folder, e.g. the history named at the start.
  std::string datei(const std::string& name) const { return dateiInhalt(ordner() + "/" + name); }
  // A fresh snapshot of the board; null when none came.
  QImage schnappschuss() {
    const QString datei = QString::fromStdString(ordner() + "/" + praefix_ + "Picture.bmp");
    QFile::remove(datei);
    kill(pid(), SIGUSR1);
    if (!warteBis([&] { return QFile::exists(datei) && QImage(datei).width() > 0; }, kSekunden)) return {};
    return QImage(datei);
  }
  // The board's middle shows `farbe` within the time.
  bool zeigt(const QColor& farbe) {
    return warteBis([&] {
      const QImage bild = schnappschuss();
      return !bild.isNull() && bild.pixelColor(bild.width() / 2, bild.height() / 2) == farbe;
    }, kSekunden);
  }
  std::string ordner() const { return ordner_.path().toStdString(); }

 private:
  QTemporaryDir ordner_;
  std::string praefix_, programm_;
};

}  // namespace vrd4::e2e
