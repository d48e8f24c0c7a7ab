#pragma once
// The board operations on a display surface: colours, patterns, border, and
// lines and boxes that become part of the surface's background picture.
// Coordinates are the commands' 1-based pixels; colours 0x00BBGGRR.
//
// Failure: Linie and Rechteck throw vrd4::OverflowError when a coordinate
// is -32768 (the step to 0-based leaves 16 bits); nothing is drawn then.
// Nothing else throws.
#include <cstdint>

#include "platform/Surface.h"

namespace vrd4::render {

// Clears the surface to farbe; a background picture (what was drawn) is put
// back over it at once, so the new colour shows only after Cls.
void Hintergrundfarbe(platform::Surface& picObjekt, platform::Colour farbe);
void Vordergrundfarbe(platform::Surface& picObjekt, platform::Colour farbe);
void Fuellfarbe(platform::Surface& picObjekt, platform::Colour farbe);
void Fuellstyle(platform::Surface& picObjekt, uint8_t muster);  // above 7 -> 0 (solid)
void Linienstil(platform::Surface& picObjekt, uint8_t stil);    // above 6 -> 0 (solid)
void Rahmenart(platform::Surface& picObjekt, uint8_t art);      // above 5 -> 0 (none)

// A line in Farbe with pen width Linienbreite (passed on as given), both
// ends included. The surface's pen width and foreground colour are the same
// afterwards as before.
void Linie(platform::Surface& picObjekt, int16_t Xstart, int16_t Ystart, int16_t Xende,
           int16_t YEnde, int16_t Linienbreite, platform::Colour Farbe);
// A box with both corners included: wholly in Farbe when Fuellen, else
// outlined in Farbe with the surface's fill colour and pattern inside. A
// width below 1 draws as 1. Pen width and foreground colour are kept.
void Rechteck(platform::Surface& picObjekt, int16_t Xstart, int16_t Ystart, int16_t Xende,
              int16_t YEnde, int16_t Linienbreite, platform::Colour Farbe, bool Fuellen);
// The board's size comes from the window placement; the command is
// accepted and changes nothing.
void Tafelgroesse(platform::Surface& picObjekt, int16_t Breite, int16_t Hoehe);

}  // namespace vrd4::render
