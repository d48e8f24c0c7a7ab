// Placeholder until pictures land.
#include "render/Bilder.h"

namespace vrd4::render {
struct Bilder::Impl {
  platform::Surface quelle, zwischen;
};
Bilder::Bilder(RenderHost&) : d(std::make_unique<Impl>()) {}
Bilder::~Bilder() = default;
void Bilder::BildAnzeigen(platform::Surface&, const QString&, bool, bool, std::span<const uint8_t>) {}
void Bilder::BildAnzeigenanPosition(platform::Surface&, const QString&, int16_t, int16_t, int16_t, int16_t,
                                    bool, bool, std::span<const uint8_t>) {}
platform::Surface& Bilder::PicFuerGroessenanpassungQuelle() { return d->quelle; }
platform::Surface& Bilder::PicFuerGroessenanpassungZwischen() { return d->zwischen; }
}  // namespace vrd4::render
