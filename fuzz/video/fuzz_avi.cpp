// Clips come from whatever the sending program sends: every byte sequence
// must open as a clip or give nothing, play a few frames without crashing,
// and leave no temporary file or device behind.
#include <QGuiApplication>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/MciFfmpeg.h"
#include "platform/Surface.h"
#include "render/modAviWiedergeben.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vrd4::platform::MciFfmpeg mci;
  vrd4::platform::Surface ziel(48, 32);
  auto medium = vrd4::render::aviOeffnen(1, ziel, std::span<const uint8_t>(data, size), mci);
  if (!medium) {
    if (mci.geraet("1AviTmp")) std::abort();  // a failed open leaves no device
    return 0;
  }
  vrd4::platform::MciVideo* clip = mci.geraet("1AviTmp");
  if (!clip) std::abort();
  medium->starten();
  for (int i = 0; i < 4; ++i) {
    clip->warteBisDekodiert(std::chrono::seconds(2));
    medium->takt(1.0 + i);
  }
  medium->loeschen();
  if (mci.geraet("1AviTmp")) std::abort();
  return 0;
}
