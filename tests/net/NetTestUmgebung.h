#pragma once
// Shared pieces of the socket tests: a QCoreApplication per binary and a
// recorder of a clsSocket's events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "net/clsSocket.h"
#include "tests/net/Loopback.h"

namespace vrd4::net::test {

class QtUmgebung : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app_.reset();
  }

 private:
  int argc_ = 1;
  char* argv_[2] = {const_cast<char*>("net_tests"), nullptr};
  std::unique_ptr<QCoreApplication> app_;
};
inline auto* const g_umgebung = ::testing::AddGlobalTestEnvironment(new QtUmgebung);

// The events of one socket that the tests look at, in order ("Line", "Closed", ...).
struct Protokoll {
  std::vector<std::string> ereignisse;
  std::vector<std::u16string> zeilen;
  void an(clsSocket& s) {
    s.Connected = [this] { ereignisse.push_back("Connected"); };
    s.Closed = [this] { ereignisse.push_back("Closed"); };
    s.LineDataArrival = [this](const std::u16string& z, const QString&) {
      zeilen.push_back(z);
      ereignisse.push_back("Line");
    };
  }
  bool hat(const std::string& e) const {
    for (const auto& x : ereignisse)
      if (x == e) return true;
    return false;
  }
};

}  // namespace vrd4::net::test
