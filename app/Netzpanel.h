#pragma once
// The network panel: the frames CtlFraFuerServerdaten, CtlFraFuerClientdaten
// and CtlFraWeiterleitenAn; the command server Server with its talk
// connections (it is their net::TalkHost), the forwarding clients
// (app/Weiterleitung.h), and the remembered address and port. GUI thread only.
#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/Weiterleitung.h"
#include "engine/Interfaces.h"
#include "net/clsSocket.h"
#include "net/clsTalkConnection.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vrd4::core {
class Taktschleife;
}

namespace vrd4::app {

class Statusanzeige;
struct Startwerte;

class Netzpanel final : private net::TalkHost {
 public:
  // The frames are built with parent `rahmenParent`; fenster owns the
  // buttons' connections; the forwarding clients raise their events on
  // `ereignisse`. All references must outlive the panel.
  Netzpanel(QWidget& fenster, QWidget& rahmenParent, Statusanzeige& status, core::Taktschleife& schleife,
            platform::Clock& uhr, engine::Ereignisziel& ereignisse);
  ~Netzpanel() override;

  QGroupBox* serverRahmen() const { return CtlFraFuerServerdaten; }
  QGroupBox* clientRahmen() const { return CtlFraFuerClientdaten; }
  QGroupBox* weiterleitenRahmen() const { return CtlFraWeiterleitenAn; }

  // Server starts (listening on txtT_Port1) or stops; caption "Server
  // starten" / "Server stoppen". Disconnects both clients when Client2 was
  // connected.
  void cmdServerStarten_Click();
  // Client2 to the remembered address and port (see Weiterleitung).
  void cmdClient2Connect_Click();
  void cmdClient3Connect_Click() { weiterleitung_->cmdClient3Connect_Click(); }
  // Client3 to adresse:port as if typed into its frame and clicked.
  void client3Verbinden(const QString& adresse, const QString& port);
  // The events "IPAdresse" and "Port": remembered and shown.
  void adresseSetzen(const QString& adresse);
  void portSetzen(const QString& port);

  // The settings file's network part: taken over (it may connect Client2
  // or start the server) and handed out.
  void startwerteUebernehmen(const Startwerte& w);
  void startwerteEintragen(Startwerte& w) const;
  const QString& gemerkteAdresse() const { return gemerkteAdresse_; }
  const QString& gemerkterPort() const { return gemerkterPort_; }

  // Closes every socket; the objects stay (a wait or a talk connection may
  // still be on the stack).
  void schliessen();
  // Any socket open or a forwarding client active (the loop then sleeps on
  // socket events).
  bool aktiv() const;
  // Grow whenever the server starts or stops, and whenever Client2 is lost
  // or disconnected: a repeated event acts again once they have moved.
  long serverStand() const { return serverStand_; }
  long client2Stand() const { return client2Stand_; }
  // Grows with every loss of a forwarding client: the time-out of a new
  // outage is reported again, even with the same command's name.
  long verlustStand() const { return verlustStand_; }

  net::clsSocket& Server() { return *serverSocket_; }
  net::Clients& Clients() { return *verbindungen_; }
  Weiterleitung& weiterleitung() { return *weiterleitung_; }

 private:
  // net::TalkHost
  void statusEintrag(const QString& entry) override;
  net::Weiterleitung* weiterleitungsClient() override { return &weiterleitung_->Client3(); }
  void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild,
                        const render::VorabBild* vorab) override;
  void falscheAbfrage(const QString& text) override;
  bool darfAusfuehren() const override;
  std::optional<QSize> bildTafel() const override;

  void rahmenAufbauen(QWidget& parent);
  Weiterleitung::Steuerelemente steuerelemente() const;
  Weiterleitung::Anschluss anschluss(engine::Ereignisziel& ereignisse);
  void serverStoppen();

  Statusanzeige& status_;
  core::Taktschleife& schleife_;

  QGroupBox* CtlFraFuerServerdaten = nullptr;
  QGroupBox* CtlFraFuerClientdaten = nullptr;
  QGroupBox* CtlFraWeiterleitenAn = nullptr;
  QLineEdit* txtT_Port1 = nullptr;
  QPushButton* cmdServerStarten = nullptr;
  QCheckBox* chkServerAutomatischStarten = nullptr;
  QLineEdit* txtIPAdresse1 = nullptr;
  QPushButton* cmdClient2Connect = nullptr;
  QCheckBox* chkClientAutomatischVerbinden = nullptr;
  QProgressBar* ctlProgressbar1 = nullptr;
  QLineEdit* txtIPAdresse2 = nullptr;
  QLineEdit* txtT_Port2 = nullptr;
  QPushButton* cmdClient3Connect = nullptr;

  long serverStand_ = 0, client2Stand_ = 0, verlustStand_ = 0;
  QString gemerkteAdresse_;
  QString gemerkterPort_;
  std::unique_ptr<net::clsSocket> serverSocket_;
  std::unique_ptr<net::Clients> verbindungen_;
  std::unique_ptr<Weiterleitung> weiterleitung_;
};

}  // namespace vrd4::app
