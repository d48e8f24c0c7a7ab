// Sender figures: the cost of one ring write, of one liveness test, and -
// with the real receiver running (skipped when it is not built) - commands
// per second end to end and the time from BlinkText to its slot number.
//
//   xvfb-run -a build/bin/bench_sender
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/Process.h"
#include "vrd4/clsVRD4Sender.h"

namespace {

using vrd4::sender::clsVRD4Sender;

// The ring benchmarks use a channel of their own; the end-to-end ones the
// real one. The prefix is process-wide and only switched while no sender
// exists: the ring benchmarks run (and end their senders) first.
std::string eigenerPrefix() { return "b_sender_" + std::to_string(::getpid()) + "_"; }
void eigenerKanal() { clsVRD4Sender::setKanalPrefix(eigenerPrefix()); }
void echterKanal() { clsVRD4Sender::setKanalPrefix(""); }

void BM_BefehlSenden(benchmark::State& state) {
  eigenerKanal();
  clsVRD4Sender s;
  s.setEmpfaengerWeiterlaufen(true);
  s.setLaeuftPruefung([] { return true; });
  int32_t farbe = 0;
  for (auto _ : state) s.Linie(1, 1, 768, 480, 1, ++farbe & 0xFFFFFF);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("ring write incl. its lock, no process test");
}
BENCHMARK(BM_BefehlSenden)->Unit(benchmark::kMicrosecond);

void BM_EmpfaengerLaeuft(benchmark::State& state) {
  eigenerKanal();
  clsVRD4Sender s;
  s.setEmpfaengerWeiterlaufen(true);
  for (auto _ : state) benchmark::DoNotOptimize(s.EmpfaengerLaeuft());
  state.counters["processes"] = static_cast<double>(vrd4::platform::processList().size());
  state.SetLabel("walk of /proc (whole list when no receiver runs)");
}
BENCHMARK(BM_EmpfaengerLaeuft)->Unit(benchmark::kMicrosecond);

// One receiver for all end-to-end benchmarks (each benchmark function runs
// several times; restarting the receiver each time would measure its start).
std::unique_ptr<clsVRD4Sender> g_echt;
bool g_echtVersucht = false;

clsVRD4Sender* empfaenger(benchmark::State& state) {
  if (!g_echtVersucht) {
    g_echtVersucht = true;
    echterKanal();
    auto s = std::make_unique<clsVRD4Sender>();
    if (std::filesystem::exists(s->EmpfaengerPfad()) && s->Initialisieren(0, 0) == 1) g_echt = std::move(s);
  }
  if (!g_echt) state.SkipWithError("receiver not built or did not start");
  return g_echt.get();
}

// One command at a time, each waited for: bounded by the receiver's tick.
void BM_EndeZuEndeEinzeln(benchmark::State& state) {
  clsVRD4Sender* e = empfaenger(state);
  if (!e) return;
  clsVRD4Sender& s = *e;
  s.Cls();
  s.WartenbisPufferleer(5.0);
  int16_t y = 1;
  for (auto _ : state) {
    s.Linie(1, y, 768, y, 1, 0xFFFFFF);
    s.WartenbisPufferleer(5.0);
    y = static_cast<int16_t>(y % 480 + 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EndeZuEndeEinzeln)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Bursts of 50 commands, then a wait until the receiver has taken them all.
void BM_EndeZuEndeStapel(benchmark::State& state) {
  clsVRD4Sender* e = empfaenger(state);
  if (!e) return;
  clsVRD4Sender& s = *e;
  constexpr int kStapel = 50;
  for (auto _ : state) {
    for (int i = 0; i < kStapel; ++i) s.Linie(1, static_cast<int16_t>(i + 1), 768, static_cast<int16_t>(i + 1), 1, 255);
    s.WartenbisPufferleer(10.0);
  }
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(BM_EndeZuEndeStapel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_BlinkTextBisNummer(benchmark::State& state) {
  clsVRD4Sender* e = empfaenger(state);
  if (!e) return;
  clsVRD4Sender& s = *e;
  int fehler = 0;
  for (auto _ : state) {
    uint8_t nr = s.BlinkText(10, 10, 300, 60, u"Blink", 4, u"Arial", 30, true, false, false, false, false, 255, 0, 0.5);
    state.PauseTiming();
    if (nr == 0) ++fehler;
    s.BlinkTextLoeschen(nr);
    s.WartenbisPufferleer(5.0);
    state.ResumeTiming();
  }
  state.counters["no_slot"] = fehler;
}
BENCHMARK(BM_BlinkTextBisNummer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_echt.reset();  // ends the receiver
  // The channel leaves its objects for a next process; ours has none.
  std::error_code fehler;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", fehler))
    if (e.path().filename().string().starts_with(eigenerPrefix())) std::filesystem::remove(e.path(), fehler);
  return 0;
}
