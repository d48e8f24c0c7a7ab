#pragma once
// Inside clsSocket (private to net/): the Qt objects of one instance and
// the guards that let handlers close or destroy the instance.
//
// Every callback from a Qt object goes through bewacht(): it holds the Impl
// alive for the call, and drops the call when the instance was destroyed
// or closed since the callback was wired (generation). Raising an event is
// followed by lebt(gen): false means "touch nothing any more".
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

#include "net/Zeilenpuffer.h"
#include "net/clsSocket.h"
#include "support/Tiefe.h"

class QAbstractSocket;
class QSocketNotifier;
class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace vrd4::net {

// A listening socket (TCP, every IPv4 address) that hands out the accepted
// descriptors, so that Accept can wrap them in a plain or a TLS socket,
// together with the peer's address as accept() gives it: a connection its
// peer has reset before we took it no longer has one to ask for.
class Horcher final : public QObject {
 public:
  ~Horcher() override;
  // Binds (SO_REUSEADDR) and listens; false when that fails.
  bool listen(quint16 port, int backlog);
  quint16 serverPort() const { return port_; }
  void pauseAccepting();
  void resumeAccepting();

  // An accepted connection (non-blocking, close-on-exec): fd, address, port.
  std::function<void(qintptr, const QString&, quint16)> neu;
  // Accepting failed for want of a descriptor or memory; accepting pauses.
  std::function<void()> fehler;

 private:
  void annehmen();
  int fd_ = -1;
  quint16 port_ = 0;
  bool pausiert_ = false;
  QSocketNotifier* melder_ = nullptr;
};

// One accepted connection waiting for Accept.
struct Wartende {
  qintptr fd;
  QString host;
  quint16 port;
};

struct clsSocket::Impl : std::enable_shared_from_this<clsSocket::Impl> {
  explicit Impl(clsSocket* owner);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  clsSocket* q;  // nullptr once the instance is destroyed
  int32_t state = sckClosed;
  int32_t handle = 0;
  bool secure = false;
  QString cipher, subject, issuer;
  bool trusted = false;

  uint32_t generation = 0;  // +1 on every close
  support::Tiefe dispatch;  // callbacks of our Qt objects on the stack
  QObject ctx;              // receiver of every connection; dies with us

  // Outgoing connect in progress (before the TCP handshake ends).
  int lookupId = -1;
  int verbindeFd = -1;
  QSocketNotifier* verbindeNotifier = nullptr;
  QTimer* timer = nullptr;

  QTcpSocket* tcp = nullptr;  // connected (QSslSocket with SSLEnable)
  QUdpSocket* udp = nullptr;  // listening for datagrams
  Horcher* server = nullptr;  // listening for connections
  std::deque<Wartende> wartende;

  Zeilenpuffer zeilen{kMaxZeilenlaenge};
  bool pausiert = false;       // setReadingPaused
  bool aufgehalten = false;    // held by a full send queue
  bool gegenstelleZu = false;  // the peer closed; the rest is still due
  bool imEmpfang = false;      // a reception round is on the stack
  bool zurueckgesetzt = false; // the peer reset the connection (seen while open)

  bool lebt(uint32_t gen) const;
  template <class F>
  auto bewacht(F f);
  void spaeter(std::function<void(Impl&)> f);  // from the event loop
  void entsorgen(QObject* o);
  void schliessen();  // closes everything; no event, no property

  // events
  void fehlerMelden(const QString& text);  // Error, then Disconnect
  bool zeileMelden(std::string_view bytes);
  bool datenMelden(std::string_view bytes);
  bool einfachMelden(std::function<void()> clsSocket::*ereignis);

  // reception
  bool angehalten();
  qint64 blockLesen(char* puffer);
  bool stueckAnkommen(std::string_view stueck);
  bool zeilenAusliefern();
  void zuLang();
  void empfangen();
  void geschlossen();
  void gegenstelleGeschlossen();
  void nachSenden();
  void socketFehler();

  // connections
  void tcpAnschliessen(QTcpSocket* s);
  void verbinden(quint32 ipv4, quint16 port);
  void verbindungFertig(int fehler);
  void verbunden();
  void zeitAbgelaufen();
  void senden(const char* daten, qint64 laenge);
};

template <class F>
auto clsSocket::Impl::bewacht(F f) {
  // Callable only with the arguments f takes after Impl&: Qt then passes
  // a signal's leading arguments that f wants and drops the rest.
  return [w = weak_from_this(), gen = generation, f](auto&&... args)
             -> std::enable_if_t<std::is_invocable_v<const F&, Impl&, decltype(args)...>> {
    const std::shared_ptr<Impl> d = w.lock();
    if (!d || !d->lebt(gen)) return;
    const support::Tiefe::Eintritt imRueckruf(d->dispatch);
    f(*d, std::forward<decltype(args)>(args)...);
  };
}

}  // namespace vrd4::net
