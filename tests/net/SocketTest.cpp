// clsSocket on real sockets, on 127.0.0.1 only and on ports the system
// picks.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <cerrno>

#include "NetTestUmgebung.h"
#include "net/modSocket.h"

namespace vrd4::net::test {
namespace {

constexpr int sckClosed = clsSocket::sckClosed;
constexpr int sckListening = clsSocket::sckListening;
constexpr int sckConnected = clsSocket::sckConnected;

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

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
    ASSERT_EQ(server.State(), sckListening);
    server.ConnectionRequest = [this] { ++anfragen; };
    peer.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server.LocalPort));
    ASSERT_TRUE(warteBis([this] { return anfragen == 1; }));
    p.an(*sck);
    sck->Accept(server);
    ASSERT_EQ(sck->State(), sckConnected);
    ASSERT_TRUE(warteBis([this] { return peer.state() == QAbstractSocket::ConnectedState; }));
  }
  void senden(const QByteArray& b) {
    peer.write(b);
    peer.flush();
  }
  QByteArray empfangen(qsizetype n) {
    QByteArray b;
    warteBis([&] { return (b += peer.readAll()).size() >= n; });
    return b;
  }
};

TEST(Socket, LinesArriveAsSentConvertedAndTheRestOnClose) {
  QTcpServer gegenstelle;
  ASSERT_TRUE(gegenstelle.listen(QHostAddress::LocalHost, 0));
  clsSocket c;
  Protokoll p;
  p.an(c);
  c.Connect(QStringLiteral("127.0.0.1"), gegenstelle.serverPort());
  EXPECT_EQ(c.State(), clsSocket::sckConnecting);
  ASSERT_TRUE(warteBis([&] { return c.State() == sckConnected; }));
  EXPECT_EQ(p.ereignisse, std::vector<std::string>{"Connected"});
  EXPECT_EQ(c.RemoteHost, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(c.RemotePort, gegenstelle.serverPort());
  ASSERT_TRUE(warteBis([&] { return gegenstelle.hasPendingConnections(); }));
  QTcpSocket* peer = gegenstelle.nextPendingConnection();
  EXPECT_EQ(peer->peerPort(), c.LocalPort);

  // On the wire: Windows-1252, the separator appended to texts only.
  c.SendData(QStringLiteral("OK"));
  c.SendData(u"Ä€");
  c.SendData(std::uint8_t{7});
  const std::uint8_t roh[] = {0, 1, 0xFF};
  c.SendData(std::span<const std::uint8_t>(roh));
  QByteArray draht;
  warteBis([&] { return (draht += peer->readAll()).size() >= 12; });
  EXPECT_EQ(draht, QByteArray("OK\r\n\xC4\x80\r\n\x07\x00\x01\xFF", 12));

  // Arrivals split anywhere; the peer's Windows-1252 becomes text.
  for (const QByteArray& stueck : {QByteArray("AB"), QByteArray("C\r\nDE\r"),
                                   QByteArray("\nGr\xFC\xDF" "e \x80\r"), QByteArray("\nF")}) {
    peer->write(stueck);
    peer->flush();
    laufen(20);
  }
  peer->disconnectFromHost();
  ASSERT_TRUE(warteBis([&] { return p.hat("Closed"); }));
  EXPECT_EQ(p.zeilen, (std::vector<std::u16string>{u"ABC", u"DE", u"Grüße €", u"F"}));
  EXPECT_EQ(p.ereignisse.back(), "Closed");
  EXPECT_EQ(p.host, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(c.State(), sckClosed);
  EXPECT_EQ(c.SocketHandle(), 0);
  EXPECT_EQ(c.LocalPort, 0);
}

TEST(Socket, ConnectFailuresGiveTheWinsockTextOrTimeoutOrFailAtOnce) {
  clsSocket c;
  Protokoll p;
  p.an(c);
  c.Connect(QStringLiteral("127.0.0.1"), freierPort());
  ASSERT_TRUE(warteBis([&] { return c.State() == sckClosed; }));
  EXPECT_EQ(p.ereignisse, std::vector<std::string>{"Error:0:Connection refused."});

  // 65535 (and what truncates to it) fails inside Connect, without an event.
  for (int32_t port : {65535, -1, 0x1FFFF}) {
    p.ereignisse.clear();
    c.Connect(QStringLiteral("127.0.0.1"), port);
    EXPECT_EQ(c.State(), sckClosed) << port;
    laufen(30);
    EXPECT_TRUE(p.ereignisse.empty()) << port;
  }

  // A name is looked up without blocking (localhost comes from the hosts
  // file, no query leaves the machine).
  QTcpServer s;
  ASSERT_TRUE(s.listen(QHostAddress::LocalHost, 0));
  p.ereignisse.clear();
  c.Connect(QStringLiteral("localhost"), s.serverPort());
  ASSERT_TRUE(warteBis([&] { return c.State() != clsSocket::sckConnecting; }));
  EXPECT_EQ(c.State(), sckConnected);
  EXPECT_EQ(c.RemoteHost, QStringLiteral("127.0.0.1"));
  c.Disconnect();

  // A listener whose accept queue is full drops further SYNs: a connect to
  // it stays unanswered, all on this machine.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(fd, 0), 0);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  const quint16 port = ntohs(a.sin_port);

  std::vector<std::unique_ptr<QTcpSocket>> fueller;
  bool voll = false;
  for (int i = 0; i < 8 && !voll; ++i) {
    fueller.push_back(std::make_unique<QTcpSocket>());
    fueller.back()->connectToHost(QHostAddress::LocalHost, port);
    voll = !fueller.back()->waitForConnected(300);
  }
  ASSERT_TRUE(voll) << "the accept queue never filled";

  p.ereignisse.clear();
  c.TimeOut = 300;
  QElapsedTimer uhr;
  uhr.start();
  c.Connect(QStringLiteral("127.0.0.1"), port);
  ASSERT_TRUE(warteBis([&] { return c.State() == sckClosed; }, 5000));
  EXPECT_GE(uhr.elapsed(), 290);
  EXPECT_EQ(p.ereignisse, std::vector<std::string>{"Error:0:Timeout"});
  ::close(fd);
}

TEST(Socket, ListenAcceptAndABusyPort) {
  Verbindung v;
  ASSERT_NO_FATAL_FAILURE(v.oeffnen());
  EXPECT_EQ(v.sck->RemoteHost, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(v.sck->RemotePort, v.peer.localPort());
  EXPECT_NE(v.sck->SocketHandle(), v.server.SocketHandle());

  clsSocket zweiter;
  zweiter.LocalPort = v.server.LocalPort;
  zweiter.Listen();
  EXPECT_EQ(zweiter.State(), sckClosed);
  EXPECT_EQ(zweiter.SocketHandle(), 0);
  EXPECT_EQ(zweiter.LocalPort, 0);

  // Nothing waits: Accept leaves a closed instance.
  clsSocket leer;
  leer.Accept(v.server);
  EXPECT_EQ(leer.State(), sckClosed);

  // Stopping the server leaves the accepted connection open.
  v.server.Disconnect();
  EXPECT_EQ(v.server.State(), sckClosed);
  v.senden("nach dem Server\r\n");
  ASSERT_TRUE(warteBis([&] { return !v.p.zeilen.empty(); }));
  EXPECT_EQ(v.p.zeilen.front(), u"nach dem Server");
}

// With no file descriptor left accepting fails; once there are some again
// the waiting peers get through.
TEST(Socket, AcceptingResumesAfterDescriptorsRanOut) {
  clsSocket server;
  server.Listen();
  ASSERT_EQ(server.State(), sckListening);
  int anfragen = 0;
  server.ConnectionRequest = [&] { ++anfragen; };
  std::vector<int> peers;
  sockaddr_in a = loopback(static_cast<uint16_t>(server.LocalPort));
  for (int i = 0; i < 3; ++i) {
    peers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ::connect(peers.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  rlimit alt{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &alt), 0);
  const int frei = ::dup(0);
  ::close(frei);
  rlimit eng = alt;
  eng.rlim_cur = static_cast<rlim_t>(frei);  // no new descriptor
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &eng), 0);
  laufen(250);
  const int waehrendDessen = anfragen;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &alt), 0);
  EXPECT_EQ(waehrendDessen, 0);
  EXPECT_TRUE(warteBis([&] { return anfragen == 3; }));
  for (int fd : peers) ::close(fd);
}

TEST(Socket, UdpDatagramsArriveWithTheirSender) {
  clsSocket u;
  u.Protocol = 1;
  u.Listen();
  ASSERT_EQ(u.State(), sckListening);
  Protokoll p;
  p.an(u);
  QUdpSocket sender;
  ASSERT_TRUE(sender.bind(QHostAddress::LocalHost, 0));
  sender.writeDatagram("Hallo\r\nWe", QHostAddress::LocalHost, static_cast<quint16>(u.LocalPort));
  sender.writeDatagram("lt\r\n", QHostAddress::LocalHost, static_cast<quint16>(u.LocalPort));
  ASSERT_TRUE(warteBis([&] { return p.zeilen.size() == 2; }));
  EXPECT_EQ(p.zeilen, (std::vector<std::u16string>{u"Hallo", u"Welt"}));
  EXPECT_EQ(u.RemoteHost, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(u.RemotePort, sender.localPort());

  // Without framing each datagram is one DataArrival; SendDataTo sends one.
  u.LineSeparator.clear();
  const std::uint8_t bytes[] = {'x', 0, 'y'};
  EXPECT_TRUE(clsSocket::SendDataTo(QStringLiteral("127.0.0.1"), u.LocalPort, bytes));
  ASSERT_TRUE(warteBis([&] { return p.daten.size() == 3; }));
  EXPECT_EQ(p.daten, QByteArray("x\0y", 3));
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
    EXPECT_EQ(v.empfangen(4), QByteArray("OK\r\n"));
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

TEST(Socket, OverlongLineClosesTheConnection) {
  Verbindung v;
  ASSERT_NO_FATAL_FAILURE(v.oeffnen());
  v.sck->MaxLineLength = 1000;
  std::size_t gemeldet = 0;
  v.sck->LineTooLong = [&](std::size_t n) {
    gemeldet = n;
    v.p.ereignisse.push_back("LineTooLong");
  };
  v.senden("kurz\r\n" + QByteArray(5000, 'x'));
  ASSERT_TRUE(warteBis([&] { return v.sck->State() == sckClosed; }));
  EXPECT_EQ(v.p.zeilen, std::vector<std::u16string>{u"kurz"});
  EXPECT_EQ(v.p.ereignisse, (std::vector<std::string>{"Line", "LineTooLong", "Closed"}));
  EXPECT_GT(gemeldet, 1000u);
  EXPECT_TRUE(warteBis([&] { return v.peer.state() == QAbstractSocket::UnconnectedState; }));
  // The default holds a 32 MiB picture file hex-encoded and its fields.
  EXPECT_GT(clsSocket::kMaxZeilenlaenge, std::size_t{2} * (32u << 20) + 1000);
}

// Paused, the socket reads ahead only a bounded amount: the peer's data
// stays in the peer (TCP flow control) and nothing is lost or reordered.
TEST(Socket, PausedReadingHoldsThePeerBackAndLosesNothing) {
  Verbindung v;
  ASSERT_NO_FATAL_FAILURE(v.oeffnen());
  // Pausing inside a handler holds the rest of the same arrival.
  v.sck->LineDataArrival = [&](const std::u16string& z, const QString&) {
    v.p.zeilen.push_back(z);
    v.sck->setReadingPaused(true);
  };
  v.senden("a\r\nb\r\nc\r\n");
  ASSERT_TRUE(warteBis([&] { return v.p.zeilen.size() == 1; }));
  laufen(50);
  EXPECT_EQ(v.p.zeilen.size(), 1u);
  v.p.an(*v.sck);
  v.sck->setReadingPaused(false);
  ASSERT_TRUE(warteBis([&] { return v.p.zeilen.size() == 3; }));
  EXPECT_EQ(v.p.zeilen, (std::vector<std::u16string>{u"a", u"b", u"c"}));

  v.sck->setReadingPaused(true);
  // 8 MB: far more than the system buffers between the two.
  v.peer.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 << 10);
  constexpr int kZeilen = 1000;
  const QByteArray zeile = QByteArray(7998, 'z') + "\r\n";
  int angekommen = 0;
  bool alleGleich = true;
  v.sck->LineDataArrival = [&](const std::u16string& z, const QString&) {
    ++angekommen;
    alleGleich = alleGleich && z == std::u16string(7998, u'z');
  };
  for (int i = 0; i < kZeilen; ++i) v.peer.write(zeile);
  laufen(300);
  EXPECT_EQ(angekommen, 0);
  EXPECT_GT(v.peer.bytesToWrite(), 0) << "the paused socket read everything";
  v.sck->setReadingPaused(false);
  ASSERT_TRUE(warteBis([&] { return angekommen == kZeilen; }, 20000));
  EXPECT_TRUE(alleGleich);

  // The peer closes while we are paused: its last lines and the rest still
  // come, then Closed.
  v.p.zeilen.clear();
  v.p.an(*v.sck);
  v.sck->setReadingPaused(true);
  v.senden("vorletzte\r\nletzte");
  v.peer.disconnectFromHost();
  laufen(100);
  EXPECT_TRUE(v.p.zeilen.empty());
  EXPECT_FALSE(v.p.hat("Closed"));
  v.sck->setReadingPaused(false);
  ASSERT_TRUE(warteBis([&] { return v.p.hat("Closed"); }));
  EXPECT_EQ(v.p.zeilen, (std::vector<std::u16string>{u"vorletzte", u"letzte"}));
  EXPECT_EQ(v.sck->State(), sckClosed);
}

// A peer that sends commands but never reads the replies cannot make the
// send queue grow without end: reception stops until the replies drain.
TEST(Socket, PeerThatDoesNotReadItsRepliesIsHeldBack) {
  Verbindung v;
  ASSERT_NO_FATAL_FAILURE(v.oeffnen());
  v.peer.setReadBufferSize(64 << 10);  // Qt would read everything for it
  v.peer.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 << 10);
  const std::vector<std::uint8_t> antwort(std::size_t{1} << 20, 'r');
  int zeilen = 0;
  v.sck->LineDataArrival = [&](const std::u16string&, const QString&) {
    ++zeilen;
    v.sck->SendData(antwort);
  };
  constexpr int kZeilen = 30;  // 30 MB of replies: more than the queue and the system buffers
  for (int i = 0; i < kZeilen; ++i) v.peer.write("Befehl\r\n");
  v.peer.flush();
  warteBis([&] { return zeilen == kZeilen; }, 500);
  EXPECT_LT(zeilen, kZeilen);
  EXPECT_LE(v.sck->BytesToWrite(), clsSocket::kMaxUngesendet + static_cast<std::int64_t>(antwort.size()));
  qint64 gelesen = 0;
  ASSERT_TRUE(warteBis([&] {
    gelesen += v.peer.readAll().size();
    return zeilen == kZeilen && gelesen == qint64{kZeilen} << 20;
  }, 20000));
}

TEST(Socket, ErrnoValuesMapToTheWinsockNumbersAndTexts) {
  for (const auto& [errnoWert, text] :
       {std::pair{ECONNREFUSED, "Connection refused."}, {ETIMEDOUT, "Connection timed out."},
        {ENETUNREACH, "Network is unreachable."}, {EHOSTUNREACH, "No route to host."},
        {EADDRINUSE, "Address already in use."}, {ENOENT, "???"}})
    EXPECT_EQ(winsockFehlertext(winsockNummer(errnoWert)), QString::fromLatin1(text)) << text;
  EXPECT_EQ(winsockFehlertext(11001), QStringLiteral("Host not found."));
  EXPECT_EQ(winsockFehlertext(10000), QStringLiteral("???"));
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
