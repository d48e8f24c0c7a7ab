// A TCP line between two loopback ports that the test can cut and mend: the
// link between two buildings. Every connection to port() goes on to the
// target; trennen() closes them all and refuses new ones until
// verbinden(). Std and POSIX only; one thread of its own.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tests/TestHilfe.h"

namespace vrd4::halle::test {

class TcpStrecke {
 public:
  explicit TcpStrecke(uint16_t ziel) : ziel_(ziel), port_(vrd4::test::freierPort()) {
    verbinden();
    faden_ = std::thread([this] { laufen(); });
  }
  ~TcpStrecke() {
    ende_ = true;
    faden_.join();
    trennen();
  }
  TcpStrecke(const TcpStrecke&) = delete;
  TcpStrecke& operator=(const TcpStrecke&) = delete;

  uint16_t port() const { return port_; }
  // Closes every connection and the listening socket: whoever connects now
  // is refused.
  void trennen() {
    std::lock_guard lock(m_);
    for (auto& [a, b] : paare_) {
      ::close(a);
      ::close(b);
    }
    paare_.clear();
    if (lausch_ >= 0) ::close(lausch_);
    lausch_ = -1;
  }
  // Listens again on the same port.
  void verbinden() {
    std::lock_guard lock(m_);
    if (lausch_ >= 0) return;
    lausch_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int ja = 1;
    ::setsockopt(lausch_, SOL_SOCKET, SO_REUSEADDR, &ja, sizeof ja);
    const sockaddr_in a = vrd4::test::loopbackAdresse(port_);
    if (::bind(lausch_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(lausch_, 16) != 0) {
      ::close(lausch_);
      lausch_ = -1;
    }
  }

 private:
  void laufen() {
    char puffer[65536];
    while (!ende_) {
      std::vector<pollfd> fds;
      {
        std::lock_guard lock(m_);
        if (lausch_ >= 0) fds.push_back({lausch_, POLLIN, 0});
        for (auto& [a, b] : paare_) {
          fds.push_back({a, POLLIN, 0});
          fds.push_back({b, POLLIN, 0});
        }
      }
      if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
      std::lock_guard lock(m_);
      for (const pollfd& p : fds) {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        if (p.fd == lausch_) {
          const int drinnen = ::accept4(lausch_, nullptr, nullptr, SOCK_CLOEXEC);
          const int draussen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
          const sockaddr_in z = vrd4::test::loopbackAdresse(ziel_);
          if (drinnen >= 0 && ::connect(draussen, reinterpret_cast<const sockaddr*>(&z), sizeof z) == 0) {
            paare_.emplace_back(drinnen, draussen);
          } else {
            if (drinnen >= 0) ::close(drinnen);
            ::close(draussen);
          }
          continue;
        }
        // One side of a pair that is still there: its bytes go to the other.
        for (auto it = paare_.begin(); it != paare_.end(); ++it) {
          if (it->first != p.fd && it->second != p.fd) continue;
          const int nach = it->first == p.fd ? it->second : it->first;
          const ssize_t n = ::read(p.fd, puffer, sizeof puffer);
          bool gut = n > 0;
          for (ssize_t fort = 0; gut && fort < n;) {
            const ssize_t w = ::write(nach, puffer + fort, static_cast<std::size_t>(n - fort));
            gut = w > 0;
            fort += gut ? w : 0;
          }
          if (!gut) {
            ::close(it->first);
            ::close(it->second);
            paare_.erase(it);
          }
          break;
        }
      }
    }
  }

  uint16_t ziel_, port_;
  std::mutex m_;
  int lausch_ = -1;
  std::vector<std::pair<int, int>> paare_;
  std::atomic<bool> ende_{false};
  std::thread faden_;
};

}  // namespace vrd4::halle::test
