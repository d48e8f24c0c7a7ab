// The scene's cost on the GUI thread: recording a command as it runs, and
// writing the catch-up of a 1,000-command board for a peer that connects.
#include <benchmark/benchmark.h>

#include "szene/Szene.h"

namespace {

using namespace vrd4;

// A board of n commands: boxes, lines and texts at many places, blinking
// texts taken and deleted now and then.
std::vector<protocol::Befehl> tafel(int n) {
  std::vector<protocol::Befehl> befehle;
  for (int i = 0; i < n; ++i) {
    const int x = 1 + (i * 37) % 700, y = 1 + (i * 53) % 400;
    std::u16string text;
    switch (i % 5) {
      case 0:
        text = protocol::Befehlsbauer(u"Rechteck").ganz(x).ganz(y).ganz(x + 30).ganz(y + 20).ganz(1).ganz(i)
                   .janein(i % 2).text();
        break;
      case 1:
        text = protocol::Befehlsbauer(u"Linie").ganz(x).ganz(y).ganz(x + 50).ganz(y).ganz(2).ganz(i).text();
        break;
      case 2: {
        protocol::Befehlsbauer b(u"Textausgabe");
        b.ganz(x).ganz(y).ganz(x + 80).ganz(y + 20).text(u"Spielstand").ganz(0).text(u"Arial").ganz(16);
        b.janein(false).janein(false).janein(false).janein(false).janein(false).ganz(0xFFFFFF).ganz(0);
        text = b.janein(false).zahl(1).zahl(0).text();
        break;
      }
      case 3: {
        protocol::Befehlsbauer b(u"Blinktext");
        b.ganz(x).ganz(y).ganz(x + 80).ganz(y + 20).text(u"Tor!").ganz(0).text(u"Arial").ganz(16);
        b.janein(false).janein(false).janein(false).janein(false).janein(false).ganz(0xFFFFFF).ganz(0);
        text = b.zahl(0.5).text();
        break;
      }
      default: text = protocol::Befehlsbauer(u"BlinktextLoeschen").ganz(1 + i % 10).text(); break;
    }
    const auto felder = protocol::zerlegen(text);
    befehle.push_back(protocol::konvertieren(*protocol::findeBefehl(felder[1]), felder));
  }
  return befehle;
}

void Aufnehmen(benchmark::State& state) {
  const auto befehle = tafel(4000);
  for (auto _ : state) {
    szene::Szene s(szene::Szene::Schnappschuss{});
    for (const auto& b : befehle) s.aufnehmen(b);
    benchmark::DoNotOptimize(s.anzahl());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * befehle.size()));
}
BENCHMARK(Aufnehmen)->Unit(benchmark::kMillisecond);

void Nachholen1000(benchmark::State& state) {
  szene::Szene s(szene::Szene::Schnappschuss{});
  for (const auto& b : tafel(1000)) s.aufnehmen(b);
  for (auto _ : state) {
    auto zeilen = s.befehle();
    benchmark::DoNotOptimize(zeilen.data());
  }
  state.counters["Zeilen"] = static_cast<double>(s.befehle().size());
}
BENCHMARK(Nachholen1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
