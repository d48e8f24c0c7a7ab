#pragma once
// Time for everything that waits, blinks, scrolls or pauses: a monotonic
// clock in seconds. It never jumps and never wraps at midnight. Tests inject
// a clock they move by hand.

namespace vrd4::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since an arbitrary fixed point, with fractions; never decreases.
  virtual double seconds() const = 0;
};

// std::chrono::steady_clock.
class SteadyClock final : public Clock {
 public:
  double seconds() const override;
};

// The process-wide steady clock.
Clock& steadyClock();

}  // namespace vrd4::platform
