// Relay chains of real receiver programs on loopback (offscreen unless
// $DISPLAY and QT_QPA_PLATFORM say otherwise), with pipelined forwarding:
//
//  BM_Kette: ring -> A -(Client2)-> B -(Client3)-> C, n Linie commands into
//    A's ring; the time until C shows the last one: Linie/s drawn on C.
//  BM_Nachholen: the catch-up of a scene of 1,000 commands that each paint
//    their own cell: building it (Szene::befehle) and a receiver running it
//    over TCP until its last "OK".
//  BM_SpeicherHinterHaengendemB: A forwards 100 MB of picture lines (1 MB
//    files, 2 MB in hex each) to a B stopped with SIGSTOP: A's resident
//    memory before, at its peak and after.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <memory>

#include "bench/ProzessCpu.h"
#include "bench/relay/RelayHilfe.h"
#include "protocol/Befehl.h"
#include "szene/Szene.h"

namespace {

using namespace vrd4::bench;
using Uhr = std::chrono::steady_clock;

void offscreen() {
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// Cell i of a 40 × 25 grid in a colour of its own.
std::string zelle(int i) {
  const int x = (i % 40) * 19 + 1, y = (i / 40) * 19 + 1;
  return befehl({"Rechteck", std::to_string(x), std::to_string(y), std::to_string(x + 17), std::to_string(y + 17), "1",
                 std::to_string(i * 2654435761u & 0xFFFFFF), "-1"});
}

// Waits until the board's pixel (x, y) shows farbe (0xRRGGBB).
bool zeigt(Empfaenger& e, int x, int y, QRgb farbe, double sekunden) {
  const auto ende = Uhr::now() + std::chrono::duration<double>(sekunden);
  do {
    const QImage bild = e.schnappschuss();
    if (!bild.isNull() && (bild.pixel(x, y) & 0xFFFFFF) == farbe) return true;
  } while (Uhr::now() < ende);
  return false;
}

void BM_Kette(benchmark::State& state) {
  offscreen();
  const long n = state.range(0);
  const uint16_t portB = freierPort(), portC = freierPort();
  Empfaenger c("bench_kette_C_", startwerte(portC, false, true));
  if (const int fd = warteAufServer(portC); fd >= 0) close(fd);
  Empfaenger b("bench_kette_B_", startwerte(portB, false, true), {"--weiterleiten", "127.0.0.1:" + std::to_string(portC)});
  if (const int fd = warteAufServer(portB); fd >= 0) close(fd);
  Ring ring("bench_kette_A_");
  Empfaenger a("bench_kette_A_", startwerte(portB, true, false));
  if (!ring.gestartet()) return state.SkipWithError("A did not start");
  std::this_thread::sleep_for(std::chrono::seconds(2));  // Client2 and Client3 connect and catch up
  const std::string linie = befehl({"Linie", "1", "1", "768", "480", "1", "255"});
  int runde = 0;
  for (auto _ : state) {
    // The last command paints a corner in a colour of this round: C has
    // drawn everything once it shows it.
    const QRgb farbe = 0x102030u + 0x010101u * QRgb(++runde);
    const std::string marke = befehl({"Rechteck", "1", "1", "20", "20", "1",
                                      std::to_string(((farbe & 0xFF) << 16) | (farbe & 0xFF00) | (farbe >> 16)), "-1"});
    const double cpuA = cpuSekunden(a.pid()), cpuB = cpuSekunden(b.pid()), cpuC = cpuSekunden(c.pid());
    const auto start = Uhr::now();
    for (long i = 0; i < n; ++i)
      if (!ring.senden(linie)) return state.SkipWithError("A's ring stopped");
    ring.senden(marke);
    if (!zeigt(c, 10, 10, farbe, 120)) return state.SkipWithError("C did not show the last command");
    const double s = std::chrono::duration<double>(Uhr::now() - start).count();
    state.SetIterationTime(s);
    state.counters["linie_je_s_auf_C"] = double(n) / s;
    state.counters["cpu_s_A"] = cpuSekunden(a.pid()) - cpuA;
    state.counters["cpu_s_B"] = cpuSekunden(b.pid()) - cpuB;
    state.counters["cpu_s_C"] = cpuSekunden(c.pid()) - cpuC;
  }
}
BENCHMARK(BM_Kette)->Arg(20000)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

std::vector<uint8_t> pngVon(const QImage& bild) {
  QByteArray daten;
  QBuffer puffer(&daten);
  puffer.open(QIODevice::WriteOnly);
  bild.save(&puffer, "PNG");
  return {daten.begin(), daten.end()};
}

void BM_Nachholen(benchmark::State& state) {
  offscreen();
  vrd4::szene::Szene szene([] { return pngVon(QImage(768, 480, QImage::Format_RGB32)); });
  for (int i = 0; i < 1000; ++i) {
    const auto felder = vrd4::protocol::zerlegen(QString::fromStdString(zelle(i)).toStdU16String());
    szene.aufnehmen(vrd4::protocol::konvertieren(*vrd4::protocol::findeBefehl(felder.at(1)), felder));
  }
  const uint16_t port = freierPort();
  Empfaenger b("bench_nachholen_B_", startwerte(port, false, true));
  const int fd = warteAufServer(port);
  if (fd < 0) return state.SkipWithError("no receiver");
  for (auto _ : state) {
    const auto start = Uhr::now();
    const std::vector<std::u16string> zeilen = szene.befehle();
    const double bauen = std::chrono::duration<double>(Uhr::now() - start).count();
    std::string alle;
    for (const auto& z : zeilen) alle += QString::fromStdU16String(z).toLatin1().toStdString() + "\r\n";
    std::thread schreiber([&] { allesSenden(fd, alle); });
    const bool ok = okLesen(fd, long(zeilen.size()));
    schreiber.join();
    if (!ok) return state.SkipWithError("reply was not OK");
    state.SetIterationTime(std::chrono::duration<double>(Uhr::now() - start).count());
    state.counters["zeilen"] = double(zeilen.size());
    state.counters["befehle_bauen_ms"] = bauen * 1000;
  }
  close(fd);
}
BENCHMARK(BM_Nachholen)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SpeicherHinterHaengendemB(benchmark::State& state) {
  offscreen();
  const uint16_t port = freierPort();
  Empfaenger b("bench_haengt_B_", startwerte(port, false, true));
  if (const int fd = warteAufServer(port); fd >= 0) close(fd);
  Ring ring("bench_haengt_A_");
  Empfaenger a("bench_haengt_A_", startwerte(port, true, false));
  if (!ring.gestartet()) return state.SkipWithError("A did not start");
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const QByteArray bytes = bild1MB();
  const std::string datei = (a.ordner() / "bild.bmp").string();
  std::ofstream(datei, std::ios::binary).write(bytes.data(), bytes.size());
  const std::string bildBefehl = befehl({"BildAnzeigen", datei, "-1", "0"});
  for (auto _ : state) {
    kill(b.pid(), SIGSTOP);
    const long vorher = rssKiB(a.pid());
    long spitze = vorher;
    const auto start = Uhr::now();
    for (int i = 0; i < 50; ++i) {  // 50 × 2 MB forwarded
      if (!ring.senden(bildBefehl)) return state.SkipWithError("A's ring stopped");
      spitze = std::max(spitze, rssKiB(a.pid()));
    }
    ring.leer();
    const double s = std::chrono::duration<double>(Uhr::now() - start).count();
    for (int i = 0; i < 50; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
      spitze = std::max(spitze, rssKiB(a.pid()));
    state.SetIterationTime(s);
    state.counters["rss_vorher_MiB"] = double(vorher) / 1024;
    state.counters["rss_spitze_MiB"] = double(spitze) / 1024;
    state.counters["rss_danach_MiB"] = double(rssKiB(a.pid())) / 1024;
    state.counters["bilder_je_s_auf_A"] = 50 / s;
    kill(b.pid(), SIGCONT);
  }
}
BENCHMARK(BM_SpeicherHinterHaengendemB)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
