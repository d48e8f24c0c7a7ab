// What a parsed command occupies on the board, read from its table row.
#include "protocol/Befehl.h"

namespace vrd4::protocol {

std::optional<Rechteck> feldRechteck(const Befehl& b) {
  const int i = b.spec->index(Rolle::Rechteck);
  if (i < 0) return std::nullopt;
  const auto wert = [&](int k) { return b.get<int16_t>(static_cast<std::size_t>(i + k)); };
  return Rechteck{wert(0), wert(1), wert(2), wert(3)};
}

std::optional<EffektSlot> effektSlot(const Befehl& b) {
  const BefehlsSpec& spec = *b.spec;
  if (spec.effekt == Effekt::Keiner) return std::nullopt;
  EffektSlot slot{spec.effekt, spec.wirkung, 0};
  if (const int i = spec.index(Rolle::Slot); i >= 0) slot.nr = b.get<uint8_t>(static_cast<std::size_t>(i));
  return slot;
}

bool ersetzt(const Befehl& neu, const Befehl& frueher) {
  if (neu.spec->leertTafel) return true;
  if (!neu.spec->ersetztGleicheStelle || neu.spec->effekt != frueher.spec->effekt ||
      frueher.spec->wirkung != SlotWirkung::Belegt)
    return false;
  return feldRechteck(neu) == feldRechteck(frueher);
}

}  // namespace vrd4::protocol
