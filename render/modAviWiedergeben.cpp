#include "render/modAviWiedergeben.h"

namespace vrd4::render {

// Clip playback is not built yet: no clip can be opened.
std::unique_ptr<AnimationsMedium> aviOeffnen(int, platform::Surface&, std::span<const uint8_t>) {
  return nullptr;
}

}  // namespace vrd4::render
