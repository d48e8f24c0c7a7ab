// The network relay of real receiver programs on loopback (offscreen unless
// $DISPLAY and QT_QPA_PLATFORM say otherwise). Receivers run on channels of
// their own (--prefix), so no other receiver is disturbed.
//
//  BM_Pipelined/Linie, /Textausgabe: commands per second over one TCP
//    connection, all sent at once, each answered "OK" after drawing.
//  BM_HopLatenz: one command, then wait for its "OK" (what a forwarding
//    receiver does per command): median and 99th percentile.
//  BM_Bild1MB/TCP: a 1 MB picture in the line to B, until its "OK".
//  BM_Bild1MB/Kette: ring -> A -> B: A reads the file, forwards it in hex,
//    waits for B's "OK" and draws; until A takes the next command.
//  BM_LeerlaufCpu/0, /10: CPU share of a receiver whose server listens,
//    without and with 10 idle connections; /-1: server not started.
#include "bench/ProzessCpu.h"
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"

extern char** environ;

namespace {

namespace gv = vrd4::channel::modVRD4GlobaleVariablen;
using Uhr = std::chrono::steady_clock;

using vrd4::bench::cpuSekunden;

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

uint16_t freierPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  socklen_t n = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  close(fd);
  return ntohs(a.sin_port);
}

int verbinden(uint16_t port) {
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

bool allesSenden(int fd, const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const ssize_t n = send(fd, s.data() + i, s.size() - i, MSG_NOSIGNAL);
    if (n <= 0) return false;
    i += std::size_t(n);
  }
  return true;
}

// Reads until `anzahl` lines "OK" have come (false on anything else or EOF).
bool okLesen(int fd, long anzahl) {
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

std::string befehl(std::initializer_list<std::string> felder) {
  std::string s = "Befehl";
  for (const auto& f : felder) s += "\x1b" + f;
  return s;
}

// One receiver program in a folder of its own.
class Empfaenger {
 public:
  Empfaenger(const std::string& praefix, const std::string& startwerte) : praefix_(praefix) {
    ordner_ = std::filesystem::temp_directory_path() / ("bench_relay_" + std::to_string(getpid()) + "_" + praefix);
    std::filesystem::create_directories(ordner_);
    programm_ = (ordner_ / "VRD4Empfaenger").string();
    std::filesystem::copy_file(VRD4_BIN_DIR "/VRD4Empfaenger", programm_,
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(ordner_ / (praefix + "VRD4Startwerte.TXT"), std::ios::binary) << startwerte;
    std::vector<std::string> args{programm_, "--prefix", praefix};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn(&pid_, programm_.c_str(), nullptr, nullptr, argv.data(), environ);
  }
  ~Empfaenger() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::error_code ec;
    std::filesystem::remove_all(ordner_, ec);
    for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
      if (e.path().filename().string().starts_with(praefix_)) std::filesystem::remove(e.path(), ec);
  }
  pid_t pid() const { return pid_; }
  std::filesystem::path ordner() const { return ordner_; }

 private:
  std::string praefix_, programm_;
  std::filesystem::path ordner_;
  pid_t pid_ = -1;
};

std::string startwerte(uint16_t port, bool client, bool server) {
  return std::string("127.0.0.1\r\n") + std::to_string(port) + "\r\n" + (client ? "1" : "0") + "\r\n" +
         (server ? "1" : "0") + "\r\n 0 \r\n 0 \r\n";
}

int warteAufServer(uint16_t port) {
  for (int i = 0; i < 3000; ++i) {
    const int fd = verbinden(port);
    if (fd >= 0) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

// B: a receiver whose server listens; started once for all benchmarks.
struct Tafel {
  Tafel() : port(freierPort()), b("bench_relay_B_", startwerte(port, false, true)) {
    fd = warteAufServer(port);
  }
  ~Tafel() {
    if (fd >= 0) close(fd);
  }
  uint16_t port;
  Empfaenger b;
  int fd = -1;
};

Tafel& tafel() {
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static Tafel t;
  return t;
}

void BM_Pipelined(benchmark::State& state) {
  Tafel& t = tafel();
  if (t.fd < 0) return state.SkipWithError("no receiver");
  const std::string eins = state.range(0) == 0
                               ? befehl({"Linie", "1", "1", "768", "480", "1", "255"})
                               : befehl({"Textausgabe", "1", "1", "400", "40", "Zwanzig Zeichen Text", "4", "Arial",
                                         "30", "0", "0", "0", "0", "0", "16777215", "0", "0", "0", "0"});
  const long n = state.range(0) == 0 ? 50000 : 5000;
  std::string alle;
  for (long i = 0; i < n; ++i) alle += eins + "\r\n";
  const double cpuVorher = cpuSekunden(t.b.pid());
  for (auto _ : state) {
    std::thread schreiber([&] { allesSenden(t.fd, alle); });
    const bool ok = okLesen(t.fd, n);
    schreiber.join();
    if (!ok) return state.SkipWithError("reply was not OK");
  }
  state.SetItemsProcessed(state.iterations() * n);
  // On a busy machine the wall time says little: the receiver's own CPU
  // time per command says what it costs.
  const double cpu = cpuSekunden(t.b.pid()) - cpuVorher;
  state.counters["empfaenger_cpu_us_je_befehl"] = 1e6 * cpu / double(state.iterations() * n);
  state.counters["befehle_je_cpu_s"] = double(state.iterations() * n) / cpu;
  state.SetLabel(state.range(0) == 0 ? "Linie" : "Textausgabe 20 Zeichen");
}
BENCHMARK(BM_Pipelined)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_HopLatenz(benchmark::State& state) {
  Tafel& t = tafel();
  if (t.fd < 0) return state.SkipWithError("no receiver");
  const std::string eins = befehl({"Linie", "1", "1", "768", "480", "1", "65280"}) + "\r\n";
  std::vector<double> us;
  for (auto _ : state) {
    const auto start = Uhr::now();
    allesSenden(t.fd, eins);
    if (!okLesen(t.fd, 1)) return state.SkipWithError("reply was not OK");
    us.push_back(std::chrono::duration<double, std::micro>(Uhr::now() - start).count());
  }
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}
BENCHMARK(BM_HopLatenz)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A BMP of about 1 MB.
QByteArray bild1MB() {
  QImage img(600, 580, QImage::Format_RGB888);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, qRgb(x & 255, y & 255, (x * y) & 255));
  QByteArray bytes;
  QBuffer puffer(&bytes);
  puffer.open(QIODevice::WriteOnly);
  img.save(&puffer, "BMP");
  return bytes;
}

void BM_Bild1MB_TCP(benchmark::State& state) {
  Tafel& t = tafel();
  if (t.fd < 0) return state.SkipWithError("no receiver");
  const QByteArray bytes = bild1MB();
  std::string zeile = befehl({"BildAnzeigen", "bild.bmp", "-1", "0", bytes.toHex().toUpper().toStdString(), "", "",
                              "", "", "", "", "", ""}) +
                      "\r\n";
  for (auto _ : state) {
    std::thread schreiber([&] { allesSenden(t.fd, zeile); });
    const bool ok = okLesen(t.fd, 1);
    schreiber.join();
    if (!ok) return state.SkipWithError("reply was not OK");
  }
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_Bild1MB_TCP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_Bild1MB_Kette(benchmark::State& state) {
  Tafel& t = tafel();
  if (t.fd < 0) return state.SkipWithError("no receiver");
  // A: the ring of this process's channel, Client2 to B.
  vrd4::channel::setChannelNamePrefix("bench_relay_A_");
  gv::SpeichervariablenAnlegen();
  gv::clsVRD4EmpfaengerGestartet().SetMemory(u"");
  Empfaenger a("bench_relay_A_", startwerte(t.port, true, false));
  for (int i = 0; i < 3000 && gv::clsVRD4EmpfaengerGestartet().GetMemory() != u"-1"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // Client2 connects at activation
  const QByteArray bytes = bild1MB();
  const std::string datei = (a.ordner() / "bild.bmp").string();
  std::ofstream(datei, std::ios::binary).write(bytes.data(), bytes.size());
  int slot = 0;
  auto senden = [&](const std::u16string& text) {
    gv::Sendetexte(slot).SetMemory(text);
    gv::clsVRD4LetzteGesendete().SetMemory(QString::number(slot).toStdU16String());
    return slot++;
  };
  const std::u16string bildBefehl = QString::fromStdString(befehl({"BildAnzeigen", datei, "-1", "0"})).toStdU16String();
  for (auto _ : state) {
    const auto start = Uhr::now();
    senden(bildBefehl);
    const int danach = senden(u"Befehl\x1b" u"Tafelgroesse\x1b" u"768\x1b" u"480");
    const std::u16string ziel = QString::number(danach).toStdU16String();
    while (gv::clsVRD4LetzteGelesene().GetMemory() != ziel) {
      if (Uhr::now() - start > std::chrono::seconds(30)) return state.SkipWithError("A did not go on");
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    state.SetIterationTime(std::chrono::duration<double>(Uhr::now() - start).count());
    if (slot > 90) break;
  }
  if (gv::clsVRD4Event().GetMemory().find(u"Timeout") != std::u16string::npos)
    state.SkipWithError("B did not acknowledge");
  gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_Bild1MB_Kette)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_LeerlaufCpu(benchmark::State& state) {
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const int verbindungen = int(state.range(0));
  for (auto _ : state) {
    const uint16_t port = freierPort();
    Empfaenger e("bench_relay_idle_", startwerte(port, false, verbindungen >= 0));
    std::vector<int> fds;
    if (verbindungen >= 0) {
      const int probe = warteAufServer(port);
      if (probe < 0) return state.SkipWithError("no server");
      close(probe);
      for (int i = 0; i < verbindungen; ++i) fds.push_back(verbinden(port));
    } else {
      std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double vorher = cpuSekunden(e.pid());
    const auto start = Uhr::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double cpu = cpuSekunden(e.pid()) - vorher;
    const double wand = std::chrono::duration<double>(Uhr::now() - start).count();
    state.counters["cpu_anteil_prozent"] = 100.0 * cpu / wand;
    for (int fd : fds) close(fd);
  }
}
BENCHMARK(BM_LeerlaufCpu)->Arg(-1)->Arg(0)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
