#pragma once
// Up to ten blinking texts, each in its own text-effect control
// CtlBlinktext(1..10) over the board.
#include <array>
#include <cstdint>
#include <memory>

#include "platform/Surface.h"
#include "render/CtlLTundBK.h"
#include "render/RenderHost.h"
#include "render/TextAusgabe.h"
#include "render/TextFeld.h"
#include "render/TextParameter.h"

namespace vrd4::render {

class Blinktexte {
 public:
  static constexpr int kAnzahl = 10;
  Blinktexte(RenderHost& host, platform::Surface& board, TextRenderer& text);
  ~Blinktexte();
  Blinktexte(const Blinktexte&) = delete;
  Blinktexte& operator=(const Blinktexte&) = delete;

  // Takes the lowest free slot; reports its number (clsVRD4BlinktextNr and
  // the "BlinktextNr" event) and returns it, 0 when all are in use. May throw
  // (e.g. a negative field size); then the slot stays free.
  uint8_t BKNeu(const TextParameter& p, double Intervall);
  void BKNeuLoeschen(uint8_t index);  // outside 1..10: "BefehlFehler" event
  void BKNeuGleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe);
  // One tick over all slots (first display, phase switches). Never throws.
  void BlinktexteTakten();

  // The layout of f in slot Index's control with its current font: the
  // field and the text's position inside the control. Throws like
  // TextFeldAusgabeBerechnenfuerUserControl; Index outside 1..10 throws
  // std::out_of_range.
  void BKNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t Index, TextFeld& f,
                                                   int16_t Ausrichtung);

  CtlLTundBK& CtlBlinktext(int n);  // 1..10
  bool belegt(int n) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
