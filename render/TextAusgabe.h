#pragma once
// Text on the board: font check, font fitting to a pixel height, the field
// layout with nine alignments and shortening, and printing.
#include <QString>
#include <cstdint>

#include "platform/Surface.h"
#include "render/RenderHost.h"
#include "render/TextParameter.h"

namespace vrd4::render {

class Lauftexte;

class TextRenderer {
 public:
  explicit TextRenderer(RenderHost& host);
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // Where a text that does not fit goes when LauftextbeiBedarf is set.
  void setLauftexte(Lauftexte* lauftexte);

  // Prints p.Ausgabetext into the field on pic. Never throws: a failure adds
  // "Fehler in Textausgabe" + description to the status list.
  void TextAusgabe(platform::Surface& pic, const TextParameter& p, bool LauftextbeiBedarf,
                   double Geschwindigkeit, double Startverzoegerung);

  // The name if it is a screen font (any letter case); otherwise raises
  // ("BefehlFehler", "Schrift: " + name + " nicht vorhanden. - Arial wird
  // gesetzt!") and returns "Arial".
  QString SchriftartPruefen(const QString& name);

 private:
  struct Impl;
  Impl* d;
};

}  // namespace vrd4::render
