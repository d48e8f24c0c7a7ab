// clsSocket on real sockets, on 127.0.0.1 only and on ports the system
// picks.
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <cerrno>

#include "NetTestUmgebung.h"
#include "net/modSocket.h"

namespace vrd4::net::test {
namespace {

constexpr int sckClosed = clsSocket::sckClosed;
constexpr int sckConnected = clsSocket::sckConnected;

// A clsSocket accepted by a listening clsSocket, and a plain Qt socket as
// the peer on the other end.
struct Verbindung {
  clsSocket server;
  std::unique_ptr<clsSocket> sck = std::make_unique<clsSocket>();
  QTcpSocket peer;
  Protokoll p;
  int anfragen = 0;

  void oeffnen() {
    server.Listen();
    ASSERT_EQ(server.State(), clsSocket::sckListening);
    server.ConnectionRequest = [this] { ++anfragen; };
    peer.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server.LocalPort));
    ASSERT_TRUE(warteBis([this] { return anfragen == 1; }));
    p.an(*sck);
    sck->Accept(server);
    ASSERT_EQ(sck->State(), sckConnected);
    ASSERT_TRUE(warteBis([this] { return peer.state() == QAbstractSocket::ConnectedState; }));
  }
  void senden(const QByteArray& b) { peer.write(b), peer.flush(); }
};

TEST(Socket, LinesArriveAsSentConvertedAndTheRestOnClose) {
  QTcpServer gegenstelle;
  ASSERT_TRUE(gegenstelle.listen(QHostAddress::LocalHost, 0));
  clsSocket c;
  Protokoll p;
  p.an(c);
  c.Connect(QStringLiteral("127.0.0.1"), gegenstelle.serverPort());
  ASSERT_TRUE(warteBis([&] { return c.State() == sckConnected; }));
  EXPECT_EQ(p.ereignisse, std::vector<std::string>{"Connected"});
  ASSERT_TRUE(warteBis([&] { return gegenstelle.hasPendingConnections(); }));
  QTcpSocket* peer = gegenstelle.nextPendingConnection();

  // On the wire: Windows-1252, the separator appended to texts only.
  c.SendData(QStringLiteral("OK"));
  c.SendData(u"Ä€");
  c.SendData(std::uint8_t{7});
  const std::uint8_t roh[] = {0, 1, 0xFF};
  c.SendData(std::span<const std::uint8_t>(roh));
  QByteArray draht;
  warteBis([&] { return (draht += peer->readAll()).size() >= 12; });
  EXPECT_EQ(draht, QByteArray("OK\r\n\xC4\x80\r\n\x07\x00\x01\xFF", 12));

  // The peer's Windows-1252 becomes text (splitting lines: ZeilenpufferTest).
  peer->write("ABC\r\nGr\xFC\xDF" "e \x80\r\nF");
  peer->disconnectFromHost();
  ASSERT_TRUE(warteBis([&] { return p.hat("Closed"); }));
  EXPECT_EQ(p.zeilen, (std::vector<std::u16string>{u"ABC", u"Grüße €", u"F"}));
  EXPECT_EQ(c.State(), sckClosed);
}

TEST(Socket, HandlersMayReplyDisconnectOrDestroyTheirOwnInstance) {
  {
    Verbindung v;
    ASSERT_NO_FATAL_FAILURE(v.oeffnen());
    v.sck->LineDataArrival = [&](const std::u16string& z, const QString&) {
      v.p.zeilen.push_back(z);
      if (z == u"Hallo") v.sck->SendData(u"OK");
      if (z == u"Ende") v.sck->Disconnect();
    };
    v.senden("Hallo\r\nEnde\r\nNachher\r\n");
    QByteArray ok;
    EXPECT_TRUE(warteBis([&] { return (ok += v.peer.readAll()) == "OK\r\n"; }));
    ASSERT_TRUE(warteBis([&] { return v.peer.state() == QAbstractSocket::UnconnectedState; }));
    laufen(30);
    EXPECT_EQ(v.p.zeilen, (std::vector<std::u16string>{u"Hallo", u"Ende"}));
    EXPECT_FALSE(v.p.hat("Closed"));  // Disconnect raises nothing
    EXPECT_EQ(v.sck->State(), sckClosed);
  }
  {
    Verbindung v;
    ASSERT_NO_FATAL_FAILURE(v.oeffnen());
    int zeilen = 0;
    v.sck->LineDataArrival = [&](const std::u16string&, const QString&) {
      ++zeilen;
      v.sck.reset();
    };
    v.senden("eins\r\nzwei\r\ndrei");
    ASSERT_TRUE(warteBis([&] { return v.peer.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(zeilen, 1);
  }
  {
    Verbindung v;
    ASSERT_NO_FATAL_FAILURE(v.oeffnen());
    bool zu = false;
    v.sck->Closed = [&] {
      zu = true;
      v.sck.reset();
    };
    v.senden("Rest");
    v.peer.disconnectFromHost();
    ASSERT_TRUE(warteBis([&] { return zu; }));
    EXPECT_EQ(v.p.zeilen, std::vector<std::u16string>{u"Rest"});
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Socket, OnlyTheLanRangesAnd127001ArePrivate) {
  for (const auto& [ip, privat] :
       {std::pair{"10.1.2.3", true}, {"172.16.0.1", true}, {"172.31.255.255", true}, {"172.32.0.1", false},
        {"172.15.0.1", false}, {"192.168.0.50", true}, {"192.169.0.1", false}, {"127.0.0.1", true},
        {"127.1.0.1", false}, {"8.8.8.8", false}, {"", false}, {"kein.name", false}})
    EXPECT_EQ(clsSocket::IsPrivateIP(QString::fromLatin1(ip)), privat) << ip;
}

}  // namespace
}  // namespace vrd4::net::test
