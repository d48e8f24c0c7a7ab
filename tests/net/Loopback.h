#pragma once
// Waiting on the event loop with a bound, and a free loopback port: shared by
// every test that talks over real sockets on 127.0.0.1.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>
#include <functional>

#include "tests/TestHilfe.h"

namespace vrd4::net::test {

// Runs the event loop until bedingung holds or ms pass. (QTest::qWaitFor
// sleeps between rounds, which throttles bulk transfers.)
inline bool warteBis(const std::function<bool()>& bedingung, int ms = 5000) {
  if (bedingung()) return true;
  QEventLoop schleife;
  QElapsedTimer uhr;
  uhr.start();
  QTimer pruefen;
  QObject::connect(&pruefen, &QTimer::timeout, [&] {
    if (bedingung() || uhr.elapsed() >= ms) schleife.quit();
  });
  pruefen.start(1);
  schleife.exec();
  return bedingung();
}
// Runs the event loop for a while (for "nothing more happens").
inline void laufen(int ms) { warteBis([] { return false; }, ms); }

using vrd4::test::freierPort;

}  // namespace vrd4::net::test
