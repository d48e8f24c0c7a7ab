// Starts the idle receiver and the floor program (bench_leerlauf_boden: a
// bare Qt Widgets window with a precise 10 ms timer) side by side, lets them
// idle for 60 s and reports each one's CPU share of a core and the ratio.
// The floor runs twice: as Qt starts by default (GLib's event loop) and with
// Qt's own event dispatcher, which the receiver uses.
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
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

using vrd4::bench::cpuSekunden;

// eigeneSchleife: with Qt's own event dispatcher; otherwise the program
// picks its own (Qt's default is GLib's).
pid_t starten(std::vector<std::string> argv, bool eigeneSchleife = false) {
  std::vector<char*> a;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  static char ohneGlib[] = "QT_NO_GLIB=1";
  std::vector<char*> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "QT_NO_GLIB=", 11) != 0) env.push_back(*e);
  if (eigeneSchleife) env.push_back(ohneGlib);
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, a[0], nullptr, nullptr, a.data(), env.data()) != 0) return -1;
  return pid;
}

void BM_LeerlaufGegenBoden(benchmark::State& state) {
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  for (auto _ : state) {
    const std::string prefix = "bench_leerlauf_" + std::to_string(getpid()) + "_";
    const pid_t empfaenger = starten({VRD4_BIN_DIR "/VRD4Empfaenger", "--prefix", prefix});
    const pid_t glib = starten({VRD4_BIN_DIR "/bench_leerlauf_boden"});
    const pid_t eigen = starten({VRD4_BIN_DIR "/bench_leerlauf_boden"}, true);
    if (empfaenger < 0 || glib < 0 || eigen < 0) {
      state.SkipWithError("a program did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up done, all ticking
    const double e0 = cpuSekunden(empfaenger), g0 = cpuSekunden(glib), q0 = cpuSekunden(eigen);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    const double e1 = cpuSekunden(empfaenger), g1 = cpuSekunden(glib), q1 = cpuSekunden(eigen);
    const double wand = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (pid_t p : {empfaenger, glib, eigen}) {
      kill(p, SIGTERM);
      waitpid(p, nullptr, 0);
    }
    const double e = 100.0 * (e1 - e0) / wand, g = 100.0 * (g1 - g0) / wand, q = 100.0 * (q1 - q0) / wand;
    state.counters["empfaenger_prozent"] = e;
    state.counters["boden_prozent"] = g;
    state.counters["boden_eigene_schleife_prozent"] = q;
    state.counters["verhaeltnis"] = g > 0 ? e / g : 0;
    state.counters["verhaeltnis_eigene_schleife"] = q > 0 ? e / q : 0;
    std::printf("idle receiver %.3f %% of a core; bare Qt window with 10 ms timer %.3f %% (ratio %.2f), "
                "the same with Qt's own event loop %.3f %% (ratio %.2f)\n",
                e, g, g > 0 ? e / g : 0.0, q, q > 0 ? e / q : 0.0);
  }
}
BENCHMARK(BM_LeerlaufGegenBoden)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
