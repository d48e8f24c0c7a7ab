#pragma once
// Builds GIF files for the tests: every pixel a literal LZW code, with a
// clear code before the code width would grow, which every decoder reads.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace vrd4::test {

struct GifFrame {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<uint8_t> indices;  // width × height, row by row
  int delay = 0;                 // hundredths of a second
  int disposal = 0;
  std::optional<uint8_t> transparent;
  std::vector<uint32_t> localTable;  // 0xRRGGBB; empty: the global table
};

struct GifBild {
  int width = 1, height = 1;         // logical screen
  std::vector<uint32_t> globalTable;  // 0xRRGGBB; empty: none
  std::vector<GifFrame> frames;
  std::optional<int> loops;  // the looping extension
};

namespace gifbauen_detail {
inline int groesseFeld(size_t n) {  // colour table size field for n colours
  int s = 0;
  while ((size_t(2) << s) < n) ++s;
  return s;
}
inline void wort(std::vector<uint8_t>& o, int v) {
  o.push_back(uint8_t(v & 0xFF));
  o.push_back(uint8_t((v >> 8) & 0xFF));
}
inline void tabelle(std::vector<uint8_t>& o, const std::vector<uint32_t>& t) {
  const size_t n = size_t(2) << groesseFeld(t.size());
  for (size_t i = 0; i < n; ++i) {
    const uint32_t c = i < t.size() ? t[i] : 0;
    o.push_back(uint8_t(c >> 16));
    o.push_back(uint8_t(c >> 8));
    o.push_back(uint8_t(c));
  }
}
}  // namespace gifbauen_detail

inline std::vector<uint8_t> gifBauen(const GifBild& g) {
  using namespace gifbauen_detail;
  std::vector<uint8_t> o{'G', 'I', 'F', '8', '9', 'a'};
  wort(o, g.width);
  wort(o, g.height);
  o.push_back(g.globalTable.empty() ? 0 : uint8_t(0x80 | groesseFeld(g.globalTable.size())));
  o.push_back(0);
  o.push_back(0);
  if (!g.globalTable.empty()) tabelle(o, g.globalTable);
  if (g.loops) {
    const uint8_t app[] = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1};
    o.insert(o.end(), std::begin(app), std::end(app));
    wort(o, *g.loops);
    o.push_back(0);
  }
  for (const GifFrame& f : g.frames) {
    o.insert(o.end(), {0x21, 0xF9, 4});
    o.push_back(uint8_t((f.disposal & 7) << 2 | (f.transparent ? 1 : 0)));
    wort(o, f.delay);
    o.push_back(f.transparent.value_or(0));
    o.push_back(0);
    o.push_back(0x2C);
    wort(o, f.left);
    wort(o, f.top);
    wort(o, f.width);
    wort(o, f.height);
    o.push_back(f.localTable.empty() ? 0 : uint8_t(0x80 | groesseFeld(f.localTable.size())));
    if (!f.localTable.empty()) tabelle(o, f.localTable);
    const size_t farben = f.localTable.empty() ? g.globalTable.size() : f.localTable.size();
    const int m = std::max(2, groesseFeld(farben) + 1);
    o.push_back(uint8_t(m));
    std::vector<uint8_t> daten;
    uint32_t puffer = 0;
    int bits = 0;
    auto code = [&](int c) {
      puffer |= uint32_t(c) << bits;
      bits += m + 1;
      while (bits >= 8) {
        daten.push_back(uint8_t(puffer));
        puffer >>= 8;
        bits -= 8;
      }
    };
    const int clear = 1 << m, seit = (1 << m) - 2;
    int n = 0;
    for (uint8_t i : f.indices) {
      if (n % seit == 0) code(clear);
      code(i);
      ++n;
    }
    code(clear + 1);
    if (bits > 0) daten.push_back(uint8_t(puffer));
    for (size_t p = 0; p < daten.size(); p += 255) {
      const size_t len = std::min<size_t>(255, daten.size() - p);
      o.push_back(uint8_t(len));
      o.insert(o.end(), daten.begin() + long(p), daten.begin() + long(p + len));
    }
    o.push_back(0);
  }
  o.push_back(0x3B);
  return o;
}

// A width × height GIF of n full-size frames; frame k (1-based) is wholly
// colour index k - 1 of the table (red, green, blue, white, ...).
inline std::vector<uint8_t> einfarbigeFrames(int width, int height, int n, int delay = 10) {
  GifBild g;
  g.width = width;
  g.height = height;
  g.globalTable = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080};
  for (int k = 0; k < n; ++k) {
    GifFrame f;
    f.width = width;
    f.height = height;
    f.indices.assign(size_t(width) * size_t(height), uint8_t(k % 8));
    f.delay = delay;
    g.frames.push_back(f);
  }
  return gifBauen(g);
}

}  // namespace vrd4::test
