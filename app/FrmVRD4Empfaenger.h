#pragma once
// The receiver's main window: a host that builds and wires its parts —
//  - the board (app/Anzeigetafel.h): the display surface picVRD4Empfang and
//    its placement, full screen, snapshot;
//  - the panel under it (app/Statusanzeige.h): last command, status list,
//    status label, font factor — the engine's Statusausgabe;
//  - the network panel (app/Netzpanel.h, app/Weiterleitung.h): server,
//    talk connections, forwarding clients;
//  - the frame "Diverses" and the settings file (app/Einstellungen.h);
//  - the polling loop (core/Taktschleife.h), which owns the engine;
// and handles the engine's events, passing them on to the sending program.
//
// Life: construct → Form_Load (engine) → show → Form_Activate (start-up, then
// the loop until the window unloads) → close() runs Form_Unload (teardown).
// ShowModal does all of that and returns after the unload.
//
// Every control carries its name as Qt objectName ("List1", "cmdBoxSpeichern").
// GUI thread only.
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/Anzeigetafel.h"
#include "app/Einstellungen.h"
#include "core/KanalZahl.h"
#include "app/Netzpanel.h"
#include "app/Statusanzeige.h"
#include "core/Taktschleife.h"
#include "app/Umgebung.h"
#include "engine/Interfaces.h"

namespace vrd4::szene {
class Szene;
}

namespace vrd4::app {

class FrmVRD4Empfaenger final : public QWidget, public engine::Ereignisziel, private core::TaktHost {
 public:
  explicit FrmVRD4Empfaenger(Umgebung umgebung = {});
  ~FrmVRD4Empfaenger() override;
  FrmVRD4Empfaenger(const FrmVRD4Empfaenger&) = delete;
  FrmVRD4Empfaenger& operator=(const FrmVRD4Empfaenger&) = delete;

  // Form_Load, show, Form_Activate; returns when the window has unloaded.
  void ShowModal();
  void Form_Load();      // once: program folder, engine (opens the channel)
  void Form_Activate();  // once: start-up, then the loop until unload
  void Form_Unload();    // once: loop, settings, sockets, stop mark "0", engine; run by close()
  bool geladen() const { return geladen_; }
  bool entladen() const { return entladen_; }

  // engine::Ereignisziel: the engine's events (and the forwarding clients').
  // The same event twice in a row is handled once, except "Server starten"
  // once the server has started or stopped since, "Client verbinden" once
  // Client2 has been lost or disconnected since, and a forwarding time-out
  // once a forwarding client has been lost since; "IPAdresse", "Port",
  // "Server starten" and "Client verbinden" act on the window, every other
  // one goes to the sender.
  void VRD4Event(const QString& art, const QString& meldung) override;

  // The parts.
  Anzeigetafel& tafel() { return *tafel_; }
  Statusanzeige& statusanzeige() { return *status_; }
  Netzpanel& netz() { return *netz_; }
  Einstellungen& einstellungen() { return *einstellungen_; }
  core::Taktschleife& schleife() { return *schleife_; }
  engine::clsVRD4Empfaenger* VRD4Empfaenger() { return schleife_->engine(); }
  const std::string& programmOrdner() const { return programmOrdner_; }

  // The controls' handlers, as the buttons run them.
  void TimerVRD4Empfang_Timer() { schleife_->takt(); }
  void cmdBitmapVollbild_Click();
  void VollbildAus();
  void cmdBoxSpeichern_Click();  // snapshot P + "Picture.bmp" (P: --prefix; folder: schnappschussOrdner)
  void cmdFensterSyncronisieren_Click() { tafel_->synchronisieren(); }
  void cmdParameterSpeichern_Click() { einstellungen_->StartwerteSchreiben(); }
  void cmdServerStarten_Click() { netz_->cmdServerStarten_Click(); }
  void cmdClient2Connect_Click() { netz_->cmdClient2Connect_Click(); }
  void cmdClient3Connect_Click() { netz_->cmdClient3Connect_Click(); }
  void StartwerteLesen() { einstellungen_->StartwerteLesen(); }
  std::string startwertePfad() const { return einstellungen_->startwertePfad(); }

  // Shortcuts into the parts.
  platform::Surface& picVRD4Empfang() { return tafel_->surface(); }
  platform::SurfaceWidget* picVRD4EmpfangWidget() { return tafel_->widget(); }
  void GroesseAnpassen() { tafel_->GroesseAnpassen(); }
  bool vollbild() const { return tafel_->vollbild(); }
  int tafelBreite() const { return tafel_->breite(); }
  int tafelHoehe() const { return tafel_->hoehe(); }
  bool tafelImPlayer() const { return tafel_->tafelImPlayer(); }
  net::clsSocket& Server() { return netz_->Server(); }
  net::Weiterleitung& Client2() { return netz_->weiterleitung().Client2(); }
  // What a peer that connects is brought level with.
  const szene::Szene& szene() const { return *szene_; }
  net::Clients& Clients() { return netz_->Clients(); }
  QString fortschrittText() const { return netz_->weiterleitung().fortschrittText(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // TaktHost
  void taktBeginnen(int32_t takte) override;
  std::function<bool()> ruheBlick() override;
  void taktRuhig() override;
  net::Clients* verbindungen() override { return &netz_->Clients(); }
  bool netzAktiv() const override { return netz_->aktiv(); }
  void rundeBeginnen() override;
  void rundeBeenden() override;

  void entwurfAufbauen();
  void rahmenZeigen(bool sichtbar);
  void weitergeben(const QString& s, double fensterHandle);
  void entladenAnstossen();
  platform::Clock& uhr() const { return umgebung_.uhr(); }
  core::Desktop& desktop() const { return umgebung_.schreibtisch(); }

  long netzStand(const QString& art, const QString& meldung) const;

  Umgebung umgebung_;
  std::string programmOrdner_;
  // The board's scene, fed by the engine: outlives the engine and the
  // forwarding clients that read it.
  std::unique_ptr<szene::Szene> szene_;
  std::unique_ptr<engine::BefehlsBeobachter> szenenBeobachter_;
  // Publishes to or follows the hall; outlives the engine it observes.
  std::unique_ptr<core::Hallenanschluss> halle_;
  std::unique_ptr<core::Taktschleife> schleife_;
  std::unique_ptr<Anzeigetafel> tafel_;
  std::unique_ptr<Statusanzeige> status_;
  std::unique_ptr<Netzpanel> netz_;
  std::unique_ptr<Einstellungen> einstellungen_;

  bool aufruferAktiviert_ = false;
  core::KanalZahl aufrufer_, beenden_;  // what every tick looks at
  QString letztesEvent_;
  long letzterNetzStand_ = -1;
  bool geladen_ = false;
  bool aktiviert_ = false;
  bool entladen_ = false;
  std::function<void()> beimEntladen_;
};

}  // namespace vrd4::app
