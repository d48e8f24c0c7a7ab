// A start that must wait for something outside (another board on the
// channel): the service manager is told, so that it neither gives up on the
// start nor restarts the unit in a burst meanwhile.
#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/Systemd.h"

namespace vrd4::platform::systemd {

bool startAufschieben(const std::function<bool()>& dauert, const std::string& status, double hoechstens,
                      double intervall) {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  if (!socket || !*socket) return false;
  using Uhr = std::chrono::steady_clock;
  const auto start = Uhr::now();
  const auto schritt = std::chrono::duration<double>(intervall);
  // The start time-out moves on by three steps each step: a lost message
  // costs nothing, a process that stops looking is given up soon after.
  const std::string nachricht = "EXTEND_TIMEOUT_USEC=" +
                                std::to_string(static_cast<unsigned long long>(intervall * 3e6)) + "\nSTATUS=" + status;
  while (dauert()) {
    if (Uhr::now() - start >= std::chrono::duration<double>(hoechstens)) return false;
    sd_notify(0, nachricht.c_str());
    std::this_thread::sleep_for(schritt);
  }
  return true;
}

}  // namespace vrd4::platform::systemd
