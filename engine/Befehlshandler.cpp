// Running a parsed command: one handler per row of the command table. Which
// fields a command has and their types belong to the protocol's table; here
// each handler only says which engine operation gets which field, by name.
#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "engine/EmpfaengerImpl.h"
#include "protocol/Befehl.h"

namespace vrd4::engine {

namespace {

using protocol::Felder;
using E = clsVRD4Empfaenger;
using B = protocol::Befehl;
using Bytes = std::span<const uint8_t>;
using Handler = void (*)(E&, const B&, Bytes);

int16_t i16(const B& b, std::size_t i) { return b.get<int16_t>(i); }
platform::Colour farbe(const B& b, std::size_t i) { return static_cast<platform::Colour>(b.get<int32_t>(i)); }
uint8_t byte(const B& b, std::size_t i) { return b.get<uint8_t>(i); }
bool janein(const B& b, std::size_t i) { return b.get<bool>(i); }
double zahl(const B& b, std::size_t i) { return b.get<double>(i); }
QString text(const B& b, std::size_t i) { return QString::fromStdU16String(b.get<std::u16string>(i)); }

// Field, text, alignment (where the command has one), font and style: the
// part shared by Textausgabe, Blinktext and Lauftext.
// Each index is a constexpr variable, so a name the row lacks does not
// compile.
template <Felder f>
render::TextParameter textParameter(const B& b) {
  constexpr std::size_t xs = f.index(u"Xstart"), ys = f.index(u"Ystart"), xe = f.index(u"Xende"),
                        ye = f.index(u"YEnde"), text_ = f.index(u"Ausgabetext"), schrift = f.index(u"Schriftart"),
                        groesse = f.index(u"SchriftgroesseinPixel"), fett = f.index(u"Fett"),
                        kursiv = f.index(u"Kursiv"), unter = f.index(u"Unterstrichen"),
                        durch = f.index(u"Durchgestrichen"), transparent = f.index(u"Transparent"),
                        vorn = f.index(u"FeldVordergrundfarbe"), hinten = f.index(u"FeldHintergrundfarbe");
  render::TextParameter p;
  p.Xstart = i16(b, xs);
  p.Ystart = i16(b, ys);
  p.Xende = i16(b, xe);
  p.YEnde = i16(b, ye);
  p.Ausgabetext = text(b, text_);
  if constexpr (f.hat(u"Ausrichtung")) {
    constexpr std::size_t ausrichtung = f.index(u"Ausrichtung");
    p.Ausrichtung = i16(b, ausrichtung);
  }
  p.Schriftart = text(b, schrift);
  p.SchriftgroesseinPixel = i16(b, groesse);
  p.Fett = janein(b, fett);
  p.Kursiv = janein(b, kursiv);
  p.Unterstrichen = janein(b, unter);
  p.Durchgestrichen = janein(b, durch);
  p.Transparent = janein(b, transparent);
  p.FeldVordergrundfarbe = farbe(b, vorn);
  p.FeldHintergrundfarbe = farbe(b, hinten);
  return p;
}

// The picture commands with a field: path, rectangle, the two switches.
template <Felder f, auto operation>
void bildAnPosition(E& e, const B& b, Bytes bild) {
  constexpr std::size_t pfad = f.index(u"BildnamemitPfad"), xs = f.index(u"Xstart"), ys = f.index(u"Ystart"),
                        xe = f.index(u"Xende"), ye = f.index(u"YEnde"), anpassen = f.index(u"GroesseAnpassen"),
                        zentrieren = f.index(u"BeiKleinerZentrieren");
  (e.*operation)(text(b, pfad), i16(b, xs), i16(b, ys), i16(b, xe), i16(b, ye), janein(b, anpassen),
                 janein(b, zentrieren), bild);
}

struct Eintrag {
  std::u16string_view name;
  Handler run;
};

constexpr Eintrag kEintraege[] = {
    {u"Textausgabe",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"Textausgabe");
       e.TextAusgabe(textParameter<f>(b), janein(b, f[u"LauftextbeiBedarf"]), zahl(b, f[u"Geschwindigkeit"]),
                     zahl(b, f[u"Startverzoegerung"]));
     }},
    {u"Cls", [](E& e, const B&, Bytes) { e.Cls(); }},
    {u"Linie",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"Linie");
       e.Linie(i16(b, f[u"Xstart"]), i16(b, f[u"Ystart"]), i16(b, f[u"Xende"]), i16(b, f[u"YEnde"]),
               i16(b, f[u"Linienbreite"]), farbe(b, f[u"Farbe"]));
     }},
    {u"Rechteck",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"Rechteck");
       e.Rechteck(i16(b, f[u"Xstart"]), i16(b, f[u"Ystart"]), i16(b, f[u"Xende"]), i16(b, f[u"YEnde"]),
                  i16(b, f[u"Linienbreite"]), farbe(b, f[u"Farbe"]), janein(b, f[u"Fuellen"]));
     }},
    {u"Blinktext",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"Blinktext");
       e.BKNeu(textParameter<f>(b), zahl(b, f[u"Intervall"]));
     }},
    {u"BlinktextLoeschen",
     [](E& e, const B& b, Bytes) { e.BKNeuLoeschen(byte(b, Felder(u"BlinktextLoeschen")[u"BlinkNr"])); }},
    {u"Lauftext",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"Lauftext");
       e.LTNeu(textParameter<f>(b), zahl(b, f[u"Geschwindigkeit"]), zahl(b, f[u"Startverzoegerung"]));
     }},
    {u"LauftextLoeschen",
     [](E& e, const B& b, Bytes) { e.LTNeuLoeschen(byte(b, Felder(u"LauftextLoeschen")[u"LauftextNr"])); }},
    {u"Tafelgroesse",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"Tafelgroesse");
       e.Tafelgroesse(i16(b, f[u"Breite"]), i16(b, f[u"Hoehe"]));
     }},
    {u"BildAnzeigen",
     [](E& e, const B& b, Bytes bild) {
       constexpr Felder f(u"BildAnzeigen");
       e.BildAnzeigen(text(b, f[u"BildnamemitPfad"]), janein(b, f[u"GroesseAnpassen"]),
                      janein(b, f[u"BeiKleinerZentrieren"]), bild);
     }},
    {u"BildAnzeigenanPosition", bildAnPosition<Felder(u"BildAnzeigenanPosition"), &E::BildAnzeigenanPosition>},
    {u"AniGifLadenanPosition", bildAnPosition<Felder(u"AniGifLadenanPosition"), &E::AniGifLadenanPosition>},
    {u"AniGifStarten",
     [](E& e, const B& b, Bytes) {
       constexpr Felder f(u"AniGifStarten");
       e.AniGifStarten(byte(b, f[u"AniGifNr"]), zahl(b, f[u"AnzeigeDauer"]));
     }},
    {u"AniGifStoppen", [](E& e, const B& b, Bytes) { e.AniGifStoppen(byte(b, Felder(u"AniGifStoppen")[u"AniGifNr"])); }},
    {u"AniGifLoeschen",
     [](E& e, const B& b, Bytes) { e.AniGifLoeschen(byte(b, Felder(u"AniGifLoeschen")[u"AniGifNr"])); }},
    {u"Hintergrundfarbe",
     [](E& e, const B& b, Bytes) { e.Hintergrundfarbe(farbe(b, Felder(u"Hintergrundfarbe")[u"Farbe"])); }},
    {u"Vordergrundfarbe",
     [](E& e, const B& b, Bytes) { e.Vordergrundfarbe(farbe(b, Felder(u"Vordergrundfarbe")[u"Farbe"])); }},
    {u"IPAdresse", [](E& e, const B& b, Bytes) { e.IPAdresse(text(b, Felder(u"IPAdresse")[u"Adresse"])); }},
    {u"Port", [](E& e, const B& b, Bytes) { e.Port(text(b, Felder(u"Port")[u"Port"])); }},
    {u"PauseAnzeigeZiel",
     [](E& e, const B& b, Bytes) { e.PauseAnzeigeZiel(text(b, Felder(u"PauseAnzeigeZiel")[u"strHundertstelSek"])); }},
    {u"Server starten", [](E& e, const B&, Bytes) { e.ServerStarten(); }},
    {u"Client verbinden", [](E& e, const B&, Bytes) { e.ClientVerbinden(); }},
};

// The handlers in the order of the table's rows; every row has one.
constexpr auto kHandler = [] {
  const auto tabelle = protocol::befehlstabelle();
  std::array<Handler, protocol::tabelle::kBefehle.size()> h{};
  for (const Eintrag& e : kEintraege) h[static_cast<std::size_t>(protocol::findeBefehl(e.name) - tabelle.data())] = e.run;
  return h;
}();
static_assert(std::ranges::none_of(kHandler, [](Handler h) { return h == nullptr; }),
              "every command of the table needs a handler");

}  // namespace

void clsVRD4Empfaenger::BefehlDirektAusfuehren(const protocol::Befehl& befehl, std::span<const uint8_t> bildbytes) {
  antwortBeginnen(befehl.spec);
  const AntwortNachholen nachholen{*this};
  laufenLassen(befehl, bildbytes);
}

void clsVRD4Empfaenger::beobachterHinzufuegen(BefehlsBeobachter& b) { d->beobachter.push_back(&b); }

void clsVRD4Empfaenger::laufenLassen(const protocol::Befehl& befehl, std::span<const uint8_t> bildbytes,
                                     const std::shared_ptr<const std::vector<uint8_t>>& geteilt) {
  const LaufenderBefehl laeuft(d->befehlTiefe);
  d->antwortNr.reset();
  kHandler[static_cast<std::size_t>(befehl.spec - protocol::befehlstabelle().data())](*this, befehl, bildbytes);
  if (d->beobachter.empty()) return;
  // A copy: an observer may add another one.
  const std::vector<BefehlsBeobachter*> beobachter = d->beobachter;
  const std::optional<uint8_t> nr = d->antwortNr;
  for (BefehlsBeobachter* b : beobachter) {
    if (geteilt)
      b->befehlGelaufenGeteilt(befehl, geteilt, nr);
    else
      b->befehlGelaufen(befehl, bildbytes, nr);
  }
}

bool clsVRD4Empfaenger::BefehlDirektAusfuehren(std::span<const std::u16string> felder,
                                               std::span<const uint8_t> bildbytes,
                                               const render::VorabBild* vorab) {
  const LaufenderBefehl laeuft(d->befehlTiefe);
  const std::u16string_view name = felder.size() > 1 ? std::u16string_view(felder[1]) : std::u16string_view();
  d->befehlsname = QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
  const protocol::BefehlsSpec* spec = protocol::findeBefehl(name);
  if (!spec) return false;
  // Answers like a command from the ring, also when a field does not convert.
  antwortBeginnen(spec);
  const AntwortNachholen nachholen{*this};
  // No way in carries more than the ring does (a text of 60 million
  // characters would hold the board for seconds).
  protocol::befehlstextPruefen(felder);
  const protocol::Befehl befehl = protocol::konvertieren(*spec, felder);
  // Only for this command: whatever it may start runs from its own bytes.
  const VorabGesetzt gesetzt(*d, vorab, vorab ? vorab->gif.get() : nullptr);
  const std::shared_ptr<const std::vector<uint8_t>> geteilt = vorab ? vorab->bytes : nullptr;
  laufenLassen(befehl, geteilt ? std::span<const uint8_t>(*geteilt) : bildbytes, geteilt);
  return true;
}

}  // namespace vrd4::engine
