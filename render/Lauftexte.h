#pragma once
// Up to ten scrolling texts, each in its own text-effect control
// CtlLaufschrift(1..10) over the board.
#include <cstdint>
#include <memory>

#include "platform/Surface.h"
#include "render/CtlLTundBK.h"
#include "render/RenderHost.h"
#include "render/TextAusgabe.h"
#include "render/TextFeld.h"
#include "render/TextParameter.h"

namespace vrd4::render {

class Lauftexte {
 public:
  static constexpr int kAnzahl = 10;
  Lauftexte(RenderHost& host, platform::Surface& board, TextRenderer& text);
  ~Lauftexte();
  Lauftexte(const Lauftexte&) = delete;
  Lauftexte& operator=(const Lauftexte&) = delete;

  // Takes the lowest free slot (p.Ausrichtung is ignored); reports and
  // returns its number, 0 when none was taken. Never throws: an internal
  // error raises ("Fehler", "Fehler beim Anlegen einer neuen Form für die
  // Laufschrift!") and reports "0".
  uint8_t LTNeu(const TextParameter& p, double Geschwindigkeit, double Startverzoegerung);
  void LTNeuLoeschen(uint8_t index);  // outside 1..10: "BefehlFehler" event
  void LTNeuGleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe);
  // One tick over all slots. Never throws.
  void LauftexteTakten();

  // The layout of f in slot Index's control with its current font: the
  // field and the text's position inside the control. Throws like
  // TextFeldAusgabeBerechnenfuerUserControl; Index outside 1..10 throws
  // std::out_of_range.
  void LTNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t Index, TextFeld& f,
                                                   int16_t Ausrichtung);

  CtlLTundBK& CtlLaufschrift(int n);  // 1..10
  bool belegt(int n) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
