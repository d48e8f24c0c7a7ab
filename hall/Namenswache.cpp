#include "hall/Namenswache.h"

#include "hall/Aufsicht.h"

namespace vrd4::halle {

Namenswache::Aenderung Namenswache::nachricht(const std::optional<TafelStatus>& s, bool behalten, double jetzt) {
  if (s && s->kennung == kennung_) return Aenderung::Keine;  // our own, back from the broker
  if (s && s->online && !s->kennung.empty() && (!behalten || s->zeit > start_)) {
    const bool neu = !doppelt_;
    doppelt_ = true;
    andere_ = s->kennung;
    zuletzt_ = jetzt;
    return neu ? Aenderung::Doppelt : Aenderung::Keine;
  }
  if (doppelt_ && s && !s->online && s->kennung == andere_) {
    doppelt_ = false;
    return Aenderung::WiederAllein;
  }
  return behalten ? Aenderung::Keine : Aenderung::Ersetzt;
}

Namenswache::Aenderung Namenswache::takt(double jetzt) {
  if (!doppelt_ || jetzt - zuletzt_ < kVergessen) return Aenderung::Keine;
  doppelt_ = false;
  return Aenderung::WiederAllein;
}

double Namenswache::frist() const { return doppelt_ ? zuletzt_ + kVergessen : Verbindungsaufsicht::kNie; }

}  // namespace vrd4::halle
