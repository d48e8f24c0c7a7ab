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
// real one. The prefix is process-wide, so each group gets its own object
// lifetime and the prefix is only switched while no sender exists.
void eigenerKanal() { clsVRD4Sender::setKanalPrefix("b_sender_" + std::to_string(::getpid()) + "_"); }
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

bool empfaengerDa(benchmark::State& state, clsVRD4Sender& s) {
  if (!std::filesystem::exists(s.EmpfaengerPfad())) {
    state.SkipWithError("receiver not built");
    return false;
  }
  if (s.Initialisieren(0, 0) != 1) {
    state.SkipWithError("receiver did not start");
    return false;
  }
  return true;
}

// One command at a time, each waited for: bounded by the receiver's tick.
void BM_EndeZuEndeEinzeln(benchmark::State& state) {
  echterKanal();
  clsVRD4Sender s;
  if (!empfaengerDa(state, s)) return;
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
  echterKanal();
  clsVRD4Sender s;
  if (!empfaengerDa(state, s)) return;
  constexpr int kStapel = 50;
  for (auto _ : state) {
    for (int i = 0; i < kStapel; ++i) s.Linie(1, static_cast<int16_t>(i + 1), 768, static_cast<int16_t>(i + 1), 1, 255);
    s.WartenbisPufferleer(10.0);
  }
  state.SetItemsProcessed(state.iterations() * kStapel);
}
BENCHMARK(BM_EndeZuEndeStapel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_BlinkTextBisNummer(benchmark::State& state) {
  echterKanal();
  clsVRD4Sender s;
  if (!empfaengerDa(state, s)) return;
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

BENCHMARK_MAIN();
