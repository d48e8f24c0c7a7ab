#include "Operationen.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "vrd4/clsVRD4Sender.h"

namespace vrd4::vrd4send {
namespace {

using sender::clsVRD4Sender;
using enum Typ;

// Typed access to the parsed values; the parser has already checked every
// type and range against the table.
struct A {
  const std::vector<Wert>& w;
  int64_t ganz(std::size_t i) const { return std::get<int64_t>(w.at(i)); }
  int16_t i16(std::size_t i) const { return static_cast<int16_t>(ganz(i)); }
  int32_t i32(std::size_t i) const { return static_cast<int32_t>(ganz(i)); }
  uint8_t u8(std::size_t i) const { return static_cast<uint8_t>(ganz(i)); }
  bool b(std::size_t i) const { return std::get<bool>(w.at(i)); }
  double d(std::size_t i) const { return std::get<double>(w.at(i)); }
  const std::u16string& t(std::size_t i) const { return std::get<std::u16string>(w.at(i)); }
};

using Fn = std::function<int(clsVRD4Sender&, const std::vector<Wert>&)>;

template <typename F>
Fn ohne(F f) {
  return [f](clsVRD4Sender& s, const std::vector<Wert>& w) {
    f(s, A{w});
    return -1;
  };
}
template <typename F>
Fn mit(F f) {
  return [f](clsVRD4Sender& s, const std::vector<Wert>& w) { return static_cast<int>(f(s, A{w})); };
}

const std::vector<Parameter> kFeld = {{"Xstart", Int16}, {"Ystart", Int16}, {"Xende", Int16}, {"YEnde", Int16}};

std::vector<Parameter> verbinde(std::vector<Parameter> a, const std::vector<Parameter>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Parameter> kSchrift = {
    {"SchriftgroesseinPixel", Int16}, {"Fett", Bool},        {"Kursiv", Bool},
    {"Unterstrichen", Bool},          {"Durchgestrichen", Bool}, {"Transparent", Bool},
    {"FeldVordergrundfarbe", Int32},  {"FeldHintergrundfarbe", Int32}};

std::vector<Operation> baueTabelle() {
  std::vector<Operation> t;
  t.push_back({"Cls", {}, false, "", ohne([](clsVRD4Sender& s, A) { s.Cls(); })});
  t.push_back({"Hintergrundfarbe", {{"Hintergrundfarbe", Int32}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.Hintergrundfarbe(a.i32(0)); })});
  t.push_back({"Vordergrundfarbe", {{"Vordergrundfarbe", Int32}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.Vordergrundfarbe(a.i32(0)); })});
  t.push_back({"Tafelgroesse", {{"Breite", Int16}, {"Hoehe", Int16}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.Tafelgroesse(a.i16(0), a.i16(1)); })});
  t.push_back({"TextAusgabe",
               verbinde(verbinde(kFeld, {{"Ausgabetext", Text}, {"Ausrichtung", Int32}, {"Schriftart", Text}}),
                        verbinde(kSchrift, {{"LauftextbeiBedarf", Bool},
                                            {"Geschwindigkeit", Double},
                                            {"Startverzoegerung", Double}})),
               false, "Ausrichtung 0..8 = Zeile*3 + Spalte (oben/mitte/unten, links/mitte/rechts)",
               ohne([](clsVRD4Sender& s, A a) {
                 s.TextAusgabe(a.i16(0), a.i16(1), a.i16(2), a.i16(3), a.t(4), a.i32(5), a.t(6), a.i16(7), a.b(8),
                               a.b(9), a.b(10), a.b(11), a.b(12), a.i32(13), a.i32(14), a.b(15), a.d(16), a.d(17));
               })});
  t.push_back({"Linie", verbinde(kFeld, {{"Linienbreite", Int16}, {"Farbe", Int32}}), false, "",
               ohne([](clsVRD4Sender& s, A a) {
                 s.Linie(a.i16(0), a.i16(1), a.i16(2), a.i16(3), a.i16(4), a.i32(5));
               })});
  t.push_back({"Rechteck", verbinde(kFeld, {{"Linienbreite", Int16}, {"Farbe", Int32}, {"Fuellen", Bool}}),
               false, "", ohne([](clsVRD4Sender& s, A a) {
                 s.Rechteck(a.i16(0), a.i16(1), a.i16(2), a.i16(3), a.i16(4), a.i32(5), a.b(6));
               })});
  t.push_back({"BlinkText",
               verbinde(verbinde(kFeld, {{"Ausgabetext", Text}, {"Ausrichtung", Int32}, {"Schriftart", Text}}),
                        verbinde(kSchrift, {{"Intervall", Double}})),
               true, "gibt die Nummer des Blinktexts aus (1..10, 0 = keiner)",
               mit([](clsVRD4Sender& s, A a) {
                 return s.BlinkText(a.i16(0), a.i16(1), a.i16(2), a.i16(3), a.t(4), a.i32(5), a.t(6), a.i16(7),
                                    a.b(8), a.b(9), a.b(10), a.b(11), a.b(12), a.i32(13), a.i32(14), a.d(15));
               })});
  t.push_back({"BlinkTextLoeschen", {{"BlinkNr", Byte}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.BlinkTextLoeschen(a.u8(0)); })});
  t.push_back({"Lauftext",
               verbinde(verbinde(kFeld, {{"Ausgabetext", Text}, {"Schriftart", Text}}),
                        verbinde(kSchrift, {{"Geschwindigkeit", Double}, {"Startverzoegerung", Double}})),
               true, "gibt die Nummer des Lauftexts aus (1..10, 0 = keiner)",
               mit([](clsVRD4Sender& s, A a) {
                 return s.Lauftext(a.i16(0), a.i16(1), a.i16(2), a.i16(3), a.t(4), a.t(5), a.i16(6), a.b(7),
                                   a.b(8), a.b(9), a.b(10), a.b(11), a.i32(12), a.i32(13), a.d(14), a.d(15));
               })});
  t.push_back({"LauftextLoeschen", {{"LauftextNr", Byte}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.LauftextLoeschen(a.u8(0)); })});
  t.push_back({"IPAdresse", {{"Adresse", Text}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.IPAdresse(a.t(0)); })});
  t.push_back({"Port", {{"Port", Text}}, false, "", ohne([](clsVRD4Sender& s, A a) { s.Port(a.t(0)); })});
  t.push_back({"PauseAnzeigeZiel", {{"strHundertstelSek", Text}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.PauseAnzeigeZiel(a.t(0)); })});
  t.push_back({"ServerStarten", {}, false, "", ohne([](clsVRD4Sender& s, A) { s.ServerStarten(); })});
  t.push_back({"ClientVerbinden", {}, false, "", ohne([](clsVRD4Sender& s, A) { s.ClientVerbinden(); })});
  t.push_back({"BildAnzeigen", {{"BildnamemitPfad", Text}, {"GroesseAnpassen", Bool}, {"BeiKleinerZentrieren", Bool}},
               false, "", ohne([](clsVRD4Sender& s, A a) { s.BildAnzeigen(a.t(0), a.b(1), a.b(2)); })});
  const std::vector<Parameter> bildPos =
      verbinde(verbinde({{"BildnamemitPfad", Text}}, kFeld), {{"GroesseAnpassen", Bool}, {"BeiKleinerZentrieren", Bool}});
  t.push_back({"BildAnzeigenanPosition", bildPos, false, "", ohne([](clsVRD4Sender& s, A a) {
                 s.BildAnzeigenanPosition(a.t(0), a.i16(1), a.i16(2), a.i16(3), a.i16(4), a.b(5), a.b(6));
               })});
  t.push_back({"AniGifLadenanPosition", bildPos, true, "gibt die Nummer der Animation aus (1..10, 0 = keine)",
               mit([](clsVRD4Sender& s, A a) {
                 return s.AniGifLadenanPosition(a.t(0), a.i16(1), a.i16(2), a.i16(3), a.i16(4), a.b(5), a.b(6));
               })});
  t.push_back({"AniGifStarten", {{"AniGifNr", Byte}, {"AnzeigeDauer", Double}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.AniGifStarten(a.u8(0), a.d(1)); })});
  t.push_back({"AniGifStoppen", {{"AniGifNr", Byte}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.AniGifStoppen(a.u8(0)); })});
  t.push_back({"AniGifLoeschen", {{"AniGifNr", Byte}}, false, "",
               ohne([](clsVRD4Sender& s, A a) { s.AniGifLoeschen(a.u8(0)); })});
  t.push_back({"WartenbisPufferleer", {{"Wartezeit", Double}}, false,
               "wartet, bis der Empfänger alles genommen hat (höchstens Wartezeit Sekunden)",
               ohne([](clsVRD4Sender& s, A a) { s.WartenbisPufferleer(a.d(0)); })});
  t.push_back({"Warten", {{"Sekunden", Double}}, false,
               "nur vrd4send: wartet so lange, die Tafel bleibt stehen (z. B. vor dem Ende)",
               ohne([](clsVRD4Sender&, A a) {
                 using namespace std::chrono;
                 const auto ende = steady_clock::now() + duration<double>(std::clamp(a.d(0), 0.0, 86400.0));
                 while (!abbruch() && steady_clock::now() < ende) std::this_thread::sleep_for(milliseconds(20));
               })});
  return t;
}

bool gleichOhneGross(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::atomic<bool>& abbruch() {
  static std::atomic<bool> flag{false};
  return flag;
}

std::string_view typName(Typ typ) {
  switch (typ) {
    case Int16: return "Int16";
    case Int32: return "Int32";
    case Byte: return "Byte";
    case Bool: return "Bool";
    case Double: return "Double";
    case Text: break;
  }
  return "Text";
}

const std::vector<Operation>& operationen() {
  static const std::vector<Operation> tabelle = baueTabelle();
  return tabelle;
}

const Operation* findeOperation(std::string_view name) {
  for (const auto& op : operationen())
    if (op.name == name) return &op;
  return nullptr;
}

const Operation* aehnlicheOperation(std::string_view name) {
  for (const auto& op : operationen())
    if (gleichOhneGross(op.name, name)) return &op;
  return nullptr;
}

}  // namespace vrd4::vrd4send
