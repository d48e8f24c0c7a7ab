#pragma once
// Shared pieces of the socket tests: the QCoreApplication of the binary and a
// recorder of a clsSocket's events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <string>
#include <vector>

#include "net/clsSocket.h"
#include "tests/TestHilfe.h"
#include "tests/net/Loopback.h"

namespace vrd4::net::test {

inline auto* const g_umgebung = ::testing::AddGlobalTestEnvironment(new vrd4::test::Anwendung<QCoreApplication>);

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
  bool hat(const std::string& e) const { return std::ranges::find(ereignisse, e) != ereignisse.end(); }
};

}  // namespace vrd4::net::test
