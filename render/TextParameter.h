#pragma once
// The text parameters that "Textausgabe", "Blinktext" and "Lauftext" share.
#include <QString>
#include <cstdint>

#include "platform/Surface.h"

namespace vrd4::render {

struct TextParameter {
  int16_t Xstart = 1, Ystart = 1, Xende = 1, YEnde = 1;  // 1-based, inclusive
  QString Ausgabetext;
  int16_t Ausrichtung = 0;  // row × 3 + column; scrolling texts ignore it
  QString Schriftart = QStringLiteral("Arial");
  int16_t SchriftgroesseinPixel = 20;
  bool Fett = false, Kursiv = false, Unterstrichen = false, Durchgestrichen = false;
  bool Transparent = false;
  platform::Colour FeldVordergrundfarbe = 0xFFFFFF;
  platform::Colour FeldHintergrundfarbe = 0x000000;
};

}  // namespace vrd4::render
