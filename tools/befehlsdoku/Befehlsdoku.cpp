// The docs' command tables, made from the command table.
#include "Befehlsdoku.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/Ansi.h"
#include "protocol/Befehl.h"

namespace vrd4::tools {

using namespace protocol;

namespace {

std::string u8(std::u16string_view s) { return platform::toUtf8(s); }
std::string code(std::u16string_view s) { return "`" + u8(s) + "`"; }

using Spalten = std::vector<std::string>;

// "| a | b |", an empty cell as "| |".
std::string zeile(const Spalten& zellen) {
  std::string z;
  for (const std::string& c : zellen) z += c.empty() ? "| " : "| " + c + " ";
  return z + "|\n";
}

// One line per row of the table in its order, rows without any columns left
// out; with `zusammen`, rows with the same columns share the line of the first.
std::string tafel(const Spalten& kopf, const std::function<Spalten(const BefehlsSpec&)>& spalten,
                  bool zusammen = false) {
  std::vector<std::pair<std::string, Spalten>> zeilen;  // names, columns
  for (const BefehlsSpec& s : befehlstabelle()) {
    const Spalten rest = spalten(s);
    if (std::ranges::all_of(rest, &std::string::empty)) continue;
    auto z = std::ranges::find(zeilen, rest, &std::pair<std::string, Spalten>::second);
    if (zusammen && z != zeilen.end()) z->first += ", " + code(s.name);
    else zeilen.emplace_back(code(s.name), rest);
  }
  std::string t = zeile(kopf) + "|";
  for (std::size_t i = 0; i < kopf.size(); ++i) t += "---|";
  t += "\n";
  for (auto& [namen, rest] : zeilen) {
    rest.insert(rest.begin(), namen);
    t += zeile(rest);
  }
  return t;
}

std::string parameterListe(const BefehlsSpec& s) {
  static const char* const kTyp[] = {"s", "l", "y", "b", "d", "x"};
  std::string t;
  for (const Parameter& p : s.parameter)
    t += (t.empty() ? "" : ", ") + u8(p.name) + " " + kTyp[static_cast<int>(p.typ)];
  if (s.leeresEndfeld) t += ", then one empty field (the text ends with ESC)";
  return t.empty() ? "–" : t;
}

std::string effekt(const BefehlsSpec& s) {
  if (s.effekt == Effekt::Keiner) return "";
  static const char* const kArt[] = {"", "Blinktext", "Lauftext", "AniGif"};
  static const char* const kWirkung[] = {"", "takes", "frees", "controls"};
  std::string t = kArt[static_cast<int>(s.effekt)];
  if (const int i = s.index(Rolle::Slot); i >= 0) t += " " + u8(s.parameter[std::size_t(i)].name);
  t += std::string(", ") + kWirkung[static_cast<int>(s.wirkung)];
  if (s.ersetztGleicheStelle) t += "; replaces the one on the same rectangle";
  return t;
}

std::string sonst(const BefehlsSpec& s) {
  if (s.leertTafel) return "clears the board, frees every slot";
  if (s.antwortetMitNummer()) return "reply in `" + std::string(s.antwort) + "`";
  return s.nurOertlich ? "local" : "";
}

Spalten weitergeleitet(const BefehlsSpec& s) {
  if (!s.istBildbefehl()) return {};
  std::string felder = "`Befehl`, " + code(s.name);
  for (const Parameter& p : s.parameter) felder += ", " + u8(p.name);
  felder += ", file content, " + std::to_string(kWeiterleitungsfelder - std::size_t(s.inhaltsfeld()) - 1) +
            " empty fields";
  return {felder, std::to_string(kWeiterleitungsfelder)};
}

std::string ueberTcp(const BefehlsSpec& s) {
  if (s.nurOertlich) return "answered `OK`, not run";
  if (s.istBildbefehl())
    return "run with the picture's bytes from field " + std::to_string(s.inhaltsfeld()) + ", answered `OK`";
  return "run, answered `OK`";
}

}  // namespace

std::vector<Doktafel> doktafeln() {
  return {
      {"docs/protocol.md", "befehle",
       tafel({"Name (field 1)", "Parameters (field 2 …)", "Fields"},
             [](const BefehlsSpec& s) { return Spalten{parameterListe(s), std::to_string(s.feldanzahl())}; })},
      {"docs/protocol.md", "merkmale",
       tafel({"Name", "Rectangle", "Picture", "Effect slot", "Other"},
             [](const BefehlsSpec& s) {
               const int bild = s.index(Rolle::Bild);
               return Spalten{s.index(Rolle::Rechteck) >= 0 ? "yes" : "",
                              bild >= 0 ? u8(s.parameter[std::size_t(bild)].name) : "", effekt(s), sonst(s)};
             },
             true)},
      {"docs/protocol.md", "weitergeleitet",
       tafel({"Forwarded command", "Fields", "Total"}, weitergeleitet)},
      {"docs/network.md", "tcp",
       tafel({"Command", "Over TCP"}, [](const BefehlsSpec& s) { return Spalten{ueberTcp(s)}; }, true)},
  };
}

std::optional<std::string> eingesetzt(const std::string& seite, const Doktafel& t) {
  const std::size_t a = seite.find("<!-- table " + t.name + ": made from protocol/Befehlstabelle.h");
  if (a == std::string::npos) return std::nullopt;
  const std::size_t von = seite.find('\n', a) + 1;
  const std::size_t bis = seite.find("<!-- end of table " + t.name + " -->", von);
  if (von == 0 || bis == std::string::npos) return std::nullopt;
  return seite.substr(0, von) + t.inhalt + seite.substr(bis);
}

}  // namespace vrd4::tools
