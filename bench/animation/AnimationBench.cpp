// BM_AnimationsTick: one tick of a playing GIF control: the next frame of a
// 200 × 100 animation composed and drawn scaled into a 400 × 200 field of
// the board; with /1 also the board composed with it (what the window
// paints). The clock is moved by hand, so each iteration is one tick.
//
// BM_ZehnGifsCpuAnteil starts the real receiver program (offscreen unless
// $DISPLAY and QT_QPA_PLATFORM say otherwise), loads ten GIFs through the
// shared-memory ring, starts them (20 frames per second each), and reports
// the CPU time it used over ten seconds as a share of one core: /0 as it
// runs, /1 with the damage tracking off (VRD4_GANZ_NEU_ZEICHNEN=1: each
// frame recomposes and repaints the whole board), and then what the
// tracking saves. It uses the real channel names: run it while no other
// receiver runs.
#include "bench/ProzessCpu.h"
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <random>
#include <string>
#include <thread>

#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "render/ucAniGIF.h"
#include "tests/gif/GifSchreiber.h"

extern char** environ;

namespace {

namespace gv = vrd4::channel::modVRD4GlobaleVariablen;

// width × height, n frames of 256 colours that differ everywhere from frame
// to frame; delay in hundredths.
std::vector<uint8_t> testGif(int width, int height, int n, int delay) {
  vrd4::gif::test::Farben farben;
  for (uint32_t i = 0; i < 256; ++i) farben.push_back(i << 16 | (255 - i) << 8 | (i * 7 & 255));
  vrd4::gif::test::GifSchreiber s(width, height, farben);
  for (int k = 0; k < n; ++k) {
    vrd4::gif::test::Bild f{.width = width, .height = height, .delay = delay};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) f.indizes.push_back(uint8_t((x * 3 + y * 5 + k * 29) & 255));
    s.bild(f);
  }
  return s.fertig();
}

QGuiApplication& app() {
  static int argc = 1;
  static char name[] = "bench_animation";
  static char* argv[] = {name, nullptr};
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication a(argc, argv);
  return a;
}

struct HandUhr final : vrd4::platform::Clock {
  double t = 0;
  double seconds() const override { return t; }
};

void BM_AnimationsTick(benchmark::State& state) {
  app();
  HandUhr uhr;
  vrd4::platform::Surface brett(768, 480);
  vrd4::render::ucAniGIF ctl(brett, uhr);
  ctl.setDelayAnimation(0);
  ctl.move(1, 1, 400, 200);
  ctl.setScaleWidthSetzen(200);
  ctl.setScaleHeightSetzen(100);
  if (!ctl.LoadAnimatedGIF_Array(testGif(200, 100, 10, 5))) {
    state.SkipWithError("GIF not loaded");
    return;
  }
  ctl.setVisible(true);
  const bool mitBrett = state.range(0) == 1;
  int64_t frames = 0;
  ctl.FrameChanged = [&](int32_t) { ++frames; };
  for (auto _ : state) {
    uhr.t += 0.05;
    ctl.takt();
    if (mitBrett) benchmark::DoNotOptimize(brett.presented());
  }
  if (frames != state.iterations()) state.SkipWithError("not one frame per tick");
  state.counters["frames_pro_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AnimationsTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// CPU time of the calling thread in milliseconds.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// A field of /proc/self/status in kB ("VmRSS:"); -1 if missing.
long statusKb(const std::string& feld) {
  std::ifstream in("/proc/self/status");
  for (std::string z; std::getline(in, z);)
    if (z.rfind(feld, 0) == 0) return std::atol(z.c_str() + feld.size());
  return -1;
}

// The largest GIFs a slot plays: /0 two frames of 4096 × 4096, /1 a hundred
// frames of 1280 × 720, /2 one 4096 × 4096 frame of noise (a file of about
// 24 MB), two passes shown on the 10 ms polling step. Reports whether it
// loads, the frames shown, the longest single call (the load or a tick: how
// long the board stands still; the goal is 20 ms) and the most CPU time one
// call took (on a busy machine the difference is waiting for a core), the decoded memory the
// slot counts (the goal is 64 MB) and the growth of the process's resident
// memory, the largest seen at a polling step (freed memory the allocator
// keeps from an earlier run hides part of it: run one at a time).
void BM_GrossesGif(benchmark::State& state) {
  app();
  const int art = int(state.range(0));
  const int w = art == 1 ? 1280 : 4096, h = art == 1 ? 720 : 4096, n = art == 0 ? 2 : art == 1 ? 100 : 1;
  static std::vector<uint8_t> bytes[3];
  auto& b = bytes[art];
  if (b.empty() && art < 2) b = testGif(w, h, n, 5);
  if (b.empty()) {
    vrd4::gif::test::GifSchreiber s(w, h, vrd4::gif::test::graurampe(256));
    vrd4::gif::test::Bild f{.width = w, .height = h};
    std::mt19937 rng(4);
    for (int i = 0; i < w * h; ++i) f.indizes.push_back(uint8_t(rng()));
    s.bild(f);
    b = s.fertig();
  }
  HandUhr uhr;
  vrd4::platform::Surface brett(768, 480);
  double laengster = 0, laengsterCpu = 0, geladen = 0, speicher = 0, spitze = 0;
  int frames = 0;
  for (auto _ : state) {
    const long vorher = statusKb("VmRSS:");
    long rss = vorher;
    vrd4::render::ucAniGIF ctl(brett, uhr);
    ctl.setDelayAnimation(0);
    ctl.move(0, 0, 768, 480);
    ctl.setVisible(true);
    const auto zeit = [&](auto&& f) {
      const auto t0 = std::chrono::steady_clock::now();
      const double c0 = threadCpuMs();
      f();
      laengster = std::max(laengster, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      laengsterCpu = std::max(laengsterCpu, threadCpuMs() - c0);
    };
    zeit([&] { geladen = ctl.LoadAnimatedGIF_Array(b) ? 1 : 0; });
    speicher = double(ctl.Speicherbedarf()) / (1 << 20);
    // Two passes of frames (one frame: shown once), each shown
    // (FrameChanged), with the board's 10 ms polling step: at most a minute.
    int gezeigt = 0;
    ctl.FrameChanged = [&](int32_t) { ++gezeigt; };
    const int ziel = n == 1 ? 1 : 2 * n;
    const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (geladen && gezeigt < ziel && std::chrono::steady_clock::now() < ende) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      uhr.t += 0.01;
      zeit([&] { ctl.takt(); });
      rss = std::max(rss, statusKb("VmRSS:"));
    }
    frames = gezeigt;
    spitze = double(rss - vorher) / 1024;
  }
  state.counters["frames_gezeigt"] = frames;
  state.counters["geladen"] = geladen;
  state.counters["laengster_aufruf_ms"] = laengster;
  state.counters["laengster_aufruf_cpu_ms"] = laengsterCpu;
  state.counters["speicher_mb"] = speicher;
  state.counters["rss_spitze_mb"] = spitze;
  std::printf("%d x %d, %d frames, file %.1f MB: %s, %d frames shown, longest call %.1f ms (CPU %.1f ms), %.1f MB "
              "decoded memory counted, resident +%.1f MB\n",
              w, h, n, double(b.size()) / (1 << 20), geladen ? "plays" : "refused", frames, laengster, laengsterCpu,
              speicher, spitze);
}
BENCHMARK(BM_GrossesGif)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kSecond);

using vrd4::bench::cpuSekunden;

bool warteBis(const std::function<bool()>& bedingung, double sekunden) {
  const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void BM_ZehnGifsCpuAnteil(benchmark::State& state) {
  const bool ganzNeu = state.range(0) == 1;
  static double verfolgt = 0, ganz = 0;  // the shares of /0 and /1
  const std::string pfad = VRD4_BIN_DIR "/VRD4Empfaenger";
  if (!getenv("DISPLAY") || !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QTemporaryDir dir;
  const QString gifDatei = dir.filePath(QStringLiteral("zwanzig_fps.gif"));
  {
    QFile f(gifDatei);
    const auto b = testGif(100, 80, 10, 5);
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(b.data()), qint64(b.size())) != qint64(b.size())) {
      state.SkipWithError("cannot write the GIF");
      return;
    }
  }
  for (auto _ : state) {
    gv::SpeichervariablenAnlegen();
    for (auto* v : {&gv::clsVRD4EmpfaengerGestartet(), &gv::clsVRD4LetzteGesendete(), &gv::clsVRD4LetzteGelesene()})
      v->SetMemory(u"");
    pid_t pid = -1;
    char* argv[] = {const_cast<char*>(pfad.c_str()), nullptr};
    if (ganzNeu) setenv("VRD4_GANZ_NEU_ZEICHNEN", "1", 1);
    const int gestartet = posix_spawn(&pid, pfad.c_str(), nullptr, nullptr, argv, environ);
    unsetenv("VRD4_GANZ_NEU_ZEICHNEN");
    if (gestartet != 0) {
      state.SkipWithError("VRD4Empfaenger did not start");
      break;
    }
    warteBis([] { return gv::clsVRD4EmpfaengerGestartet().GetMemory() == u"-1"; }, 60);
    int slot = 0;
    auto senden = [&](std::initializer_list<std::u16string> teile) {
      std::u16string s = u"Befehl";
      for (const auto& t : teile) s += u'\x1b' + t;
      gv::Sendetexte(slot).SetMemory(s);
      const std::u16string nr = QString::number(slot).toStdU16String();
      gv::clsVRD4LetzteGesendete().SetMemory(nr);
      warteBis([&] { return gv::clsVRD4LetzteGelesene().GetMemory() == nr; }, 10);
      ++slot;
    };
    // Ten fields of 150 × 120 in two rows.
    for (int i = 0; i < 10; ++i) {
      const int x = 1 + (i % 5) * 152, y = 1 + (i / 5) * 240;
      auto z = [](int v) { return QString::number(v).toStdU16String(); };
      senden({u"AniGifLadenanPosition", gifDatei.toStdU16String(), z(x), z(y), z(x + 149), z(y + 119), u"0", u"0", u""});
    }
    for (int i = 1; i <= 10; ++i) senden({u"AniGifStarten", QString::number(i).toStdU16String(), u"0"});
    std::this_thread::sleep_for(std::chrono::seconds(1));

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
    std::printf("ten GIFs at 20 fps%s: %.3f s CPU in %.2f s = %.2f %% of one core\n",
                ganzNeu ? ", whole board recomposed" : "", cpu1 - cpu0, wand, anteil);
    (ganzNeu ? ganz : verfolgt) = anteil;
    if (ganzNeu && verfolgt > 0 && ganz > 0)
      std::printf("damage tracking: %.2f %% instead of %.2f %% of one core (%.1f times less)\n", verfolgt, ganz,
                  ganz / verfolgt);
  }
}
BENCHMARK(BM_ZehnGifsCpuAnteil)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
