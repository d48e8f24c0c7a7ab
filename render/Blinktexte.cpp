// Placeholder until blinking texts land.
#include "render/Blinktexte.h"

namespace vrd4::render {
struct Blinktexte::Impl {};
Blinktexte::Blinktexte(RenderHost&, platform::Surface&, TextRenderer&) : d(std::make_unique<Impl>()) {}
Blinktexte::~Blinktexte() = default;
uint8_t Blinktexte::BKNeu(const TextParameter&, double) { return 0; }
void Blinktexte::BKNeuLoeschen(uint8_t) {}
void Blinktexte::BKNeuGleicheStelleLoeschen(int16_t, int16_t, int16_t, int16_t) {}
void Blinktexte::BlinktexteTakten() {}
bool Blinktexte::belegt(int) const { return false; }
}  // namespace vrd4::render
