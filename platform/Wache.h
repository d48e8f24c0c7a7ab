#pragma once
// A watch that looks in the receiver's place while it has nothing to do: a
// thread of its own that, while armed, runs a look every interval (on a fixed
// beat, not interval after the last look) and, at the first look that finds
// something changed, ends the watch and calls its wake-up once.
//
// An idle receiver polls a hundred times a second. Most of what a poll
// costs is the kernel waking the thread that makes it; a thread that only
// looks adds next to nothing to that, the GUI thread's event loop adds its
// dispatch and the tick.
//
// Looks run on the watch's thread: a look must only read what stays valid
// while the watch is armed (beenden() returns only when no look runs), and
// must not block. The wake-up runs on the watch's thread too.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace vrd4::platform {

class Wache {
 public:
  // true: nothing has changed, look again next beat.
  using Blick = std::function<bool()>;
  // Gets the number beginnen() gave the watch that saw the change.
  using Wecken = std::function<void(uint64_t wache)>;
  // Waits until the next beat; tests inject one that returns at once.
  using Schlaf = std::function<void()>;

  // wecken is called from the watch's thread. schlaf empty: the real beat of
  // intervallMs milliseconds. The thread starts at the first beginnen().
  Wache(int32_t intervallMs, Wecken wecken, Schlaf schlaf = {});
  ~Wache();  // ends the watch and joins its thread
  Wache(const Wache&) = delete;
  Wache& operator=(const Wache&) = delete;

  // Arms the watch with blick (replacing an earlier one); the first look
  // runs at the next beat. Returns the watch's number (1, 2, ...).
  uint64_t beginnen(Blick blick);
  // Disarms; returns when no look runs any more, and the look is gone.
  void beenden();
  bool wacht() const;
  // Looks run since the last call.
  int32_t blickeNehmen() { return blicke_.exchange(0, std::memory_order_relaxed); }

 private:
  void laufen();

  const int32_t intervallMs_;
  const Wecken wecken_;
  const Schlaf schlaf_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  Blick blick_;  // empty: disarmed
  uint64_t nummer_ = 0;
  bool ende_ = false;
  std::atomic<int32_t> blicke_{0};
  std::thread thread_;
};

}  // namespace vrd4::platform
