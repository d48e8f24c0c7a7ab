#include "support/clsWBTimer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <thread>

namespace vrd4::support {

// Shared with every loop on the stack, so that a handler may destroy the
// timer while its loop is still running: the loop then finds running false
// in a state that is still alive.
struct clsWBTimer::State {
  int32_t interval = 0;
  bool enabled = false;
  bool running = false;
  bool sleeperRuntEreignisse = false;
  Sleeper sleeper;
};

clsWBTimer::clsWBTimer(Sleeper sleeper, bool sleeperRuntEreignisse) : s_(std::make_shared<State>()) {
  s_->sleeperRuntEreignisse = sleeper && sleeperRuntEreignisse;
  if (sleeper) {
    s_->sleeper = std::move(sleeper);
  } else {
    s_->sleeper = [](int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  }
}

clsWBTimer::~clsWBTimer() {
  s_->interval = 0;
  s_->running = false;
}

void clsWBTimer::IntervalSetzen(int32_t ms) {
  s_->interval = ms < 0 ? 0 : ms;
  if (s_->interval == 0) {
    s_->enabled = false;
    s_->running = false;
  }
}

int32_t clsWBTimer::Interval() const { return s_->interval; }

void clsWBTimer::Enabled(bool vData) {
  if (vData == s_->enabled) return;
  s_->enabled = vData;
  if (!vData) {
    s_->running = false;
    return;
  }
  if (s_->running) return;
  s_->running = true;
  tickLoop();
}

bool clsWBTimer::Enabled() const { return s_->enabled; }
bool clsWBTimer::running() const { return s_->running; }

void clsWBTimer::tickLoop() {
  // A handler may destroy this timer; its destructor clears running in the
  // shared state, so `this` is touched only while running is still true.
  std::shared_ptr<State> st = s_;
  while (st->running) {
    st->sleeper(st->interval);
    // A sleeper may run events itself, and one of them may have stopped or
    // destroyed the timer.
    if (!st->running) break;
    if (Timer) {
      std::function<void()> handler = Timer;  // survives a reassignment inside
      handler();
    }
    if (!st->sleeperRuntEreignisse && QCoreApplication::instance())
      QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

}  // namespace vrd4::support
