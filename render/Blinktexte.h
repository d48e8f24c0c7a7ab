#pragma once
// Up to ten blinking texts, each in its own text-effect control
// CtlBlinktext(1..10) over the board. The slots follow the rules of
// TextEffektTabelle; what is a blinking text's own is its phase.
#include <cstdint>
#include <memory>

#include "render/TextEffektTabelle.h"

namespace vrd4::render {

class Blinktexte {
 public:
  static constexpr int kAnzahl = TextEffektTabelle::kAnzahl;
  Blinktexte(RenderHost& host, platform::Surface& board, TextRenderer& text);
  ~Blinktexte();
  Blinktexte(const Blinktexte&) = delete;
  Blinktexte& operator=(const Blinktexte&) = delete;

  // Takes the lowest free slot; reports its number (clsVRD4BlinktextNr and
  // the "BlinktextNr" event) and returns it, 0 when all are in use. May throw
  // (e.g. a negative field size); then the slot stays free.
  uint8_t BKNeu(const TextParameter& p, double Intervall);
  // Outside 1..10: "BefehlFehler" event ("Blinktextnummer: n gibt es nicht!").
  void BKNeuLoeschen(uint8_t index) { tabelle_.loeschen(index); }
  void BKNeuGleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe) {
    tabelle_.gleicheStelleLoeschen(x, y, breite, hoehe);
  }
  // One tick over all slots (first display, phase switches). Never throws.
  void BlinktexteTakten();

  // The layout of f in slot Index's control (see TextEffektTabelle::feldBerechnen).
  void BKNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t Index, TextFeld& f,
                                                   int16_t Ausrichtung) {
    tabelle_.feldBerechnen(Index, f, Ausrichtung);
  }

  CtlLTundBK& CtlBlinktext(int n) { return tabelle_.ctl(n); }  // 1..10
  bool belegt(int n) const { return tabelle_.belegt(n); }

 private:
  TextEffektTabelle tabelle_;
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
