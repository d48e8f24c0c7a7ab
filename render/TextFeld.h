#pragma once
// The layout of one line of text in a field: the field from its 1-based
// corners, the text shortened until it fits, and its position for one of
// nine alignments (row × 3 + column; rows top, middle, bottom; columns left,
// centre, right; right-aligned texts lose characters at the start, the
// others at the end).
//
// The arithmetic is 16-bit signed like the command coordinates: a result
// outside that range throws vrd4::OverflowError (as does a measured size
// beyond it). Measuring is passed in, so the arithmetic works with any
// surface, a control or a fixed table.
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/Surface.h"
#include "render/RenderHost.h"
#include "render/TextParameter.h"

namespace vrd4::render {

class CtlLTundBK;

// Width and height of a text in the measuring surface's units; the layout
// rounds them to whole units (halves to even).
struct TextMass {
  std::function<double(const QString&)> breite;
  std::function<double(const QString&)> hoehe;
};
TextMass TextMassVon(const platform::Surface& s);
TextMass TextMassVon(const CtlLTundBK& ctl);

struct TextFeld {
  // In: 1-based inclusive corners. Out: 0-based print position (board) or
  // the field's 0-based top-left corner (control); Xende/YEnde 0-based.
  int16_t Xstart = 1, Ystart = 1, Xende = 1, YEnde = 1;
  QString Ausgabetext;  // in: the whole text; out: the part that fits
  int16_t FeldBreite = 0, FeldHoehe = 0;
  int16_t Mindestfeldbreite = 0;  // width of the fitted text
  int16_t Mindestfeldhoehe = 0;   // height of the text line
  int16_t OriginalXstart = 0, OriginalYStart = 0, OriginalXEnde = 0, OriginalYEnde = 0;
  int16_t yPosinPicfuerLauftext = 0;  // the offset that centres the line in the field
  // Position of the text inside a control placed over the field.
  int16_t xPosinUserControlfuerLauftext = 0, yPosinUserControlfuerLauftext = 0;
};

// The layout's input: the field's corners and the whole text of p.
inline TextFeld TextFeldAus(const TextParameter& p) {
  TextFeld f;
  f.Xstart = p.Xstart;
  f.Ystart = p.Ystart;
  f.Xende = p.Xende;
  f.YEnde = p.YEnde;
  f.Ausgabetext = p.Ausgabetext;
  return f;
}

// The text's field and print position on the board. A bad alignment raises
// ("BefehlFehler", "Parameter   'Ausrichtung'   nicht zwischen 0 und 8!") on
// host and leaves the text whole at the field's top-left corner.
void TextFeldAusgabeBerechnen(TextFeld& f, int16_t Ausrichtung, const TextMass& mass,
                              RenderHost& host);

// The same for a text inside a control over the field: Xstart/Ystart stay
// at the field's corner, the text's position inside the control is returned
// in xPos/yPosinUserControlfuerLauftext. A bad alignment raises the same
// event and leaves both positions 0 and the text whole.
void TextFeldAusgabeBerechnenfuerUserControl(TextFeld& f, int16_t Ausrichtung,
                                             const TextMass& mass, RenderHost& host);

}  // namespace vrd4::render
