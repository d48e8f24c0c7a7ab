#pragma once
// A timer without an operating-system timer: while enabled it runs a loop on
// the caller's thread — sleep the interval, raise Timer, process every
// pending Qt event — and so is the thread's event pump for as long as it
// runs. Enabled(true) returns only when the loop has ended.
//
// Handlers run from the loop (Timer, or any event processed in it) may call
// Enabled and IntervalSetzen on the same timer and may even destroy it; the
// loop on the stack then ends after its current round.
#include <cstdint>
#include <functional>
#include <memory>

namespace vrd4::support {

class clsWBTimer {
 public:
  // Sleeps the given milliseconds (>= 0). Tests inject one that only records.
  // A sleeper may process events while it waits; when one of them stops or
  // destroys the timer, the loop ends without raising Timer.
  using Sleeper = std::function<void(int32_t ms)>;

  // sleeper empty: the real sleep of the thread. sleeperRuntEreignisse: the
  // sleeper waits in the event loop and so runs the events a tick left as
  // well; the loop then does not run them itself after Timer (one wait a
  // round instead of a wait and a look).
  explicit clsWBTimer(Sleeper sleeper = {}, bool sleeperRuntEreignisse = false);
  ~clsWBTimer();  // interval 0, not running
  clsWBTimer(const clsWBTimer&) = delete;
  clsWBTimer& operator=(const clsWBTimer&) = delete;

  // Milliseconds slept before each tick (negative counts as 0). 0 also
  // stops the loop after its current round; any other value only changes the
  // sleep of the next round.
  void IntervalSetzen(int32_t ms);
  int32_t Interval() const;

  // Same value as before: nothing. true while no loop runs: enters the tick
  // loop inside this call. true while a loop runs: nothing more. false: the
  // running loop ends after its current round.
  void Enabled(bool vData);
  bool Enabled() const;
  bool running() const;

  // The event, raised once per round; may be empty.
  std::function<void()> Timer;

 private:
  struct State;
  void tickLoop();
  std::shared_ptr<State> s_;
};

}  // namespace vrd4::support
