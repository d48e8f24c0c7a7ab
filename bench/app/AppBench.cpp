// BM_LeerlaufCpuAnteil starts the real receiver program (offscreen unless
// $DISPLAY and QT_QPA_PLATFORM say otherwise), lets it idle for ten seconds
// and reports the CPU time it used as a share of one core. It uses the real
// channel names: run it while no other receiver runs.
//
// BM_FensterTickLeer is one tick of the main window with an empty ring: rate
// labels, end-request check and the engine's polling step. Both use the real
// channel names.
#include "bench/ProzessCpu.h"
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/FrmVRD4Empfaenger.h"
#include "channel/modVRD4GlobaleVariablen.h"

extern char** environ;

namespace {

namespace gv = vrd4::channel::modVRD4GlobaleVariablen;

using vrd4::bench::cpuSekunden;

void BM_LeerlaufCpuAnteil(benchmark::State& state) {
  const std::string pfad = VRD4_BIN_DIR "/VRD4Empfaenger";
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  for (auto _ : state) {
    gv::SpeichervariablenAnlegen();
    gv::clsVRD4EmpfaengerGestartet().SetMemory(u"");
    pid_t pid = -1;
    char* argv[] = {const_cast<char*>(pfad.c_str()), nullptr};
    if (posix_spawn(&pid, pfad.c_str(), nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("VRD4Empfaenger did not start");
      break;
    }
    const auto startGrenze = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (gv::clsVRD4EmpfaengerGestartet().GetMemory() != u"-1" &&
           std::chrono::steady_clock::now() < startGrenze)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::seconds(1));  // start-up done, ticking

    const double cpu0 = cpuSekunden(pid);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double cpu1 = cpuSekunden(pid);
    const double wand = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    gv::SpeichervariablenFreigeben();

    const double anteil = 100.0 * (cpu1 - cpu0) / wand;
    state.counters["cpu_prozent_eines_kerns"] = anteil;
    std::printf("idle receiver: %.3f s CPU in %.2f s = %.2f %% of one core\n", cpu1 - cpu0, wand, anteil);
  }
}
BENCHMARK(BM_LeerlaufCpuAnteil)->Iterations(1)->Unit(benchmark::kSecond);

void BM_FensterTickLeer(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench_app";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  vrd4::app::FrmVRD4Empfaenger frm;
  frm.Form_Load();
  for (auto _ : state) frm.TimerVRD4Empfang_Timer();
  frm.close();
}
BENCHMARK(BM_FensterTickLeer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
