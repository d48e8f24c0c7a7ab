#pragma once
// The forwarding clients of the window: Client2 passes every ring command on
// to a further receiver (the engine sees it as its engine::Weitergabe),
// Client3 passes on every line of the command server. Both are
// net::Weiterleitung: they connect without holding anything up, pipeline
// their lines, notice a lost peer and connect again by themselves until
// "Trennen"; every connect first brings the peer level with Cls and the
// board's scene (szene::Szene), then the live lines follow.
// Here: their buttons (caption "Trennen" while active, reconnecting
// included), the progress bar of a connect the operator started, the
// failure text of a first connect, and the peers' replies in the status list.
// GUI thread only.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/Interfaces.h"
#include "net/Weiterleitung.h"
#include "platform/Clock.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vrd4::szene {
class Szene;
}

namespace vrd4::app {

class Weiterleitung final : public engine::Weitergabe {
 public:
  // The controls of the network frames this class drives.
  struct Steuerelemente {
    QPushButton* cmdClient2Connect = nullptr;
    QLineEdit* txtIPAdresse1 = nullptr;
    QPushButton* cmdClient3Connect = nullptr;
    QLineEdit* txtIPAdresse2 = nullptr;
    QLineEdit* txtT_Port2 = nullptr;
    QProgressBar* ctlProgressbar1 = nullptr;
  };
  // What it needs of the rest of the window.
  struct Anschluss {
    std::function<void(const QString&)> statusEintrag;
    std::function<void(const QString&)> verbindungsfehler;  // lblConnectFehler; empty text hides it
    std::function<void()> serverStoppen;                    // Client2 first stops the server
    std::function<void(const QString& art, const QString& meldung)> ereignis;  // VRD4Event
    std::function<void(net::Weiterleitung&)> zustandGeaendert;  // a client became active, connected, lost, off
  };

  Weiterleitung(platform::Clock& uhr, Steuerelemente s, Anschluss a);
  ~Weiterleitung() override;

  // Client2 connects to adresse:port (or, when active, disconnects); stops
  // the server first. Returns at once.
  void cmdClient2Connect_Click(const QString& adresse, const QString& port);
  // Client3 to txtIPAdresse2 / txtT_Port2 (a dotted address, IsValidIP).
  void cmdClient3Connect_Click();
  // Disconnects Client2 (and Client3 with it when asked) if it is active.
  void client2Trennen(bool auchClient3);
  bool client2Verbunden() const { return client2_->aktiv(); }  // active: the button shows "Trennen"
  void schliessen();
  // Where a connecting peer's catch-up comes from (nullptr: only Cls).
  // Must outlive the clients or be reset first.
  void szeneSetzen(const szene::Szene* szene) { szene_ = szene; }

  // Four dot-separated numbers of at most 3 characters, the first 10..255,
  // the others 0..255.
  static bool IsValidIP(const QString& sIP);
  net::Weiterleitung& Client2() { return *client2_; }
  net::Weiterleitung& Client3() { return *client3_; }
  // The progress bar's caption as shown ("Verbinde mit A:P - 45%").
  QString fortschrittText() const;

  // engine::Weitergabe (Client2)
  bool offen() const override { return client2_->isOpen(); }
  void senden(const std::u16string& zeile) override { client2_->senden(zeile); }

 private:
  struct Knopf {
    QPushButton* knopf;
    QLineEdit* adressfeld;
    QString fehlerText;  // lblConnectFehler when the connect the operator started fails
  };
  void einrichten(net::Weiterleitung& c, Knopf& k);
  void zustandZeigen(net::Weiterleitung& c, Knopf& k, net::Weiterleitung::Zustand z);
  void verbinden(net::Weiterleitung& c, Knopf& k, const QString& A, int32_t P, const QString& fehlerText);
  void fortschrittSetzen();
  void fortschrittBeenden();

  platform::Clock& uhr_;
  Steuerelemente s_;
  Anschluss a_;
  std::unique_ptr<net::Weiterleitung> client2_, client3_;
  Knopf knopf2_, knopf3_;
  const szene::Szene* szene_ = nullptr;
  // The progress bar follows one connect the operator started.
  net::Weiterleitung* fortschrittVon_ = nullptr;
  QString fortschrittText_;
  double fortschrittStart_ = 0;
  std::unique_ptr<QTimer> fortschrittTakt_;
};

}  // namespace vrd4::app
