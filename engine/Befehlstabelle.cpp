// Running a parsed command: one handler per command name. Parsing (which
// fields, which types) belongs to the protocol; here each name only says
// which engine operation gets the converted values.
#include <algorithm>
#include <array>
#include <string_view>

#include "engine/EmpfaengerImpl.h"
#include "protocol/Befehl.h"

namespace vrd4::engine {

namespace {

using Handler = void (*)(clsVRD4Empfaenger&, const protocol::Befehl&, std::span<const uint8_t>);

int16_t i16(const protocol::Befehl& b, std::size_t i) { return b.get<int16_t>(i); }
platform::Colour farbe(const protocol::Befehl& b, std::size_t i) {
  return static_cast<platform::Colour>(b.get<int32_t>(i));
}
uint8_t byte(const protocol::Befehl& b, std::size_t i) { return b.get<uint8_t>(i); }
bool janein(const protocol::Befehl& b, std::size_t i) { return b.get<bool>(i); }
double zahl(const protocol::Befehl& b, std::size_t i) { return b.get<double>(i); }
QString text(const protocol::Befehl& b, std::size_t i) {
  return QString::fromStdU16String(b.get<std::u16string>(i));
}

// Field, text, (alignment,) font, size, five switches, two colours: the
// layout shared by Textausgabe and Blinktext (mitAusrichtung) and Lauftext.
render::TextParameter textParameter(const protocol::Befehl& b, bool mitAusrichtung) {
  render::TextParameter p;
  std::size_t i = 0;
  p.Xstart = i16(b, i++);
  p.Ystart = i16(b, i++);
  p.Xende = i16(b, i++);
  p.YEnde = i16(b, i++);
  p.Ausgabetext = text(b, i++);
  if (mitAusrichtung) p.Ausrichtung = i16(b, i++);
  p.Schriftart = text(b, i++);
  p.SchriftgroesseinPixel = i16(b, i++);
  p.Fett = janein(b, i++);
  p.Kursiv = janein(b, i++);
  p.Unterstrichen = janein(b, i++);
  p.Durchgestrichen = janein(b, i++);
  p.Transparent = janein(b, i++);
  p.FeldVordergrundfarbe = farbe(b, i++);
  p.FeldHintergrundfarbe = farbe(b, i++);
  return p;
}

struct Eintrag {
  std::u16string_view name;
  Handler run;
};

using E = clsVRD4Empfaenger;
using B = protocol::Befehl;
using Bytes = std::span<const uint8_t>;

const std::array kBefehle = {
    Eintrag{u"Textausgabe",
            [](E& e, const B& b, Bytes) {
              e.TextAusgabe(textParameter(b, true), janein(b, 15), zahl(b, 16), zahl(b, 17));
            }},
    Eintrag{u"Cls", [](E& e, const B&, Bytes) { e.Cls(); }},
    Eintrag{u"Linie",
            [](E& e, const B& b, Bytes) {
              e.Linie(i16(b, 0), i16(b, 1), i16(b, 2), i16(b, 3), i16(b, 4), farbe(b, 5));
            }},
    Eintrag{u"Rechteck",
            [](E& e, const B& b, Bytes) {
              e.Rechteck(i16(b, 0), i16(b, 1), i16(b, 2), i16(b, 3), i16(b, 4), farbe(b, 5),
                         janein(b, 6));
            }},
    Eintrag{u"Blinktext",
            [](E& e, const B& b, Bytes) { e.BKNeu(textParameter(b, true), zahl(b, 15)); }},
    Eintrag{u"BlinktextLoeschen", [](E& e, const B& b, Bytes) { e.BKNeuLoeschen(byte(b, 0)); }},
    Eintrag{u"Lauftext",
            [](E& e, const B& b, Bytes) {
              e.LTNeu(textParameter(b, false), zahl(b, 14), zahl(b, 15));
            }},
    Eintrag{u"LauftextLoeschen", [](E& e, const B& b, Bytes) { e.LTNeuLoeschen(byte(b, 0)); }},
    Eintrag{u"Tafelgroesse", [](E& e, const B& b, Bytes) { e.Tafelgroesse(i16(b, 0), i16(b, 1)); }},
    Eintrag{u"BildAnzeigen",
            [](E& e, const B& b, Bytes bild) {
              e.BildAnzeigen(text(b, 0), janein(b, 1), janein(b, 2), bild);
            }},
    Eintrag{u"BildAnzeigenanPosition",
            [](E& e, const B& b, Bytes bild) {
              e.BildAnzeigenanPosition(text(b, 0), i16(b, 1), i16(b, 2), i16(b, 3), i16(b, 4),
                                       janein(b, 5), janein(b, 6), bild);
            }},
    Eintrag{u"AniGifLadenanPosition",
            [](E& e, const B& b, Bytes bild) {
              e.AniGifLadenanPosition(text(b, 0), i16(b, 1), i16(b, 2), i16(b, 3), i16(b, 4),
                                      janein(b, 5), janein(b, 6), bild);
            }},
    Eintrag{u"AniGifStarten", [](E& e, const B& b, Bytes) { e.AniGifStarten(byte(b, 0), zahl(b, 1)); }},
    Eintrag{u"AniGifStoppen", [](E& e, const B& b, Bytes) { e.AniGifStoppen(byte(b, 0)); }},
    Eintrag{u"AniGifLoeschen", [](E& e, const B& b, Bytes) { e.AniGifLoeschen(byte(b, 0)); }},
    Eintrag{u"Hintergrundfarbe", [](E& e, const B& b, Bytes) { e.Hintergrundfarbe(farbe(b, 0)); }},
    Eintrag{u"Vordergrundfarbe", [](E& e, const B& b, Bytes) { e.Vordergrundfarbe(farbe(b, 0)); }},
    Eintrag{u"IPAdresse", [](E& e, const B& b, Bytes) { e.IPAdresse(text(b, 0)); }},
    Eintrag{u"Port", [](E& e, const B& b, Bytes) { e.Port(text(b, 0)); }},
    Eintrag{u"PauseAnzeigeZiel", [](E& e, const B& b, Bytes) { e.PauseAnzeigeZiel(text(b, 0)); }},
    Eintrag{u"Server starten", [](E& e, const B&, Bytes) { e.ServerStarten(); }},
    Eintrag{u"Client verbinden", [](E& e, const B&, Bytes) { e.ClientVerbinden(); }},
};

Handler handlerFuer(std::u16string_view name) {
  auto it = std::find_if(kBefehle.begin(), kBefehle.end(),
                         [name](const Eintrag& e) { return e.name == name; });
  return it == kBefehle.end() ? nullptr : it->run;
}

}  // namespace

bool clsVRD4Empfaenger::BefehlDirektAusfuehren(std::span<const std::u16string> felder,
                                               std::span<const uint8_t> bildbytes) {
  const LaufenderBefehl laeuft(d->befehlTiefe);
  const std::u16string_view name = felder.size() > 1 ? std::u16string_view(felder[1]) : std::u16string_view();
  d->befehlsname = QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
  const protocol::BefehlsSpec* spec = protocol::findeBefehl(name);
  Handler run = spec ? handlerFuer(spec->name) : nullptr;
  if (!run) return false;
  run(*this, protocol::konvertieren(*spec, felder), bildbytes);
  return true;
}

}  // namespace vrd4::engine
