// GIF files come from whatever the sending program names: every byte
// sequence must load into the control or leave it empty, and composing and
// drawing its frames (disposals, transparency, frames beyond the canvas,
// every stretch and mirror mode) must stay inside every buffer.
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/Clock.h"
#include "platform/Surface.h"
#include "render/ucAniGIF.h"

namespace {
struct Uhr final : vrd4::platform::Clock {
  double t = 0;
  double seconds() const override { return t; }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vrd4::platform::Surface brett(64, 48);
  Uhr uhr;
  vrd4::render::ucAniGIF ctl(brett, uhr);
  // The last byte picks the control's modes, so that every path is reached.
  const uint8_t modus = size ? data[size - 1] : 0;
  ctl.move(1, 1, 40 + (modus & 7), 30);
  ctl.setMirrored((modus >> 3) & 3);
  ctl.setOffsetX((modus >> 5) - 3);
  ctl.setDelayAnimation(0);
  ctl.setVisible(true);
  if (!ctl.LoadAnimatedGIF_Array(std::span<const uint8_t>(data, size))) {
    if (ctl.FrameCount() != 0 || ctl.LoopsRemaining() != -1) std::abort();
    return 0;
  }
  // Playing a large canvas is bounded but slow; the fuzzer keeps its pace
  // on the small ones, where the composing paths are the same.
  if (double(ctl.ActualWidth()) * ctl.ActualHeight() > 256.0 * 1024) return 0;
  ctl.setStretch(modus % 5);
  const int n = ctl.FrameCount();
  for (int i = 0; i < 2 * n + 2 && i < 64; ++i) {
    uhr.t += 60.0;  // past any frame's delay
    ctl.takt();
    if (ctl.aktuellesFrame() < 1 || ctl.aktuellesFrame() > n) std::abort();
  }
  ctl.setAction(3);
  ctl.setAction(4);
  ctl.setStretch((modus + 1) % 5);
  return 0;
}
