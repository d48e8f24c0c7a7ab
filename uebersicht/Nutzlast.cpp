#include "uebersicht/Nutzlast.h"

#include <array>
#include <cstdint>

#include "uebersicht/Json.h"

namespace vrd4::uebersicht {
namespace {

uint32_t gross32(std::string_view s, std::size_t i) {
  return (uint32_t{static_cast<unsigned char>(s[i])} << 24) | (uint32_t{static_cast<unsigned char>(s[i + 1])} << 16) |
         (uint32_t{static_cast<unsigned char>(s[i + 2])} << 8) | uint32_t{static_cast<unsigned char>(s[i + 3])};
}

uint32_t crc32(std::string_view s) {
  static const auto tabelle = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xffffffffu;
  for (const char b : s) c = tabelle[(c ^ static_cast<unsigned char>(b)) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

}  // namespace

std::optional<BildMass> pngPruefen(std::string_view png) {
  static constexpr std::string_view kSignatur("\x89PNG\r\n\x1a\n", 8);
  // signature, then length, "IHDR", 13 bytes of data, CRC
  if (png.size() > kMaxBildBytes || png.size() < 8 + 4 + 4 + 13 + 4 || !png.starts_with(kSignatur)) return std::nullopt;
  if (gross32(png, 8) != 13 || png.substr(12, 4) != "IHDR") return std::nullopt;
  if (crc32(png.substr(12, 4 + 13)) != gross32(png, 12 + 4 + 13)) return std::nullopt;
  const uint32_t breite = gross32(png, 16), hoehe = gross32(png, 20);
  if (breite < 1 || breite > kMaxBildSeite || hoehe < 1 || hoehe > kMaxBildSeite) return std::nullopt;
  const int tiefe = static_cast<unsigned char>(png[24]), farbe = static_cast<unsigned char>(png[25]);
  const bool paar = (farbe == 0 && (tiefe == 1 || tiefe == 2 || tiefe == 4 || tiefe == 8 || tiefe == 16)) ||
                    (farbe == 3 && (tiefe == 1 || tiefe == 2 || tiefe == 4 || tiefe == 8)) ||
                    ((farbe == 2 || farbe == 4 || farbe == 6) && (tiefe == 8 || tiefe == 16));
  // compression, filter and interlace method
  if (!paar || png[26] != 0 || png[27] != 0 || static_cast<unsigned char>(png[28]) > 1) return std::nullopt;
  return BildMass{static_cast<int>(breite), static_cast<int>(hoehe)};
}

std::optional<std::vector<Meldung>> meldungenLesen(std::string_view json) {
  if (json.size() > kMaxMeldungenBytes) return std::nullopt;
  const auto wert = jsonLesen(json);
  if (!wert) return std::nullopt;
  const JsonWert* zeilen = wert->feld("zeilen");
  if (!zeilen || !zeilen->liste()) return std::nullopt;
  const JsonListe& liste = *zeilen->liste();
  std::vector<Meldung> r;
  for (std::size_t i = 0; i < liste.size(); ++i) {
    const JsonWert* text = liste[i].feld("text");
    if (!text || !text->text()) return std::nullopt;
    if (i + kMaxZeilen < liste.size()) continue;  // only the last kMaxZeilen are kept
    Meldung m;
    m.text = *text->text();
    if (const JsonWert* zeit = liste[i].feld("zeit"); zeit && zeit->text())
      m.zeit = std::string(utf8Kuerzen(*zeit->text(), kMaxZeitBytes));
    r.push_back(std::move(m));
  }
  return r;
}

}  // namespace vrd4::uebersicht
