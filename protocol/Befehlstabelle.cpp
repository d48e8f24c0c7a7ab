// The command table: every command the receiver knows, in the order in which
// its dispatcher compares the names.
#include "protocol/Befehl.h"

namespace vrd4::protocol {
namespace {

using enum FeldTyp;

std::vector<BefehlsSpec> tabelleAnlegen() {
  // Parameter groups that several text commands share.
  const std::vector<Parameter> feld = {
      {u"Xstart", Int16}, {u"Ystart", Int16}, {u"Xende", Int16}, {u"YEnde", Int16}};
  const std::vector<Parameter> stil = {{u"Fett", Bool},
                                       {u"Kursiv", Bool},
                                       {u"Unterstrichen", Bool},
                                       {u"Durchgestrichen", Bool},
                                       {u"Transparent", Bool},
                                       {u"FeldVordergrundfarbe", Int32},
                                       {u"FeldHintergrundfarbe", Int32}};
  auto verbinde = [](std::initializer_list<std::vector<Parameter>> teile) {
    std::vector<Parameter> alle;
    for (const auto& t : teile) alle.insert(alle.end(), t.begin(), t.end());
    return alle;
  };
  const std::vector<Parameter> bildFeld = verbinde(
      {{{u"BildnamemitPfad", Text}}, feld, {{u"GroesseAnpassen", Bool}, {u"BeiKleinerZentrieren", Bool}}});

  std::vector<BefehlsSpec> t;
  t.push_back({u"Textausgabe",
               verbinde({feld,
                         {{u"Ausgabetext", Text},
                          {u"Ausrichtung", Int16},
                          {u"Schriftart", Text},
                          {u"SchriftgroesseinPixel", Int16}},
                         stil,
                         {{u"LauftextbeiBedarf", Bool},
                          {u"Geschwindigkeit", Double},
                          {u"Startverzoegerung", Double}}})});
  t.push_back({u"Cls", {}});
  t.push_back({u"Linie", verbinde({feld, {{u"Linienbreite", Int16}, {u"Farbe", Int32}}})});
  t.push_back({u"Rechteck",
               verbinde({feld, {{u"Linienbreite", Int16}, {u"Farbe", Int32}, {u"Fuellen", Bool}}})});
  t.push_back({u"Blinktext",
               verbinde({feld,
                         {{u"Ausgabetext", Text},
                          {u"Ausrichtung", Int16},
                          {u"Schriftart", Text},
                          {u"SchriftgroesseinPixel", Int16}},
                         stil,
                         {{u"Intervall", Double}}})});
  t.push_back({u"BlinktextLoeschen", {{u"BlinkNr", Byte}}});
  t.push_back({u"Lauftext",
               verbinde({feld,
                         {{u"Ausgabetext", Text}, {u"Schriftart", Text}, {u"SchriftgroesseinPixel", Int16}},
                         stil,
                         {{u"Geschwindigkeit", Double}, {u"Startverzoegerung", Double}}})});
  t.push_back({u"LauftextLoeschen", {{u"LauftextNr", Byte}}});
  t.push_back({u"Tafelgroesse", {{u"Breite", Int16}, {u"Hoehe", Int16}}});
  t.push_back({u"BildAnzeigen",
               {{u"BildnamemitPfad", Text}, {u"GroesseAnpassen", Bool}, {u"BeiKleinerZentrieren", Bool}}});
  t.push_back({u"BildAnzeigenanPosition", bildFeld});
  // The sender ends this one with a separator, hence one more, empty field.
  t.push_back({u"AniGifLadenanPosition", bildFeld, true});
  t.push_back({u"AniGifStarten", {{u"AniGifNr", Byte}, {u"AnzeigeDauer", Double}}});
  t.push_back({u"AniGifStoppen", {{u"AniGifNr", Byte}}});
  t.push_back({u"AniGifLoeschen", {{u"AniGifNr", Byte}}});
  t.push_back({u"Hintergrundfarbe", {{u"Farbe", Int32}}});
  t.push_back({u"Vordergrundfarbe", {{u"Farbe", Int32}}});
  t.push_back({u"IPAdresse", {{u"Adresse", Text}}});
  t.push_back({u"Port", {{u"Port", Text}}});
  // Hundredths of a second, but carried and handed on as text.
  t.push_back({u"PauseAnzeigeZiel", {{u"strHundertstelSek", Text}}});
  t.push_back({u"Server starten", {}});
  t.push_back({u"Client verbinden", {}});
  return t;
}

}  // namespace

const std::vector<BefehlsSpec>& befehlstabelle() {
  static const std::vector<BefehlsSpec> tabelle = tabelleAnlegen();
  return tabelle;
}

const BefehlsSpec* findeBefehl(std::u16string_view name) {
  for (const BefehlsSpec& spec : befehlstabelle())
    if (spec.name == name) return &spec;
  return nullptr;
}

}  // namespace vrd4::protocol
