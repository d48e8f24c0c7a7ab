#include "hall/Aufsicht.h"

#include <algorithm>

namespace vrd4::halle {

void Verbindungsaufsicht::versuch(double jetzt) {
  zustand_ = Zustand::Versucht;
  seit_ = jetzt;
}

std::string Verbindungsaufsicht::verbunden(double jetzt) {
  zustand_ = Zustand::Verbunden;
  seit_ = jetzt;
  if (verbundenGesagt_) return {};
  verbundenGesagt_ = true;
  return "mit dem Broker verbunden";
}

std::string Verbindungsaufsicht::verloren(double jetzt, const std::string& ursache) {
  if (zustand_ == Zustand::Verbunden && jetzt - seit_ >= kStabilSekunden) {
    // It held: this loss is news, and the next attempt comes soon.
    rueckzug_.zuruecksetzen();
    gesagt_.clear();
    verbundenGesagt_ = false;
  }
  zustand_ = Zustand::Wartet;
  naechster_ = jetzt + rueckzug_.naechster();
  if (std::find(gesagt_.begin(), gesagt_.end(), ursache) != gesagt_.end()) return {};
  if (gesagt_.size() >= 16) gesagt_.clear();  // bounded; a cause said twice is no harm
  gesagt_.push_back(ursache);
  // Said again once the broker took us and dropped us: "connected" then
  // comes again too.
  verbundenGesagt_ = false;
  return ursache;
}

}  // namespace vrd4::halle
