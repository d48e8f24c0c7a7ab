// What text costs on the board: printing a text (font fitting done and
// remembered), one polling step with twenty running text effects, and how
// evenly a scrolling text steps on the real clock.
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Surface.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"
#include "render/Schrift.h"
#include "render/TextAusgabe.h"

namespace vrd4::render {
namespace {

class Host : public RenderHost {
 public:
  void VRD4Event(const QString&, const QString&) override {}
  void statusEintrag(const QString&) override {}
  void writeReply(Antwort, const QString&) override {}
  double now() const override { return echt ? platform::steadyClock().seconds() : zeit; }
  double zeit = 1024.0;
  bool echt = false;
};

TextParameter zwanzigZeichen() {
  TextParameter p;
  p.Xstart = 11, p.Ystart = 11, p.Xende = 700, p.YEnde = 70;
  p.Ausgabetext = QStringLiteral("Tabellenführer: 3:1!");  // 20 characters
  p.Ausrichtung = 4;
  p.SchriftgroesseinPixel = 40;
  p.Transparent = false;
  p.FeldHintergrundfarbe = 0x400000;
  return p;
}

// A renderer that has not fitted this font yet (Qt's own font caches are warm
// after the first round, as they are in a running receiver).
void BM_TextAusgabeErsterAufruf(benchmark::State& state) {
  Host host;
  platform::Surface board;
  const TextParameter p = zwanzigZeichen();
  for (auto _ : state) {
    state.PauseTiming();
    auto renderer = std::make_unique<TextRenderer>(host);
    state.ResumeTiming();
    renderer->TextAusgabe(board, p, false, 0, 0);
  }
}
BENCHMARK(BM_TextAusgabeErsterAufruf)->Unit(benchmark::kMicrosecond);

void BM_TextAusgabeWiederholt(benchmark::State& state) {
  Host host;
  platform::Surface board;
  TextRenderer renderer(host);
  const TextParameter p = zwanzigZeichen();
  renderer.TextAusgabe(board, p, false, 0, 0);
  for (auto _ : state) renderer.TextAusgabe(board, p, false, 0, 0);
}
BENCHMARK(BM_TextAusgabeWiederholt)->Unit(benchmark::kMicrosecond);

// The search alone, for a few heights, from the board's usual 8.25 points.
void BM_SchriftgroesseAnpassen(benchmark::State& state) {
  platform::Surface board;
  for (auto _ : state) benchmark::DoNotOptimize(SchriftgroesseAnpassen(board, int(state.range(0))));
}
BENCHMARK(BM_SchriftgroesseAnpassen)->Arg(20)->Arg(40)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The same search the first time in a font face that has been loaded at its
// start size only, so that every size it measures is loaded afresh (one run each: afterwards
// Qt's font cache holds them).
void BM_SchriftgroesseAnpassenErstesMal(benchmark::State& state) {
  platform::Surface board;
  board.setFontName(state.range(0) == 200 ? QStringLiteral("Courier New") : QStringLiteral("Times New Roman"));
  board.setFontItalic(true);
  benchmark::DoNotOptimize(board.textHeight(Messtext()));  // the face itself is loaded
  for (auto _ : state) benchmark::DoNotOptimize(SchriftgroesseAnpassen(board, int(state.range(0))));
}
BENCHMARK(BM_SchriftgroesseAnpassenErstesMal)->Arg(200)->Arg(1000)->Iterations(1)->Unit(benchmark::kMicrosecond);

struct ZwanzigEffekte {
  ZwanzigEffekte() {
    for (int i = 0; i < 10; ++i) {
      TextParameter p;
      p.Xstart = 11, p.Xende = 370;
      p.Ystart = int16_t(1 + 45 * i), p.YEnde = int16_t(40 + 45 * i);
      p.Ausgabetext = QStringLiteral("Blinktext Nummer %1").arg(i + 1);
      p.SchriftgroesseinPixel = 30;
      p.Transparent = i % 2 == 0;
      blink.BKNeu(p, 0.04);
      p.Xstart = 391, p.Xende = 760;
      p.Ausgabetext = QStringLiteral("Lauftext Nummer %1 zieht durchs Feld").arg(i + 1);
      lauf.LTNeu(p, 0.04, 0);
    }
    // First displays (one scrolling text per tick), then all are running.
    for (int i = 0; i < 12; ++i) takt();
  }
  void takt() {
    host.zeit += 0.01;
    lauf.LauftexteTakten();
    blink.BlinktexteTakten();
  }
  Host host;
  platform::Surface board;
  TextRenderer text{host};
  Blinktexte blink{host, board, text};
  Lauftexte lauf{host, board, text};
};

// The ticks of one polling step, 10 ms apart: every scrolling text steps
// every sixth tick, every blinking text switches every fifth.
void BM_TaktZehnBlinkZehnLauftexte(benchmark::State& state) {
  ZwanzigEffekte e;
  for (auto _ : state) e.takt();
}
BENCHMARK(BM_TaktZehnBlinkZehnLauftexte)->Unit(benchmark::kMicrosecond);

// The same plus composing what the screen shows, as the widget does after a change.
void BM_TaktMitBildschirmbild(benchmark::State& state) {
  ZwanzigEffekte e;
  for (auto _ : state) {
    e.takt();
    benchmark::DoNotOptimize(e.board.presented());
  }
}
BENCHMARK(BM_TaktMitBildschirmbild)->Unit(benchmark::kMicrosecond);

// A receiver-like loop on the real clock: sleep 10 ms, tick. Records when
// the scrolling text's position changes and reports the spread of those
// periods (Geschwindigkeit 0.04 s).
void BM_LauftextSchrittabstandEchteUhr(benchmark::State& state) {
  Host host;
  host.echt = true;
  platform::Surface board;
  TextRenderer text(host);
  Lauftexte lauf(host, board, text);
  TextParameter p;
  p.Xstart = 1, p.Xende = 760, p.Ystart = 1, p.YEnde = 40;
  p.Ausgabetext = QStringLiteral("Lauftext auf der echten Uhr");
  lauf.LTNeu(p, 0.04, 0);
  const platform::Surface& s = lauf.CtlLaufschrift(1).surface();
  std::vector<double> schritte;
  for (auto _ : state) {
    const double ende = platform::steadyClock().seconds() + double(state.range(0));
    double zuletzt = -1, position = s.currentX();
    while (platform::steadyClock().seconds() < ende) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      lauf.LauftexteTakten();
      if (s.currentX() != position) {
        position = s.currentX();
        const double jetzt = platform::steadyClock().seconds();
        if (zuletzt >= 0) schritte.push_back(jetzt - zuletzt);
        zuletzt = jetzt;
      }
    }
  }
  double summe = 0, quadrate = 0;
  for (double d : schritte) summe += d;
  const double mittel = schritte.empty() ? 0 : summe / double(schritte.size());
  for (double d : schritte) quadrate += (d - mittel) * (d - mittel);
  const double abw = schritte.size() > 1 ? std::sqrt(quadrate / double(schritte.size() - 1)) : 0;
  state.counters["schritte"] = double(schritte.size());
  state.counters["mittel_ms"] = mittel * 1000;
  state.counters["stdabw_ms"] = abw * 1000;
}
BENCHMARK(BM_LauftextSchrittabstandEchteUhr)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vrd4::render

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
