// Picture files come from whatever the sending program names: every byte
// sequence must decode to a picture within the limits, or to none, and never
// crash or allocate without bound.
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "render/modPicturefromBytes.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto bild = vrd4::render::modPicturefromBytes(std::span<const uint8_t>(data, size));
  if (bild && !vrd4::render::bildGroesseErlaubt(bild->width(), bild->height())) std::abort();
  return 0;
}
