// How often a quiet board's GUI thread wakes: the receiver idles with no
// option, with Client3 set to a closed port (--weiterleiten), as the hall's
// publisher (--halle) and as a board of the hall (--tafel), against a
// mosquitto of its own on loopback. Each variant runs alone, offscreen, on a
// channel prefix of its own; after its start and the loop's second of
// run-on, the voluntary context switches of its main thread (each one a
// sleep that ended: a wake-up) are counted over 10 s.
//
//   build/bin/bench_leerlauf_wecker
//
// A variant that needs the broker is skipped when mosquitto is missing.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "MosquittoBroker.h"

extern char** environ;

namespace {

using vrd4::halle::test::MosquittoBroker;

// Voluntary context switches of the process's main thread; -1 when gone.
long weckungen(pid_t pid) {
  const std::string p = std::to_string(pid);
  std::ifstream f("/proc/" + p + "/task/" + p + "/status");
  for (std::string zeile; std::getline(f, zeile);)
    if (zeile.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(zeile.substr(24));
  return -1;
}

pid_t starten(std::vector<std::string> argv) {
  std::vector<char*> a;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  posix_spawn_file_actions_t aktionen;
  posix_spawn_file_actions_init(&aktionen);
  posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, a[0], &aktionen, nullptr, a.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&aktionen);
  return pid;
}

enum class Art { Ohne, Client3, Halle, Tafel };

std::map<Art, double>& ergebnisse() {
  static std::map<Art, double> e;
  return e;
}

void BM_WeckungenIn10s(benchmark::State& state, Art art) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::unique_ptr<MosquittoBroker> broker;
  if (art == Art::Halle || art == Art::Tafel) {
    broker = std::make_unique<MosquittoBroker>();
    if (!broker->starten()) {
      state.SkipWithError("mosquitto is not installed or does not start");
      return;
    }
  }
  for (auto _ : state) {
    const std::string prefix = "bench_wecker_" + std::to_string(getpid()) + "_";
    std::vector<std::string> argv{VRD4_BIN_DIR "/VRD4Empfaenger", "--prefix", prefix};
    const std::string hall = broker ? "mqtt://127.0.0.1:" + std::to_string(broker->port()) + "/bank" : "";
    if (art == Art::Client3)
      argv.insert(argv.end(), {"--weiterleiten", "127.0.0.1:" + std::to_string(vrd4::test::freierPort())});
    if (art == Art::Halle) argv.insert(argv.end(), {"--halle", hall});
    if (art == Art::Tafel) argv.insert(argv.end(), {"--tafel", hall + "/eins"});
    const pid_t pid = starten(argv);
    if (pid < 0) {
      state.SkipWithError("the receiver did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(4));  // start-up, then the second of run-on
    const long w0 = weckungen(pid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const long w1 = weckungen(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    std::remove((VRD4_BIN_DIR "/" + prefix + "VRD4Startwerte.TXT").c_str());
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
      if (e.path().filename().string().starts_with(prefix)) std::filesystem::remove(e.path(), ec);
    if (w0 < 0 || w1 < 0) {
      state.SkipWithError("the receiver ended early");
      break;
    }
    const double n = double(w1 - w0);
    ergebnisse()[art] = n;
    state.counters["weckungen_10s"] = n;
    const auto ohne = ergebnisse().find(Art::Ohne);
    if (ohne != ergebnisse().end() && ohne->second > 0) state.counters["gegen_ohne"] = n / ohne->second;
  }
}
BENCHMARK_CAPTURE(BM_WeckungenIn10s, ohne, Art::Ohne)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_WeckungenIn10s, client3, Art::Client3)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_WeckungenIn10s, halle, Art::Halle)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_WeckungenIn10s, tafel, Art::Tafel)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
