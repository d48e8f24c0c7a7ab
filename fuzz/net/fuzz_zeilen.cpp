// A peer's byte stream in arbitrary arrivals through the line framing: the
// lines taken, each followed by the separator, and the rest give back
// exactly the bytes received (each arrival cut at its first NUL); no line
// holds the separator or exceeds the limit, and the buffer never holds
// more than the limit plus one arrival.
//
// Input: byte 0 picks the separator, byte 1 the limit (0..255); then
// arrivals, each a length byte followed by that many bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/Zeilenpuffer.h"

namespace {

void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}

constexpr std::string_view kTrenner[] = {"\r\n", "\n", "||", "\r\n\r\n", "a"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view trenner = kTrenner[data[0] % std::size(kTrenner)];
  const std::size_t max = data[1];
  std::size_t i = 2;

  vrd4::net::Zeilenpuffer p(max);
  std::string erwartet;  // everything appended, NUL-cut
  std::string gesehen;   // lines + separators taken so far
  while (i < size) {
    const std::size_t n = std::min<std::size_t>(data[i], size - i - 1);
    const std::string_view stueck(reinterpret_cast<const char*>(data) + i + 1, n);
    i += 1 + n;
    p.anhaengen(stueck);
    erwartet.append(stueck.substr(0, stueck.find('\0')));
    for (;;) {
      std::string_view zeile;
      const auto e = p.naechsteZeile(trenner, zeile);
      if (e == vrd4::net::Zeilenpuffer::Ergebnis::ZuLang) {
        pruefe(p.groesse() > 0);
        return 0;  // the socket closes the connection here
      }
      if (e == vrd4::net::Zeilenpuffer::Ergebnis::KeineZeile) break;
      pruefe(zeile.size() <= max);
      pruefe(zeile.find(trenner) == std::string_view::npos);
      gesehen.append(zeile);
      gesehen.append(trenner);
    }
    pruefe(p.groesse() <= max + 255);
  }
  gesehen += p.restNehmen();
  pruefe(gesehen == erwartet);
  pruefe(p.leer());
  return 0;
}
