// Any bytes as a GIF file: parse and decode stay inside their buffers and
// limits, and every frame lies inside the strip and the canvas.
#include <cstddef>
#include <cstdint>

#include "gif/GifDatei.h"

using namespace vrd4::gif;

namespace {

void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  GifDatei g;
  const int n = g.parse({data, size});
  pruefe(n == g.frameCount() && n >= 0 && n <= kMaxFrames);
  if (n == 0) {
    pruefe(!g.decode(true) && g.strip() == nullptr);
    return 0;
  }
  pruefe(g.canvasWidth() >= 1 && g.canvasWidth() <= kMaxSeite);
  pruefe(g.canvasHeight() >= 1 && g.canvasHeight() <= kMaxSeite);
  pruefe(int64_t{g.stripWidth()} * g.stripHeight() <= kMaxStreifenPixel);
  int64_t spalte = 0;
  for (const FrameInfo& f : g.frames()) {
    pruefe(f.offset == spalte && f.height <= g.stripHeight());
    pruefe(f.left + f.width <= g.canvasWidth() && f.top + f.height <= g.canvasHeight());
    pruefe(f.colorTable >= 0 && f.colorTable <= g.localTableCount() && f.disposal <= 3);
    spalte += f.width;
  }
  pruefe(spalte == g.stripWidth());
  pruefe(g.frames()[0].disposal != 3);

  pruefe(g.decode(true) && g.frameDecoded(1));
  pruefe(g.decode(false) && g.frameDecoded(n));
  // The strip's first and last bytes are readable (the sanitizer checks);
  // in a strip small enough to walk, rows below a frame's height hold 0.
  const uint8_t* s = g.strip();
  pruefe(s != nullptr);
  const std::size_t b = static_cast<std::size_t>(g.stripWidth());
  const std::size_t pixel = b * static_cast<std::size_t>(g.stripHeight());
  volatile uint8_t rand = pixel ? static_cast<uint8_t>(s[0] + s[pixel - 1]) : 0;
  (void)rand;
  if (pixel <= (1u << 20)) {
    for (const FrameInfo& f : g.frames())
      for (int y = f.height; y < g.stripHeight(); ++y)
        for (int x = 0; x < f.width; ++x)
          pruefe(s[static_cast<std::size_t>(y) * b + static_cast<std::size_t>(f.offset + x)] == 0);
  }
  return 0;
}
