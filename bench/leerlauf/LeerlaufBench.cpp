// Starts the idle receiver and the floor program (bench_leerlauf_boden: a
// bare Qt Widgets window with a precise 10 ms timer) side by side, lets both
// idle for 60 s and reports each one's CPU share of a core and the ratio.
// The receiver runs on a channel prefix of its own (--prefix), so a running
// receiver is not touched. Offscreen unless $DISPLAY and QT_QPA_PLATFORM say
// otherwise.
#include "bench/ProzessCpu.h"
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

using vrd4::bench::cpuSekunden;

pid_t starten(std::vector<std::string> argv) {
  std::vector<char*> a;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, a[0], nullptr, nullptr, a.data(), environ) != 0) return -1;
  return pid;
}

void BM_LeerlaufGegenBoden(benchmark::State& state) {
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  for (auto _ : state) {
    const std::string prefix = "bench_leerlauf_" + std::to_string(getpid()) + "_";
    const pid_t empfaenger = starten({VRD4_BIN_DIR "/VRD4Empfaenger", "--prefix", prefix});
    const pid_t boden = starten({VRD4_BIN_DIR "/bench_leerlauf_boden"});
    if (empfaenger < 0 || boden < 0) {
      state.SkipWithError("a program did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up done, both ticking
    const double e0 = cpuSekunden(empfaenger), b0 = cpuSekunden(boden);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    const double e1 = cpuSekunden(empfaenger), b1 = cpuSekunden(boden);
    const double wand = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (pid_t p : {empfaenger, boden}) {
      kill(p, SIGTERM);
      waitpid(p, nullptr, 0);
    }
    std::remove((VRD4_BIN_DIR "/" + prefix + "VRD4Startwerte.TXT").c_str());  // the receiver's settings file
    const double e = 100.0 * (e1 - e0) / wand, b = 100.0 * (b1 - b0) / wand;
    state.counters["empfaenger_prozent"] = e;
    state.counters["boden_prozent"] = b;
    state.counters["verhaeltnis"] = b > 0 ? e / b : 0;
    std::printf("idle receiver %.3f %%, bare Qt window with 10 ms timer %.3f %% of a core: ratio %.2f\n", e, b,
                b > 0 ? e / b : 0.0);
  }
}
BENCHMARK(BM_LeerlaufGegenBoden)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
