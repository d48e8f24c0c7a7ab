// Any bytes as a GIF file: parse and decode stay inside their buffers and
// limits, every frame lies inside the canvas and decodes to its own size.
#include <cstddef>
#include <cstdint>
#include <vector>
#include <algorithm>

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
  std::vector<uint8_t> indizes;
  pruefe(!g.frameDekodieren(n + 1, indizes) && indizes.empty());
  if (n == 0) return 0;
  pruefe(g.canvasWidth() >= 1 && g.canvasWidth() <= kMaxSeite);
  pruefe(g.canvasHeight() >= 1 && g.canvasHeight() <= kMaxSeite);
  pruefe(g.groessterFrame() <= kMaxFramePixel);
  for (const FrameInfo& f : g.frames()) {
    pruefe(f.left + f.width <= g.canvasWidth() && f.top + f.height <= g.canvasHeight());
    pruefe(f.colorTable >= 0 && f.colorTable <= g.localTableCount() && f.disposal <= 3);
  }
  pruefe(g.frames()[0].disposal != 3);
  // Every frame (the first hundred) decodes to its own size; the sanitizer
  // checks that its first and last bytes are written and readable.
  for (int k = 1; k <= std::min(n, 100); ++k) {
    const FrameInfo& f = g.frames()[static_cast<std::size_t>(k - 1)];
    pruefe(g.frameDekodieren(k, indizes));
    const std::size_t pixel = static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height);
    pruefe(indizes.size() == pixel);
    volatile uint8_t rand = pixel ? static_cast<uint8_t>(indizes[0] + indizes[pixel - 1]) : 0;
    (void)rand;
  }
  return 0;
}
