// A picture made ready beside the board: any bytes in any field decode and
// fit into a picture no larger than the field's fitted size within the
// limits, or into none with a reason, and never crash or allocate without
// bound. The first 10 bytes are the field (four 16-bit corners, the two
// switches), the rest the file.
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "render/Bildvorbereitung.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  int16_t ecken[4];
  std::memcpy(ecken, data, sizeof ecken);
  const vrd4::render::BildFeld feld{ecken[0], ecken[1], ecken[2], ecken[3], (data[8] & 1) != 0, (data[9] & 1) != 0};
  const vrd4::render::VorabBild v = vrd4::render::bildVorbereiten(std::span<const uint8_t>(data + 10, size - 10), feld);
  if (!v.eingepasst || !(v.fuer == feld)) std::abort();
  if (!v.bild && !v.passend.isNull()) std::abort();  // no picture, nothing to draw
  if (!v.passend.isNull()) {
    if (!vrd4::render::bildGroesseErlaubt(v.passend.width(), v.passend.height())) std::abort();
    // Never wider or higher than its field.
    if (v.passend.width() > int(feld.Xende) - int(feld.Xstart) + 1 ||
        v.passend.height() > int(feld.YEnde) - int(feld.Ystart) + 1)
      std::abort();
  }
  return 0;
}
