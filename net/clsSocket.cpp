#include "net/clsSocket.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/SocketImpl.h"
#include "platform/Ansi.h"
#include "platform/Netz.h"

namespace vrd4::net {

// --- the listening server ---------------------------------------------------

Horcher::~Horcher() {
  delete melder_;
  if (fd_ >= 0) ::close(fd_);
}

bool Horcher::listen(quint16 port, int backlog) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  const int ja = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &ja, sizeof ja);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t laenge = sizeof a;
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, backlog) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &laenge) != 0) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  port_ = ntohs(a.sin_port);
  melder_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
  QObject::connect(melder_, &QSocketNotifier::activated, this, [this] { annehmen(); });
  return true;
}

void Horcher::pauseAccepting() {
  pausiert_ = true;
  if (melder_) melder_->setEnabled(false);
}

void Horcher::resumeAccepting() {
  pausiert_ = false;
  if (melder_) melder_->setEnabled(true);
}

void Horcher::annehmen() {
  while (!pausiert_ && fd_ >= 0) {
    sockaddr_in von{};
    socklen_t laenge = sizeof von;
    const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&von), &laenge, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      // No descriptor or memory left: the notifier would fire at once again.
      pauseAccepting();
      if (fehler) fehler();
      return;
    }
    if (!neu) {
      ::close(fd);
      continue;
    }
    const QString host = von.sin_family == AF_INET ? QHostAddress(ntohl(von.sin_addr.s_addr)).toString() : QString();
    neu(fd, host, ntohs(von.sin_port));
  }
}

// --- Impl: guards and disposal -----------------------------------------------

clsSocket::Impl::Impl(clsSocket* owner) : q(owner) {}

clsSocket::Impl::~Impl() { schliessen(); }

bool clsSocket::Impl::lebt(uint32_t gen) const { return q != nullptr && generation == gen; }

void clsSocket::Impl::entsorgen(QObject* o) {
  if (!o) return;
  QObject::disconnect(o, nullptr, &ctx, nullptr);
  if (auto* s = qobject_cast<QAbstractSocket*>(o)) s->abort();
  if (auto* n = qobject_cast<QSocketNotifier*>(o)) n->setEnabled(false);
  if (auto* h = dynamic_cast<Horcher*>(o)) h->pauseAccepting();
  // Deleting a Qt object inside one of its own signals is not allowed; our
  // handlers run from those signals.
  if (dispatch.aktiv()) {
    o->deleteLater();
  } else {
    delete o;
  }
}

void clsSocket::Impl::schliessen() {
  ++generation;
  if (lookupId >= 0) {
    QHostInfo::abortHostLookup(lookupId);
    lookupId = -1;
  }
  if (timer) {
    entsorgen(timer);
    timer = nullptr;
  }
  if (verbindeNotifier) {
    entsorgen(verbindeNotifier);
    verbindeNotifier = nullptr;
  }
  if (verbindeFd >= 0) {
    ::close(verbindeFd);
    verbindeFd = -1;
  }
  entsorgen(std::exchange(tcp, nullptr));
  entsorgen(std::exchange(udp, nullptr));
  entsorgen(std::exchange(server, nullptr));
  for (const Wartende& w : wartende) ::close(static_cast<int>(w.fd));
  wartende.clear();
  handle = 0;
  secure = false;
  zeilen.leeren();
  gegenstelleZu = false;
  zurueckgesetzt = false;
  imEmpfang = false;
  pausiert = false;
  aufgehalten = false;
}

void clsSocket::Impl::spaeter(std::function<void(Impl&)> f) {
  QMetaObject::invokeMethod(&ctx, bewacht([f](Impl& d) { f(d); }), Qt::QueuedConnection);
}

// --- raising events: a copy of the handler and of every argument, because
// the handler may change the property or destroy the instance.

void clsSocket::Impl::fehlerMelden(const QString& text) {
  const uint32_t gen = generation;
  if (auto h = q->Error) h(0, text);
  if (lebt(gen)) q->Disconnect();
}

bool clsSocket::Impl::zeileMelden(std::string_view bytes) {
  const uint32_t gen = generation;
  if (auto h = q->LineBytesArrival) {
    std::string zeile = zeilen.herausnehmen(bytes);
    const QString host = q->RemoteHost;
    h(std::move(zeile), host);
  } else if (auto h = q->LineDataArrival) {
    const std::u16string zeile = platform::fromAnsi(bytes);
    const QString host = q->RemoteHost;
    h(zeile, host);
  }
  return lebt(gen);
}

bool clsSocket::Impl::datenMelden(std::string_view bytes) {
  const uint32_t gen = generation;
  if (auto h = q->DataArrival) {
    const QByteArray daten(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString host = q->RemoteHost;
    h(daten, host);
  }
  return lebt(gen);
}

bool clsSocket::Impl::einfachMelden(std::function<void()> clsSocket::*ereignis) {
  const uint32_t gen = generation;
  if (auto h = q->*ereignis) h();
  return lebt(gen);
}

// --- reception -----------------------------------------------------------------

bool clsSocket::Impl::angehalten() {
  if (pausiert) return true;
  if (q->LineBufferFull && zeilen.groesse() >= q->LineBufferGrant) {
    auto h = q->LineBufferFull;
    if (!h(zeilen.groesse())) {
      pausiert = true;
      return true;
    }
  }
  // A peer that sends commands but does not read the replies would grow our
  // send queue without limit; hold its reception until the queue drains.
  aufgehalten = tcp && tcp->state() == QAbstractSocket::ConnectedState &&
                tcp->bytesToWrite() > kMaxUngesendet;
  return aufgehalten;
}

qint64 clsSocket::Impl::blockLesen(char* puffer) {
  if (udp) {
    if (!udp->hasPendingDatagrams()) return 0;
    QHostAddress von;
    quint16 port = 0;
    const qint64 n = udp->readDatagram(puffer, kLeseblock, &von, &port);
    if (n >= 0) {
      bool ok = false;
      const QHostAddress v4(von.toIPv4Address(&ok));
      q->RemoteHost = ok ? v4.toString() : von.toString();
      q->RemotePort = port;
    }
    return n;
  }
  // A socket Qt has closed after an error (a connection reset before it
  // was taken) has nothing to read; asking would only print a warning.
  if (tcp && tcp->isOpen()) return tcp->read(puffer, kLeseblock);
  return 0;
}

bool clsSocket::Impl::stueckAnkommen(std::string_view stueck) {
  if (q->LineSeparator.empty()) {
    if (!zeilen.leer()) {
      const std::string rest = zeilen.restNehmen();
      if (!datenMelden(rest)) return false;
    }
    return datenMelden(stueck);
  }
  zeilen.anhaengen(stueck);
  return true;
}

bool clsSocket::Impl::zeilenAusliefern() {
  const std::string trenner = platform::toAnsi(q->LineSeparator);
  if (trenner.empty()) {
    if (zeilen.leer()) return true;
    const std::string rest = zeilen.restNehmen();
    return datenMelden(rest);
  }
  zeilen.setMax(q->MaxLineLength);
  while (!angehalten()) {
    std::string_view zeile;
    switch (zeilen.naechsteZeile(trenner, zeile)) {
      case Zeilenpuffer::Ergebnis::KeineZeile:
        return true;
      case Zeilenpuffer::Ergebnis::ZuLang:
        zuLang();
        return false;
      case Zeilenpuffer::Ergebnis::Zeile:
        if (!zeileMelden(zeile)) return false;
        break;
    }
  }
  return true;
}

void clsSocket::Impl::zuLang() {
  const uint32_t gen = generation;
  const std::size_t laenge = zeilen.groesse();
  zeilen.leeren();
  if (auto h = q->LineTooLong) h(laenge);
  if (!lebt(gen)) return;
  if (!einfachMelden(&clsSocket::Closed)) return;
  q->Disconnect();
}

void clsSocket::Impl::empfangen() {
  // A handler that runs the event loop (a message box, a wait) must not
  // get the next line of this connection before it returns: the outer
  // round goes on afterwards, in order.
  if (imEmpfang) return;
  imEmpfang = true;
  // Qt reports a reset only as the end of the data, once all of it is
  // read; the system shows it before, and the owner may care (ResetByPeer).
  if (tcp && !zurueckgesetzt)
    zurueckgesetzt = platform::verbindungZurueckgesetzt(static_cast<int>(tcp->socketDescriptor()));
  const uint32_t gen = generation;
  char puffer[kLeseblock];
  // A fast peer keeps the socket full: one round takes at most kLesepuffer
  // bytes, then the event loop has its turn (a picture-sized line would
  // otherwise be read in one go, holding up everything else).
  std::int64_t gelesen = 0;
  for (;;) {
    if (!zeilenAusliefern()) return;
    if (angehalten()) break;
    if (gelesen >= kLesepuffer) {
      imEmpfang = false;
      spaeter([](Impl& d) { d.empfangen(); });
      return;
    }
    const qint64 n = blockLesen(puffer);
    if (n <= 0) break;
    gelesen += n;
    if (!stueckAnkommen(std::string_view(puffer, static_cast<std::size_t>(n)))) return;
    if (!lebt(gen)) return;
  }
  imEmpfang = false;
  if (gegenstelleZu && !pausiert && (!tcp || tcp->bytesAvailable() == 0)) geschlossen();
}

void clsSocket::Impl::geschlossen() {
  // The rest after the last separator is the peer's last line.
  if (!zeilen.leer()) {
    const std::string rest = zeilen.restNehmen();
    const bool weiter = q->LineSeparator.empty() ? datenMelden(rest) : zeileMelden(rest);
    if (!weiter) return;
  }
  if (!einfachMelden(&clsSocket::Closed)) return;
  q->Disconnect();
}

void clsSocket::Impl::gegenstelleGeschlossen() {
  if (state == sckConnecting) {
    // A TLS client whose handshake failed: like a refused secure connect,
    // no event.
    q->Disconnect();
    return;
  }
  gegenstelleZu = true;
  empfangen();
}

void clsSocket::Impl::nachSenden() {
  if (tcp && tcp->bytesToWrite() == 0) {
    if (!einfachMelden(&clsSocket::SendComplete)) return;
  }
  if (aufgehalten && tcp && tcp->bytesToWrite() <= kMaxUngesendet) empfangen();
}

// Wires a connected TCP (or TLS) socket to the instance.
void clsSocket::Impl::tcpAnschliessen(QTcpSocket* s) {
  tcp = s;
  s->setReadBufferSize(kLesepuffer);
  QObject::connect(s, &QIODevice::readyRead, &ctx, bewacht([](Impl& d) { d.empfangen(); }));
  QObject::connect(s, &QAbstractSocket::disconnected, &ctx,
                   bewacht([](Impl& d) { d.gegenstelleGeschlossen(); }));
  QObject::connect(s, &QAbstractSocket::errorOccurred, &ctx,
                   bewacht([](Impl& d, QAbstractSocket::SocketError) { d.socketFehler(); }));
  QObject::connect(s, &QIODevice::bytesWritten, &ctx,
                   bewacht([](Impl& d, qint64) { d.nachSenden(); }));
}

// Errors of an established socket end in disconnected, except those after
// which Qt leaves the socket unconnected without it.
void clsSocket::Impl::socketFehler() {
  if (tcp && (state == sckConnecting || tcp->state() == QAbstractSocket::UnconnectedState))
    gegenstelleGeschlossen();
}

}  // namespace vrd4::net
