// One write and one read of a 20-character text, nobody else on the lock:
// the receiver reads two variables every 10 ms, so these set its floor.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "channel/modVRD4Mutex.h"

namespace {

using namespace vrd4::channel;

const std::u16string kText = u"Befehl\x1b" u"Cls\x1b" u"1234567890";  // 20 units

// Own channel for the run, removed at the end.
struct Kanal {
  Kanal() {
    setChannelNamePrefix("b_channel_" + std::to_string(::getpid()) + "_");
    modVRD4GlobaleVariablen::SpeichervariablenAnlegen();
  }
  ~Kanal() {
    modVRD4GlobaleVariablen::SpeichervariablenFreigeben();
    modVRD4Mutex::MutexSchliessen();
    modVRD4GlobaleVariablen::removeChannelObjects();
  }
};

Kanal& kanal() {
  static Kanal k;
  return k;
}

void BM_SetMemory20(benchmark::State& state) {
  kanal();
  ClsVRD4Memory& v = modVRD4GlobaleVariablen::clsVRD4Event();
  for (auto _ : state) v.SetMemory(kText);
}
BENCHMARK(BM_SetMemory20);

void BM_GetMemory20(benchmark::State& state) {
  kanal();
  ClsVRD4Memory& v = modVRD4GlobaleVariablen::clsVRD4Event();
  v.SetMemory(kText);
  for (auto _ : state) benchmark::DoNotOptimize(v.GetMemory());
}
BENCHMARK(BM_GetMemory20);

// What the receiver does per tick on the channel when nothing arrives.
void BM_ReceiverPoll(benchmark::State& state) {
  kanal();
  for (auto _ : state) {
    benchmark::DoNotOptimize(modVRD4GlobaleVariablen::clsVRD4LetzteGesendete().GetMemory());
    benchmark::DoNotOptimize(modVRD4GlobaleVariablen::Sendetexte(0).GetMemory());
  }
}
BENCHMARK(BM_ReceiverPoll);

}  // namespace

BENCHMARK_MAIN();
