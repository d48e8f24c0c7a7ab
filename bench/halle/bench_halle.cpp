// The hall through a real mosquitto on loopback (skipped without one):
// commands per second from the publisher's client to a subscriber's order
// (Folge) and fields, the latency to 10 and 50 boards and to 10 behind a
// bridge, the time a late joiner needs for a retained scene of
// 1,000 commands, and a picture command's payload raw against the
// forwarded hex form.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "MosquittoBroker.h"
#include "hall/Folge.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"
#include "hall/Zeilen.h"
#include "platform/Ansi.h"
#include "protocol/Hex.h"

namespace {

using namespace vrd4::halle;
using Uhr = std::chrono::steady_clock;

double jetzt() { return std::chrono::duration<double>(Uhr::now().time_since_epoch()).count(); }

test::MosquittoBroker* broker() {
  static std::unique_ptr<test::MosquittoBroker> b = [] {
    auto x = std::make_unique<test::MosquittoBroker>();
    if (!x->starten()) x.reset();
    return x;
  }();
  return b.get();
}

// A second broker that follows the first over a one-way bridge (the
// docs' recipe, without TLS): what reaches vrd4/B/ there comes in from the
// first.
test::MosquittoBroker* fernerBroker() {
  static std::unique_ptr<test::MosquittoBroker> b = [] {
    if (!broker()) return std::unique_ptr<test::MosquittoBroker>();
    auto x = std::make_unique<test::MosquittoBroker>(
        "allow_anonymous true\nconnection halle1\naddress 127.0.0.1:" + std::to_string(broker()->port()) +
        "\ncleansession true\nrestart_timeout 1 30\ntopic vrd4/B/# in 1\n");
    if (!x->starten()) x.reset();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the bridge connects
    return x;
  }();
  return b.get();
}

MqttEinstellungen einstellungen(const std::string& id, test::MosquittoBroker* b = nullptr) {
  MqttEinstellungen e;
  e.adresse = std::get<HallenAdresse>(adresseLesen((b ? b : broker())->url("B"), false));
  e.clientId = id;
  return e;
}

// Waits for the connect (and the subscriptions behind it).
bool verbinden(MqttKlient& k, std::deque<MqttKlient::Ereignis>* rest = nullptr) {
  std::string fehler;
  if (!k.starten(fehler, jetzt())) return false;
  const auto ende = Uhr::now() + std::chrono::seconds(5);
  while (Uhr::now() < ende) {
    for (auto& e : k.abholen(jetzt())) {
      if (e.art == MqttKlient::Ereignis::Art::Verbunden) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // SUBACK
        return true;
      }
      if (rest) rest->push_back(std::move(e));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

const std::u16string kLinie = u"Befehl\x1bLinie\x1b" u"10\x1b" u"20\x1b" u"300\x1b" u"200\x1b" u"2\x1b" u"255";

// Publisher client → broker → subscriber client, QoS 1 both ways, each
// message read and put in order; items: commands drawn-ready.
void BM_BefehleDurchDenBroker(benchmark::State& state) {
  if (!broker()) return state.SkipWithError("mosquitto not installed or did not start");
  MqttKlient quelle(einstellungen("bench-quelle")), tafel(einstellungen("bench-tafel"));
  tafel.abonnieren("vrd4/B/befehle");
  std::mutex m;
  std::condition_variable cv;
  tafel.wecken = [&] { cv.notify_one(); };
  if (!verbinden(quelle) || !verbinden(tafel)) return state.SkipWithError("no connect");
  Folge folge;
  folge.szene(1, 0);
  const Eintrag e = eintragAusZeile(kLinie);
  uint64_t seq = 0;
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) quelle.senden("vrd4/B/befehle", befehlSchreiben(1, ++seq, e.text, e.bild), false);
    while (folge.letzte() < seq) {
      std::unique_lock lock(m);
      cv.wait_for(lock, std::chrono::milliseconds(5));
      for (auto& ereignis : tafel.abholen(jetzt()))
        if (auto b = befehlLesen(ereignis.payload))
          for (auto& r : folge.befehl(std::move(*b)).laufen) benchmark::DoNotOptimize(felderAusEintrag(r.befehl));
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BefehleDurchDenBroker)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Publish → arrived and in order on every one of range(0) boards (client
// threads in this process): 300 commands, one every 2 ms; p50 and p99 over
// all boards in milliseconds. range(1) 1: the boards are on a second
// broker behind a one-way bridge.
void BM_LatenzAnAlleTafeln(benchmark::State& state) {
  if (!broker()) return state.SkipWithError("mosquitto not installed or did not start");
  const int anzahl = static_cast<int>(state.range(0));
  test::MosquittoBroker* ort = state.range(1) ? fernerBroker() : broker();
  if (!ort) return state.SkipWithError("the second broker did not start");
  constexpr int kBefehle = 300;
  MqttKlient quelle(einstellungen("bench-lq"));
  std::vector<std::unique_ptr<MqttKlient>> tafeln;
  for (int i = 0; i < anzahl; ++i) {
    tafeln.push_back(std::make_unique<MqttKlient>(einstellungen("bench-lt" + std::to_string(i), ort)));
    tafeln.back()->abonnieren("vrd4/B/latenz");
  }
  if (!verbinden(quelle)) return state.SkipWithError("no connect");
  for (auto& t : tafeln)
    if (!verbinden(*t)) return state.SkipWithError("no connect");
  std::vector<double> ms;
  const auto null = Uhr::now();
  for (auto _ : state) {
    ms.clear();
    std::vector<Folge> folgen(static_cast<std::size_t>(anzahl));
    for (auto& f : folgen) f.szene(1, 0);
    const Eintrag e = eintragAusZeile(kLinie);
    for (int i = 1; i <= kBefehle; ++i) {
      const auto gesendet = std::chrono::duration<double, std::milli>(Uhr::now() - null).count();
      // The send time rides in the text.
      quelle.senden("vrd4/B/latenz", befehlSchreiben(1, static_cast<uint64_t>(i), std::to_string(gesendet), {}), false);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      for (int t = 0; t < anzahl; ++t)
        for (auto& ereignis : tafeln[static_cast<std::size_t>(t)]->abholen(jetzt()))
          if (auto b = befehlLesen(ereignis.payload))
            for (const auto& r : folgen[static_cast<std::size_t>(t)].befehl(std::move(*b)).laufen)
              ms.push_back(std::chrono::duration<double, std::milli>(Uhr::now() - null).count() - std::stod(r.befehl.text));
    }
    const auto ende = Uhr::now() + std::chrono::seconds(5);
    while (ms.size() < static_cast<std::size_t>(kBefehle * anzahl) && Uhr::now() < ende) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      for (int t = 0; t < anzahl; ++t)
        for (auto& ereignis : tafeln[static_cast<std::size_t>(t)]->abholen(jetzt()))
          if (auto b = befehlLesen(ereignis.payload))
            for (const auto& r : folgen[static_cast<std::size_t>(t)].befehl(std::move(*b)).laufen)
              ms.push_back(std::chrono::duration<double, std::milli>(Uhr::now() - null).count() - std::stod(r.befehl.text));
    }
  }
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) return state.SkipWithError("nothing arrived");
  state.counters["p50_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[ms.size() * 99 / 100];
  state.counters["angekommen"] = static_cast<double>(ms.size()) / (kBefehle * anzahl);
}
BENCHMARK(BM_LatenzAnAlleTafeln)
    ->Args({10, 0})
    ->Args({50, 0})
    ->Args({10, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A retained scene of 1,000 commands (a tenth of them 20 KiB pictures):
// from a new subscriber's start until it holds every command's fields.
void BM_SpaeterEinstieg(benchmark::State& state) {
  if (!broker()) return state.SkipWithError("mosquitto not installed or did not start");
  std::vector<Eintrag> szene;
  const std::vector<uint8_t> bild(20 << 10, 0x5A);
  for (int i = 0; i < 1000; ++i)
    szene.push_back(i % 10 ? eintragAusZeile(kLinie)
                           : eintragAusZeile(u"Befehl\x1b" u"BildAnzeigen\x1bx.bmp\x1b-1\x1b" u"0\x1b\x1b\x1b", bild));
  const std::string payload = szeneSchreiben(7, 1000, szene);
  {
    MqttKlient quelle(einstellungen("bench-szene"));
    if (!verbinden(quelle)) return state.SkipWithError("no connect");
    quelle.senden("vrd4/B/szene", payload, true);
    quelle.beenden(std::nullopt, std::chrono::milliseconds(0));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int nr = 0;
  for (auto _ : state) {
    MqttKlient tafel(einstellungen("bench-spaet-" + std::to_string(++nr)));
    tafel.abonnieren("vrd4/B/szene");
    std::string fehler;
    tafel.starten(fehler, jetzt());
    bool fertig = false;
    while (!fertig) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      for (auto& ereignis : tafel.abholen(jetzt())) {
        if (ereignis.art != MqttKlient::Ereignis::Art::Nachricht) continue;
        const auto s = szeneLesen(ereignis.payload);
        Folge folge;
        if (s && folge.szene(s->lauf, s->seq).urteil == Folge::Urteil::Gezeichnet) {
          for (const auto& b : s->befehle) benchmark::DoNotOptimize(felderAusEintrag(b));
          fertig = true;
        }
      }
    }
    state.PauseTiming();
    tafel.beenden(std::nullopt, std::chrono::milliseconds(0));
    state.ResumeTiming();
  }
  state.counters["szene_bytes"] = static_cast<double>(payload.size());
}
BENCHMARK(BM_SpaeterEinstieg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// A picture command of range(0) bytes, written and read: raw (the hall's
// form) against the forwarded form's hex, as UTF-8 on the wire.
void BM_BildRoh(benchmark::State& state) {
  const std::vector<uint8_t> bild(static_cast<std::size_t>(state.range(0)), 0xA7);
  const Eintrag e = eintragAusZeile(u"Befehl\x1b" u"BildAnzeigen\x1bx.bmp\x1b-1\x1b" u"0\x1b\x1b\x1b", bild);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string p = befehlSchreiben(1, 1, e.text, e.bild);
    bytes = p.size();
    benchmark::DoNotOptimize(befehlLesen(p));
  }
  state.counters["payload_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
void BM_BildHex(benchmark::State& state) {
  const std::vector<uint8_t> bild(static_cast<std::size_t>(state.range(0)), 0xA7);
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::u16string zeile = u"Befehl\x1b" u"BildAnzeigen\x1bx.bmp\x1b-1\x1b" u"0\x1b";
    vrd4::protocol::hexAnhaengen(zeile, bild);
    zeile += u"\x1b\x1b";
    const std::string p = befehlSchreiben(1, 1, vrd4::platform::toUtf8(zeile), {});
    bytes = p.size();
    const auto n = befehlLesen(p);
    if (!n) return state.SkipWithError("the hex form is over the text bound");
    benchmark::DoNotOptimize(eintragAusZeile(vrd4::platform::fromUtf8(n->befehl.text)));
  }
  state.counters["payload_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BildRoh)->Arg(256 << 10)->Arg(1 << 20);
BENCHMARK(BM_BildHex)->Arg(256 << 10)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
