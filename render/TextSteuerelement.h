#pragma once
// What blinking and scrolling texts do alike with their text-effect
// controls: setting one up for a field, fitting its font, placing it over
// the laid-out field, and the drawing cycle of one phase.
#include <QString>
#include <array>
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

// Frees slot index of a blinking or scrolling table: its control is hidden
// and cleared. A free slot in range is left alone; a number outside 1..10
// raises ("BefehlFehler", nummerText + index + " gibt es nicht!").
template <typename Eintrag, typename CtlVon>
void SlotLoeschen(RenderHost& host, const QString& nummerText, std::array<Eintrag, 10>& eintraege,
                  uint8_t index, CtlVon ctlVon) {
  if (!SlotnummerGueltig(index)) {
    host.VRD4Event(QStringLiteral("BefehlFehler"),
                    nummerText + QString::number(index) + QStringLiteral(" gibt es nicht!"));
    return;
  }
  Eintrag& e = eintraege[size_t(index - 1)];
  if (!e.belegt) return;
  CtlLTundBK& ctl = ctlVon(index);
  ctl.setVisible(false);
  ctl.Cls();
  e.belegt = false;
}

// Every slot in use whose control lies exactly on (x, y, breite, hoehe),
// deleted with loeschen(n): a new text replaces the older one on its place.
template <typename Eintrag, typename CtlVon, typename Loeschen>
void GleicheStelleLoeschen(const std::array<Eintrag, 10>& eintraege, int16_t x, int16_t y,
                           int16_t breite, int16_t hoehe, CtlVon ctlVon, Loeschen loeschen) {
  for (int i = 1; i <= 10; ++i) {
    if (!eintraege[size_t(i - 1)].belegt) continue;
    const CtlLTundBK& ctl = ctlVon(i);
    if (ctl.left() == x && ctl.width() == breite && ctl.top() == y && ctl.height() == hoehe)
      loeschen(uint8_t(i));
  }
}

}  // namespace vrd4::render
