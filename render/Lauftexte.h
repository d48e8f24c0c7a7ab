#pragma once
// Up to ten scrolling texts, each in its own text-effect control
// CtlLaufschrift(1..10) over the board. The slots follow the rules of
// TextEffektTabelle; what is a scrolling text's own is its step.
#include <cstdint>
#include <memory>

#include "render/TextEffektTabelle.h"

namespace vrd4::render {

class Lauftexte {
 public:
  static constexpr int kAnzahl = TextEffektTabelle::kAnzahl;
  Lauftexte(RenderHost& host, platform::Surface& board, TextRenderer& text);
  ~Lauftexte();
  Lauftexte(const Lauftexte&) = delete;
  Lauftexte& operator=(const Lauftexte&) = delete;

  // Takes the lowest free slot (p.Ausrichtung is ignored); reports and
  // returns its number, 0 when none was taken. Never throws: an internal
  // error raises ("Fehler", "Fehler beim Anlegen einer neuen Form für die
  // Laufschrift!") and reports "0".
  uint8_t LTNeu(const TextParameter& p, double Geschwindigkeit, double Startverzoegerung);
  // Outside 1..10: "BefehlFehler" event ("Lauftextnummer: n gibt es nicht!").
  void LTNeuLoeschen(uint8_t index) { tabelle_.loeschen(index); }
  void LTNeuGleicheStelleLoeschen(int16_t x, int16_t y, int16_t breite, int16_t hoehe) {
    tabelle_.gleicheStelleLoeschen(x, y, breite, hoehe);
  }
  // One tick over all slots. Never throws.
  void LauftexteTakten();

  // The layout of f in slot Index's control (see TextEffektTabelle::feldBerechnen).
  void LTNeuTextFeldAusgabeBerechnenfuerUserControl(uint8_t Index, TextFeld& f,
                                                   int16_t Ausrichtung) {
    tabelle_.feldBerechnen(Index, f, Ausrichtung);
  }

  CtlLTundBK& CtlLaufschrift(int n) { return tabelle_.ctl(n); }  // 1..10
  bool belegt(int n) const { return tabelle_.belegt(n); }

 private:
  RenderHost& host_;
  TextEffektTabelle tabelle_;
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::render
