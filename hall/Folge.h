#pragma once
// The subscriber's order: which command message runs, when a scene is
// drawn, what waits. Pure; std only; no clock.
//
//  - Until the first scene nothing runs; commands wait.
//  - A scene is drawn when none was drawn yet, when it is of another run of
//    the publisher, or when it ends past the last command drawn (commands
//    were lost: a gap, a reconnect, the publisher's full outbox). After it,
//    the waiting commands that follow it without a gap run.
//  - The command numbered one past the last drawn runs, with what waits
//    behind it without a gap; one at or below it is a duplicate (a
//    redelivery) and is dropped; one further on opens a gap: it and
//    everything after it waits for a scene that covers the gap (or for the
//    missing command).
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
  enum class Zustand { OhneSzene, Synchron, Luecke };

  // The commands to run now, in order (possibly none).
  std::vector<BefehlsNachricht> befehl(BefehlsNachricht n);
  // nullopt: ignore this scene. Otherwise draw it, then run the commands
  // returned, in order.
  std::optional<std::vector<BefehlsNachricht>> szene(uint64_t lauf, uint64_t seq);

  Zustand zustand() const { return zustand_; }
  uint64_t lauf() const { return lauf_; }
  uint64_t letzte() const { return letzte_; }  // the last command drawn
  std::size_t doppelte() const { return doppelte_; }
  std::size_t verdraengte() const { return verdraengte_; }
  std::size_t wartend() const { return wartend_.size(); }

 private:
  void warten(BefehlsNachricht n);
  std::vector<BefehlsNachricht> anschliessende();

  Zustand zustand_ = Zustand::OhneSzene;
  uint64_t lauf_ = 0, letzte_ = 0;
  std::deque<BefehlsNachricht> wartend_;  // ascending seq within one run
  std::size_t wartendBytes_ = 0;
  std::size_t doppelte_ = 0, verdraengte_ = 0;
};

}  // namespace vrd4::halle
