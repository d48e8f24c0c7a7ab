// Any payload on a board's or the publisher's status or "last seen" topic,
// as the overview reads it (the status, then what a board may report beyond it): never a
// crash, and the overview's JSON still reads, with no markup in it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "uebersicht/Json.h"
#include "uebersicht/Uebersicht.h"

using namespace vrd4::uebersicht;

namespace {
void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > 8192) return 0;
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  Uebersicht u("H");
  u.nachricht("vrd4/H/status", payload, false, 0);
  u.nachricht("vrd4/H/tafel/A/status", payload, size & 1, 1);
  u.nachricht("vrd4/H/tafel/A/status", payload, false, 2);  // twice: the last will's path
  u.nachricht("vrd4/H/tafel/A/zuletzt", payload, true, 3);
  u.nachricht("vrd4/H/tafel/B/zuletzt", payload, true, 3);  // "last seen" alone
  const std::string json = u.json();
  pruefe(json.find('<') == std::string::npos);
  pruefe(jsonLesen(json).has_value());
  pruefe(jsonLesen(u.aenderungen(1)).has_value());
  (void)jsonLesen(payload);
  return 0;
}
