#include "platform/Clock.h"

#include <chrono>

namespace vrd4::platform {

double SteadyClock::seconds() const {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Clock& steadyClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace vrd4::platform
