// Hex text encoding of picture bytes. Pictures of several MB pass through
// here on every forward, so both directions are table-driven and write into
// storage sized once.
#include "protocol/Hex.h"

#include <array>
#include <string>

#include "platform/Ansi.h"

namespace vrd4::protocol {
namespace {

constexpr char16_t kZiffern[] = u"0123456789ABCDEF";

// Both digits of every byte value, high digit first.
constexpr auto kPaare = [] {
  std::array<char16_t, 512> t{};
  for (int b = 0; b < 256; ++b) {
    t[2 * b] = kZiffern[b >> 4];
    t[2 * b + 1] = kZiffern[b & 15];
  }
  return t;
}();

// Value of a digit; kUngueltig for any other character. Index 256 stands for
// every character above U+00FF.
constexpr uint16_t kUngueltig = 0x100;
constexpr auto kWerte = [] {
  std::array<uint16_t, 257> t{};
  for (auto& w : t) w = kUngueltig;
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<uint16_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<uint16_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<uint16_t>(c - 'a' + 10);
  return t;
}();

inline uint16_t wert(char16_t c) { return kWerte[c < 256 ? c : 256]; }
inline uint16_t wert(char c) { return kWerte[static_cast<unsigned char>(c)]; }

std::u16string zeichen(std::u16string_view hex, std::size_t i) { return std::u16string(hex.substr(i, 1)); }
std::u16string zeichen(std::string_view hex, std::size_t i) { return platform::fromAnsi(hex.substr(i, 1)); }

template <class View>
[[noreturn]] void ungueltig(View hex, std::size_t benutzt) {
  for (std::size_t i = 0; i < benutzt; ++i)
    if (wert(hex[i]) == kUngueltig)
      throw HexFehler("Zeichen " + std::to_string(i + 1) + " ist keine Hexadezimalziffer: '" +
                      platform::toUtf8(zeichen(hex, i)) + "'");
  throw HexFehler("Keine Hexadezimalzahl");  // not reached: a bad digit was seen
}

}  // namespace

void hexAnhaengen(std::u16string& ziel, std::span<const uint8_t> bytes) {
  const std::size_t alt = ziel.size();
  ziel.resize(alt + 2 * bytes.size());
  char16_t* p = ziel.data() + alt;
  for (uint8_t b : bytes) {
    p[0] = kPaare[2 * b];
    p[1] = kPaare[2 * b + 1];
    p += 2;
  }
}

std::u16string hexKodieren(std::span<const uint8_t> bytes) {
  std::u16string out;
  hexAnhaengen(out, bytes);
  return out;
}

std::u16string hexKodierenText(std::u16string_view text) {
  const std::string ansi = platform::toAnsi(text);
  return hexKodieren({reinterpret_cast<const uint8_t*>(ansi.data()), ansi.size()});
}

namespace {

template <class View>
std::vector<uint8_t> dekodieren(View hex) {
  // length / 2, halves to even: 7 -> 3.5 -> 4, 5 -> 2.5 -> 2.
  const std::size_t paare = hex.size() / 2;
  const bool einzelneZiffer = (hex.size() & 1) != 0 && (paare & 1) != 0;
  std::vector<uint8_t> out(paare + (einzelneZiffer ? 1 : 0));
  uint16_t fehler = 0;
  const auto* h = hex.data();
  for (std::size_t i = 0; i < paare; ++i) {
    const uint16_t hi = wert(h[2 * i]);
    const uint16_t lo = wert(h[2 * i + 1]);
    fehler |= hi | lo;
    out[i] = static_cast<uint8_t>((hi << 4) | lo);
  }
  if (einzelneZiffer) {
    const uint16_t w = wert(h[2 * paare]);
    fehler |= w;
    out[paare] = static_cast<uint8_t>(w);
  }
  if (fehler & kUngueltig) ungueltig(hex, 2 * paare + (einzelneZiffer ? 1 : 0));
  return out;
}

}  // namespace

std::vector<uint8_t> hexDekodieren(std::u16string_view hex) { return dekodieren(hex); }
std::vector<uint8_t> hexDekodierenAnsi(std::string_view hex) { return dekodieren(hex); }

std::u16string hexDekodierenText(std::u16string_view hex) {
  const std::vector<uint8_t> bytes = hexDekodieren(hex);
  return platform::fromAnsi({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

}  // namespace vrd4::protocol
