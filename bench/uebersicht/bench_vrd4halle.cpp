// vrd4halle with a hall of 50 boards on a real mosquitto (loopback): every
// board publishes its status every second, its status lines every second
// and a new 24 KiB thumbnail every 2 s — what a busy hall sends at most.
// Measured: vrd4halle's CPU (share of one core) and memory, the bytes one
// page receives per second, and the time from a status published to
//   - the event stream (an HTTP client of the benchmark), and
//   - the page in headless Chromium showing the new number (a
//     MutationObserver in the page stamps it; skipped without chromium).
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <QJsonArray>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "MosquittoBroker.h"
#include "PngMacher.h"
#include "Vrd4halle.h"
#include "WebDriver.h"
#include "bench/ProzessCpu.h"
#include "hall/HallenAdresse.h"
#include "hall/MqttKlient.h"
#include "uebersicht/Json.h"
#include "uebersicht/Nutzlast.h"

namespace {

using namespace vrd4;
using Uhr = std::chrono::steady_clock;

double jetzt() { return std::chrono::duration<double>(Uhr::now().time_since_epoch()).count(); }

int64_t wandMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

double prozessMb(pid_t pid, const char* feld) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string z; std::getline(f, z);)
    if (z.starts_with(feld)) return std::stod(z.substr(std::string(feld).size())) / 1024;
  return 0;
}

std::string status(uint64_t seq) {
  return R"({"online":true,"version":"1.0.0","breite":768,"hoehe":480,"lauf":"3f2a9c0d11e84b70","seq":)" +
         std::to_string(seq) + R"(,"zeit":"2026-12-07T09:40:00Z"})";
}

std::string meldungen(uint64_t seq) {
  std::string z = R"({"zeilen":[)";
  for (int i = 0; i < 20; ++i)
    z += std::string(i ? "," : "") + R"({"zeit":"2026-12-07T10:15:02.125+01:00","text":"Befehl )" +
         std::to_string(seq * 20 + i) + R"(: Linie 10 20 300 200 2 255"})";
  return z + "]}";
}

// The seq of board `name` in one event's JSON, if the event carries it.
std::optional<uint64_t> seqIn(const std::string& json, const std::string& name) {
  const auto w = uebersicht::jsonLesen(json);
  if (!w || !w->feld("tafeln") || !w->feld("tafeln")->liste()) return std::nullopt;
  for (const auto& t : *w->feld("tafeln")->liste())
    if (t.feld("name") && t.feld("name")->text() && *t.feld("name")->text() == name)
      return static_cast<uint64_t>(*t.feld("seq")->zahl());
  return std::nullopt;
}

void perzentile(benchmark::State& state, std::vector<double> ms, const std::string& name) {
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) return;
  state.counters[name + "_p50_ms"] = ms[ms.size() / 2];
  state.counters[name + "_p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  state.counters[name + "_n"] = static_cast<double>(ms.size());
}

void BM_Halle50(benchmark::State& state) {
  const int anzahl = static_cast<int>(state.range(0));
  constexpr int kSekunden = 30;
  halle::test::MosquittoBroker broker;
  if (!broker.starten()) {
    state.SkipWithError("mosquitto did not start");
    return;
  }
  e2e::Vrd4halle server({"--halle", broker.url("B")});
  if (server.url().empty()) {
    state.SkipWithError("vrd4halle did not start");
    return;
  }
  halle::MqttEinstellungen e;
  e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(broker.url("B"), false));
  e.clientId = "bench-tafeln";
  halle::MqttKlient tafeln(e);
  std::string fehler;
  tafeln.starten(fehler, jetzt());
  test::warteBis([&] { return tafeln.verbunden(); }, 10);
  tafeln.senden("vrd4/B/status", status(1'000'000), true);

  // One page's event stream, read by the benchmark.
  const uint16_t port = static_cast<uint16_t>(std::stoi(server.url().substr(server.url().rfind(':') + 1)));
  std::mutex m;
  std::map<uint64_t, Uhr::time_point> ankunft;
  std::atomic<std::size_t> streamBytes{0};
  std::atomic<bool> aus{false};
  httplib::Client stromClient("127.0.0.1", port);
  stromClient.set_read_timeout(60);
  std::thread strom([&] {
    std::string puffer;
    stromClient.Get("/ereignisse", [&](const char* d, std::size_t n) {
      streamBytes += n;
      puffer.append(d, n);
      for (std::size_t ende; (ende = puffer.find("\n\n")) != std::string::npos;) {
        const std::string ereignis = puffer.substr(0, ende);
        puffer.erase(0, ende + 2);
        const auto a = ereignis.find("data: ");
        if (a == std::string::npos) continue;
        if (const auto seq = seqIn(ereignis.substr(a + 6), "Mess")) {
          std::lock_guard lock(m);
          ankunft.emplace(*seq, Uhr::now());
        }
      }
      return !aus;
    });
  });

  // And a real page, if there is a browser.
  std::unique_ptr<test::Browser> browser;
  if (!test::chromiumProgramm().empty()) {
    browser = std::make_unique<test::Browser>(1280, 1000);
    if (browser->ok() && browser->oeffnen(server.url())) {
      test::warteBis([&] { return browser->skript("return document.body.dataset.stand || '';").toString() != ""; }, 10);
    } else {
      browser.reset();
    }
  }

  std::mt19937 zufall(7);
  std::string bild = uebersicht::test::pngKopf(320, 200);
  bild.resize(24 << 10);
  std::map<uint64_t, Uhr::time_point> gesendet;
  std::map<uint64_t, int64_t> gesendetWand;
  const double cpu0 = bench::cpuSekunden(server.pid());
  const auto start = Uhr::now();
  uint64_t seq = 0, messSeq = 0;
  bool beobachtet = false;
  for (auto _ : state) {
    for (int s = 0; s < kSekunden; ++s) {
      const auto sekunde = Uhr::now();
      ++seq;
      for (int i = 0; i < anzahl; ++i) {
        const std::string t = "vrd4/B/tafel/T" + std::to_string(i) + "/";
        tafeln.senden(t + "status", status(seq), true);
        tafeln.senden(t + "meldungen", meldungen(seq), true);
        if ((seq + i) % 2 == 0) {
          for (std::size_t k = 100; k < bild.size(); k += 97) bild[k] = static_cast<char>(zufall());
          tafeln.senden(t + "bild", bild, true);
        }
      }
      // Two measured messages a second, on a board of their own.
      for (int k = 0; k < 2; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200 + zufall() % 200));
        ++messSeq;
        if (browser && !beobachtet) {
          beobachtet = true;
          browser->skript(R"(
            window.gemessen = [];
            new MutationObserver(() => {
              const b = document.querySelector('article[data-name="Mess"] [data-feld="befehl"]');
              if (b) window.gemessen.push([b.textContent, Date.now()]);
            }).observe(document.getElementById("tafeln"), {subtree: true, childList: true, characterData: true});)");
        }
        gesendetWand[messSeq] = wandMs();
        gesendet[messSeq] = Uhr::now();
        tafeln.senden("vrd4/B/tafel/Mess/status", status(messSeq), true);
      }
      std::this_thread::sleep_until(sekunde + std::chrono::seconds(1));
      for (auto& ev : tafeln.abholen(jetzt())) (void)ev;
    }
    state.SetIterationTime(std::chrono::duration<double>(Uhr::now() - start).count());
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double dauer = std::chrono::duration<double>(Uhr::now() - start).count();
  state.counters["cpu_prozent"] = 100.0 * (bench::cpuSekunden(server.pid()) - cpu0) / dauer;
  state.counters["rss_mb"] = prozessMb(server.pid(), "VmRSS:");
  state.counters["hwm_mb"] = prozessMb(server.pid(), "VmHWM:");
  state.counters["strom_kb_s"] = static_cast<double>(streamBytes) / 1024.0 / dauer;
  state.counters["tafeln_json_kb"] = [&] {
    auto r = httplib::Client("127.0.0.1", port).Get("/tafeln.json");
    return r ? static_cast<double>(r->body.size()) / 1024.0 : 0.0;
  }();

  std::vector<double> strom_ms, seite_ms;
  {
    std::lock_guard lock(m);
    for (const auto& [k, t] : gesendet)
      if (auto it = ankunft.find(k); it != ankunft.end())
        strom_ms.push_back(std::chrono::duration<double, std::milli>(it->second - t).count());
  }
  perzentile(state, strom_ms, "strom");
  if (browser) {
    std::map<uint64_t, int64_t> gezeigt;
    for (const auto& v : browser->skript("return window.gemessen || [];").toArray()) {
      const QJsonArray p = v.toArray();
      const uint64_t k = p[0].toString().toULongLong();
      if (k && !gezeigt.count(k)) gezeigt[k] = static_cast<int64_t>(p[1].toDouble());
    }
    for (const auto& [k, t] : gesendetWand)
      if (auto it = gezeigt.find(k); it != gezeigt.end()) seite_ms.push_back(static_cast<double>(it->second - t));
    perzentile(state, seite_ms, "seite");
  }
  aus = true;
  stromClient.stop();
  strom.join();
  tafeln.beenden(std::nullopt, std::chrono::milliseconds(0));
}
BENCHMARK(BM_Halle50)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

// Memory at the bounds: 1,000 boards with the largest thumbnail (64 KiB)
// and status lines (16 KiB) each, then 3,000 more names that come and go
// (online, picture, offline, retired); the model must not grow past its
// bound. Also the time /tafeln.json takes at 1,000 boards.
void BM_Speicher1000(benchmark::State& state) {
  halle::test::MosquittoBroker broker;
  if (!broker.starten()) {
    state.SkipWithError("mosquitto did not start");
    return;
  }
  e2e::Vrd4halle server({"--halle", broker.url("B")});
  halle::MqttEinstellungen e;
  e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(broker.url("B"), false));
  e.clientId = "bench-speicher";
  e.maxNachricht = 1024;
  halle::MqttKlient tafeln(e);
  std::string fehler;
  tafeln.starten(fehler, jetzt());
  test::warteBis([&] { return tafeln.verbunden(); }, 10);
  const uint16_t port = static_cast<uint16_t>(std::stoi(server.url().substr(server.url().rfind(':') + 1)));
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(60);
  const auto anzahl = [&] {
    auto r = http.Get("/tafeln.json");
    const auto w = r ? uebersicht::jsonLesen(r->body) : std::nullopt;
    return w ? w->feld("tafeln")->liste()->size() : 0;
  };
  std::string bild = uebersicht::test::pngKopf(320, 200);
  bild.resize(uebersicht::kMaxBildBytes);
  std::string lang = R"({"zeilen":[)";
  for (int i = 0; i < 20; ++i)
    lang += std::string(i ? "," : "") + R"({"zeit":"2026-12-07T10:15:02.125+01:00","text":")" + std::string(700, 'x') + "\"}";
  lang += "]}";
  // Sends and waits for the broker now and then, so its queue stays small.
  std::size_t offen = 0;
  const auto senden = [&](const std::string& t, const std::string& p) {
    tafeln.senden(t, p, true);
    if (++offen % 100 == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      tafeln.abholen(jetzt());
    }
  };
  double vorher = 0, mitte = 0, nachher = 0, jsonMs = 0;
  for (auto _ : state) {
    vorher = prozessMb(server.pid(), "VmRSS:");
    for (int i = 0; i < 1000; ++i) {
      const std::string t = "vrd4/B/tafel/T" + std::to_string(i) + "/";
      senden(t + "status", status(1));
      senden(t + "bild", bild);
      senden(t + "meldungen", lang);
    }
    test::warteBis([&] { return anzahl() == 1000; }, 120);
    const auto a = Uhr::now();
    const std::size_t n = anzahl();
    jsonMs = std::chrono::duration<double, std::milli>(Uhr::now() - a).count();
    if (n != 1000) state.SkipWithError("not all 1,000 boards arrived");
    mitte = prozessMb(server.pid(), "VmRSS:");
    for (int i = 0; i < 1000; ++i) senden("vrd4/B/tafel/T" + std::to_string(i) + "/status", R"({"online":false})");
    for (int i = 1000; i < 4000; ++i) {
      const std::string t = "vrd4/B/tafel/T" + std::to_string(i) + "/";
      senden(t + "status", status(1));
      senden(t + "bild", bild);
      senden(t + "meldungen", lang);
      senden(t + "status", R"({"online":false})");
      if (i % 2) senden(t + "status", "");
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    nachher = prozessMb(server.pid(), "VmRSS:");
  }
  state.counters["rss_leer_mb"] = vorher;
  state.counters["rss_1000_mb"] = mitte;
  state.counters["rss_nach_4000_namen_mb"] = nachher;
  state.counters["hwm_mb"] = prozessMb(server.pid(), "VmHWM:");
  state.counters["tafeln"] = static_cast<double>(anzahl());
  state.counters["tafeln_json_ms"] = jsonMs;
  tafeln.beenden(std::nullopt, std::chrono::milliseconds(0));
}
BENCHMARK(BM_Speicher1000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
