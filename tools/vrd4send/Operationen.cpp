#include "Operationen.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <type_traits>
#include <utility>

#include "vrd4/clsVRD4Sender.h"

namespace vrd4::vrd4send {
namespace {

using sender::clsVRD4Sender;
using enum protocol::FeldTyp;

using Fn = std::function<int(clsVRD4Sender&, const std::vector<Wert>&)>;

// A parsed value as the sender method's parameter type wants it; the parser
// has already checked every type and range against the table.
template <typename T>
T wert(const Wert& w) {
  if constexpr (std::is_same_v<T, bool>)
    return std::get<bool>(w);
  else if constexpr (std::is_integral_v<T>)
    return static_cast<T>(std::get<int64_t>(w));
  else if constexpr (std::is_floating_point_v<T>)
    return std::get<double>(w);
  else
    return std::get<std::u16string>(w);
}

template <typename R, typename... P>
constexpr std::size_t stellen(R (clsVRD4Sender::*)(P...)) {
  return sizeof...(P);
}

// Whether a sender method's parameter of type P carries a field of type t.
template <typename P>
constexpr bool passt(protocol::FeldTyp t) {
  using T = std::remove_cvref_t<P>;
  switch (t) {
    case Int16: return std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t>;  // Ausrichtung: int32_t
    case Int32: return std::is_same_v<T, int32_t>;
    case Byte: return std::is_same_v<T, uint8_t>;
    case Bool: return std::is_same_v<T, bool>;
    case Double: return std::is_same_v<T, double>;
    case Text: break;
  }
  return std::is_same_v<T, std::u16string_view>;
}
// The method takes the row's parameters, one for one in the row's order, each
// of a type that carries the field (a swap of two fields of one type only
// the sender's tests can see).
template <protocol::Felder f, typename R, typename... P>
constexpr bool nimmtDieZeile(R (clsVRD4Sender::*)(P...)) {
  const auto& parameter = f.spec().parameter;
  [[maybe_unused]] std::size_t i = 0;
  return sizeof...(P) == parameter.size() && (passt<P>(parameter[i++].typ) && ...);
}

template <auto methode, typename R, typename... P, std::size_t... I>
int rufe(clsVRD4Sender& s, const std::vector<Wert>& w, R (clsVRD4Sender::*)(P...), std::index_sequence<I...>) {
  if constexpr (std::is_void_v<R>) {
    (s.*methode)(wert<std::remove_cvref_t<P>>(w.at(I))...);
    return -1;
  } else {
    return static_cast<int>((s.*methode)(wert<std::remove_cvref_t<P>>(w.at(I))...));
  }
}

std::string ascii(std::u16string_view s) { return std::string(s.begin(), s.end()); }

std::string_view hinweis(const protocol::BefehlsSpec& spec) {
  if (spec.antwortetMitNummer()) {
    switch (spec.effekt) {
      case protocol::Effekt::Blinktext: return "gibt die Nummer des Blinktexts aus (1..10, 0 = keiner)";
      case protocol::Effekt::Lauftext: return "gibt die Nummer des Lauftexts aus (1..10, 0 = keiner)";
      case protocol::Effekt::AniGif:
      case protocol::Effekt::Keiner: break;
    }
    return "gibt die Nummer der Animation aus (1..10, 0 = keine)";
  }
  for (const protocol::Parameter& p : spec.parameter)
    if (p.name == u"Ausrichtung") return "Ausrichtung 0..8 = Zeile*3 + Spalte (oben/mitte/unten, links/mitte/rechts)";
  return "";
}

// Row f of the command table, sent by the sender method that takes the
// row's parameters in the row's order.
template <protocol::Felder f, auto methode>
Operation befehl() {
  static_assert(nimmtDieZeile<f>(methode), "the method takes the row's parameters in order, by type");
  const protocol::BefehlsSpec& spec = f.spec();
  Operation op{std::string(spec.methode), {}, spec.antwortetMitNummer(), hinweis(spec), nullptr};
  for (const protocol::Parameter& p : spec.parameter) op.parameter.push_back({ascii(p.name), p.typ});
  op.ausfuehren = [](clsVRD4Sender& s, const std::vector<Wert>& w) {
    return rufe<methode>(s, w, methode, std::make_index_sequence<stellen(methode)>());
  };
  return op;
}

using protocol::Felder;
using S = clsVRD4Sender;

std::vector<Operation> baueTabelle() {
  std::vector<Operation> t = {
      befehl<Felder(u"Cls"), &S::Cls>(),
      befehl<Felder(u"Hintergrundfarbe"), &S::Hintergrundfarbe>(),
      befehl<Felder(u"Vordergrundfarbe"), &S::Vordergrundfarbe>(),
      befehl<Felder(u"Tafelgroesse"), &S::Tafelgroesse>(),
      befehl<Felder(u"Textausgabe"), &S::TextAusgabe>(),
      befehl<Felder(u"Linie"), &S::Linie>(),
      befehl<Felder(u"Rechteck"), &S::Rechteck>(),
      befehl<Felder(u"Blinktext"), &S::BlinkText>(),
      befehl<Felder(u"BlinktextLoeschen"), &S::BlinkTextLoeschen>(),
      befehl<Felder(u"Lauftext"), &S::Lauftext>(),
      befehl<Felder(u"LauftextLoeschen"), &S::LauftextLoeschen>(),
      befehl<Felder(u"IPAdresse"), &S::IPAdresse>(),
      befehl<Felder(u"Port"), &S::Port>(),
      befehl<Felder(u"PauseAnzeigeZiel"), &S::PauseAnzeigeZiel>(),
      befehl<Felder(u"Server starten"), &S::ServerStarten>(),
      befehl<Felder(u"Client verbinden"), &S::ClientVerbinden>(),
      befehl<Felder(u"BildAnzeigen"), &S::BildAnzeigen>(),
      befehl<Felder(u"BildAnzeigenanPosition"), &S::BildAnzeigenanPosition>(),
      befehl<Felder(u"AniGifLadenanPosition"), &S::AniGifLadenanPosition>(),
      befehl<Felder(u"AniGifStarten"), &S::AniGifStarten>(),
      befehl<Felder(u"AniGifStoppen"), &S::AniGifStoppen>(),
      befehl<Felder(u"AniGifLoeschen"), &S::AniGifLoeschen>(),
  };
  t.push_back({"WartenbisPufferleer", {{"Wartezeit", Double}}, false,
               "wartet, bis der Empfänger alles genommen hat (höchstens Wartezeit Sekunden)",
               [](S& s, const std::vector<Wert>& w) {
                 s.WartenbisPufferleer(std::get<double>(w.at(0)));
                 return -1;
               }});
  t.push_back({"Warten", {{"Sekunden", Double}}, false,
               "nur vrd4send: wartet so lange, die Tafel bleibt stehen (z. B. vor dem Ende)",
               [](S&, const std::vector<Wert>& w) {
                 using namespace std::chrono;
                 const double sekunden = std::clamp(std::get<double>(w.at(0)), 0.0, 86400.0);
                 const auto ende = steady_clock::now() + duration<double>(sekunden);
                 while (!abbruch() && steady_clock::now() < ende) std::this_thread::sleep_for(milliseconds(20));
                 return -1;
               }});
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
