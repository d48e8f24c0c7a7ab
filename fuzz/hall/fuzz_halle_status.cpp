// Any payload on a status topic (and any text as a hall address): it reads
// or is refused, never crashes; a status that reads writes back to one that
// reads the same, with its texts within their bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hall/HallenAdresse.h"
#include "hall/TafelStatus.h"

using namespace vrd4::halle;

namespace {
void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > 2 * kMaxStatusBytes) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto s = statusLesen(text)) {
    pruefe(s->version.size() <= kMaxStatusText && s->lauf.size() <= kMaxStatusText && s->zeit.size() <= kMaxStatusText &&
           s->kennung.size() <= kMaxStatusText && s->breite >= 0 && s->hoehe >= 0);
    const auto zurueck = statusLesen(statusSchreiben(*s));
    pruefe(zurueck && zurueck->seq == s->seq && zurueck->online == s->online && zurueck->breite == s->breite &&
           zurueck->doppelt == s->doppelt && zurueck->fremde == s->fremde && zurueck->kennung == s->kennung);
  }
  for (bool mitTafel : {false, true}) {
    const auto a = adresseLesen(text, mitTafel);
    if (const auto* h = std::get_if<HallenAdresse>(&a))
      pruefe(gueltigerName(h->halle) && (!mitTafel || gueltigerName(h->tafel)) && h->port > 0);
  }
  (void)tafelAusTopic("H", text);
  (void)tafelAusTopic("H", text, "zuletzt");
  return 0;
}
