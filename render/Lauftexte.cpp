// Placeholder until scrolling texts land.
#include "render/Lauftexte.h"

namespace vrd4::render {
struct Lauftexte::Impl {};
Lauftexte::Lauftexte(RenderHost&, platform::Surface&, TextRenderer&) : d(std::make_unique<Impl>()) {}
Lauftexte::~Lauftexte() = default;
uint8_t Lauftexte::LTNeu(const TextParameter&, double, double) { return 0; }
void Lauftexte::LTNeuLoeschen(uint8_t) {}
void Lauftexte::LTNeuGleicheStelleLoeschen(int16_t, int16_t, int16_t, int16_t) {}
void Lauftexte::LauftexteTakten() {}
bool Lauftexte::belegt(int) const { return false; }
}  // namespace vrd4::render
