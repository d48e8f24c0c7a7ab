// The ring from end to end: the sender library writes, the engine polls every
// 10 ms (sleeping in between like the window's timer) on a channel name
// prefix of its own, so a running receiver is never touched.
//
// BM_Stoss1000: a burst of 1,000 one-pixel lines, from the first BefehlSenden
//   until the engine has run the last one (the sender waits for free slots).
// BM_Tabelle250/budget_ms: a results table of 250 commands (frames, lines,
//   texts); the time from the last BefehlSenden until the last command ran.
//   budget_ms 0 is one command per polling step, 8 the engine's default.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QGuiApplication>
#include <chrono>
#include <thread>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "vrd4/clsVRD4Sender.h"

namespace {

using namespace vrd4;
namespace gv = channel::modVRD4GlobaleVariablen;
using Uhr = std::chrono::steady_clock;

class StillerStatus final : public engine::Statusausgabe {
 public:
  void letzterBefehl(const QString&) override {}
  void statusEintrag(const QString&) override {}
};
class StilleEreignisse final : public engine::Ereignisziel {
 public:
  void VRD4Event(const QString&, const QString&) override {}
};

// Sender and engine; the sender's message loop is the receiver's timer.
struct Paar {
  explicit Paar(double budget) {
    engine.BefehlsBudgetSekunden = budget;
    sender.setLaeuftPruefung([] { return true; });
    sender.setNachrichtenschleife([this] { takt(); });
  }
  // One tick once 10 ms have passed since the last, else a short sleep.
  void takt() {
    const auto jetzt = Uhr::now();
    if (jetzt < naechster) {
      std::this_thread::sleep_for(std::min<Uhr::duration>(naechster - jetzt, std::chrono::milliseconds(1)));
      return;
    }
    engine.Zeitschleife();
    naechster = Uhr::now() + std::chrono::milliseconds(10);
  }
  bool allesGenommen() {
    return gv::Sendetexte(gv::kAnzahlSendetexte - 1).GetMemory().empty() &&
           gv::clsVRD4LetzteGelesene().GetMemory() == gv::clsVRD4LetzteGesendete().GetMemory();
  }
  void bisAllesGenommen() {
    while (!allesGenommen()) takt();
  }

  sender::clsVRD4Sender sender;  // first: it creates the channel
  platform::Surface pic{768, 480};
  StillerStatus status;
  StilleEreignisse events;
  engine::clsVRD4Empfaenger engine{pic, status, events, platform::steadyClock()};
  Uhr::time_point naechster = Uhr::now();
};

void BM_Stoss1000(benchmark::State& state) {
  for (auto _ : state) {
    Paar p(0.008);
    const auto start = Uhr::now();
    for (int i = 0; i < 1000; ++i) p.sender.Linie(int16_t(i % 700 + 1), int16_t(i / 700 + 1), int16_t(i % 700 + 1),
                                                  int16_t(i / 700 + 1), 1, 0xFFFFFF);
    p.bisAllesGenommen();
    state.SetIterationTime(std::chrono::duration<double>(Uhr::now() - start).count());
  }
}
BENCHMARK(BM_Stoss1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Tabelle250(benchmark::State& state) {
  for (auto _ : state) {
    Paar p(state.range(0) / 1000.0);
    p.sender.Cls();
    // 50 rows of: a frame, a place, a name, a club, a score.
    for (int z = 0; z < 49; ++z) {
      const int16_t y = int16_t(20 + z * 9);
      p.sender.Rechteck(10, y, 758, int16_t(y + 8), 1, 0x808080, false);
      p.sender.TextAusgabe(12, y, 40, int16_t(y + 8), std::u16string(u"") + char16_t(u'1' + z % 9), 2, u"Arial", 8,
                           true, false, false, false, true, 0xFFFFFF, 0, false, 0, 0);
      p.sender.TextAusgabe(50, y, 400, int16_t(y + 8), u"Spielerin Nummer", 0, u"Arial", 8, false, false, false,
                           false, true, 0xFFFFFF, 0, false, 0, 0);
      p.sender.TextAusgabe(410, y, 650, int16_t(y + 8), u"TSV Musterstadt", 0, u"Arial", 8, false, false, false,
                           false, true, 0xFFFFFF, 0, false, 0, 0);
      p.sender.TextAusgabe(660, y, 750, int16_t(y + 8), u"2:1", 2, u"Arial", 8, true, false, false, false, true,
                           0x00FFFF, 0, false, 0, 0);
    }
    for (int i = 0; i < 4; ++i) p.sender.Linie(10, int16_t(465 + i), 758, int16_t(465 + i), 1, 0xFFFFFF);
    const auto start = Uhr::now();  // the last BefehlSenden has returned
    p.bisAllesGenommen();
    state.SetIterationTime(std::chrono::duration<double>(Uhr::now() - start).count());
  }
}
BENCHMARK(BM_Tabelle250)->Arg(0)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  channel::setChannelNamePrefix("bench_ring_" + std::to_string(::getpid()) + "_");
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qargc = 1;
  QGuiApplication app(qargc, argv);  // fonts
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gv::removeChannelObjects();
  return 0;
}
