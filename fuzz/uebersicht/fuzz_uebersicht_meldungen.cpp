// Any payload on a status-lines topic: it reads or is refused, never more
// than 20 lines kept, and what reads goes out as JSON that reads, with the
// texts unchanged and no markup.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "uebersicht/Json.h"
#include "uebersicht/Nutzlast.h"
#include "uebersicht/Uebersicht.h"

using namespace vrd4::uebersicht;

namespace {
void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > 2 * kMaxMeldungenBytes) return 0;
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  const auto m = meldungenLesen(payload);
  if (!m) return 0;
  pruefe(m->size() <= kMaxZeilen);
  for (const auto& z : *m) pruefe(z.zeit.size() <= kMaxZeitBytes && z.text.size() <= size);
  Uebersicht u("H");
  u.nachricht("vrd4/H/tafel/A/meldungen", payload, false, 0);
  const std::string json = u.json();
  pruefe(json.find('<') == std::string::npos);
  const auto w = jsonLesen(json);
  pruefe(w.has_value());
  const JsonListe& zeilen = *w->feld("tafeln")->liste()->at(0).feld("meldungen")->liste();
  pruefe(zeilen.size() == m->size());
  for (std::size_t i = 0; i < zeilen.size(); ++i) pruefe(*zeilen[i].feld("text")->text() == (*m)[i].text);
  return 0;
}
