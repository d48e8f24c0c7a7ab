// The head of a long TCP line decides whether it may grow past a ring
// slot's length: a line that is no command, or a picture command whose
// fields before the file's content fit a slot. Any head gets an answer,
// never a crash, and a "yes" for a command only for such a head.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../protocol/Eingabe.h"
#include "net/clsTalkConnection.h"
#include "protocol/Befehl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view kopf(reinterpret_cast<const char*>(data), size);
  if (!vrd4::net::langeZeileErlaubt(kopf)) return 0;
  if (!kopf.starts_with("Befehl")) return 0;
  vrd4::fuzz::pruefe(kopf.starts_with("Befehl\x1b" "BildAnzeigen\x1b") ||
                     kopf.starts_with("Befehl\x1b" "BildAnzeigenanPosition\x1b") ||
                     kopf.starts_with("Befehl\x1b" "AniGifLadenanPosition\x1b"));
  // Five (BildAnzeigen) or nine ESC before the content field, all within a slot.
  const std::size_t felder = kopf.starts_with("Befehl\x1b" "BildAnzeigen\x1b") ? 5 : 9;
  std::size_t esc = 0, pos = 0;
  for (; pos < kopf.size() && esc < felder; ++pos) esc += kopf[pos] == '\x1b';
  vrd4::fuzz::pruefe(esc == felder && pos <= vrd4::protocol::kMaxBefehlstextZeichen);
  return 0;
}
