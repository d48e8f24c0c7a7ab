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

// Copies len bytes from an earlier place of the same buffer in 8-byte chunks.
// Every needed source byte lies before d (a string is always complete before
// a later code refers to it), so a chunk never reads what this copy wrote;
// up to 7 bytes past d + len are overwritten with garbage, inside the reserve.
inline void kopiereFrueher(uint8_t* d, const uint8_t* s, std::size_t len) {
  for (std::size_t i = 0; i < len; i += 8) {
    uint64_t v;
    std::memcpy(&v, s + i, 8);
    std::memcpy(d + i, &v, 8);
  }
}

}  // namespace

std::size_t lzwDekodieren(int minCodeSize, std::span<const uint8_t> daten, uint8_t* out,
                          std::size_t pixels) {
  if (minCodeSize < 1 || minCodeSize > 8 || pixels == 0) return 0;

  // A string is kept as where it first appeared in the output and its length:
  // each new code is the previous string plus one byte, which already sits
  // right behind that string in the output.
  std::array<uint32_t, kMaxCodes> lage;
  std::array<uint16_t, kMaxCodes> laenge;

  const uint32_t clear = 1u << minCodeSize;
  const uint32_t ende = clear + 1;
  int breite = minCodeSize + 1;
  uint32_t naechster = clear + 2;
  uint32_t maske = (1u << breite) - 1;

  const uint8_t* ip = daten.data();
  const uint64_t bitsGesamt = static_cast<uint64_t>(daten.size()) * 8;
  uint64_t bitsGelesen = 0;
  uint64_t akku = 0;
  int bits = 0;

  bool hatVorigen = false;
  std::size_t vorLage = 0, vorLaenge = 0;
  std::size_t p = 0;

  while (p < pixels) {
    bitsGelesen += static_cast<uint64_t>(breite);
    if (bitsGelesen > bitsGesamt) break;  // the data ends before the frame
    if (bits < breite) {
      akku |= lade64(ip) << bits;
      ip += (63 - bits) >> 3;
      bits |= 56;
    }
    const uint32_t code = static_cast<uint32_t>(akku) & maske;
    akku >>= breite;
    bits -= breite;

    if (code == clear) {
      breite = minCodeSize + 1;
      maske = (1u << breite) - 1;
      naechster = clear + 2;
      hatVorigen = false;
      continue;
    }
    if (code == ende) break;

    std::size_t len;
    if (code < clear) {
      out[p] = static_cast<uint8_t>(code);
      len = 1;
    } else if (!hatVorigen) {
      break;  // no strings yet: damaged
    } else if (code < naechster) {
      len = laenge[code];
      kopiereFrueher(out + p, out + lage[code], len);
    } else if (code == naechster && naechster < kMaxCodes) {
      // The string being defined: the previous one plus its own first byte.
      kopiereFrueher(out + p, out + vorLage, vorLaenge);
      out[p + vorLaenge] = out[vorLage];
      len = vorLaenge + 1;
    } else {
      break;  // a code not yet defined: damaged
    }

    // Once the table is full no entries are added and the width stays at 12
    // (a deferred clear), until the encoder sends a clear code.
    if (hatVorigen && naechster < kMaxCodes) {
      lage[naechster] = static_cast<uint32_t>(vorLage);
      laenge[naechster] = static_cast<uint16_t>(vorLaenge + 1);
      ++naechster;
      if (naechster == (1u << breite) && breite < kMaxCodeBits) {
        ++breite;
        maske = (1u << breite) - 1;
      }
    }
    hatVorigen = true;
    vorLage = p;
    vorLaenge = len;
    p += len;
  }
  return p < pixels ? p : pixels;
}

}  // namespace vrd4::gif
