// The network relay of real receiver programs on loopback (offscreen unless
// $DISPLAY and QT_QPA_PLATFORM say otherwise). Receivers run on channels of
// their own (--prefix), so no other receiver is disturbed.
//
//  BM_Pipelined/Linie, /Textausgabe: commands per second over one TCP
//    connection, all sent at once, each answered "OK" after drawing.
//  BM_HopLatenz: one command, then wait for its "OK" (the round trip a
//    stop-and-wait relay paid per command): median and 99th percentile.
//  BM_Bild1MB/TCP: a 1 MB picture in the line to B, until its "OK".
//  BM_Bild1MB/Kette: ring -> A -> B: A reads the file, forwards it in hex
//    (without waiting for B) and draws; until A takes the next command.
//  BM_LeerlaufCpu/0, /10: CPU share of a receiver whose server listens,
//    without and with 10 idle connections; /-1: server not started.
#include "bench/ProzessCpu.h"
#include "bench/relay/RelayHilfe.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <algorithm>
#include <memory>

#include "channel/ClsVRD4Memory.h"

namespace {

using namespace vrd4::bench;
using Uhr = std::chrono::steady_clock;

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
  const double guiVorher = cpuSekunden(t.b.pid(), true);
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
  // What limits the rate: the GUI thread, which takes every command.
  state.counters["gui_cpu_us_je_befehl"] =
      1e6 * (cpuSekunden(t.b.pid(), true) - guiVorher) / double(state.iterations() * n);
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
