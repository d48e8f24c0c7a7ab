// Any payload on a thumbnail topic: the header check takes it or refuses
// it, never reads past it, and what it takes is within the bounds; the
// overview then serves exactly those bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "uebersicht/Nutzlast.h"
#include "uebersicht/Uebersicht.h"

using namespace vrd4::uebersicht;

namespace {
void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > 2 * kMaxBildBytes) return 0;
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  const auto mass = pngPruefen(payload);
  Uebersicht u("H");
  u.nachricht("vrd4/H/tafel/A/bild", payload, false, 0);
  const auto bild = u.bild("A");
  pruefe(mass.has_value() == bild.has_value());
  if (!mass) return 0;
  pruefe(size <= kMaxBildBytes && payload.starts_with("\x89PNG"));
  pruefe(mass->breite >= 1 && mass->breite <= kMaxBildSeite && mass->hoehe >= 1 && mass->hoehe <= kMaxBildSeite);
  pruefe(*bild->png == payload);
  return 0;
}
