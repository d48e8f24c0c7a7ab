#pragma once
// giflib as the independent decoder the tests and benchmarks compare with.
// Only test and benchmark binaries link it; the program never does.
#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace vrd4::gif::test {

struct GiflibFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indizes;  // rows top to bottom (interlacing resolved)
};

struct GiflibErgebnis {
  bool ok = false;
  int fehler = 0;
  std::vector<GiflibFrame> frames;
};

namespace detail {
struct Quelle {
  std::span<const uint8_t> b;
  std::size_t pos = 0;
};
inline int lesen(GifFileType* g, GifByteType* ziel, int n) {
  auto* q = static_cast<Quelle*>(g->UserData);
  const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(n), q->b.size() - q->pos);
  std::memcpy(ziel, q->b.data() + q->pos, k);
  q->pos += k;
  return static_cast<int>(k);
}
}  // namespace detail

// Decodes the whole file with DGifSlurp.
inline GiflibErgebnis mitGiflib(std::span<const uint8_t> bytes) {
  GiflibErgebnis r;
  detail::Quelle q{bytes};
  int err = 0;
  GifFileType* g = DGifOpen(&q, detail::lesen, &err);
  if (!g) {
    r.fehler = err;
    return r;
  }
  r.ok = DGifSlurp(g) == GIF_OK;
  r.fehler = g->Error;
  for (int i = 0; i < g->ImageCount; ++i) {
    const SavedImage& s = g->SavedImages[i];
    GiflibFrame f{s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height, {}};
    if (s.RasterBits)
      f.indizes.assign(s.RasterBits, s.RasterBits + static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height));
    r.frames.push_back(std::move(f));
  }
  DGifCloseFile(g, &err);
  return r;
}

}  // namespace vrd4::gif::test
