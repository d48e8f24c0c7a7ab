#pragma once
// The command table: every command the receiver knows, described once, in the
// order in which the receiver compares names. Whatever needs to know a
// command reads this row: the parser and builder (Befehl.h), the engine's
// handlers (fields by name, resolved at compile time), the picture handling
// and the forwarded form, the TCP server, the sender library and vrd4send.
// Standard library only (the sender library embeds it).
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

namespace vrd4::protocol {

enum class FeldTyp { Int16, Int32, Byte, Bool, Double, Text };

// What a parameter is beyond its type.
enum class Rolle : uint8_t {
  Wert,
  Rechteck,  // Xstart of a field rectangle; Ystart, Xende, YEnde follow in that order
  Bild,      // the picture's path; forwarded commands carry the file's bytes after the last parameter
  Slot,      // the number (1..10) of the effect slot the command acts on
};

struct Parameter {
  std::u16string_view name;  // e.g. u"Xstart"
  FeldTyp typ = FeldTyp::Text;
  Rolle rolle = Rolle::Wert;
};

// The three kinds of effect slots, ten of each, numbered 1..10.
enum class Effekt : uint8_t { Keiner, Blinktext, Lauftext, AniGif };
// What a command does to a slot of its kind.
enum class SlotWirkung : uint8_t {
  Keine,
  Belegt,    // takes a free slot and replies with its number ("0": none free)
  Gibtfrei,  // frees the slot named by its Slot field
  Steuert,   // starts or stops the slot named by its Slot field
};

// One row of the command table.
struct BefehlsSpec {
  std::u16string_view name{};           // field 1, compared case-sensitively
  std::span<const Parameter> parameter{};  // fields 2.. in order
  std::string_view methode{};           // clsVRD4Sender's method and vrd4send's operation
  bool leeresEndfeld = false;           // the sender's text ends with one more, empty field
  Effekt effekt = Effekt::Keiner;
  SlotWirkung wirkung = SlotWirkung::Keine;
  // Belegt: the channel variable the number of the slot taken goes into
  // (the receiver's event of that kind is named the same without "clsVRD4").
  std::string_view antwort{};
  // A new one replaces the slot of its kind on exactly the same rectangle.
  bool ersetztGleicheStelle = false;
  bool leertTafel = false;              // clears the board and frees every effect slot
  // Acts on the receiving program itself (network settings, the ring's
  // pause), never on a board: over TCP only acknowledged, not run.
  bool nurOertlich = false;

  // Number of fields a built command has: 2 + parameters (+1 for the empty end field).
  constexpr int feldanzahl() const { return 2 + static_cast<int>(parameter.size()) + (leeresEndfeld ? 1 : 0); }
  // Index into `parameter` of the first parameter with rolle; -1 when none.
  constexpr int index(Rolle rolle) const {
    for (std::size_t i = 0; i < parameter.size(); ++i)
      if (parameter[i].rolle == rolle) return static_cast<int>(i);
    return -1;
  }
  constexpr bool istBildbefehl() const { return index(Rolle::Bild) >= 0; }
  // Field (counted from 0) of a forwarded picture command that carries the
  // file's bytes: the one after the last parameter.
  constexpr int inhaltsfeld() const { return 2 + static_cast<int>(parameter.size()); }
  // Replies with a number: the slot it took, in the variable `antwort`.
  constexpr bool antwortetMitNummer() const { return !antwort.empty(); }
};

namespace tabelle {

using enum FeldTyp;
using R = Rolle;

template <std::size_t... N>
constexpr auto verbinde(const std::array<Parameter, N>&... teile) {
  std::array<Parameter, (N + ...)> alle{};
  std::size_t i = 0;
  ((std::copy(teile.begin(), teile.end(), alle.begin() + i), i += N), ...);
  return alle;
}
template <typename... P>
constexpr std::array<Parameter, sizeof...(P)> liste(P... p) {
  return {p...};
}

// Parameter groups that several commands share.
inline constexpr auto kFeld = liste(Parameter{u"Xstart", Int16, R::Rechteck}, Parameter{u"Ystart", Int16},
                                    Parameter{u"Xende", Int16}, Parameter{u"YEnde", Int16});
inline constexpr auto kSchrift = liste(Parameter{u"Schriftart", Text}, Parameter{u"SchriftgroesseinPixel", Int16},
                                       Parameter{u"Fett", Bool}, Parameter{u"Kursiv", Bool},
                                       Parameter{u"Unterstrichen", Bool}, Parameter{u"Durchgestrichen", Bool},
                                       Parameter{u"Transparent", Bool}, Parameter{u"FeldVordergrundfarbe", Int32},
                                       Parameter{u"FeldHintergrundfarbe", Int32});
inline constexpr auto kText = liste(Parameter{u"Ausgabetext", Text});
inline constexpr auto kAusrichtung = liste(Parameter{u"Ausgabetext", Text}, Parameter{u"Ausrichtung", Int16});
inline constexpr auto kLauf = liste(Parameter{u"Geschwindigkeit", Double}, Parameter{u"Startverzoegerung", Double});
inline constexpr auto kLinie = liste(Parameter{u"Linienbreite", Int16}, Parameter{u"Farbe", Int32});
inline constexpr auto kBildname = liste(Parameter{u"BildnamemitPfad", Text, R::Bild});
inline constexpr auto kBildgroesse =
    liste(Parameter{u"GroesseAnpassen", Bool}, Parameter{u"BeiKleinerZentrieren", Bool});
inline constexpr auto kFarbe = liste(Parameter{u"Farbe", Int32});
inline constexpr auto kAniGifNr = liste(Parameter{u"AniGifNr", Byte, R::Slot});

inline constexpr auto kTextausgabe = verbinde(kFeld, kAusrichtung, kSchrift, liste(Parameter{u"LauftextbeiBedarf", Bool}), kLauf);
inline constexpr auto kLinieP = verbinde(kFeld, kLinie);
inline constexpr auto kRechteckP = verbinde(kFeld, kLinie, liste(Parameter{u"Fuellen", Bool}));
inline constexpr auto kBlinktext = verbinde(kFeld, kAusrichtung, kSchrift, liste(Parameter{u"Intervall", Double}));
inline constexpr auto kBlinkNr = liste(Parameter{u"BlinkNr", Byte, R::Slot});
inline constexpr auto kLauftext = verbinde(kFeld, kText, kSchrift, kLauf);
inline constexpr auto kLauftextNr = liste(Parameter{u"LauftextNr", Byte, R::Slot});
inline constexpr auto kTafel = liste(Parameter{u"Breite", Int16}, Parameter{u"Hoehe", Int16});
inline constexpr auto kBild = verbinde(kBildname, kBildgroesse);
inline constexpr auto kBildFeld = verbinde(kBildname, kFeld, kBildgroesse);
inline constexpr auto kAniGifStarten = verbinde(kAniGifNr, liste(Parameter{u"AnzeigeDauer", Double}));
inline constexpr auto kAdresse = liste(Parameter{u"Adresse", Text});
inline constexpr auto kPort = liste(Parameter{u"Port", Text});
// Hundredths of a second, but carried and handed on as text.
inline constexpr auto kPause = liste(Parameter{u"strHundertstelSek", Text});

using E = Effekt;
using W = SlotWirkung;

inline constexpr std::array kBefehle = std::to_array<BefehlsSpec>({
    {.name = u"Textausgabe", .parameter = kTextausgabe, .methode = "TextAusgabe"},
    {.name = u"Cls", .parameter = {}, .methode = "Cls", .leertTafel = true},
    {.name = u"Linie", .parameter = kLinieP, .methode = "Linie"},
    {.name = u"Rechteck", .parameter = kRechteckP, .methode = "Rechteck"},
    {.name = u"Blinktext", .parameter = kBlinktext, .methode = "BlinkText", .effekt = E::Blinktext,
     .wirkung = W::Belegt, .antwort = "clsVRD4BlinktextNr", .ersetztGleicheStelle = true},
    {.name = u"BlinktextLoeschen", .parameter = kBlinkNr, .methode = "BlinkTextLoeschen", .effekt = E::Blinktext,
     .wirkung = W::Gibtfrei},
    {.name = u"Lauftext", .parameter = kLauftext, .methode = "Lauftext", .effekt = E::Lauftext,
     .wirkung = W::Belegt, .antwort = "clsVRD4LauftextNr", .ersetztGleicheStelle = true},
    {.name = u"LauftextLoeschen", .parameter = kLauftextNr, .methode = "LauftextLoeschen", .effekt = E::Lauftext,
     .wirkung = W::Gibtfrei},
    {.name = u"Tafelgroesse", .parameter = kTafel, .methode = "Tafelgroesse"},
    {.name = u"BildAnzeigen", .parameter = kBild, .methode = "BildAnzeigen"},
    {.name = u"BildAnzeigenanPosition", .parameter = kBildFeld, .methode = "BildAnzeigenanPosition"},
    // The sender ends this one with a separator, hence one more, empty field.
    {.name = u"AniGifLadenanPosition", .parameter = kBildFeld, .methode = "AniGifLadenanPosition",
     .leeresEndfeld = true, .effekt = E::AniGif, .wirkung = W::Belegt, .antwort = "clsVRD4AniGifNr"},
    {.name = u"AniGifStarten", .parameter = kAniGifStarten, .methode = "AniGifStarten", .effekt = E::AniGif,
     .wirkung = W::Steuert},
    {.name = u"AniGifStoppen", .parameter = kAniGifNr, .methode = "AniGifStoppen", .effekt = E::AniGif,
     .wirkung = W::Steuert},
    {.name = u"AniGifLoeschen", .parameter = kAniGifNr, .methode = "AniGifLoeschen", .effekt = E::AniGif,
     .wirkung = W::Gibtfrei},
    {.name = u"Hintergrundfarbe", .parameter = kFarbe, .methode = "Hintergrundfarbe"},
    {.name = u"Vordergrundfarbe", .parameter = kFarbe, .methode = "Vordergrundfarbe"},
    {.name = u"IPAdresse", .parameter = kAdresse, .methode = "IPAdresse", .nurOertlich = true},
    {.name = u"Port", .parameter = kPort, .methode = "Port", .nurOertlich = true},
    {.name = u"PauseAnzeigeZiel", .parameter = kPause, .methode = "PauseAnzeigeZiel", .nurOertlich = true},
    {.name = u"Server starten", .parameter = {}, .methode = "ServerStarten", .nurOertlich = true},
    {.name = u"Client verbinden", .parameter = {}, .methode = "ClientVerbinden", .nurOertlich = true},
});

}  // namespace tabelle

// All commands in the receiver's dispatch order.
constexpr std::span<const BefehlsSpec> befehlstabelle() { return tabelle::kBefehle; }

// Exact, case-sensitive lookup; nullptr for an unknown name.
constexpr const BefehlsSpec* findeBefehl(std::u16string_view name) {
  for (const BefehlsSpec& spec : tabelle::kBefehle)
    if (spec.name == name) return &spec;
  return nullptr;
}

// A command's parameters by name, resolved at compile time: a name that is
// not in the row does not compile.
//   constexpr Felder f(u"Linie");
//   befehl.get<int16_t>(f[u"Xstart"])   // index into Befehl::werte
struct Felder {
  std::size_t zeile = 0;  // row of befehlstabelle()

  consteval explicit Felder(std::u16string_view befehl) {
    const BefehlsSpec* spec = findeBefehl(befehl);
    if (spec == nullptr) throw std::logic_error("kein Befehl dieses Namens");
    zeile = static_cast<std::size_t>(spec - tabelle::kBefehle.data());
  }
  consteval std::size_t operator[](std::u16string_view feld) const { return index(feld); }
  // The same for a constexpr variable inside a template (clang 14 refuses
  // the consteval call on a template parameter object there).
  constexpr std::size_t index(std::u16string_view feld) const {
    const auto& p = tabelle::kBefehle[zeile].parameter;
    for (std::size_t i = 0; i < p.size(); ++i)
      if (p[i].name == feld) return i;
    throw std::logic_error("kein Feld dieses Namens");
  }
  constexpr bool hat(std::u16string_view feld) const {
    for (const Parameter& p : tabelle::kBefehle[zeile].parameter)
      if (p.name == feld) return true;
    return false;
  }
  constexpr const BefehlsSpec& spec() const { return tabelle::kBefehle[zeile]; }
};

}  // namespace vrd4::protocol
