// Showing a picture in a 400 x 300 field, split into decoding the file's
// bytes and fitting/painting the decoded picture: a 1920 x 1080 JPEG (a
// photo-sized sponsor picture) and a 100 x 50 BMP (a small flag or logo).
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/Surface.h"
#include "render/Bilder.h"
#include "render/RenderHost.h"
#include "render/modPicturefromBytes.h"

namespace {

using namespace vrd4;

class StummerHost : public render::RenderHost {
 public:
  void VRD4Event(const QString&, const QString&) override { ++events; }
  void statusEintrag(const QString&) override {}
  void writeReply(render::Antwort, const QString&) override {}
  double now() const override { return 0.0; }
  int events = 0;
};

// Smooth gradients with some fine detail: compresses like a photo.
QImage fotoAehnlich(int w, int h) {
  QImage bild(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    QRgb* zeile = reinterpret_cast<QRgb*>(bild.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const double s = std::sin(x * 0.013) * std::cos(y * 0.021);
      const int fein = ((x * 31 + y * 17) ^ (x * y)) & 0x1F;
      zeile[x] = qRgb(int(127 + 100 * s) + fein / 4, (x * 255 / w + fein) & 0xFF, (y * 255 / h) & 0xFF);
    }
  }
  return bild;
}

std::vector<uint8_t> kodieren(const QImage& bild, const char* format, int qualitaet) {
  QByteArray daten;
  QBuffer puffer(&daten);
  puffer.open(QIODevice::WriteOnly);
  bild.save(&puffer, format, qualitaet);
  return std::vector<uint8_t>(daten.begin(), daten.end());
}

const std::vector<uint8_t>& jpeg1080() {
  static const auto b = kodieren(fotoAehnlich(1920, 1080), "JPEG", 85);
  return b;
}
const std::vector<uint8_t>& bmp100x50() {
  static const auto b = kodieren(fotoAehnlich(100, 50), "BMP", -1);
  return b;
}

void dekodieren(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  for (auto _ : state) {
    auto bild = render::modPicturefromBytes(bytes);
    if (!bild) state.SkipWithError("no picture");
    benchmark::DoNotOptimize(bild);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  state.counters["file_bytes"] = double(bytes.size());
}

void einpassen(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  const QImage bild = *render::modPicturefromBytes(bytes);
  StummerHost host;
  render::Bilder bilder(host);
  platform::Surface tafel(768, 480);
  for (auto _ : state) {
    bilder.BildAnzeigenanPositionVonBild(tafel, QStringLiteral("bild"), 1, 1, 400, 300, false, true,
                                         bild);
    benchmark::DoNotOptimize(tafel.image().constBits());
  }
  if (host.events) state.SkipWithError("event raised");
}

void ganz(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  StummerHost host;
  render::Bilder bilder(host);
  platform::Surface tafel(768, 480);
  for (auto _ : state) {
    bilder.BildAnzeigenanPosition(tafel, QStringLiteral("bild"), 1, 1, 400, 300, false, true, bytes);
    benchmark::DoNotOptimize(tafel.image().constBits());
  }
  if (host.events) state.SkipWithError("event raised");
}

void BM_Jpeg1920x1080_Decode(benchmark::State& s) { dekodieren(s, jpeg1080()); }
void BM_Jpeg1920x1080_FitAndPaint(benchmark::State& s) { einpassen(s, jpeg1080()); }
void BM_Jpeg1920x1080_BildAnzeigenanPosition(benchmark::State& s) { ganz(s, jpeg1080()); }
void BM_Bmp100x50_Decode(benchmark::State& s) { dekodieren(s, bmp100x50()); }
void BM_Bmp100x50_FitAndPaint(benchmark::State& s) { einpassen(s, bmp100x50()); }
void BM_Bmp100x50_BildAnzeigenanPosition(benchmark::State& s) { ganz(s, bmp100x50()); }

BENCHMARK(BM_Jpeg1920x1080_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg1920x1080_FitAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg1920x1080_BildAnzeigenanPosition)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp100x50_Decode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Bmp100x50_FitAndPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Bmp100x50_BildAnzeigenanPosition)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
