#include "hall/Folge.h"

#include <algorithm>

namespace vrd4::halle {
namespace {
std::size_t groesse(const BefehlsNachricht& n) { return 64 + n.befehl.text.size() + n.befehl.bild.size(); }
}  // namespace

Folge::Ergebnis Folge::befehl(BefehlsNachricht n) {
  Ergebnis r;
  if (zustand_ != Zustand::OhneSzene && n.lauf == lauf_) {
    if (n.seq <= letzte_) {
      // Its content is known while its number is among the last drawn.
      const uint64_t zurueck = letzte_ - n.seq;
      const bool anders = zurueck < pruefsummen_.size() &&
                          pruefsummen_[pruefsummen_.size() - 1 - zurueck] != n.pruefsumme;
      r.urteil = anders ? Urteil::Abweichend : Urteil::Doppelt;
      if (!anders) ++doppelte_;
      return r;
    }
    if (n.seq - letzte_ > kFenster) {
      r.urteil = Urteil::Ausserhalb;
      return r;
    }
    // The next one runs, in step or not; after a gap, what waits behind it
    // follows as far as it goes without one.
    if (n.seq == letzte_ + 1) {
      // A stranger's other content under this number may be waiting: the
      // one that came first stays.
      if (!wartend_.empty() && wartend_.front().lauf == n.lauf && wartend_.front().seq == n.seq) {
        r.urteil = wartend_.front().pruefsumme == n.pruefsumme ? Urteil::Doppelt : Urteil::Abweichend;
        if (r.urteil == Urteil::Doppelt) ++doppelte_;
        return r;
      }
      gezeichnet(n);
      r.laufen.push_back(std::move(n));
      zustand_ = Zustand::Synchron;
      for (auto& w : anschliessende()) r.laufen.push_back(std::move(w));
      r.urteil = Urteil::Laeuft;
      return r;
    }
  }
  // A gap, another run, or no scene yet: wait for the scene.
  if (zustand_ == Zustand::Synchron && n.lauf == lauf_) zustand_ = Zustand::Luecke;
  r.urteil = warten(std::move(n));
  return r;
}

void Folge::gezeichnet(const BefehlsNachricht& n) {
  letzte_ = n.seq;
  pruefsummen_.push_back(n.pruefsumme);
  if (pruefsummen_.size() > kFenster) pruefsummen_.pop_front();
}

Folge::Urteil Folge::warten(BefehlsNachricht n) {
  // Messages of an older run than the newest waiting one are of no use.
  if (!wartend_.empty() && wartend_.back().lauf != n.lauf) {
    wartend_.clear();
    wartendBytes_ = 0;
  }
  const auto pos = std::lower_bound(wartend_.begin(), wartend_.end(), n.seq,
                                    [](const BefehlsNachricht& w, uint64_t s) { return w.seq < s; });
  if (pos != wartend_.end() && pos->seq == n.seq) {
    if (pos->pruefsumme != n.pruefsumme) return Urteil::Abweichend;
    ++doppelte_;
    return Urteil::Doppelt;
  }
  wartendBytes_ += groesse(n);
  wartend_.insert(pos, std::move(n));
  while (wartend_.size() > kMaxWartend || wartendBytes_ > kMaxWartendBytes) {
    wartendBytes_ -= groesse(wartend_.front());
    wartend_.pop_front();
    ++verdraengte_;
  }
  return Urteil::Wartet;
}

Folge::Ergebnis Folge::szene(uint64_t lauf, uint64_t seq) {
  Ergebnis r;
  if (zustand_ != Zustand::OhneSzene && lauf == lauf_ && seq <= letzte_) {
    r.urteil = seq == letzte_ ? Urteil::Gleich : Urteil::Aelter;
    return r;
  }
  zustand_ = Zustand::Synchron;
  lauf_ = lauf;
  letzte_ = seq;
  pruefsummen_.clear();  // what the scene holds is known as a whole only
  r.urteil = Urteil::Gezeichnet;
  r.laufen = anschliessende();
  return r;
}

std::vector<BefehlsNachricht> Folge::anschliessende() {
  std::vector<BefehlsNachricht> r;
  while (!wartend_.empty()) {
    BefehlsNachricht& n = wartend_.front();
    if (n.lauf == lauf_ && n.seq > letzte_ + 1) {
      zustand_ = Zustand::Luecke;
      break;
    }
    const bool passt = n.lauf == lauf_ && n.seq == letzte_ + 1;
    wartendBytes_ -= groesse(n);
    if (passt) {
      gezeichnet(n);
      r.push_back(std::move(n));
    }
    wartend_.pop_front();
  }
  return r;
}

}  // namespace vrd4::halle
