#pragma once
// What blinking and scrolling texts do alike with their text-effect
// controls: setting one up for a field, fitting its font, placing it over
// the laid-out field, and the drawing cycle of one phase. Their slots live
// in TextEffektTabelle.
#include <QString>
#include <cstdint>

#include "render/CtlLTundBK.h"
#include "render/RenderHost.h"
#include "render/TextFeld.h"
#include "render/TextParameter.h"

namespace vrd4::render {

// Shows ctl at the board's corner, w × h with a scale of w × h, colours and
// font from p (name schriftart, FontSize groesse points), then fits the font
// to groesse pixels in whole points. Throws for a negative or huge size.
void SteuerelementEinrichten(CtlLTundBK& ctl, const TextParameter& p, const QString& schriftart,
                             int16_t w, int16_t h, int16_t groesse);

// Moves ctl over the laid-out field; see-through (back style 0, mask colour
// the field colour) when transparent, else opaque.
void SteuerelementPlatzieren(CtlLTundBK& ctl, const TextFeld& f, bool transparent,
                             platform::Colour feldfarbe);

// The visible phase: the text alone at (x, y) inside the control.
void SteuerelementTextZeigen(CtlLTundBK& ctl, int32_t x, int32_t y, const QString& text);
// The hidden phase: nothing but the background (see-through when back style 0).
void SteuerelementLeeren(CtlLTundBK& ctl);

// The blinking and scrolling slots are numbered 1 to 10.
inline bool SlotnummerGueltig(int n) { return n >= 1 && n <= 10; }

}  // namespace vrd4::render
