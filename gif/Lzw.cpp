#include "gif/Lzw.h"

#include <array>
#include <bit>
#include <cstring>

namespace vrd4::gif {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kMaxCodes = 1u << kMaxCodeBits;

inline uint64_t lade64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// The one-byte strings, where the copier can read them like any other
// string (8 bytes of room behind the last one).
constexpr std::array<uint8_t, 256 + 8> kLiterale = [] {
  std::array<uint8_t, 256 + 8> a{};
  for (int i = 0; i < 256; ++i) a[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  return a;
}();

// Copies len (>= 1) bytes in 8-byte chunks. Every source byte needed lies
// before d or outside the output (a string is complete before a later code
// refers to it), so a chunk never reads what this copy wrote; up to 7 bytes
// past d + len get garbage, inside the output's reserve.
inline void kopiere(uint8_t* d, const uint8_t* s, std::size_t len) {
  std::size_t i = 0;
  do {
    uint64_t v;
    std::memcpy(&v, s + i, 8);
    std::memcpy(d + i, &v, 8);
    i += 8;
  } while (i < len);
}

}  // namespace

std::size_t lzwDekodieren(int minCodeSize, std::span<const uint8_t> daten, uint8_t* out,
                          std::size_t pixels) {
  // Code size 1 is not GIF: its first free code would not fit the first width.
  if (minCodeSize < 2 || minCodeSize > 8 || pixels == 0) return 0;

  // A string is kept as where it already stands (in the output, or among
  // the literals) and its length; each new code is the previous string plus
  // one byte, which sits right behind that string in the output. Length 0
  // marks the codes that are not strings: clear, end and undefined ones.
  std::array<const uint8_t*, kMaxCodes> quelle;
  std::array<uint16_t, kMaxCodes> laenge{};

  const uint32_t clear = 1u << minCodeSize;
  for (uint32_t i = 0; i < clear; ++i) {
    quelle[i] = &kLiterale[i];
    laenge[i] = 1;
  }
  int breite = minCodeSize + 1;
  uint32_t grenze = 1u << breite;
  uint32_t naechster = clear + 2;

  const uint8_t* ip = daten.data();
  const uint64_t bitsGesamt = static_cast<uint64_t>(daten.size()) * 8;
  uint64_t bitsGelesen = 0;
  uint64_t akku = 0;
  int bits = 0;

  bool hatVorigen = false;
  uint8_t* vorZiel = out;
  std::size_t vorLaenge = 0;
  uint8_t* w = out;
  uint8_t* const wEnde = out + pixels;

  while (w < wEnde) {
    bitsGelesen += static_cast<uint64_t>(breite);
    if (bitsGelesen > bitsGesamt) break;  // the data ends before the frame
    if (bits < breite) {
      akku |= lade64(ip) << bits;
      ip += (63 - bits) >> 3;
      bits |= 56;
    }
    const uint32_t code = static_cast<uint32_t>(akku) & (grenze - 1);
    akku >>= breite;
    bits -= breite;

    std::size_t len = laenge[code];
    if (len != 0) {
      kopiere(w, quelle[code], len);
      if (!hatVorigen) {  // first code after a clear: nothing to add
        hatVorigen = true;
        vorZiel = w;
        vorLaenge = len;
        w += len;
        continue;
      }
    } else if (code == clear) {
      for (uint32_t i = clear + 2; i < naechster; ++i) laenge[i] = 0;
      breite = minCodeSize + 1;
      grenze = 1u << breite;
      naechster = clear + 2;
      hatVorigen = false;
      continue;
    } else if (code == naechster && hatVorigen && naechster < kMaxCodes) {
      // The string being defined: the previous one plus its own first byte.
      kopiere(w, vorZiel, vorLaenge);
      w[vorLaenge] = *vorZiel;
      len = vorLaenge + 1;
    } else {
      break;  // the end code, or a code not defined: damage ends the frame
    }

    // Once the table is full no entries are added and the width stays at 12
    // (a deferred clear), until the encoder sends a clear code.
    if (naechster < kMaxCodes) {
      quelle[naechster] = vorZiel;
      laenge[naechster] = static_cast<uint16_t>(vorLaenge + 1);
      ++naechster;
      if (naechster == grenze && breite < kMaxCodeBits) {
        ++breite;
        grenze <<= 1;
      }
    }
    vorZiel = w;
    vorLaenge = len;
    w += len;
  }
  const std::size_t p = static_cast<std::size_t>(w - out);
  return p < pixels ? p : pixels;
}

}  // namespace vrd4::gif
