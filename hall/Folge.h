#pragma once
// The subscriber's order: which command message runs, when a scene is
// drawn, what waits, and what is dropped. Pure; std only; no clock.
//
//  - Until the first scene nothing runs; commands wait.
//  - A scene is drawn when none was drawn yet, when it is of another run of
//    the publisher, or when it ends past the last command drawn (commands
//    were lost: a gap, a reconnect, the publisher's full outbox). After it,
//    the waiting commands that follow it without a gap run. One of the same
//    run that ends before the last command drawn is older than the board
//    and is dropped (Aelter); one that ends there is the board in step.
//  - The command numbered one past the last drawn runs, with what waits
//    behind it without a gap. One at or below it is a duplicate: the same
//    content again (a redelivery) is dropped quietly (Doppelt), other
//    content under a number already taken is a stranger's and is dropped
//    (Abweichend). One further on opens a gap: it and everything after it
//    waits for a scene that covers the gap (or for the missing command).
//  - Only numbers up to kFenster past the last drawn are taken: one beyond
//    (a stranger's jump towards 2^64, which would make every real command a
//    duplicate) is dropped (Ausserhalb); no arithmetic wraps.
//  - At most kMaxWartend messages and kMaxWartendBytes wait; past either the
//    oldest goes (the scene that closes the gap brings it back).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "hall/Nachricht.h"

namespace vrd4::halle {

class Folge {
 public:
  static constexpr std::size_t kMaxWartend = 4096;
  static constexpr std::size_t kMaxWartendBytes = std::size_t{64} << 20;
  static constexpr uint64_t kFenster = kMaxWartend;
  enum class Zustand { OhneSzene, Synchron, Luecke };

  // What became of a message.
  enum class Urteil {
    Laeuft,      // runs now (with what followed it)
    Wartet,      // waits: a gap, another run, or no scene yet
    Doppelt,     // already drawn or waiting, same content: dropped quietly
    Abweichend,  // a number already drawn or waiting, other content: dropped
    Ausserhalb,  // more than kFenster past the last drawn: dropped
    Gleich,      // a scene that ends at the last drawn: the board is in step
    Aelter,      // a scene of this run that ends before the last drawn: dropped
    Gezeichnet,  // a scene to draw
  };
  struct Ergebnis {
    Urteil urteil = Urteil::Wartet;
    std::vector<BefehlsNachricht> laufen;  // to run now, in order (after the scene, for one)
  };

  Ergebnis befehl(BefehlsNachricht n);
  // Gezeichnet: draw the scene, then run `laufen`, in order. Anything else:
  // ignore the scene.
  Ergebnis szene(uint64_t lauf, uint64_t seq);

  Zustand zustand() const { return zustand_; }
  uint64_t lauf() const { return lauf_; }
  uint64_t letzte() const { return letzte_; }  // the last command drawn
  std::size_t doppelte() const { return doppelte_; }
  std::size_t verdraengte() const { return verdraengte_; }
  std::size_t wartend() const { return wartend_.size(); }

 private:
  Urteil warten(BefehlsNachricht n);
  void gezeichnet(const BefehlsNachricht& n);
  std::vector<BefehlsNachricht> anschliessende();

  Zustand zustand_ = Zustand::OhneSzene;
  uint64_t lauf_ = 0, letzte_ = 0;
  std::deque<BefehlsNachricht> wartend_;  // ascending seq within one run
  std::size_t wartendBytes_ = 0;
  // The checksums of the last commands drawn, for numbers letzte_ -
  // size() + 1 .. letzte_ (none from before the last scene).
  std::deque<uint64_t> pruefsummen_;
  std::size_t doppelte_ = 0, verdraengte_ = 0;
};

}  // namespace vrd4::halle
