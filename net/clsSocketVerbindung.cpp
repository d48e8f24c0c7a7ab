// clsSocket: opening and closing connections, sending, properties.
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/SocketImpl.h"
#include "net/modSocket.h"
#include "platform/Ansi.h"
#include "platform/Netz.h"

namespace vrd4::net {

namespace {

constexpr int kAcceptPauseMs = 100;

// htons of the 32-bit value: only the low 16 bits count.
quint16 port16(int32_t port) { return static_cast<quint16>(static_cast<uint32_t>(port) & 0xFFFF); }

// "/C=DE/O=Verein/CN=name", the one-line form of a certificate name: the
// usual attributes in the usual order, any others after them.
QString nameEinzeilig(const QSslCertificate& c, bool aussteller) {
  QList<QByteArray> attribute = aussteller ? c.issuerInfoAttributes() : c.subjectInfoAttributes();
  static const QByteArray kReihenfolge[] = {"C", "ST", "L", "O", "OU", "CN", "emailAddress"};
  QList<QByteArray> geordnet;
  for (const QByteArray& a : kReihenfolge)
    if (attribute.removeAll(a) > 0) geordnet.append(a);
  geordnet += attribute;
  QString text;
  for (const QByteArray& a : geordnet) {
    const QStringList werte = aussteller ? c.issuerInfo(a) : c.subjectInfo(a);
    for (const QString& w : werte) text += u'/' + QString::fromLatin1(a) + u'=' + w;
  }
  return text;
}

QSslKey schluesselLaden(const QString& datei) {
  QFile f(datei);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray pem = f.read(1 << 20);
  for (QSsl::KeyAlgorithm alg : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
    QSslKey k(pem, alg, QSsl::Pem, QSsl::PrivateKey);
    if (!k.isNull()) return k;
  }
  return {};
}

}  // namespace

// --- properties ----------------------------------------------------------------

clsSocket::clsSocket() : d_(std::make_shared<Impl>(this)) {}

clsSocket::~clsSocket() {
  Disconnect();
  d_->q = nullptr;
}

int32_t clsSocket::State() const { return d_->state; }
int32_t clsSocket::SocketHandle() const { return d_->handle; }
int32_t clsSocket::SSLHandle() const { return d_->secure ? d_->handle : 0; }
const QString& clsSocket::SSLCipher() const { return d_->cipher; }
const QString& clsSocket::SSLSubject() const { return d_->subject; }
const QString& clsSocket::SSLIssuer() const { return d_->issuer; }
bool clsSocket::SSLTrusted() const { return d_->trusted; }
QString clsSocket::LocalIP() const { return MyIP(); }
bool clsSocket::readingPaused() const { return d_->pausiert; }

std::int64_t clsSocket::BytesToWrite() const { return d_->tcp ? d_->tcp->bytesToWrite() : 0; }
std::size_t clsSocket::BufferedBytes() const { return d_->zeilen.groesse(); }
std::string_view clsSocket::BufferedHead(std::size_t n) const { return d_->zeilen.kopf(n); }

void clsSocket::setReadingPaused(bool paused) {
  if (d_->pausiert == paused) return;
  d_->pausiert = paused;
  // Not from inside this call: it may come from a LineDataArrival handler.
  if (!paused) d_->spaeter([](Impl& d) { d.empfangen(); });
}

// --- Connect ---------------------------------------------------------------------

void clsSocket::Connect(const QString& host, int32_t Port) {
  if (d_->handle != 0) Disconnect();
  d_->schliessen();  // a name lookup may still run
  d_->cipher.clear();
  d_->subject.clear();
  d_->issuer.clear();
  d_->trusted = false;
  RemotePort = 0;
  d_->state = sckConnecting;
  Protocol = 0;

  const quint16 port = port16(Port);
  if (port == 0xFFFF) {
    Disconnect();
    return;
  }
  if (TimeOut > 0) {
    // Covers the name lookup, the TCP handshake and the TLS handshake.
    d_->timer = new QTimer;
    d_->timer->setSingleShot(true);
    d_->timer->setTimerType(Qt::PreciseTimer);  // a coarse one may end 5 % early
    QObject::connect(d_->timer, &QTimer::timeout, &d_->ctx,
                     d_->bewacht([](Impl& d) { d.zeitAbgelaufen(); }));
    d_->timer->start(TimeOut);
  }
  in_addr a{};
  if (::inet_pton(AF_INET, host.toLatin1().constData(), &a) == 1) {
    d_->verbinden(ntohl(a.s_addr), port);
    return;
  }
  // A name: asked of the system's resolver without blocking the loop.
  d_->lookupId = QHostInfo::lookupHost(
      host, &d_->ctx, d_->bewacht([port](Impl& d, const QHostInfo& info) {
        d.lookupId = -1;
        for (const QHostAddress& adr : info.addresses()) {
          if (adr.protocol() == QAbstractSocket::IPv4Protocol) {
            d.verbinden(adr.toIPv4Address(), port);
            return;
          }
        }
        d.q->Disconnect();
      }));
}

void clsSocket::Impl::verbinden(quint32 ipv4, quint16 port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    q->Disconnect();
    return;
  }
  verbindeFd = fd;
  handle = neueSocketKennung();
  if (q->LocalPort > 0) {
    sockaddr_in lokal{};
    lokal.sin_family = AF_INET;
    lokal.sin_port = htons(port16(q->LocalPort));
    lokal.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&lokal), sizeof lokal) != 0) {
      q->Disconnect();
      return;
    }
  }
  sockaddr_in ziel{};
  ziel.sin_family = AF_INET;
  ziel.sin_port = htons(port);
  ziel.sin_addr.s_addr = htonl(ipv4);
  const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&ziel), sizeof ziel);
  const int fehler = r == 0 ? 0 : errno;
  if (r == 0 || fehler != EINPROGRESS) {
    // Even an immediate result comes as an event, after Connect returned.
    spaeter([fehler](Impl& d) { d.verbindungFertig(fehler); });
  } else {
    verbindeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write);
    QObject::connect(verbindeNotifier, &QSocketNotifier::activated, &ctx, bewacht([](Impl& d) {
                       int fehler = 0;
                       socklen_t len = sizeof fehler;
                       if (::getsockopt(d.verbindeFd, SOL_SOCKET, SO_ERROR, &fehler, &len) != 0)
                         fehler = errno;
                       d.verbindungFertig(fehler);
                     }));
  }
}

void clsSocket::Impl::zeitAbgelaufen() {
  if (state == sckConnecting) fehlerMelden(QStringLiteral("Timeout"));
}

void clsSocket::Impl::verbindungFertig(int fehler) {
  if (verbindeNotifier) {
    entsorgen(verbindeNotifier);
    verbindeNotifier = nullptr;
  }
  if (fehler != 0) {
    if (q->SSLEnable) {
      q->Disconnect();
    } else {
      fehlerMelden(winsockFehlertext(winsockNummer(fehler)));
    }
    return;
  }
  const int fd = std::exchange(verbindeFd, -1);
  if (!q->SSLEnable) {
    auto* s = new QTcpSocket;
    if (!s->setSocketDescriptor(fd)) {
      ::close(fd);
      delete s;
      fehlerMelden(winsockFehlertext(0));
      return;
    }
    tcpAnschliessen(s);
    verbunden();
    return;
  }
  auto* s = new QSslSocket;
  QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
  if (!q->SSLCAFile.isEmpty()) conf.addCaCertificates(QSslCertificate::fromPath(q->SSLCAFile));
  conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
  s->setSslConfiguration(conf);
  if (!s->setSocketDescriptor(fd)) {
    ::close(fd);
    delete s;
    q->Disconnect();
    return;
  }
  secure = true;
  trusted = true;
  tcpAnschliessen(s);
  // The connection is made whether or not the certificate is trusted; a
  // name mismatch alone does not count (only the chain is checked).
  QObject::connect(s, &QSslSocket::sslErrors, &ctx,
                   bewacht([s](Impl& d, const QList<QSslError>& fehler) {
                     for (const QSslError& e : fehler)
                       if (e.error() != QSslError::HostNameMismatch) d.trusted = false;
                     s->ignoreSslErrors();
                   }));
  QObject::connect(s, &QSslSocket::encrypted, &ctx, bewacht([s](Impl& d) {
                     d.cipher = s->sessionCipher().name();
                     const QSslCertificate peer = s->peerCertificate();
                     d.subject = nameEinzeilig(peer, false);
                     d.issuer = nameEinzeilig(peer, true);
                     if (peer.isNull()) d.trusted = false;
                     d.verbunden();
                   }));
  s->startClientEncryption();
}

// The outgoing connection is up (and encrypted with SSLEnable).
void clsSocket::Impl::verbunden() {
  if (timer) {
    entsorgen(timer);
    timer = nullptr;
  }
  if (q->RemotePort == 0) {
    q->RemoteHost = tcp->peerAddress().toString();
    q->RemotePort = tcp->peerPort();
  }
  q->LocalPort = tcp->localPort();
  state = sckConnected;
  if (!einfachMelden(&clsSocket::Connected)) return;
  // Data that came with the handshake.
  if (tcp->bytesAvailable() > 0) empfangen();
}

// --- Listen / Accept ----------------------------------------------------------------

void clsSocket::Listen() {
  if (d_->handle != 0) Disconnect();
  d_->schliessen();
  RemoteHost.clear();
  RemotePort = 0;
  const quint16 port = port16(LocalPort);
  if (Protocol == 0) {
    auto* s = new Horcher;
    d_->server = s;
    if (!s->listen(port, kListenBacklog)) {
      Disconnect();
      return;
    }
    s->neu = d_->bewacht([](Impl& d, qintptr fd, const QString& host, quint16 von) {
      d.wartende.push_back({fd, host, von});
      // Accepted connections nobody takes must not pile up.
      if (static_cast<int>(d.wartende.size()) >= kMaxWartende) d.server->pauseAccepting();
      d.spaeter([](Impl& d2) { d2.einfachMelden(&clsSocket::ConnectionRequest); });
    });
    // A full descriptor table: try again a little later.
    s->fehler = d_->bewacht([](Impl& d) {
      QTimer::singleShot(kAcceptPauseMs, &d.ctx, d.bewacht([](Impl& d2) {
                           if (static_cast<int>(d2.wartende.size()) < kMaxWartende) d2.server->resumeAccepting();
                         }));
    });
    LocalPort = s->serverPort();
  } else {
    auto* s = new QUdpSocket;
    d_->udp = s;
    if (!s->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress)) {
      Disconnect();
      return;
    }
    QObject::connect(s, &QIODevice::readyRead, &d_->ctx,
                     d_->bewacht([](Impl& d) { d.empfangen(); }));
    LocalPort = s->localPort();
  }
  d_->handle = neueSocketKennung();
  d_->state = sckListening;
}

void clsSocket::Accept(clsSocket& Server) {
  SSLEnable = Server.SSLEnable;
  SSLServerCertificate = Server.SSLServerCertificate;
  SSLServerKey = Server.SSLServerKey;
  if (d_->handle != 0) Disconnect();
  d_->schliessen();
  Impl& s = *Server.d_;
  if (s.wartende.empty()) {
    Disconnect();
    return;
  }
  const Wartende wartend = s.wartende.front();
  const qintptr fd = wartend.fd;
  s.wartende.pop_front();
  if (s.server && static_cast<int>(s.wartende.size()) < kMaxWartende) s.server->resumeAccepting();

  QTcpSocket* sock = nullptr;
  if (SSLEnable) {
    const QList<QSslCertificate> zert = QSslCertificate::fromPath(SSLServerCertificate);
    const QSslKey key = schluesselLaden(SSLServerKey);
    if (zert.isEmpty() || key.isNull()) {
      ::close(static_cast<int>(fd));
      Disconnect();
      return;
    }
    auto* ssl = new QSslSocket;
    ssl->setLocalCertificate(zert.front());
    ssl->setPrivateKey(key);
    ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
    sock = ssl;
  } else {
    sock = new QTcpSocket;
  }
  if (!sock->setSocketDescriptor(fd)) {
    ::close(static_cast<int>(fd));
    delete sock;
    Disconnect();
    return;
  }
  d_->handle = neueSocketKennung();
  d_->tcpAnschliessen(sock);
  if (SSLEnable) {
    d_->secure = true;
    static_cast<QSslSocket*>(sock)->startServerEncryption();
  }
  // As accept() gave it: a connection reset before it was taken has no
  // peer to ask any more.
  RemoteHost = wartend.host;
  RemotePort = wartend.port;
  d_->state = sckConnected;
  // Data may already wait in the system (Qt reports only what arrives
  // from now on).
  d_->spaeter([](Impl& d) { d.empfangen(); });
}

// --- sending ------------------------------------------------------------------

void clsSocket::Impl::senden(const char* daten, qint64 laenge) {
  if (handle == 0 || !tcp || tcp->state() != QAbstractSocket::ConnectedState || laenge <= 0) return;
  tcp->write(daten, laenge);
  // Hand the bytes to the system now, as far as it takes them without
  // blocking: a Disconnect right after SendData then still sends them.
  tcp->flush();
}

void clsSocket::SendData(std::u16string_view text) {
  std::u16string zeile(text);
  zeile += LineSeparator;
  const std::string bytes = platform::toAnsi(zeile);
  d_->senden(bytes.data(), static_cast<qint64>(bytes.size()));
}

void clsSocket::SendData(const QString& text) {
  SendData(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                               static_cast<std::size_t>(text.size())));
}

void clsSocket::SendData(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  d_->senden(&c, 1);
}

void clsSocket::SendData(std::span<const std::uint8_t> bytes) {
  d_->senden(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

bool clsSocket::SendFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  // The owner may close or destroy us from a handler only between events,
  // never inside this loop: SendData raises none.
  char block[kSendeblock];
  for (;;) {
    const qint64 n = f.read(block, kSendeblock);
    if (n <= 0) return n == 0;
    SendData(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(block),
                                           static_cast<std::size_t>(n)));
  }
}

bool clsSocket::SendDataTo(const QString& host, int32_t port, std::span<const std::uint8_t> bytes) {
  QHostAddress ziel(host);
  if (ziel.isNull()) {
    const QString ip = GetIP(host);
    if (ip.isEmpty()) return false;
    ziel = QHostAddress(ip);
  }
  QUdpSocket s;
  const qint64 n = s.writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qint64>(bytes.size()), ziel, port16(port));
  return n == static_cast<qint64>(bytes.size());
}

// --- Disconnect ------------------------------------------------------------------

void clsSocket::Disconnect() {
  d_->state = sckClosed;
  LocalPort = 0;
  d_->schliessen();
}

void clsSocket::Abort() {
  if (d_->tcp) platform::zuruecksetzenBeimSchliessen(static_cast<int>(d_->tcp->socketDescriptor()));
  Disconnect();
}

bool clsSocket::ResetByPeer() const {
  return d_->zurueckgesetzt ||
         (d_->tcp && platform::verbindungZurueckgesetzt(static_cast<int>(d_->tcp->socketDescriptor())));
}

}  // namespace vrd4::net
