// The forwarding client against peers on loopback, with a clock moved by
// hand: losses, the back-off, the catch-up, the reply deadline, the queue.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "net/Weiterleitung.h"
#include "tests/net/NetTestUmgebung.h"

namespace vrd4::net::test {
namespace {

using namespace Qt::StringLiterals;

using vrd4::test::befehl;

struct Uhr : platform::Clock {
  double seconds() const override { return t; }
  double t = 1000.0;
};

class Weiter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    port = server.serverPort();
    w.StatusEintrag = [this](const QString& s) { status.push_back(s); };
    w.Ereignis = [this](const QString& art, const QString& m) { ereignisse.push_back(art + u": "_s + m); };
    w.Antwort = [this](bool ok) { antworten += ok ? "+" : "-"; };
  }
  // The peer's side of the connection once the client is connected.
  std::unique_ptr<QTcpSocket> verbunden() {
    EXPECT_TRUE(warteBis([&] { return w.isOpen() && server.hasPendingConnections(); }));
    return std::unique_ptr<QTcpSocket>(server.nextPendingConnection());
  }
  static QList<QByteArray> zeilen(QTcpSocket& s, int n) {
    QList<QByteArray> a;
    warteBis([&] {
      while (s.canReadLine()) a.push_back(s.readLine().chopped(2));
      return a.size() >= n;
    });
    return a;
  }
  QString ziel() const { return u"127.0.0.1:"_s + QString::number(port); }

  Uhr uhr;
  Weiterleitung w{u"Client2"_s, uhr};
  QTcpServer server;
  quint16 port = 0;
  std::vector<QString> status, ereignisse;
  std::string antworten;
};

TEST_F(Weiter, ALostPeerIsReportedOnceRetriedWithDoublingWaitsAndCaughtUpOnReturn) {
  w.Nachholen = [] { return std::vector<std::u16string>{befehl({u"Cls"}), befehl({u"Linie", u"1"})}; };
  w.verbinden(u"127.0.0.1"_s, port);
  auto peer = verbunden();
  for (int i = 0; i < 3; ++i) w.senden(befehl({u"Rechteck", std::u16string(1, char16_t(u'0' + i))}));
  EXPECT_EQ(w.offeneQuittungen(), 3u) << "pipelined: nothing waits for a reply before sending on";
  ASSERT_EQ(zeilen(*peer, 3).size(), 3);
  peer->write("OK\r\nOK\r\nNEIN\r\n");
  EXPECT_TRUE(warteBis([&] { return w.offeneQuittungen() == 0; }));
  EXPECT_EQ(antworten, "++-");

  // The peer dies: reported at once, by name, and only once while the
  // attempts fail.
  server.close();
  peer->abort();
  peer.reset();
  ASSERT_TRUE(warteBis([&] { return w.zustand() == Weiterleitung::Zustand::Wartet; }));
  const QString verlust = u"Client2: Verbindung zu "_s + ziel() + u" verloren (Gegenstelle hat getrennt)"_s;
  EXPECT_EQ(status, std::vector<QString>{verlust});
  EXPECT_EQ(ereignisse, std::vector<QString>{u"BefehlFehler: "_s + verlust});
  w.senden(befehl({u"Cls"}));  // dropped while lost

  for (double wartezeit : {0.5, 1.0, 2.0, 4.0, 5.0, 5.0}) {
    SCOPED_TRACE(wartezeit);
    uhr.t += wartezeit - 0.01;
    w.takten();
    EXPECT_EQ(w.zustand(), Weiterleitung::Zustand::Wartet) << "not before the wait is over";
    uhr.t += 0.01;
    w.takten();
    EXPECT_EQ(w.zustand(), Weiterleitung::Zustand::Verbindet);
    ASSERT_TRUE(warteBis([&] { return w.zustand() == Weiterleitung::Zustand::Wartet; }));
  }
  EXPECT_EQ(status, std::vector<QString>{verlust}) << "the failing attempts say nothing";

  // The peer is back but hangs (its kernel accepts, nobody answers the
  // probe): nothing of the catch-up goes to it, and it counts as lost.
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
  const auto naechsterVersuch = [&] {  // the peer sees the probe first
    uhr.t += 5.0;
    w.takten();
    ASSERT_TRUE(warteBis([&] { return server.hasPendingConnections(); }));
    peer.reset(server.nextPendingConnection());
    EXPECT_EQ(zeilen(*peer, 1), QList<QByteArray>{QString::fromStdU16String(std::u16string(Weiterleitung::kProbe)).toLatin1()});
  };
  naechsterVersuch();
  uhr.t += Weiterleitung::kQuittungsFrist + 0.01;
  w.takten();
  EXPECT_EQ(w.zustand(), Weiterleitung::Zustand::Wartet);
  laufen(200);
  EXPECT_FALSE(peer->canReadLine()) << "no catch-up behind an unanswered probe";

  // It answers now: the catch-up goes first, then the live lines.
  naechsterVersuch();
  w.senden(befehl({u"Cls"}));  // dropped: not yet caught up
  peer->write("OK\r\n");
  ASSERT_TRUE(warteBis([&] { return w.isOpen(); }));
  w.senden(befehl({u"Textausgabe", u"live"}));
  EXPECT_EQ(zeilen(*peer, 3), (QList<QByteArray>{"Befehl\x1b" "Cls", "Befehl\x1bLinie\x1b" "1",
                                                 "Befehl\x1bTextausgabe\x1blive"}));
  EXPECT_EQ(status.back(), u"Client2: Verbindung zu "_s + ziel() + u" wiederhergestellt"_s);

  w.trennen();
  EXPECT_TRUE(warteBis([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
  uhr.t += 10;
  w.takten();
  EXPECT_FALSE(w.aktiv()) << "no attempt after trennen";
}

TEST_F(Weiter, AMissingOkAfterFourSecondsSinceTheLastReplyIsATimeOutAndALoss) {
  w.verbinden(u"127.0.0.1"_s, port);
  auto peer = verbunden();
  w.senden(befehl({u"Linie", u"1"}));
  w.senden(u"nur Text"_s.toStdU16String());     // no reply due
  w.senden(befehl({u"Unbekannt"}));             // no reply due either
  w.senden(befehl({u"Rechteck", u"1"}));
  EXPECT_EQ(w.offeneQuittungen(), 2u);
  ASSERT_EQ(zeilen(*peer, 4).size(), 4);

  uhr.t += 3.0;
  peer->write("OK\r\n");
  ASSERT_TRUE(warteBis([&] { return w.offeneQuittungen() == 1; }));
  uhr.t += 4.0;  // 7 s after sending, 4 s after the last reply
  w.takten();
  EXPECT_TRUE(w.isOpen()) << "a peer that answers keeps its deadline moving";
  uhr.t += 0.01;
  w.takten();
  EXPECT_EQ(w.zustand(), Weiterleitung::Zustand::Wartet);
  // The time-out is the event a sender reads; the loss is in the status list
  // only, so that it does not overwrite the time-out in the same instant.
  EXPECT_EQ(ereignisse, (std::vector<QString>{u"BefehlFehler: Rechteck - Timeout überschritten!"_s}));
  EXPECT_EQ(status.back(), u"Client2: Verbindung zu "_s + ziel() + u" verloren (keine Antwort)"_s);
}

// A quiet client wakes the event loop only when something is due: never
// while connected with nothing unanswered, once at the reply deadline, once
// at the next attempt while the peer is away.
TEST_F(Weiter, AQuietClientWakesTheLoopOnlyAtItsNextDeadline) {
  constexpr double nie = support::Frist::kNie;
  EXPECT_EQ(w.naechsteFrist(), nie) << "not started";
  w.verbinden(u"127.0.0.1"_s, port);
  auto peer = verbunden();
  EXPECT_EQ(w.naechsteFrist(), nie) << "connected, nothing unanswered";
  w.senden(befehl({u"Linie", u"1"}));
  const double gesendet = uhr.t;
  EXPECT_NEAR(w.naechsteFrist(), gesendet + Weiterleitung::kQuittungsFrist, 0.01) << "the reply deadline";
  uhr.t += 1.0;
  w.senden(befehl({u"Linie", u"2"}));
  EXPECT_NEAR(w.naechsteFrist(), gesendet + Weiterleitung::kQuittungsFrist, 0.01) << "still the oldest line's";
  ASSERT_EQ(zeilen(*peer, 2).size(), 2);
  peer->write("OK\r\nOK\r\n");
  ASSERT_TRUE(warteBis([&] { return w.offeneQuittungen() == 0; }));
  w.takten();
  EXPECT_EQ(w.naechsteFrist(), nie) << "everything answered";

  server.close();
  peer->abort();
  ASSERT_TRUE(warteBis([&] { return w.zustand() == Weiterleitung::Zustand::Wartet; }));
  EXPECT_NEAR(w.naechsteFrist(), uhr.t + Weiterleitung::kErsteWartezeit, 0.01) << "the next attempt";
  w.trennen();
  EXPECT_EQ(w.naechsteFrist(), nie) << "disconnected";
}

TEST_F(Weiter, AHungPeerCostsAtMostTheQueueBoundThenCountsAsLost) {
  server.pauseAccepting();  // connections complete in the kernel, nobody reads
  w.verbinden(u"127.0.0.1"_s, port);
  ASSERT_TRUE(warteBis([&] { return w.isOpen(); }));
  const std::string zeile(std::size_t{1} << 20, 'A');
  int gesendet = 0;
  while (w.isOpen() && gesendet < 200) {
    w.sendenAnsi(zeile);
    ++gesendet;
    EXPECT_LE(w.warteschlange(), Weiterleitung::kMaxWarteschlange + std::int64_t(zeile.size()) + 2);
  }
  EXPECT_EQ(w.warteschlange(), 0) << "the queue is freed with the connection";
  EXPECT_TRUE(status.back().endsWith(u" verloren (Sendepuffer voll)"_s)) << status.back().toStdString();
}

}  // namespace
}  // namespace vrd4::net::test
