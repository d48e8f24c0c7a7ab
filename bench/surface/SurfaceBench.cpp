// Cost of the board operations on a 768 x 480 surface, of measuring text
// and of presenting a board with twenty children when nothing changed or one
// child changed: /0 recomposes what changed, /1 the whole board from scratch
// (what every change cost before), printed side by side.
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/SurfacePrivate.h"
#include <cstdio>
#include <cstdlib>

namespace vrd4::platform {
namespace {

// Each drawing is followed by making the image the picture, as every board
// command does.
void BM_Line(benchmark::State& state) {
  Surface s(768, 480);
  int i = 0;
  for (auto _ : state) {
    s.line(10, i % 480, 700, (i * 7) % 480, 0x00FFFF);
    s.makeImagePicture();
    ++i;
  }
}
BENCHMARK(BM_Line);

void BM_Box(benchmark::State& state) {
  Surface s(768, 480);
  s.setFillStyle(0);
  s.setFillColor(0x0000FF);
  int i = 0;
  for (auto _ : state) {
    s.box(100 + i % 50, 100, 400, 300, 0xFFFFFF);
    s.makeImagePicture();
    ++i;
  }
}
BENCHMARK(BM_Box);

void BM_FilledBox(benchmark::State& state) {
  Surface s(768, 480);
  int i = 0;
  for (auto _ : state) {
    s.filledBox(100 + i % 50, 100, 400, 300, 0x00FF00 + Colour(i & 0xFF));
    s.makeImagePicture();
    ++i;
  }
}
BENCHMARK(BM_FilledBox);

void BM_Cls(benchmark::State& state) {
  Surface s(768, 480);
  for (auto _ : state) {
    s.clearPicture();
    s.cls();
    s.setBackColor(0x000000);
  }
}
BENCHMARK(BM_Cls);

void BM_TextHeight(benchmark::State& state) {
  Surface s(768, 480);
  s.setFontName(QStringLiteral("Arial"));
  double size = 20;
  for (auto _ : state) {
    // A size step per call, as font fitting does.
    size = size >= 60 ? 20 : size + 0.05;
    s.setFontSize(size);
    benchmark::DoNotOptimize(s.textHeight(QStringLiteral("AyjgÜÀ")));
  }
}
BENCHMARK(BM_TextHeight);

// Every call in a new pixel size: the font is realised each time.
void BM_TextHeightNewPixelSize(benchmark::State& state) {
  Surface s(768, 480);
  int i = 0;
  for (auto _ : state) {
    s.setFontSize(10 + (i++ % 40) * 0.75);
    benchmark::DoNotOptimize(s.textHeight(QStringLiteral("AyjgÜÀ")));
  }
}
BENCHMARK(BM_TextHeightNewPixelSize);

void BM_TextHeightSameFont(benchmark::State& state) {
  Surface s(768, 480);
  s.setFontSize(30);
  for (auto _ : state) benchmark::DoNotOptimize(s.textHeight(QStringLiteral("AyjgÜÀ")));
}
BENCHMARK(BM_TextHeightSameFont);

void BM_TextWidth(benchmark::State& state) {
  Surface s(768, 480);
  s.setFontSize(30);
  for (auto _ : state) benchmark::DoNotOptimize(s.textWidth(QStringLiteral("Spielstand 12:10 Runde")));
}
BENCHMARK(BM_TextWidth);

struct BoardWithChildren {
  Surface board{768, 480};
  std::vector<std::unique_ptr<Surface>> children;
  BoardWithChildren() {
    for (int i = 0; i < 20; ++i) {
      auto c = std::make_unique<Surface>(200, 30);
      c->setParentSurface(&board);
      c->move((i % 3) * 250, (i / 3) * 60);
      c->setBackStyle(i % 2);
      c->setForeColor(0x00FFFF);
      c->setFontSize(14);
      c->print(QStringLiteral("Blinktext"));
      c->makeImageMaskPicture();
      children.push_back(std::move(c));
    }
  }
};

void BM_PresentedUnchanged(benchmark::State& state) {
  BoardWithChildren b;
  benchmark::DoNotOptimize(b.board.presented());
  for (auto _ : state) benchmark::DoNotOptimize(b.board.presented());
}
BENCHMARK(BM_PresentedUnchanged);

// One child redrawn per call (a scrolling text's step), then presented.
void BM_PresentedOneChildChanged(benchmark::State& state) {
  BoardWithChildren b;
  const bool voll = state.range(0) == 1;
  int i = 0;
  for (auto _ : state) {
    Surface& c = *b.children[size_t(i % 20)];
    c.cls();
    c.setCurrentX(-(i % 50));
    c.print(QStringLiteral("Lauftext"));
    c.makeImageMaskPicture();
    benchmark::DoNotOptimize(voll ? composedFromScratch(b.board) : b.board.presented());
    ++i;
  }
  state.SetLabel(voll ? "full composition" : "only what changed");
}
BENCHMARK(BM_PresentedOneChildChanged)->Arg(0)->Arg(1);

}  // namespace
}  // namespace vrd4::platform

int main(int argc, char** argv) {
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
