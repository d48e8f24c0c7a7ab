// A Debian mosquitto broker of the test's own on a free loopback port, with
// its own config in a temporary folder; stopped with the object. For the
// hall's end-to-end tests and benchmarks.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/TestHilfe.h"

extern char** environ;

namespace vrd4::halle::test {

// The broker program, or empty when mosquitto is not installed.
inline std::string mosquittoProgramm() {
  for (const char* p : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto", "/usr/local/sbin/mosquitto"})
    if (::access(p, X_OK) == 0) return p;
  return {};
}

using vrd4::test::freierPort;
using vrd4::test::loopbackAdresse;

class MosquittoBroker {
 public:
  // extra: more config lines (TLS, passwords).
  explicit MosquittoBroker(std::string extra = "") : port_(freierPort()) {
    char muster[] = "/tmp/vrd4_broker_XXXXXX";
    ordner_ = ::mkdtemp(muster) ? muster : "/tmp";
    konfigurieren(extra);
  }
  // The config for the next start: a listener on its port, then `extra`.
  void konfigurieren(const std::string& extra) {
    std::ofstream(ordner_ + "/mosquitto.conf") << "listener " << port_ << " 127.0.0.1\n"
                                               << (extra.empty() ? "allow_anonymous true\n" : extra)
                                               << "\npersistence false\nlog_dest none\nset_tcp_nodelay true\n";
  }
  // A config file of the caller's own (its listener on port()); nothing
  // added.
  void konfigDatei(const std::string& inhalt) { std::ofstream(ordner_ + "/mosquitto.conf") << inhalt; }
  ~MosquittoBroker() {
    stoppen();
    std::error_code ec;
    std::filesystem::remove_all(ordner_, ec);
  }
  MosquittoBroker(const MosquittoBroker&) = delete;
  MosquittoBroker& operator=(const MosquittoBroker&) = delete;

  // Starts it and waits (up to 10 s) until it accepts connections.
  bool starten() {
    const std::string programm = mosquittoProgramm();
    if (programm.empty()) return false;
    std::string conf = ordner_ + "/mosquitto.conf";
    std::string c = "-c";
    char* argv[] = {const_cast<char*>(programm.c_str()), c.data(), conf.data(), nullptr};
    // Its output does not hold the caller's pipes open.
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
    const int rc = ::posix_spawn(&pid_, programm.c_str(), &aktionen, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&aktionen);
    if (rc != 0) return false;
    return vrd4::test::warteBis([this] {
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      const sockaddr_in a = loopbackAdresse(port_);
      const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
      ::close(fd);
      return ok;
    }, 10);
  }
  void stoppen(int signal = SIGTERM) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::kill(pid_, SIGCONT);  // one held ends too
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Held (SIGSTOP) or let go on (SIGCONT): a broker that does not answer.
  void anhalten(bool an) {
    if (pid_ > 0) ::kill(pid_, an ? SIGSTOP : SIGCONT);
  }
  uint16_t port() const { return port_; }
  const std::string& ordner() const { return ordner_; }
  std::string url(const std::string& pfad) const {
    return "mqtt://127.0.0.1:" + std::to_string(port_) + "/" + pfad;
  }

 private:
  uint16_t port_;
  std::string ordner_;
  pid_t pid_ = -1;
};

}  // namespace vrd4::halle::test
