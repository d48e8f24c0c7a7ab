#include "platform/Wache.h"

#include <time.h>

#include <cerrno>

namespace vrd4::platform {

namespace {

int64_t ns(const timespec& t) { return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// The next beat after ziel; after a long stall (a suspended machine) the beat
// starts again from now instead of catching up with a burst of looks.
void naechsterSchlag(timespec& ziel, int32_t intervallMs) {
  timespec jetzt{};
  clock_gettime(CLOCK_MONOTONIC, &jetzt);
  int64_t t = ns(ziel) + int64_t(intervallMs) * 1'000'000;
  if (t < ns(jetzt)) t = ns(jetzt);
  ziel.tv_sec = static_cast<time_t>(t / 1'000'000'000);
  ziel.tv_nsec = static_cast<long>(t % 1'000'000'000);
}

}  // namespace

Wache::Wache(int32_t intervallMs, Wecken wecken, Schlaf schlaf)
    : intervallMs_(intervallMs), wecken_(std::move(wecken)), schlaf_(std::move(schlaf)) {}

Wache::~Wache() {
  {
    const std::lock_guard lock(mutex_);
    ende_ = true;
    blick_ = nullptr;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

uint64_t Wache::beginnen(Blick blick) {
  Blick alt;  // destroyed outside the lock
  uint64_t nummer = 0;
  {
    const std::lock_guard lock(mutex_);
    alt = std::move(blick_);
    blick_ = std::move(blick);
    nummer = ++nummer_;
    if (!thread_.joinable()) thread_ = std::thread([this] { laufen(); });
  }
  cv_.notify_all();
  return nummer;
}

void Wache::beenden() {
  Blick weg;  // destroyed outside the lock
  const std::lock_guard lock(mutex_);
  weg = std::move(blick_);
  blick_ = nullptr;
}

bool Wache::wacht() const {
  const std::lock_guard lock(mutex_);
  return static_cast<bool>(blick_);
}

void Wache::laufen() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [this] { return ende_ || blick_; });
    if (ende_) return;
    // Armed: look on the beat until something changed or we are disarmed.
    timespec ziel{};
    clock_gettime(CLOCK_MONOTONIC, &ziel);
    while (blick_ && !ende_) {
      lock.unlock();
      if (schlaf_) {
        schlaf_();
      } else {
        naechsterSchlag(ziel, intervallMs_);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ziel, nullptr) == EINTR) {
        }
      }
      lock.lock();
      if (!blick_ || ende_) break;
      blicke_.fetch_add(1, std::memory_order_relaxed);
      // The look runs under the lock, so that beenden() can wait for it.
      if (blick_()) continue;
      Blick weg = std::move(blick_);
      blick_ = nullptr;
      const uint64_t nummer = nummer_;
      lock.unlock();
      weg = nullptr;
      wecken_(nummer);
      lock.lock();
    }
  }
}

}  // namespace vrd4::platform
