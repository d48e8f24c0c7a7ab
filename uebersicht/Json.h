#pragma once
// JSON as the overview reads and writes it: a strict reader of one value
// (objects, arrays, strings with every escape, numbers, literals; objects
// and arrays nested at most kMaxTiefe deep), and the writer's text escaping, which also mends
// what is not UTF-8. Pure; std only.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vrd4::uebersicht {

struct JsonWert;
using JsonObjekt = std::vector<std::pair<std::string, JsonWert>>;  // in the order read; a repeated name counts last
using JsonListe = std::vector<JsonWert>;

struct JsonWert {
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonListe>, std::shared_ptr<JsonObjekt>>
      wert;

  const std::string* text() const { return std::get_if<std::string>(&wert); }
  const bool* wahrheit() const { return std::get_if<bool>(&wert); }
  const double* zahl() const { return std::get_if<double>(&wert); }
  const JsonListe* liste() const {
    const auto* p = std::get_if<std::shared_ptr<JsonListe>>(&wert);
    return p ? p->get() : nullptr;
  }
  const JsonObjekt* objekt() const {
    const auto* p = std::get_if<std::shared_ptr<JsonObjekt>>(&wert);
    return p ? p->get() : nullptr;
  }
  // The member of an object by name (the last of that name); null if none.
  const JsonWert* feld(std::string_view name) const;
};

inline constexpr int kMaxTiefe = 8;

// The one value the text holds (blanks around it allowed), or nullopt for
// anything that is not JSON, nested deeper than kMaxTiefe, or whose strings
// are not UTF-8 after their escapes are read. The caller bounds the size.
std::optional<JsonWert> jsonLesen(std::string_view text);

// Appends t as a JSON string with its quotes. Bytes that are not UTF-8
// become U+FFFD; control characters, quotes, backslashes and also < > & and
// U+2028/U+2029 are escaped, so the text may stand inside HTML or a script
// without ending it.
void jsonText(std::string& ziel, std::string_view t);

// t cut to at most maxBytes without splitting a UTF-8 sequence.
std::string_view utf8Kuerzen(std::string_view t, std::size_t maxBytes);

}  // namespace vrd4::uebersicht
