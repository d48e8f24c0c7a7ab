// The hall with real boards: range(0) receivers (`--prefix`, offscreen) as
// boards of a mosquitto on loopback; this process publishes in the
// publisher's format. Measures `Linie`/s drawn on all boards, publish →
// drawn on every board (p50/p99), a late
// joiner of a 1,000-command scene and the memory per board. "Drawn" is read from the boards' status, which a board sends
// at most once a second: the rate is exact to about a second of its run.
// With vrd4halle following the hall: publish → every tile of the overview
// showing the command's number, and showing a new picture of the board.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "MosquittoBroker.h"
#include "Vrd4halle.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"
#include "hall/TafelStatus.h"
#include "hall/Zeilen.h"
#include "uebersicht/Json.h"

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

// CPU time of a process so far (user and system), in seconds.
double cpuSekunden(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string z;
  std::getline(f, z);
  std::istringstream felder(z.substr(z.rfind(')') + 2));
  std::string feld;
  double summe = 0;
  for (int i = 3; felder >> feld && i <= 15; ++i)
    if (i >= 14) summe += std::stod(feld);  // utime, stime
  return summe / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Ends the boards and removes their channels.
void aufraeumen(const std::vector<pid_t>& pids, const std::string& praefix) {
  for (pid_t p : pids) ::kill(p, SIGTERM);
  for (pid_t p : pids) ::waitpid(p, nullptr, 0);
  std::error_code ec;
  for (const auto& d : std::filesystem::directory_iterator("/dev/shm", ec))
    if (d.path().filename().string().starts_with(praefix)) std::filesystem::remove(d.path(), ec);
}

// p50 and p99 of the times in ms (p99 is the slowest below 100 of them), and how many.
void perzentile(benchmark::State& state, std::vector<double> ms, const std::string& name) {
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) return;
  state.counters[name + "p50_ms"] = ms[ms.size() / 2];
  state.counters[name + "p99_ms"] = ms[ms.size() * 99 / 100];
  state.counters[name + "n"] = static_cast<double>(ms.size());
}

pid_t starten(const std::vector<std::string>& argumente) {
  std::vector<std::string> args = argumente;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn_file_actions_t aktionen;
  posix_spawn_file_actions_init(&aktionen);
  posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
  if (::posix_spawn(&pid, args[0].c_str(), &aktionen, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&aktionen);
  return pid;
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
    if (const pid_t pid = starten({programm, "--prefix", praefix + std::to_string(i) + "_", "--tafel",
                                   broker.url("B/T" + std::to_string(i))});
        pid > 0)
      tafeln.push_back(pid);
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
  perzentile(state, ms, "");
  state.counters["angekommen"] = static_cast<double>(ms.size()) / (20.0 * anzahl);

  // Publish → every tile of the overview (vrd4halle, /tafeln.json read every
  // 50 ms, what the page's events carry): one command every 3 s that
  // changes every board (a line in a new colour). The number comes with the
  // board's status (at most once a second), the picture with its thumbnail
  // (at most every 2 s, 0.2 s after a change at the earliest).
  {
    vrd4::e2e::Vrd4halle halle({"--halle", broker.url("B")});
    const std::string& url = halle.url();
    httplib::Client http("127.0.0.1", url.empty() ? 0 : std::stoi(url.substr(url.rfind(':') + 1)));
    // name → (seq, thumbnail URL) as the overview shows it
    const auto kacheln = [&] {
      std::map<std::string, std::pair<double, std::string>> k;
      auto r = http.Get("/tafeln.json");
      const auto w = r ? vrd4::uebersicht::jsonLesen(r->body) : std::nullopt;
      if (!w || !w->feld("tafeln") || !w->feld("tafeln")->liste()) return k;
      for (const auto& t : *w->feld("tafeln")->liste()) {
        const auto* bild = t.feld("bild") ? t.feld("bild")->feld("url") : nullptr;
        if (t.feld("name") && t.feld("name")->text() && t.feld("seq") && t.feld("seq")->zahl())
          k[*t.feld("name")->text()] = {*t.feld("seq")->zahl(), bild && bild->text() ? *bild->text() : ""};
      }
      return k;
    };
    std::vector<double> nummer, bild;
    for (uint64_t i = kLinien + 21; online && !url.empty() && i <= kLinien + 35; ++i) {
      const auto vorher = kacheln();
      const std::string zahl = std::to_string(i * 40503 % 0xFFFFFF);
      const std::u16string farbe = u"\x1b" + std::u16string(zahl.begin(), zahl.end());
      const Eintrag b = eintragAusZeile(u"Befehl\x1bLinie\x1b" u"0\x1b" u"0\x1b" u"767\x1b" u"479\x1b" u"9" + farbe);
      const auto start = Uhr::now();
      quelle.senden("vrd4/B/befehle", befehlSchreiben(kLauf, i, b.text, {}), false);
      double n = -1, p = -1;
      while ((n < 0 || p < 0) && Uhr::now() - start < std::chrono::seconds(8)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto k = kacheln();
        int mitNummer = 0, mitBild = 0;
        for (const auto& [name, stand] : k) {
          mitNummer += stand.first >= static_cast<double>(i);
          mitBild += vorher.contains(name) && !stand.second.empty() && stand.second != vorher.at(name).second;
        }
        const double ms = std::chrono::duration<double, std::milli>(Uhr::now() - start).count();
        if (n < 0 && mitNummer == anzahl) n = ms;
        if (p < 0 && mitBild == anzahl) p = ms;
      }
      if (n >= 0) nummer.push_back(n);
      if (p >= 0) bild.push_back(p);
      std::this_thread::sleep_until(start + std::chrono::seconds(3));
    }
    perzentile(state, nummer, "kachel_nummer_");
    perzentile(state, bild, "kachel_bild_");
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
  aufraeumen(tafeln, praefix);
}
BENCHMARK(BM_EchteTafeln)->Arg(10)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

// A hall's traffic: a real publisher that drew the demo board and 200
// lines, and range(0) real boards level with it; then two minutes either
// without a command (range(1) == 0) or with one command a second that
// changes every board (range(1) == 1). What it costs on the wire, read from
// the broker's own byte counters ($SYS, MQTT bytes both ways, TCP/IP
// headers not counted), per board and minute: the statuses sent again
// every 30 s, the keep-alive pings, the thumbnails and status lines for the
// overview — and not the scene, which goes out again only while the broker
// has not handed it back (what it would cost otherwise: scene_bytes per
// board twice a minute). Also the boards' CPU (share of one core, mean).
void BM_Verkehr(benchmark::State& state) {
  test::MosquittoBroker broker("allow_anonymous true\nsys_interval 1\n");
  if (!broker.starten()) return state.SkipWithError("mosquitto not installed or did not start");
  const int anzahl = static_cast<int>(state.range(0));
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string ordner = broker.ordner(), programm = ordner + "/VRD4Empfaenger";
  std::filesystem::copy_file(VRD4_BIN_DIR "/VRD4Empfaenger", programm);
  const std::string praefix = "r_halle_" + std::to_string(::getpid()) + "_";
  std::vector<pid_t> pids{starten({programm, "--prefix", praefix + "q_", "--halle", broker.url("R")})};
  // The demo board (without its wait) and 200 lines, through the ring.
  {
    std::ifstream demo(VRD4_SOURCE_DIR "/examples/anzeigetafel.txt");
    std::ofstream befehle(ordner + "/befehle.txt");
    for (std::string z; std::getline(demo, z);)
      if (!z.starts_with("Warten")) befehle << z << "\n";
    for (int i = 0; i < 200; ++i) befehle << "Linie " << 1 + i * 3 << " 20 300 " << 100 + i << " 2 &H00FF00\n";
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::string senden = std::string(VRD4_BIN_DIR "/vrd4send --prefix ") + praefix + "q_ --verbinden --weiterlaufen " +
                             ordner + "/befehle.txt >/dev/null 2>&1";
  if (std::system(senden.c_str()) != 0) state.SkipWithError("vrd4send did not reach the publisher");
  for (int i = 0; i < anzahl; ++i)
    pids.push_back(starten({programm, "--prefix", praefix + std::to_string(i) + "_", "--tafel",
                            broker.url("R/T" + std::to_string(i))}));
  MqttEinstellungen e;
  e.adresse = std::get<HallenAdresse>(adresseLesen(broker.url("R"), false));
  e.clientId = "bench-beobachter";
  auto beobachter = std::make_unique<MqttKlient>(e);
  for (const char* t : {"vrd4/R/status", "vrd4/R/szene", "vrd4/R/tafel/+/status"}) beobachter->abonnieren(t);
  std::string fehler;
  beobachter->starten(fehler, jetzt());
  std::map<std::string, std::string> zuletzt;
  double eigene = 0;                 // bytes of the counter's own messages
  std::map<std::string, double> art;  // what the hall carried, by the topic's last word
  const auto holen = [&](MqttKlient& k) {
    for (auto& ereignis : k.abholen(jetzt()))
      if (ereignis.art == MqttKlient::Ereignis::Art::Nachricht) {
        zuletzt[ereignis.topic] = ereignis.payload;
        const double bytes = 4.0 + static_cast<double>(ereignis.topic.size() + ereignis.payload.size());
        eigene += bytes;
        if (ereignis.topic.starts_with("vrd4/")) art[ereignis.topic.substr(ereignis.topic.rfind('/') + 1)] += bytes;
      }
  };
  // Every board level with the publisher.
  const auto ende = Uhr::now() + std::chrono::seconds(180);
  bool eben = false;
  while (!eben && Uhr::now() < ende) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    holen(*beobachter);
    const auto q = statusLesen(zuletzt["vrd4/R/status"]);
    int gleich = 0;
    for (int i = 0; i < anzahl; ++i) {
      const auto t = statusLesen(zuletzt["vrd4/R/tafel/T" + std::to_string(i) + "/status"]);
      gleich += q && t && t->lauf == q->lauf && t->seq == q->seq && q->seq > 200;
    }
    eben = gleich == anzahl;
  }
  const double szene = static_cast<double>(zuletzt["vrd4/R/szene"].size());
  beobachter->beenden(std::nullopt, std::chrono::milliseconds(0));
  // The counter reads only the broker's byte counts; what it receives
  // itself is taken off.
  e.clientId = "bench-zaehler";
  MqttKlient zaehler(e);
  for (const char* t : {"$SYS/broker/bytes/sent", "$SYS/broker/bytes/received", "vrd4/R/#"}) zaehler.abonnieren(t);
  zaehler.starten(fehler, jetzt());
  for (auto _ : state) {
    if (!eben) {
      state.SkipWithError("the boards did not get level");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(5));  // the last acknowledgements pass
    const auto lesen = [&] {
      zuletzt.erase("$SYS/broker/bytes/sent");
      while (!zuletzt.contains("$SYS/broker/bytes/sent")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        holen(zaehler);
      }
      return std::stod(zuletzt["$SYS/broker/bytes/sent"]) + std::stod(zuletzt["$SYS/broker/bytes/received"]);
    };
    pid_t sender = -1;
    if (state.range(1) == 1) {
      std::ofstream befehle(ordner + "/jede-sekunde.txt");
      for (int i = 0; i < 125; ++i) befehle << "Linie 0 0 767 479 9 " << i * 40503 % 0xFFFFFF << "\nWarten 1\n";
      befehle.close();
      sender = starten({VRD4_BIN_DIR "/vrd4send", "--prefix", praefix + "q_", "--verbinden", "--weiterlaufen",
                        ordner + "/jede-sekunde.txt"});
    }
    const double vorher = lesen();
    std::vector<double> cpuVorher;
    for (std::size_t i = 1; i < pids.size(); ++i) cpuVorher.push_back(cpuSekunden(pids[i]));
    eigene = 0;
    art.clear();
    const auto start = Uhr::now();
    while (Uhr::now() - start < std::chrono::seconds(120)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      holen(zaehler);
    }
    const double nachher = lesen() - eigene;
    const double sekunden = std::chrono::duration<double>(Uhr::now() - start).count();
    double cpu = 0;
    for (std::size_t i = 1; i < pids.size(); ++i) cpu += cpuSekunden(pids[i]) - cpuVorher[i - 1];
    if (sender > 0) {
      ::kill(sender, SIGTERM);
      ::waitpid(sender, nullptr, 0);
    }
    state.SetIterationTime(sekunden);
    state.counters["bytes_je_tafel_und_minute"] = (nachher - vorher) / anzahl / (sekunden / 60);
    state.counters["cpu_prozent_je_tafel"] = 100 * cpu / anzahl / sekunden;
    state.counters["szene_bytes"] = szene;
    // Each kind once as published (the counter's copy), per board and minute.
    for (const auto& [wort, bytes] : art) state.counters["davon_" + wort] = bytes / anzahl / (sekunden / 60);
  }
  zaehler.beenden(std::nullopt, std::chrono::milliseconds(0));
  aufraeumen(pids, praefix);
}
BENCHMARK(BM_Verkehr)->Args({10, 0})->Args({10, 1})->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
