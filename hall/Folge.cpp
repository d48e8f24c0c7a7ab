#include "hall/Folge.h"

#include <algorithm>

namespace vrd4::halle {
namespace {
std::size_t groesse(const BefehlsNachricht& n) { return 64 + n.befehl.text.size() + n.befehl.bild.size(); }
}  // namespace

std::vector<BefehlsNachricht> Folge::befehl(BefehlsNachricht n) {
  if (zustand_ != Zustand::OhneSzene && n.lauf == lauf_) {
    if (n.seq <= letzte_) {
      ++doppelte_;
      return {};
    }
    // The next one runs, in step or not; after a gap, what waits behind it
    // follows as far as it goes without one.
    if (n.seq == letzte_ + 1) {
      letzte_ = n.seq;
      std::vector<BefehlsNachricht> r;
      r.push_back(std::move(n));
      zustand_ = Zustand::Synchron;
      for (auto& w : anschliessende()) r.push_back(std::move(w));
      return r;
    }
  }
  // A gap, another run, or no scene yet: wait for the scene.
  if (zustand_ == Zustand::Synchron) zustand_ = Zustand::Luecke;
  warten(std::move(n));
  return {};
}

void Folge::warten(BefehlsNachricht n) {
  // Messages of an older run than the newest waiting one are of no use.
  if (!wartend_.empty() && wartend_.back().lauf != n.lauf) {
    wartend_.clear();
    wartendBytes_ = 0;
  }
  const auto pos = std::lower_bound(wartend_.begin(), wartend_.end(), n.seq,
                                    [](const BefehlsNachricht& w, uint64_t s) { return w.seq < s; });
  if (pos != wartend_.end() && pos->seq == n.seq) {
    ++doppelte_;
    return;
  }
  wartendBytes_ += groesse(n);
  wartend_.insert(pos, std::move(n));
  while (wartend_.size() > kMaxWartend || wartendBytes_ > kMaxWartendBytes) {
    wartendBytes_ -= groesse(wartend_.front());
    wartend_.pop_front();
    ++verdraengte_;
  }
}

std::optional<std::vector<BefehlsNachricht>> Folge::szene(uint64_t lauf, uint64_t seq) {
  const bool zeichnen = zustand_ == Zustand::OhneSzene || lauf != lauf_ || seq > letzte_;
  if (!zeichnen) return std::nullopt;
  zustand_ = Zustand::Synchron;
  lauf_ = lauf;
  letzte_ = seq;
  return anschliessende();
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
      letzte_ = n.seq;
      r.push_back(std::move(n));
    }
    wartend_.pop_front();
  }
  return r;
}

}  // namespace vrd4::halle
