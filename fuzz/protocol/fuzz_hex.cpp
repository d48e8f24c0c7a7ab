// Any text as a picture's hex field: it decodes to length/2 (halves to even)
// bytes or fails with HexFehler; whatever decodes encodes back.
#include <cstddef>
#include <cstdint>

#include "Eingabe.h"
#include "protocol/Hex.h"

using namespace vrd4::protocol;
using vrd4::fuzz::pruefe;

namespace {

char16_t gross(char16_t c) { return c >= u'a' && c <= u'f' ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  pruefe(hexDekodieren(hexKodieren(bytes)) == std::vector<uint8_t>(bytes.begin(), bytes.end()));

  const std::u16string hex = vrd4::fuzz::alsText(data, size);
  const std::size_t paare = hex.size() / 2;
  const std::size_t laenge = paare + ((hex.size() & 1) && (paare & 1) ? 1 : 0);
  try {
    const std::vector<uint8_t> out = hexDekodieren(hex);
    pruefe(out.size() == laenge);
    const std::u16string zurueck = hexKodieren(out);
    for (std::size_t i = 0; i < 2 * paare; ++i) pruefe(zurueck[i] == gross(hex[i]));
    const std::u16string text = hexDekodierenText(hex);
    pruefe(hexKodierenText(text) == zurueck);
  } catch (const HexFehler& e) {
    pruefe(e.what()[0] != '\0');
  }
  return 0;
}
