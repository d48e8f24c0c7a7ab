// GIF decoding in megapixels per second, the decoder against giflib on the
// same generated files: an animation, a photo-like full-HD frame and an
// interlaced file. Counter "Mpx/s" = frame pixels decoded per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "gif/GifDatei.h"
#include "tests/gif/GifSchreiber.h"
#include "tests/gif/GiflibOrakel.h"

namespace {

using namespace vrd4::gif;
using namespace vrd4::gif::test;

// Smooth shading with a little noise, as a photo reduced to 256 colours
// with dithering looks to LZW: mostly short strings.
std::vector<uint8_t> fotoartig(int w, int h, int phase, uint32_t saat) {
  std::mt19937 rng(saat);
  std::vector<uint8_t> v(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double s = 96 + 60 * std::sin((x + 3 * phase) * 0.013) * std::cos((y - 2 * phase) * 0.021) +
                       30 * std::sin((x + y) * 0.004);
      const int n = static_cast<int>(rng() % 7) - 3;
      v[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          static_cast<uint8_t>(std::clamp(static_cast<int>(s) + n, 0, 255));
    }
  }
  return v;
}

struct Datei {
  std::vector<uint8_t> bytes;
  double megapixel = 0;
};

Datei animation() {
  GifSchreiber s(480, 270, graurampe(256));
  s.schleife(0);
  Datei d;
  for (int i = 0; i < 60; ++i) {
    Bild b;
    b.width = 480;
    b.height = 270;
    b.delay = 4;
    b.indizes = fotoartig(480, 270, i, static_cast<uint32_t>(i));
    s.bild(b);
    d.megapixel += 480.0 * 270 / 1e6;
  }
  d.bytes = s.fertig();
  return d;
}

Datei einzeln(int w, int h, bool interlaced) {
  GifSchreiber s(w, h, graurampe(256));
  Bild b;
  b.width = w;
  b.height = h;
  b.interlaced = interlaced;
  b.indizes = fotoartig(w, h, 0, 7);
  s.bild(b);
  return {s.fertig(), w * h / 1e6};
}

const Datei& datei(int art) {
  static const Datei d[3] = {animation(), einzeln(1920, 1080, false), einzeln(1280, 720, true)};
  return d[art];
}

void mpx(benchmark::State& state, double megapixel) {
  state.counters["Mpx/s"] = benchmark::Counter(megapixel * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

void Eigener(benchmark::State& state) {
  const Datei& d = datei(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    GifDatei g;
    const int n = g.parse(d.bytes);
    std::vector<uint8_t> indizes;
    for (int k = 1; k <= n; ++k) {
      if (!g.frameDekodieren(k, indizes)) state.SkipWithError("decode failed");
      benchmark::DoNotOptimize(indizes.data());
    }
    if (n == 0) state.SkipWithError("decode failed");
  }
  mpx(state, d.megapixel);
}

void Giflib(benchmark::State& state) {
  const Datei& d = datei(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    GiflibErgebnis r = mitGiflib(d.bytes);
    if (!r.ok) state.SkipWithError("giflib failed");
    benchmark::DoNotOptimize(r.frames.data());
  }
  mpx(state, d.megapixel);
}

// 0: 60 frames 480 × 270, 1: 1920 × 1080 photo-like, 2: 1280 × 720 interlaced.
BENCHMARK(Eigener)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Giflib)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
