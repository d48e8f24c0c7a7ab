#include "hall/Zeilen.h"

#include "platform/Ansi.h"
#include "protocol/Befehl.h"
#include "protocol/Hex.h"

namespace vrd4::halle {

Eintrag eintragAusZeile(std::u16string_view zeile, std::span<const uint8_t> bild) {
  Eintrag e;
  // The name is field 1; a picture command's content field is found by
  // counting separators, without splitting the (long) line.
  const std::size_t a = zeile.find(protocol::ESC);
  const std::size_t b = a == std::u16string_view::npos ? a : zeile.find(protocol::ESC, a + 1);
  const std::u16string_view name =
      a == std::u16string_view::npos ? std::u16string_view() : zeile.substr(a + 1, b == std::u16string_view::npos ? b : b - a - 1);
  const protocol::BefehlsSpec* spec = protocol::findeBefehl(name);
  if (!spec || !spec->istBildbefehl()) {
    e.text = platform::toUtf8(zeile);
    return e;
  }
  std::size_t anfang = 0;
  for (int feld = 0; feld < spec->inhaltsfeld() && anfang != std::u16string_view::npos; ++feld) {
    anfang = zeile.find(protocol::ESC, anfang);
    if (anfang != std::u16string_view::npos) ++anfang;
  }
  if (anfang == std::u16string_view::npos) {
    e.text = platform::toUtf8(zeile);
    e.bild.assign(bild.begin(), bild.end());
    return e;
  }
  const std::size_t ende = std::min(zeile.find(protocol::ESC, anfang), zeile.size());
  e.text = platform::toUtf8(zeile.substr(0, anfang));
  e.text += platform::toUtf8(zeile.substr(ende));
  if (!bild.empty()) {
    e.bild.assign(bild.begin(), bild.end());
  } else {
    try {
      e.bild = protocol::hexDekodieren(zeile.substr(anfang, ende - anfang));
    } catch (const std::exception&) {
      e.bild.clear();
    }
  }
  return e;
}

std::vector<std::u16string> felderAusEintrag(const Eintrag& e) {
  return protocol::zerlegen(platform::fromUtf8(e.text));
}

}  // namespace vrd4::halle
