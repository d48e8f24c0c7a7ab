#pragma once
// The relay: the receiver's two forwarding clients. Client2 passes every ring
// command on to a further receiver (the engine sees it as its
// engine::Weitergabe), Client3 passes on every line of the command server.
// Both are net::Weiterleitung: they connect without holding anything up,
// pipeline their lines, notice a lost peer and connect again by themselves
// until "Trennen"; every connect first brings the peer level with Cls and the
// board's scene (szene::Szene), then the live lines follow.
// Here besides: where they connect to (the fields of the network frames as
// typed, Client2's remembered address and port), the progress of a connect
// the operator started and the failure text of its first attempt, and the
// peers' replies in the status list. The window shows all of it
// (core::Fenster::netzZeigen) and never drives a client itself.
// GUI thread only.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/Interfaces.h"
#include "net/Weiterleitung.h"
#include "platform/Clock.h"

class QTimer;

namespace vrd4::szene {
class Szene;
}

namespace vrd4::core {

class Relais final : public engine::Weitergabe {
 public:
  // What it needs of the rest of the receiver.
  struct Anschluss {
    std::function<void(const QString&)> statusEintrag;  // with the status list's rule
    std::function<void()> serverStoppen;                // Client2 first stops the server
    std::function<void(const QString& art, const QString& meldung)> ereignis;  // VRD4Event
    std::function<void()> geaendert;  // something the network frames show changed
  };
  // The connect the operator started, while it runs.
  struct Fortschritt {
    int32_t prozent = 0;  // 0..100 in steps of 5, against the socket's time-out
    QString text;         // "Verbinde mit A:P - 45%"
  };

  Relais(platform::Clock& uhr, Anschluss a);
  ~Relais() override;

  // The fields of the network frames as typed: Client2's address
  // (txtIPAdresse1; its port is the server's field) and Client3's target
  // (txtIPAdresse2, txtT_Port2). The window writes what the operator types.
  QString client2Adresse = QStringLiteral("localhost");
  QString client3Adresse = QStringLiteral("127.0.0.1");
  QString client3Port = QStringLiteral("4020");
  // Where Client2 connects: set by the events "IPAdresse" and "Port", the
  // settings file, and the frames' fields once their editing is finished.
  QString gemerkteAdresse;
  QString gemerkterPort;

  // Client2 connects to the remembered address and port (or, when active,
  // disconnects); stops the server first. Returns at once.
  void client2Umschalten();
  // Client3 to client3Adresse:client3Port (a dotted address, IsValidIP; a
  // box says when it is not), or (active) disconnects.
  void client3Umschalten();
  // Disconnects Client2 (and Client3 with it when asked) if it is active.
  void client2Trennen(bool auchClient3);
  bool client2Verbunden() const { return client2_->aktiv(); }  // active: the button shows "Trennen"
  void schliessen();
  // Either client active (the loop then sleeps on socket events).
  bool aktiv() const { return client2_->aktiv() || client3_->aktiv(); }
  // Where a connecting peer's catch-up comes from (nullptr: only Cls).
  // Must outlive the clients or be reset first.
  void szeneSetzen(const szene::Szene* szene) { szene_ = szene; }

  // Four dot-separated numbers of at most 3 characters, the first 10..255,
  // the others 0..255.
  static bool IsValidIP(const QString& sIP);
  net::Weiterleitung& Client2() { return *client2_; }
  net::Weiterleitung& Client3() { return *client3_; }
  const net::Weiterleitung& Client2() const { return *client2_; }
  const net::Weiterleitung& Client3() const { return *client3_; }
  // The progress bar's state; nullopt: hidden.
  std::optional<Fortschritt> fortschritt() const;
  // lblConnectFehler: why the connect the operator started failed; empty
  // when it did not (or while it runs).
  const QString& verbindungsfehler() const { return verbindungsfehler_; }
  // Grows whenever Client2 is lost or disconnected: a repeated "Client
  // verbinden" acts again once it has moved.
  long client2Stand() const { return client2Stand_; }
  // Grows with every loss of a forwarding client: the time-out of a new
  // outage is reported again, even with the same command's name.
  long verlustStand() const { return verlustStand_; }

  // engine::Weitergabe (Client2)
  bool offen() const override { return client2_->isOpen(); }
  void senden(const std::u16string& zeile) override { client2_->senden(zeile); }

 private:
  struct Ziel {
    QString fehlerText;  // lblConnectFehler when the connect the operator started fails
  };
  void einrichten(net::Weiterleitung& c, Ziel& z);
  void zustandAendern(net::Weiterleitung& c, Ziel& z, net::Weiterleitung::Zustand zustand);
  void verbinden(net::Weiterleitung& c, Ziel& z, const QString& A, int32_t P, const QString& fehlerText);
  void fortschrittBeenden();

  platform::Clock& uhr_;
  Anschluss a_;
  std::unique_ptr<net::Weiterleitung> client2_, client3_;
  Ziel ziel2_, ziel3_;
  const szene::Szene* szene_ = nullptr;
  long client2Stand_ = 0, verlustStand_ = 0;
  QString verbindungsfehler_;
  // The progress bar follows one connect the operator started.
  net::Weiterleitung* fortschrittVon_ = nullptr;
  QString fortschrittText_;
  double fortschrittStart_ = 0;
  std::unique_ptr<QTimer> fortschrittTakt_;
};

}  // namespace vrd4::core
