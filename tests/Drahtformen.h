#pragma once
// The wire form of every command as the sending programs in the field write
// it: name, fields in order with their types, the sender's operation, the
// reply. Written out here from the protocol's description, never read from
// protocol/Befehlstabelle.h: the tests hold the command table, the engine's
// handlers, the sender library, vrd4send and the docs against it, so a
// table with two fields swapped fails them even though both ends agree.
// Also the values the tests send: per field a plain one and a changed one.
#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vrd4::test {

struct Drahtform {
  std::u16string_view name;    // field 1
  std::u16string_view felder;  // fields 2 … in order: "A, B: Int16; C: Text"
  std::string_view methode;    // the sender's operation that sends it (also vrd4send's)
  // The channel variable that gets the number of the slot it takes; the
  // event of the same name without "clsVRD4" tells it too.
  std::string_view antwort = {};
  bool leeresEndfeld = false;  // the sender's text ends with ESC: one more, empty field
  bool nurQuittiert = false;   // over TCP answered "OK" but not run
  int bildinhalt = 0;          // forwarded and over TCP: the field (from 0) with the picture's bytes
};

// In the order in which the receiver compares names.
inline constexpr Drahtform kDrahtformen[] = {
    {u"Textausgabe",
     u"Xstart, Ystart, Xende, YEnde: Int16; Ausgabetext: Text; Ausrichtung: Int16; "
     u"Schriftart: Text; SchriftgroesseinPixel: Int16; "
     u"Fett, Kursiv, Unterstrichen, Durchgestrichen, Transparent: Bool; "
     u"FeldVordergrundfarbe, FeldHintergrundfarbe: Int32; LauftextbeiBedarf: Bool; "
     u"Geschwindigkeit, Startverzoegerung: Double",
     "TextAusgabe"},
    {u"Cls", u"", "Cls"},
    {u"Linie", u"Xstart, Ystart, Xende, YEnde, Linienbreite: Int16; Farbe: Int32", "Linie"},
    {u"Rechteck", u"Xstart, Ystart, Xende, YEnde, Linienbreite: Int16; Farbe: Int32; Fuellen: Bool", "Rechteck"},
    {u"Blinktext",
     u"Xstart, Ystart, Xende, YEnde: Int16; Ausgabetext: Text; Ausrichtung: Int16; "
     u"Schriftart: Text; SchriftgroesseinPixel: Int16; "
     u"Fett, Kursiv, Unterstrichen, Durchgestrichen, Transparent: Bool; "
     u"FeldVordergrundfarbe, FeldHintergrundfarbe: Int32; Intervall: Double",
     "BlinkText", "clsVRD4BlinktextNr"},  // reply
    {u"BlinktextLoeschen", u"BlinkNr: Byte", "BlinkTextLoeschen"},
    {u"Lauftext",
     u"Xstart, Ystart, Xende, YEnde: Int16; Ausgabetext: Text; Schriftart: Text; "
     u"SchriftgroesseinPixel: Int16; "
     u"Fett, Kursiv, Unterstrichen, Durchgestrichen, Transparent: Bool; "
     u"FeldVordergrundfarbe, FeldHintergrundfarbe: Int32; "
     u"Geschwindigkeit, Startverzoegerung: Double",
     "Lauftext", "clsVRD4LauftextNr"},  // reply
    {u"LauftextLoeschen", u"LauftextNr: Byte", "LauftextLoeschen"},
    {u"Tafelgroesse", u"Breite, Hoehe: Int16", "Tafelgroesse"},
    {u"BildAnzeigen",
     u"BildnamemitPfad: Text; GroesseAnpassen, BeiKleinerZentrieren: Bool",
     "BildAnzeigen", {}, false, false, 5},  // picture bytes in field 5
    {u"BildAnzeigenanPosition",
     u"BildnamemitPfad: Text; Xstart, Ystart, Xende, YEnde: Int16; "
     u"GroesseAnpassen, BeiKleinerZentrieren: Bool",
     "BildAnzeigenanPosition", {}, false, false, 9},  // bytes in field 9
    {u"AniGifLadenanPosition",
     u"BildnamemitPfad: Text; Xstart, Ystart, Xende, YEnde: Int16; "
     u"GroesseAnpassen, BeiKleinerZentrieren: Bool",
     "AniGifLadenanPosition", "clsVRD4AniGifNr", true, false, 9},  // reply, empty end field, bytes in 9
    {u"AniGifStarten", u"AniGifNr: Byte; AnzeigeDauer: Double", "AniGifStarten"},
    {u"AniGifStoppen", u"AniGifNr: Byte", "AniGifStoppen"},
    {u"AniGifLoeschen", u"AniGifNr: Byte", "AniGifLoeschen"},
    {u"Hintergrundfarbe", u"Farbe: Int32", "Hintergrundfarbe"},
    {u"Vordergrundfarbe", u"Farbe: Int32", "Vordergrundfarbe"},
    // Acting on the receiving program itself: over TCP only answered.
    {u"IPAdresse", u"Adresse: Text", "IPAdresse", {}, false, true},
    {u"Port", u"Port: Text", "Port", {}, false, true},
    {u"PauseAnzeigeZiel", u"strHundertstelSek: Text", "PauseAnzeigeZiel", {}, false, true},
    {u"Server starten", u"", "ServerStarten", {}, false, true},
    {u"Client verbinden", u"", "ClientVerbinden", {}, false, true},
};

inline const Drahtform& drahtform(std::u16string_view name) {
  for (const Drahtform& d : kDrahtformen)
    if (d.name == name) return d;
  throw std::out_of_range("keine Drahtform dieses Namens");
}

struct Drahtfeld {
  std::u16string name, typ;  // typ: Int16, Int32, Byte, Bool, Double or Text
};

// "A, B: Int16; C: Text" -> {A, Int16}, {B, Int16}, {C, Text}.
inline std::vector<Drahtfeld> drahtfelder(const Drahtform& d) {
  std::vector<Drahtfeld> felder;
  std::u16string_view rest = d.felder;
  while (!rest.empty()) {
    const std::size_t ende = std::min(rest.find(u"; "), rest.size());
    std::u16string_view gruppe = rest.substr(0, ende);
    rest.remove_prefix(std::min(ende + 2, rest.size()));
    const std::size_t dp = gruppe.find(u": ");
    const std::u16string typ(gruppe.substr(dp + 2));
    for (std::u16string_view namen = gruppe.substr(0, dp); !namen.empty();) {
      const std::size_t komma = std::min(namen.find(u", "), namen.size());
      felder.push_back({std::u16string(namen.substr(0, komma)), typ});
      namen.remove_prefix(std::min(komma + 2, namen.size()));
    }
  }
  return felder;
}

// Field name -> its text in the command.
using Drahtwerte = std::map<std::u16string, std::u16string>;

inline std::u16string testdatei(const char* name) {
  const std::string p = std::string(VRD4_TEST_DATA_DIR) + "/" + name;
  return std::u16string(p.begin(), p.end());
}

// The plain value (grund) and a changed one (anders) of every field, as
// sent; "Befehl.Feld" where a command wants its own.
struct Beispiel {
  std::u16string grund, anders;
};
inline const std::map<std::u16string, Beispiel>& beispiele() {
  static const std::map<std::u16string, Beispiel> b = {
      {u"Xstart", {u"11", u"31"}}, {u"Ystart", {u"21", u"5"}}, {u"Xende", {u"210", u"120"}},
      {u"YEnde", {u"260", u"90"}}, {u"Ausgabetext", {u"Anpfiff", u"Tor für Süd!"}}, {u"Ausrichtung", {u"0", u"8"}},
      {u"Schriftart", {u"Arial", u"Courier New"}}, {u"SchriftgroesseinPixel", {u"20", u"33"}},
      {u"Fett", {u"0", u"-1"}}, {u"Kursiv", {u"0", u"-1"}}, {u"Unterstrichen", {u"0", u"-1"}},
      {u"Durchgestrichen", {u"0", u"-1"}}, {u"Transparent", {u"0", u"-1"}},
      {u"FeldVordergrundfarbe", {u"16777215", u"16776960"}}, {u"FeldHintergrundfarbe", {u"128", u"32768"}},
      {u"LauftextbeiBedarf", {u"0", u"-1"}}, {u"Geschwindigkeit", {u"0.04", u"0.3"}},
      {u"Startverzoegerung", {u"0", u"0.3"}}, {u"Intervall", {u"0.1", u"0.3"}}, {u"Linienbreite", {u"1", u"4"}},
      {u"Farbe", {u"255", u"65280"}}, {u"Fuellen", {u"0", u"-1"}}, {u"Breite", {u"768", u"640"}},
      {u"Hoehe", {u"480", u"400"}}, {u"GroesseAnpassen", {u"-1", u"0"}}, {u"BeiKleinerZentrieren", {u"0", u"-1"}},
      {u"BildnamemitPfad", {testdatei("engine/rot_4x4.bmp"), testdatei("engine/zwei_frames.gif")}},
      {u"AniGifLadenanPosition.BildnamemitPfad",
       {testdatei("engine/zwei_frames.gif"), testdatei("gif/einfarbig_87a_giflib.gif")}},
      {u"AniGifNr", {u"1", u"2"}}, {u"AnzeigeDauer", {u"0", u"0.5"}}, {u"BlinkNr", {u"1", u"2"}},
      {u"LauftextNr", {u"1", u"2"}}, {u"Adresse", {u"192.168.0.5", u"10.0.0.7"}}, {u"Port", {u"3050", u"4711"}},
      {u"strHundertstelSek", {u"50", u"100"}},
  };
  return b;
}
inline const Beispiel& beispiel(const Drahtform& d, const std::u16string& feld) {
  const auto& b = beispiele();
  const auto eigen = b.find(std::u16string(d.name) + u"." + feld);
  return eigen != b.end() ? eigen->second : b.at(feld);
}

// Every field of d with its plain value.
inline Drahtwerte grundwerte(const Drahtform& d) {
  Drahtwerte w;
  for (const Drahtfeld& f : drahtfelder(d)) w[f.name] = beispiel(d, f.name).grund;
  return w;
}

// The plain values, then each field changed alone: a field written where
// another of its type belongs shows in at least one of them.
inline std::vector<Drahtwerte> drahtvarianten(const Drahtform& d) {
  std::vector<Drahtwerte> v{grundwerte(d)};
  for (const Drahtfeld& f : drahtfelder(d)) {
    v.push_back(grundwerte(d));
    v.back()[f.name] = beispiel(d, f.name).anders;
  }
  return v;
}

// "Befehl", the name, the values of w in the wire order, the empty end
// field; joined by ESC.
inline std::u16string drahttext(const Drahtform& d, const Drahtwerte& w) {
  std::u16string t = u"Befehl\x1b" + std::u16string(d.name);
  for (const Drahtfeld& f : drahtfelder(d)) t += u"\x1b" + w.at(f.name);
  return d.leeresEndfeld ? t + u"\x1b" : t;
}

}  // namespace vrd4::test
