// Shared by the end-to-end tests: one real receiver process, run as a copy of
// the program in a folder of its own, where its settings file and its snapshot
// "<prefix>Picture.bmp" (saved on SIGUSR1) live; and the sending side of the ring on
// the channel names of this process.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
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

// What a shell command writes to its standard output.
inline std::string ausgabe(const std::string& aufruf) {
  std::string text;
  if (std::FILE* p = ::popen(aufruf.c_str(), "r")) {
    for (char puffer[512]; std::fgets(puffer, sizeof puffer, p);) text += puffer;
    ::pclose(p);
  }
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

// One receiver process. An empty prefix means the real channel names; with a
// prefix its leftover names under /dev/shm are removed at the end.
class Empfaenger {
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
    if (laeuft()) {
      kill(pid_, SIGCONT);
      kill(pid_, SIGTERM);
      if (!warteAufEnde(kSekunden)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (!praefix_.empty()) vrd4::test::kanalDateienEntfernen(praefix_);
  }

  // Starts the program (again, once it has ended) with the prefix and extra.
  void starten(const std::vector<std::string>& extra = {}) {
    status_.reset();
    std::vector<std::string> args{programm_};
    if (!praefix_.empty()) args.insert(args.end(), {"--prefix", praefix_});
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid_, programm_.c_str(), nullptr, nullptr, argv.data(), environ), 0);
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
  // A fresh snapshot of the board; null when none came.
  QImage schnappschuss() {
    const QString datei = QString::fromStdString(ordner() + "/" + praefix_ + "Picture.bmp");
    QFile::remove(datei);
    kill(pid_, SIGUSR1);
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
  pid_t pid() const { return pid_; }
  std::string ordner() const { return ordner_.path().toStdString(); }

 private:
  QTemporaryDir ordner_;
  std::string praefix_, programm_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

}  // namespace vrd4::e2e
