// Throughput of the command text: hex for forwarded pictures, and a text
// command taken apart and converted as the receiver does on every tick.
#include <benchmark/benchmark.h>

#include <random>

#include "protocol/Befehl.h"
#include "protocol/Hex.h"

namespace {

using namespace vrd4::protocol;

constexpr std::size_t kMiB = 1 << 20;

std::vector<uint8_t> zufallsBytes(std::size_t n) {
  std::mt19937 rng(42);
  std::vector<uint8_t> b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

void HexKodieren(benchmark::State& state) {
  const auto bytes = zufallsBytes(kMiB);
  for (auto _ : state) {
    auto hex = hexKodieren(bytes);
    benchmark::DoNotOptimize(hex.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(HexKodieren)->Unit(benchmark::kMicrosecond);

void HexDekodieren(benchmark::State& state) {
  const auto hex = hexKodieren(zufallsBytes(kMiB));
  for (auto _ : state) {
    auto bytes = hexDekodieren(hex);
    benchmark::DoNotOptimize(bytes.data());
  }
  // Counted in bytes of picture, as for encoding.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMiB));
}
BENCHMARK(HexDekodieren)->Unit(benchmark::kMicrosecond);

void TextausgabeZerlegenUndKonvertieren(benchmark::State& state) {
  const std::vector<Wert> p = {int16_t{10}, int16_t{20}, int16_t{400}, int16_t{60},
                               std::u16string(u"Tisch 7: Müller – Schmidt 3:1"), int16_t{4},
                               std::u16string(u"Arial"), int16_t{32}, true, false, false, false, false,
                               int32_t{16777215}, int32_t{0}, true, 1.5, 0.25};
  const std::u16string text = bauen(u"Textausgabe", p);
  for (auto _ : state) {
    auto felder = zerlegen(text);
    const BefehlsSpec* spec = findeBefehl(felder[1]);
    Befehl b = konvertieren(*spec, felder);
    benchmark::DoNotOptimize(b.werte.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(TextausgabeZerlegenUndKonvertieren);

void TextausgabeBauen(benchmark::State& state) {
  const std::vector<Wert> p = {int16_t{10}, int16_t{20}, int16_t{400}, int16_t{60},
                               std::u16string(u"Tisch 7: Müller – Schmidt 3:1"), int16_t{4},
                               std::u16string(u"Arial"), int16_t{32}, true, false, false, false, false,
                               int32_t{16777215}, int32_t{0}, true, 1.5, 0.25};
  for (auto _ : state) {
    auto text = bauen(u"Textausgabe", p);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(TextausgabeBauen);

}  // namespace

BENCHMARK_MAIN();
