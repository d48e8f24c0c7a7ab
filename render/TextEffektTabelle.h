#pragma once
// The ten slots of one text effect (blinking or scrolling texts), each with
// its own text-effect control over the board, and the rules both effects
// share: the lowest free slot, one text per rectangle, placement in the
// field's units, deletion and the "…Nr" reply. What an effect does with a
// slot between ticks (blink phase, scroll step) stays with the effect.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Surface.h"
#include "render/CtlLTundBK.h"
#include "render/RenderHost.h"
#include "render/TextAusgabe.h"
#include "render/TextFeld.h"
#include "render/TextParameter.h"
#include "render/TextUhr.h"

namespace vrd4::render {

class TextEffektTabelle {
 public:
  static constexpr int kAnzahl = 10;

  // How one effect names itself in its replies and errors.
  struct Art {
    QString mehrzahl;     // "Blinktexte": "max. 10 Blinktexte bereits belegt!"
    QString nummerText;   // "Blinktextnummer: ": "… 11 gibt es nicht!"
    Antwort antwort;      // the reply field holding the slot number
    QString ereignis;     // the event carrying it, e.g. "BlinktextNr"
  };

  TextEffektTabelle(RenderHost& host, platform::Surface& board, TextRenderer& text, Art art);
  ~TextEffektTabelle();
  TextEffektTabelle(const TextEffektTabelle&) = delete;
  TextEffektTabelle& operator=(const TextEffektTabelle&) = delete;

  // Fills the effect's own data of slot n for the laid-out field f.
  using Fuellen = std::function<void(int n, const TextFeld& f)>;

  // Takes the lowest free slot for p: sets its control up, lays the field
  // out with ausrichtung, places the control over it, lets fuellen keep what
  // the effect needs, deletes any other text of this effect on exactly the
  // same rectangle, and reports the number (reply and event). All slots in
  // use: raises ("BefehlFehler", "max. 10 … bereits belegt!"), reports and
  // returns 0. On a throw the slot stays free, its control hidden, nothing
  // is reported, and the exception goes on.
  int neu(const TextParameter& p, int16_t ausrichtung, const Fuellen& fuellen);

  // Reports n as the effect's slot number (reply, then event).
  void melden(int n);

  // Frees slot index: its control is hidden and cleared. A free slot is left
  // alone; outside 1..10 raises ("BefehlFehler", nummerText + index +
  // " gibt es nicht!").
  void loeschen(uint8_t index);
  // Deletes every slot in use whose control lies exactly on the rectangle.
  void gleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe);

  // The layout of f in slot index's control with its current font. Throws
  // like TextFeldAusgabeBerechnenfuerUserControl; index outside 1..10 throws
  // std::out_of_range.
  void feldBerechnen(uint8_t index, TextFeld& f, int16_t ausrichtung);

  CtlLTundBK& ctl(int n);  // 1..10, else std::out_of_range
  bool belegt(int n) const;
  // The ticks' time; a non-zero verschiebung must be taken off every time kept.
  TextUhr::Zeit uhrLesen();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
