#pragma once
// Video clips in an animation slot. A clip arrives as the bytes of an AVI
// file; it is written to a temporary file and played from there into the
// slot's control surface.
#include <QString>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Surface.h"
#include "render/Animationen.h"

namespace vrd4::render {

// Opens the clip in bytes for animation slot `slot` (1..10; its alias is
// slot + "AviTmp") and plays it, once started, scaled into `ziel` (the slot's
// control surface, already sized and placed; it must outlive the medium).
// nullptr when the bytes are no clip that can be played; nothing is left
// behind then (no temporary file). Never throws.
std::unique_ptr<AnimationsMedium> aviOeffnen(int slot, platform::Surface& ziel,
                                             std::span<const uint8_t> bytes);

}  // namespace vrd4::render
