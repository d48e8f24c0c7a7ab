#include "hall/Herkunft.h"

#include <algorithm>

#include "hall/Nachricht.h"

namespace vrd4::halle {

void Herkunft::neuerLauf(uint64_t lauf) {
  if (alteLaeufe_.size() >= kAlteLaeufe) alteLaeufe_.erase(alteLaeufe_.begin());
  alteLaeufe_.push_back(lauf_);
  lauf_ = lauf;
  seq_ = 0;
  befehle_.clear();
  szenen_.clear();
}

void Herkunft::befehl(std::optional<uint64_t> pruefsumme) {
  ++seq_;
  befehle_.push_back(pruefsumme);
  if (befehle_.size() > kBefehle) befehle_.pop_front();
}

void Herkunft::szene(uint64_t pruefsumme) {
  szenen_.push_back(pruefsumme);
  if (szenen_.size() > kSzenen) szenen_.pop_front();
}

std::optional<uint64_t> Herkunft::letzteSzene() const {
  if (szenen_.empty()) return std::nullopt;
  return szenen_.back();
}

bool Herkunft::alterLauf(uint64_t lauf) const {
  return std::find(alteLaeufe_.begin(), alteLaeufe_.end(), lauf) != alteLaeufe_.end();
}

Herkunft::Urteil Herkunft::befehlGesehen(std::string_view payload) const {
  const auto k = kopfLesen(payload);
  if (!k || k->art != 'B') return Urteil::Fremd;
  if (k->lauf != lauf_) return alterLauf(k->lauf) ? Urteil::Alt : Urteil::Fremd;
  if (k->seq == 0 || k->seq > seq_) return Urteil::FremdImLauf;
  const uint64_t zurueck = seq_ - k->seq;
  if (zurueck >= befehle_.size()) return Urteil::Alt;
  const auto& gesendet = befehle_[befehle_.size() - 1 - zurueck];
  return gesendet && *gesendet == pruefsumme(payload.substr(k->inhalt)) ? Urteil::Eigen : Urteil::FremdImLauf;
}

Herkunft::Urteil Herkunft::szeneGesehen(std::string_view payload, bool behalten) const {
  const uint64_t p = pruefsumme(payload);
  if (std::find(szenen_.begin(), szenen_.end(), p) != szenen_.end()) return Urteil::Eigen;
  const auto k = kopfLesen(payload);
  const Urteil fremd = behalten ? Urteil::Alt : Urteil::Fremd;
  if (!k || k->art != 'S') return fremd;
  // One of the current run that ends before the last number is redrawn by
  // no board in step, and the next scene sent covers it for one that
  // joins; one that ends at or past it would stay.
  if (k->lauf == lauf_) return k->seq < seq_ ? fremd : Urteil::FremdImLauf;
  return alterLauf(k->lauf) ? Urteil::Alt : fremd;
}

}  // namespace vrd4::halle
