// The hall with real boards: range(0) receivers (`--prefix`, offscreen) as
// boards of a mosquitto on loopback; this process publishes in the
// publisher's format. Measures `Linie`/s drawn on all boards, publish →
// drawn on every board (p50/p99), a late
// joiner of a 1,000-command scene and the memory per board. "Drawn" is read from the boards' status, which a board sends
// at most once a second: the rate is exact to about a second of its run.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "MosquittoBroker.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"
#include "hall/TafelStatus.h"
#include "hall/Zeilen.h"

namespace {

using namespace vrd4::halle;
using Uhr = std::chrono::steady_clock;

double jetzt() { return std::chrono::duration<double>(Uhr::now().time_since_epoch()).count(); }

double rssMb(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string z; std::getline(f, z);)
    if (z.starts_with("VmRSS:")) return std::stod(z.substr(6)) / 1024;
  return 0;
}

void BM_EchteTafeln(benchmark::State& state) {
  test::MosquittoBroker broker;
  if (!broker.starten()) return state.SkipWithError("mosquitto not installed or did not start");
  const int anzahl = static_cast<int>(state.range(0));
  constexpr uint64_t kLinien = 10000, kLauf = 0x9;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // One copy of the program: it keeps its files next to itself.
  const std::string ordner = broker.ordner(), programm = ordner + "/VRD4Empfaenger";
  std::filesystem::copy_file(VRD4_BIN_DIR "/VRD4Empfaenger", programm);
  const std::string praefix = "b_halle_" + std::to_string(::getpid()) + "_";
  std::vector<pid_t> tafeln;
  const auto tafelStarten = [&](int i) {
    std::vector<std::string> args{programm, "--prefix", praefix + std::to_string(i) + "_", "--tafel",
                                  broker.url("B/T" + std::to_string(i))};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
    if (::posix_spawn(&pid, programm.c_str(), &aktionen, nullptr, argv.data(), environ) == 0) tafeln.push_back(pid);
    posix_spawn_file_actions_destroy(&aktionen);
  };
  for (int i = 0; i < anzahl; ++i) tafelStarten(i);
  MqttEinstellungen e;
  e.adresse = std::get<HallenAdresse>(adresseLesen(broker.url("B"), false));
  e.clientId = "bench-quelle";
  MqttKlient quelle(e);
  quelle.abonnieren("vrd4/B/tafel/+/status");
  std::string fehler;
  quelle.starten(fehler, jetzt());
  std::map<std::string, TafelStatus> stand;
  const auto bisAlle = [&](auto&& bedingung, double sekunden) {
    const auto ende = Uhr::now() + std::chrono::duration<double>(sekunden);
    while (Uhr::now() < ende) {
      for (auto& ereignis : quelle.abholen(jetzt()))
        if (auto s = statusLesen(ereignis.payload)) stand[ereignis.topic] = *s;
      int ja = 0;
      for (const auto& [topic, s] : stand) ja += bedingung(s);
      if (ja == anzahl) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  };
  const bool online = bisAlle([](const TafelStatus& s) { return s.online; }, 120);
  for (auto _ : state) {
    if (!online) {
      state.SkipWithError("the boards did not come online");
      break;
    }
    quelle.senden("vrd4/B/szene", szeneSchreiben(kLauf, 0, {eintragAusZeile(u"Befehl\x1b" u"Cls")}), true);
    const auto start = Uhr::now();
    for (uint64_t i = 1; i <= kLinien; ++i) {
      const std::u16string linie = u"Befehl\x1bLinie\x1b" + std::u16string(1, u'0' + char16_t(i % 10)) +
                                   u"\x1b" u"20\x1b" u"300\x1b" u"200\x1b" u"2\x1b" u"255";
      const Eintrag b = eintragAusZeile(linie);
      while (!quelle.senden("vrd4/B/befehle", befehlSchreiben(kLauf, i, b.text, {}), false))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool alle = bisAlle([](const TafelStatus& s) { return s.seq == kLinien; }, 300);
    const double s = std::chrono::duration<double>(Uhr::now() - start).count();
    state.SetIterationTime(s);
    if (!alle) state.SkipWithError("not every board drew every line");
    state.counters["linien_pro_s"] = kLinien / s;
  }
  // Publish → drawn on every board: one command every 1.2 s, so each
  // board's status (at most once a second) goes out right after drawing;
  // the time includes that status's way back through the broker.
  std::vector<double> ms;
  for (uint64_t i = kLinien + 1; online && i <= kLinien + 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const Eintrag b = eintragAusZeile(u"Befehl\x1bLinie\x1b" u"5\x1b" u"5\x1b" u"50\x1b" u"50\x1b" u"1\x1b" u"0");
    const auto start = Uhr::now();
    quelle.senden("vrd4/B/befehle", befehlSchreiben(kLauf, i, b.text, {}), false);
    std::size_t da = 0;
    while (da < static_cast<std::size_t>(anzahl) && Uhr::now() - start < std::chrono::seconds(5)) {
      for (auto& ereignis : quelle.abholen(jetzt()))
        if (auto st = statusLesen(ereignis.payload); st && st->seq == i) {
          ms.push_back(std::chrono::duration<double, std::milli>(Uhr::now() - start).count());
          ++da;
        }
      std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
  }
  std::sort(ms.begin(), ms.end());
  if (!ms.empty()) {
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[ms.size() * 99 / 100];
    state.counters["angekommen"] = static_cast<double>(ms.size()) / (20.0 * anzahl);
  }

  // A late joiner of a retained 1,000-command scene: from its start until
  // its status says it drew the scene (about a second coarse).
  if (online) {
    std::vector<Eintrag> szene{eintragAusZeile(u"Befehl\x1b" u"Cls")};
    for (int i = 0; i < 999; ++i) szene.push_back(eintragAusZeile(u"Befehl\x1bLinie\x1b" u"10\x1b" u"20\x1b" u"300\x1b" u"200\x1b" u"2\x1b" u"255"));
    quelle.senden("vrd4/B/szene", szeneSchreiben(kLauf + 1, 1000, szene), true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = Uhr::now();
    tafelStarten(anzahl);
    const std::string lauf = laufText(kLauf + 1), topic = "vrd4/B/tafel/T" + std::to_string(anzahl) + "/status";
    const auto ende = Uhr::now() + std::chrono::seconds(120);
    while (Uhr::now() < ende && !(stand[topic].lauf == lauf && stand[topic].seq == 1000)) {
      for (auto& ereignis : quelle.abholen(jetzt()))
        if (auto st = statusLesen(ereignis.payload)) stand[ereignis.topic] = *st;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    state.counters["spaet_s"] = std::chrono::duration<double>(Uhr::now() - start).count();
  }
  double mb = 0;
  for (pid_t p : tafeln) mb += rssMb(p);
  state.counters["mb_je_tafel"] = tafeln.empty() ? 0 : mb / static_cast<double>(tafeln.size());
  quelle.beenden(std::nullopt, std::chrono::milliseconds(0));
  for (pid_t p : tafeln) ::kill(p, SIGTERM);
  for (pid_t p : tafeln) ::waitpid(p, nullptr, 0);
  std::error_code ec;
  for (const auto& d : std::filesystem::directory_iterator("/dev/shm", ec))
    if (d.path().filename().string().starts_with(praefix)) std::filesystem::remove(d.path(), ec);
}
BENCHMARK(BM_EchteTafeln)->Arg(10)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
