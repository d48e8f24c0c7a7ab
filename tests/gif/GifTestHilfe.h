#pragma once
// Shared helpers of the GIF tests: reading a frame back out of the strip and
// filling frames with reproducible indices.
#include <cstdint>
#include <random>
#include <vector>

#include "gif/GifDatei.h"

namespace vrd4::gif::test {

// Frame k's (1-based) indices from the strip, rows top to bottom.
inline std::vector<uint8_t> frameAusStreifen(const GifDatei& g, int k) {
  const FrameInfo& f = g.frames()[static_cast<std::size_t>(k - 1)];
  std::vector<uint8_t> r;
  r.reserve(static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height));
  for (int y = 0; y < f.height; ++y) {
    const uint8_t* z = g.strip() + static_cast<std::size_t>(y) * static_cast<std::size_t>(g.stripWidth()) +
                       static_cast<std::size_t>(f.offset);
    r.insert(r.end(), z, z + f.width);
  }
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
