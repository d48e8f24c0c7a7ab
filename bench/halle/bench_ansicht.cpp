// What showing a board to the hall's overview costs (halle::Ansicht):
//  - BM_Vorschau: one thumbnail on the worker (scaling and PNG), CPU and
//    size, for a board of fields and text at the start size and at full HD;
//  - BM_Aufnahme: the board's thread's part of one thumbnail (the board
//    copied into the buffer kept for it, the worker started);
//  - BM_LaengsterTakt: a board drawing on every 10 ms tick of an event loop
//    for 20 s, with and without its thumbnails (one every 2 s): the latest
//    tick, and how many came more than 20 ms late.
//
//   build/bin/bench_ansicht
#include <benchmark/benchmark.h>
#include <time.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "hall/Ansicht.h"
#include "hall/Vorschau.h"
#include "platform/Surface.h"

namespace {

using namespace vrd4;

double threadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

QGuiApplication& anwendung() {
  static int argc = 1;
  static char name[] = "bench_ansicht";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  return app;
}

// A board as a tournament shows it: a background, two fields, lines, text.
std::unique_ptr<platform::Surface> tafel(int b, int h) {
  anwendung();
  auto s = std::make_unique<platform::Surface>(b, h);
  s->setBackColor(0x402010);
  s->filledBox(b * 0.05, h * 0.2, b * 0.45, h * 0.6, 0x603020);
  s->filledBox(b * 0.55, h * 0.2, b * 0.95, h * 0.6, 0x603020);
  s->line(0, h * 0.12, b, h * 0.12, 0x00ffff);
  s->setFontName(QStringLiteral("Liberation Sans"));
  s->setFontBold(true);
  for (const auto& [y, text, punkte] : {std::tuple{0.02, "Stadtmeisterschaft – Finale", h / 40.0},
                                        std::tuple{0.25, "Anna Berger        Carla Dietz", h / 40.0},
                                        std::tuple{0.35, "3                2", h / 8.0},
                                        std::tuple{0.75, "Matchball!", h / 20.0}}) {
    s->setFontSize(punkte);
    s->setCurrentX(b * 0.1);
    s->setCurrentY(h * y);
    s->print(QString::fromUtf8(text));
  }
  return s;
}

void BM_Vorschau(benchmark::State& state) {
  auto s = tafel(int(state.range(0)), int(state.range(1)));
  const QImage bild = s->presented().copy();
  std::size_t groesse = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double c0 = threadCpuMs();
    const std::string png = halle::vorschauPng(bild);
    cpu += threadCpuMs() - c0;
    groesse = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["cpu_ms"] = cpu / double(state.iterations());
  state.counters["png_kib"] = double(groesse) / 1024.0;
}
BENCHMARK(BM_Vorschau)->Args({768, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// The board's thread: takt() with a picture due, the worker's result taken
// in between (not measured).
void BM_Aufnahme(benchmark::State& state) {
  auto s = tafel(int(state.range(0)), int(state.range(1)));
  std::atomic<int> geweckt{0};
  halle::Ansicht a("b", "m", {[&] { return s->presented(); }, nullptr},
                   [](const std::string&, std::string_view) { return std::optional<int>(1); },
                   [&] { ++geweckt; });
  a.verbunden();
  double jetzt = 0;
  // The first picture makes the buffer ready on the worker.
  a.takt(jetzt);
  while (a.arbeitet()) {
    while (!geweckt) std::this_thread::yield();
    geweckt = 0;
    a.takt(jetzt);
  }
  double laengste = 0;
  for (auto _ : state) {
    state.PauseTiming();
    a.bestaetigt(1);
    jetzt += 10;
    s->line(0, jetzt / 10, 100, 0, 0xff);  // a change, so that the picture is sent
    a.tafelGeaendert(jetzt);
    jetzt += 1;
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    a.takt(jetzt);
    laengste = std::max(laengste, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    state.PauseTiming();
    while (a.arbeitet()) {
      while (!geweckt) std::this_thread::yield();
      geweckt = 0;
      a.takt(jetzt);
    }
    state.ResumeTiming();
  }
  state.counters["laengste_ms"] = laengste;
  state.counters["gesendet"] = double(a.bilderGesendet());
}
BENCHMARK(BM_Aufnahme)->Args({768, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond)->Iterations(40);

// A 10 ms tick that draws on a full HD board every time; with the
// overview's thumbnails (state.range(0) == 1) one is made every 2 s.
void BM_LaengsterTakt(benchmark::State& state) {
  const bool mitVorschau = state.range(0) == 1;
  auto s = tafel(1920, 1080);
  const auto start = std::chrono::steady_clock::now();
  const auto sekunden = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  QObject kontext;
  std::unique_ptr<halle::Ansicht> a;
  if (mitVorschau) {
    a = std::make_unique<halle::Ansicht>(
        "b", "m", halle::Ansicht::Quellen{[&] { return s->presented(); }, nullptr},
        [](const std::string&, std::string_view) { return std::optional<int>(1); },
        [&] { QMetaObject::invokeMethod(&kontext, [&] { a->takt(sekunden()); }, Qt::QueuedConnection); });
    a->verbunden();
  }
  QTimer frist;
  frist.setSingleShot(true);
  frist.setTimerType(Qt::PreciseTimer);
  QObject::connect(&frist, &QTimer::timeout, &kontext, [&] { a->takt(sekunden()); });
  std::vector<double> abstaende;
  double laengster = 0;
  for (auto _ : state) {
    QTimer takt;
    takt.setTimerType(Qt::PreciseTimer);
    auto vorher = std::chrono::steady_clock::now();
    int n = 0;
    QObject::connect(&takt, &QTimer::timeout, &kontext, [&] {
      const auto jetzt = std::chrono::steady_clock::now();
      abstaende.push_back(std::chrono::duration<double, std::milli>(jetzt - vorher).count());
      vorher = jetzt;
      ++n;
      s->line(n % 1920, 0, (n * 7) % 1920, 1079, 0x00ff00 + n);
      (void)s->presented();  // as the window's repaint would
      if (a) {
        a->bestaetigt(1);  // the broker's acknowledgement, at once
        a->tafelGeaendert(sekunden());
        if (!frist.isActive()) {
          const double f = a->frist();
          if (f < halle::Ansicht::kNie) frist.start(int(std::clamp((f - sekunden()) * 1000, 0.0, 1e6)));
        }
      }
      if (n >= 2000) QCoreApplication::quit();
    });
    takt.start(10);
    QCoreApplication::exec();
  }
  std::sort(abstaende.begin(), abstaende.end());
  laengster = abstaende.empty() ? 0 : abstaende.back();
  state.counters["laengster_takt_ms"] = laengster;
  state.counters["p99_takt_ms"] = abstaende.empty() ? 0 : abstaende[abstaende.size() * 99 / 100];
  state.counters["ueber_20ms"] = double(std::count_if(abstaende.begin(), abstaende.end(), [](double d) { return d > 20; }));
  state.counters["bilder"] = a ? double(a->bilderKodiert()) : 0;
}
BENCHMARK(BM_LaengsterTakt)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
