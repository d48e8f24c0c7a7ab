#pragma once
// A small GIF writer for tests and benchmarks: every code size, interlacing,
// global and local tables, control extensions, a clear code wherever wanted
// and a table that runs full without a clear (the deferred clear); and
// decoding a frame back into its indices.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "gif/GifDatei.h"

namespace vrd4::gif::test {

struct LzwArt {
  int clearNach = 0;            // a clear code after this many codes (0: none)
  bool ohneClearWennVoll = false;  // a full table stays as it is (deferred clear)
};

// Codes packed at the widths a decoder reads them at: a clear code resets the
// width; every code but the first after a clear adds a table entry.
struct Codes {
  explicit Codes(int minCodeSize) : clear(1u << minCodeSize), breite(minCodeSize + 1) {}
  void operator()(uint32_t c) {
    akku |= uint64_t{c} << bits;
    for (bits += breite; bits >= 8; bits -= 8, akku >>= 8) out.push_back(static_cast<uint8_t>(akku));
    if (c == clear) {
      breite = std::countr_zero(clear) + 1, naechster = clear + 2, erster = true;
    } else if (!erster && naechster < 4096 && ++naechster == (1u << breite) && breite < 12) {
      ++breite;
    } else {
      erster = false;
    }
  }
  std::vector<uint8_t> fertig() {
    if (bits > 0) out.push_back(static_cast<uint8_t>(akku));
    return out;
  }
  const uint32_t clear;
  int breite, bits = 0;
  uint32_t naechster = clear + 2;
  uint64_t akku = 0;
  bool erster = true;
  std::vector<uint8_t> out;
};

// LZW with GIF's code widths; indices must be below 2^minCodeSize.
inline std::vector<uint8_t> lzwKodieren(const std::vector<uint8_t>& idx, int minCodeSize, LzwArt art = {}) {
  Codes codes(minCodeSize);
  std::unordered_map<uint32_t, uint32_t> tabelle;  // prefix << 8 | index -> code
  const auto leeren = [&] { codes(codes.clear), tabelle.clear(); };
  leeren();
  if (!idx.empty()) {
    uint32_t cur = idx[0];
    int n = 0;
    for (std::size_t i = 1; i < idx.size(); ++i) {
      if (const auto e = tabelle.find(cur << 8 | idx[i]); e != tabelle.end()) {
        cur = e->second;
        continue;
      }
      codes(cur);
      if (codes.clear + 2 + tabelle.size() < 4096)
        tabelle.emplace(cur << 8 | idx[i], codes.clear + 2 + tabelle.size());
      else if (!art.ohneClearWennVoll)
        leeren();
      if (art.clearNach && ++n == art.clearNach) leeren();
      cur = idx[i];
    }
    codes(cur);
  }
  codes(codes.clear + 1);
  return codes.fertig();
}

inline void unterbloecke(std::vector<uint8_t>& out, const std::vector<uint8_t>& daten, int groesse = 255) {
  for (std::size_t i = 0; i < daten.size(); i += static_cast<std::size_t>(groesse)) {
    const std::size_t n = std::min(daten.size() - i, static_cast<std::size_t>(groesse));
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), daten.begin() + static_cast<std::ptrdiff_t>(i), daten.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  out.push_back(0);
}

// Colours 0xRRGGBB; the count must be a power of two from 2 to 256.
using Farben = std::vector<uint32_t>;

inline int groessenFeld(const Farben& f) { return std::countr_zero(f.size()) - 1; }

inline Farben graurampe(int n) {
  Farben f(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) f[static_cast<std::size_t>(i)] = static_cast<uint32_t>((i * 255 / (n > 1 ? n - 1 : 1)) * 0x010101);
  return f;
}

struct Bild {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<uint8_t> indizes = {};  // width × height, rows top to bottom
  int codeGroesse = 8;
  bool interlaced = false;
  std::optional<Farben> lokal = {};
  bool gce = true;
  int delay = 0;  // hundredths of a second
  int disposal = 0;
  std::optional<uint8_t> transparent = {};
  LzwArt lzw = {};
  int blockGroesse = 255;
};

class GifSchreiber {
 public:
  GifSchreiber(int logB, int logH, std::optional<Farben> global, const char* sig = "GIF89a") {
    for (int i = 0; i < 6; ++i) bytes.push_back(static_cast<uint8_t>(sig[i]));
    wort(logB);
    wort(logH);
    roh({global ? static_cast<uint8_t>(0x80 | 0x70 | groessenFeld(*global)) : uint8_t{0}, 0, 0});
    if (global) tabelle(*global);
  }

  void schleife(int n, const std::string& id = "NETSCAPE2.0") {
    roh({0x21, 0xFF, static_cast<uint8_t>(id.size())});
    bytes.insert(bytes.end(), id.begin(), id.end());
    roh({3, 1});
    wort(n);
    bytes.push_back(0);
  }

  void gce(int disposal, int delay, std::optional<uint8_t> transparent) {
    roh({0x21, 0xF9, 4});
    bytes.push_back(static_cast<uint8_t>((disposal << 2) | (transparent ? 1 : 0)));
    wort(delay);
    roh({transparent.value_or(0), 0});
  }

  void bild(const Bild& b) {
    if (b.gce) gce(b.disposal, b.delay, b.transparent);
    bytes.push_back(0x2C);
    for (int v : {b.left, b.top, b.width, b.height}) wort(v);
    uint8_t packed = b.interlaced ? 0x40 : 0;
    if (b.lokal) packed |= static_cast<uint8_t>(0x80 | groessenFeld(*b.lokal));
    bytes.push_back(packed);
    if (b.lokal) tabelle(*b.lokal);
    bytes.push_back(static_cast<uint8_t>(b.codeGroesse));
    unterbloecke(bytes, lzwKodieren(b.interlaced ? verschraenkt(b) : b.indizes, b.codeGroesse, b.lzw),
                 b.blockGroesse);
  }

  std::vector<uint8_t> fertig() const {
    std::vector<uint8_t> f = bytes;
    f.push_back(0x3B);
    return f;
  }

  // Bytes as they are (GCC 12 warns wrongly about vector::insert of a list).
  void roh(std::initializer_list<uint8_t> l) {
    for (uint8_t b : l) bytes.push_back(b);
  }

  std::vector<uint8_t> bytes;

 private:
  void wort(int v) { roh({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
  void tabelle(const Farben& f) {
    for (uint32_t c : f) roh({static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
  }
  // The rows in the order an interlaced file stores them.
  static std::vector<uint8_t> verschraenkt(const Bild& b) {
    std::vector<uint8_t> r;
    const int start[4] = {0, 4, 2, 1}, schritt[4] = {8, 8, 4, 2};
    for (int d = 0; d < 4; ++d)
      for (int y = start[d]; y < b.height; y += schritt[d])
        r.insert(r.end(), b.indizes.begin() + y * b.width, b.indizes.begin() + (y + 1) * b.width);
    return r;
  }
};

// A w × h image wholly of one index.
inline Bild flach(int x, int y, int w, int h, uint8_t index = 1, int codeGroesse = 2) {
  return Bild{.left = x, .top = y, .width = w, .height = h,
              .indizes = std::vector<uint8_t>(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), index),
              .codeGroesse = codeGroesse};
}

// A width × height GIF of n full-size frames; frame k (1-based) is wholly
// colour index k - 1 of the table (red, green, blue, white, ...); with a
// looping extension when `schleifen` is given.
inline std::vector<uint8_t> einfarbigeFrames(int width, int height, int n, int delay = 10,
                                             std::optional<int> schleifen = {}) {
  GifSchreiber s(width, height,
                 Farben{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080});
  if (schleifen) s.schleife(*schleifen);
  for (int k = 0; k < n; ++k) {
    Bild b = flach(0, 0, width, height, static_cast<uint8_t>(k % 8), 3);
    b.delay = delay;
    s.bild(b);
  }
  return s.fertig();
}

// Frame k's (1-based) indices, rows top to bottom.
inline std::vector<uint8_t> frameIndizes(GifDatei& g, int k) {
  std::vector<uint8_t> r;
  g.frameDekodieren(k, r);
  return r;
}

// Random indices below 2^bits, with runs so that LZW finds long strings too.
inline std::vector<uint8_t> zufallsIndizes(int w, int h, int bits, uint32_t saat) {
  std::mt19937 rng(saat);
  std::vector<uint8_t> v(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  uint8_t c = 0;
  for (auto& x : v) {
    if (rng() % 4 == 0) c = static_cast<uint8_t>(rng() & ((1u << bits) - 1));
    x = c;
  }
  return v;
}

}  // namespace vrd4::gif::test
