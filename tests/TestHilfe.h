#pragma once
// What tests of every folder need: a command as a sending program writes it,
// a wait for what another process or thread does, the removal of the
// channel files a test made under its name prefix, the one Qt application of
// a test binary, and a free loopback port.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "channel/modVRD4GlobaleVariablen.h"

namespace vrd4::test {

// "Befehl" ESC name ESC fields…
inline std::u16string befehl(std::initializer_list<std::u16string> teile) {
  std::u16string s = u"Befehl";
  for (const auto& t : teile) s += u'\x1b' + t;
  return s;
}

// Polls until the condition holds; the limit only guards against a hang.
template <typename F>
bool warteBis(F bedingung, double sekunden = 15) {
  const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
  while (!bedingung() && std::chrono::steady_clock::now() < ende)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return bedingung();
}

inline void kanalDateienEntfernen(const std::string& praefix) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
    if (e.path().filename().string().starts_with(praefix)) std::filesystem::remove(e.path(), ec);
}

// The application object (App: QCoreApplication, QGuiApplication or
// QApplication) of a test binary.
template <class App>
struct Anwendung : ::testing::Environment {
  void SetUp() override { app = std::make_unique<App>(argc, argv); }
  void TearDown() override { app.reset(); }
  int argc = 1;
  char name[8] = "tests", *argv[2] = {name, nullptr};
  std::unique_ptr<App> app;
};
// And a channel of its own ("<praefix><pid>_"), so that parallel test binaries
// and a running receiver never meet; its objects are removed at the end.
template <class App>
struct AnwendungMitKanal : Anwendung<App> {
  explicit AnwendungMitKanal(std::string p) : praefix(std::move(p)) {}
  void SetUp() override {
    channel::setChannelNamePrefix(praefix + std::to_string(::getpid()) + "_");
    Anwendung<App>::SetUp();
  }
  void TearDown() override {
    Anwendung<App>::TearDown();
    channel::modVRD4GlobaleVariablen::removeChannelObjects();
  }
  std::string praefix;
};

inline sockaddr_in loopbackAdresse(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A loopback port nobody listens on, chosen below the kernel's range for
// outgoing connections: a port the kernel picked itself could become the
// local end of another test's connection before the server binds it.
inline uint16_t freierPort() {
  int untergrenze = 32768;
  std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> untergrenze;
  static std::mt19937 zufall(std::random_device{}() ^ unsigned(::getpid()));
  const int von = untergrenze > 12000 ? 10000 : 1024;
  for (int versuch = 0; versuch < 1000; ++versuch) {
    const auto port = uint16_t(von + int(zufall() % unsigned(std::max(1, untergrenze - von))));
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopbackAdresse(port);
    const bool frei = ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (frei) return port;
  }
  return 0;
}

}  // namespace vrd4::test
