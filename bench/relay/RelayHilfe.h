#pragma once
// Shared by the relay benchmarks and the soak run: real receiver programs on
// loopback, each in a folder of its own with its own channel (--prefix), and
// the sending side of a ring and of a TCP connection.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QString>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "channel/modVRD4GlobaleVariablen.h"
#include "tests/TestHilfe.h"

extern char** environ;

namespace vrd4::bench {

namespace gv = channel::modVRD4GlobaleVariablen;

// A BMP of about 1 MB, different in every pixel row.
inline QByteArray bild1MB() {
  QImage img(600, 580, QImage::Format_RGB888);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, qRgb(x & 255, y & 255, (x * y) & 255));
  QByteArray bytes;
  QBuffer puffer(&bytes);
  puffer.open(QIODevice::WriteOnly);
  img.save(&puffer, "BMP");
  return bytes;
}

using vrd4::test::freierPort;
const auto loopback = vrd4::test::loopbackAdresse;

// A connection to port on loopback; -1 when refused.
inline int verbinden(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  int eins = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &eins, sizeof eins);
  return fd;
}

inline bool allesSenden(int fd, const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const ssize_t n = send(fd, s.data() + i, s.size() - i, MSG_NOSIGNAL);
    if (n <= 0) return false;
    i += std::size_t(n);
  }
  return true;
}

// Reads until `anzahl` lines "OK" have come (false on anything else or EOF).
inline bool okLesen(int fd, long anzahl) {
  char puffer[65536];
  std::string rest;
  long gelesen = 0;
  while (gelesen < anzahl) {
    const ssize_t n = recv(fd, puffer, sizeof puffer, 0);
    if (n <= 0) return false;
    rest.append(puffer, std::size_t(n));
    std::size_t pos;
    while ((pos = rest.find("\r\n")) != std::string::npos) {
      if (rest.compare(0, pos, "OK") != 0) return false;
      rest.erase(0, pos + 2);
      ++gelesen;
    }
  }
  return true;
}

inline std::string befehl(std::initializer_list<std::string> felder) {
  std::string s = "Befehl";
  for (const auto& f : felder) s += "\x1b" + f;
  return s;
}

inline std::string startwerte(uint16_t port, bool client, bool server) {
  return std::string("127.0.0.1\r\n") + std::to_string(port) + "\r\n" + (client ? "1" : "0") + "\r\n" +
         (server ? "1" : "0") + "\r\n 0 \r\n 0 \r\n";
}

inline int warteAufServer(uint16_t port, double sekunden = 30) {
  const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
  do {
    const int fd = verbinden(port);
    if (fd >= 0) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < ende);
  return -1;
}

// Resident memory of a process in KiB (-1 when gone).
inline long rssKiB(pid_t pid, const char* feld = "VmRSS:") {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string zeile; std::getline(f, zeile);)
    if (zeile.rfind(feld, 0) == 0) return std::stol(zeile.substr(std::strlen(feld)));
  return -1;
}

// One receiver program in a folder of its own; its history (stderr) goes to
// "historie.txt" there. Started by the constructor, again by starten().
class Empfaenger {
 public:
  Empfaenger(const std::string& praefix, const std::string& startwerte, std::vector<std::string> extra = {})
      : praefix_(praefix), extra_(std::move(extra)) {
    ordner_ = std::filesystem::temp_directory_path() / ("bench_relay_" + std::to_string(getpid()) + "_" + praefix);
    std::filesystem::create_directories(ordner_);
    programm_ = (ordner_ / "VRD4Empfaenger").string();
    // $VRD4_EMPFAENGER: another build's receiver, to compare two builds.
    const char* anderer = std::getenv("VRD4_EMPFAENGER");
    std::filesystem::copy_file(anderer ? anderer : VRD4_BIN_DIR "/VRD4Empfaenger", programm_,
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(ordner_ / (praefix + "VRD4Startwerte.TXT"), std::ios::binary) << startwerte;
    starten();
  }
  ~Empfaenger() {
    beenden();
    std::error_code ec;
    if (!behalten) std::filesystem::remove_all(ordner_, ec);
    for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
      if (e.path().filename().string().starts_with(praefix_)) std::filesystem::remove(e.path(), ec);
  }
  Empfaenger(const Empfaenger&) = delete;
  Empfaenger& operator=(const Empfaenger&) = delete;

  void starten() {
    std::vector<std::string> args{programm_, "--prefix", praefix_};
    args.insert(args.end(), extra_.begin(), extra_.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    const std::string historie = (ordner_ / "historie.txt").string();
    posix_spawn_file_actions_addopen(&aktionen, 2, historie.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn(&pid_, programm_.c_str(), &aktionen, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&aktionen);
  }
  void beenden(int signal = SIGTERM) {
    if (pid_ <= 0) return;
    kill(pid_, SIGCONT);
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // A fresh snapshot of the board (SIGUSR1 writes <prefix>Picture.bmp); null when none came.
  QImage schnappschuss(double sekunden = 20) {
    const QString datei = QString::fromStdString((ordner_ / (praefix_ + "Picture.bmp")).string());
    std::filesystem::remove(ordner_ / (praefix_ + "Picture.bmp"));
    kill(pid_, SIGUSR1);
    const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
    while (std::chrono::steady_clock::now() < ende) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const QImage bild(datei);
      if (!bild.isNull()) return bild;
    }
    return {};
  }
  pid_t pid() const { return pid_; }
  std::filesystem::path ordner() const { return ordner_; }
  // How the process ended, once it has ("" while it runs): the exit status
  // or the signal that ended it.
  std::string ende() {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return {};
    pid_ = -1;
    return WIFSIGNALED(status) ? "Signal " + std::to_string(WTERMSIG(status)) + (WCOREDUMP(status) ? " (core)" : "")
                               : "Status " + std::to_string(WEXITSTATUS(status));
  }
  // Keep the folders (history, snapshot) for a run that went wrong.
  static inline bool behalten = false;

 private:
  std::string praefix_, programm_;
  std::vector<std::string> extra_;
  std::filesystem::path ordner_;
  pid_t pid_ = -1;
};

// The sending side of the ring of this process's channel: the library's rule,
// a slot is written only once the receiver has emptied it.
struct Ring {
  explicit Ring(const std::string& praefix) {
    channel::setChannelNamePrefix(praefix);
    gv::SpeichervariablenAnlegen();
    for (auto* v : {&gv::clsVRD4EmpfaengerGestartet(), &gv::clsVRD4Event(), &gv::clsVRD4LetzteGesendete(),
                    &gv::clsVRD4LetzteGelesene()})
      v->SetMemory(u"");
  }
  ~Ring() {
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    gv::SpeichervariablenFreigeben();
  }
  bool gestartet(double sekunden = 60) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
    while (gv::clsVRD4EmpfaengerGestartet().GetMemory() != u"-1")
      if (std::chrono::steady_clock::now() > ende) return false;
      else std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
  }
  // False when the slot stayed full for `sekunden`.
  bool senden(const std::string& text, double sekunden = 30) {
    const int slot = naechster % 100;
    const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
    while (!gv::Sendetexte(slot).GetMemory().empty())
      if (std::chrono::steady_clock::now() > ende) return false;
      else std::this_thread::sleep_for(std::chrono::microseconds(200));
    gv::Sendetexte(slot).SetMemory(QString::fromLatin1(text).toStdU16String());
    gv::clsVRD4LetzteGesendete().SetMemory(QString::number(slot).toStdU16String());
    ++naechster;
    return true;
  }
  // Until the receiver has taken everything.
  bool leer(double sekunden = 60) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
    for (int s = 0; s < 100; ++s)
      while (!gv::Sendetexte(s).GetMemory().empty())
        if (std::chrono::steady_clock::now() > ende) return false;
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }
  long naechster = 0;
};

}  // namespace vrd4::bench
