#pragma once
// The receiver's main window over the receiver core (core/Empfaenger.h),
// which it shows as the core's core::Fenster. Its parts:
//  - the board (app/Anzeigetafel.h): the display surface picVRD4Empfang and
//    its placement, full screen, snapshot;
//  - the panel under it (app/Statusanzeige.h): last command, status list,
//    status label, font factor;
//  - the network frames (app/Netzpanel.h) over the core's server and
//    forwarding clients;
//  - the frame "Diverses" and the settings file (app/Einstellungen.h).
//
// Life: construct → Form_Load (the core loads the engine) → show →
// Form_Activate (start-up, then the core's loop until the window unloads) →
// close() runs Form_Unload (settings, the core unloads). ShowModal does all
// of that and returns after the unload.
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
#include "app/Netzpanel.h"
#include "app/Statusanzeige.h"
#include "app/Umgebung.h"
#include "core/Empfaenger.h"
#include "core/Fenster.h"

namespace vrd4::app {

class FrmVRD4Empfaenger final : public QWidget, private core::Fenster {
 public:
  explicit FrmVRD4Empfaenger(Umgebung umgebung = {});
  ~FrmVRD4Empfaenger() override;
  FrmVRD4Empfaenger(const FrmVRD4Empfaenger&) = delete;
  FrmVRD4Empfaenger& operator=(const FrmVRD4Empfaenger&) = delete;

  // Form_Load, show, Form_Activate; returns when the window has unloaded.
  void ShowModal();
  void Form_Load();      // once: program folder, the core's engine (opens the channel)
  void Form_Activate();  // once: start-up, then the loop until unload
  void Form_Unload();    // once: loop, settings, the core's sockets, stop mark "0", engine; run by close()
  bool geladen() const { return geladen_; }
  bool entladen() const { return entladen_; }

  // The parts.
  core::Empfaenger& empfaenger() { return *kern_; }
  Anzeigetafel& tafel() { return *tafel_; }

  // The controls' handlers, as the buttons run them.
  void TimerVRD4Empfang_Timer() { kern_->takt(); }
  void cmdBitmapVollbild_Click();
  void VollbildAus();
  void cmdBoxSpeichern_Click();  // snapshot P + "Picture.bmp" (P: --prefix; folder: schnappschussOrdner)
  void cmdFensterSyncronisieren_Click() { tafel_->synchronisieren(); }
  void cmdParameterSpeichern_Click() { einstellungen_->StartwerteSchreiben(); }
  void cmdServerStarten_Click() { kern_->serverUmschalten(); }
  void cmdClient2Connect_Click() { kern_->client2Umschalten(); }
  void StartwerteLesen() { einstellungen_->StartwerteLesen(); }
  std::string startwertePfad() const { return einstellungen_->startwertePfad(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // core::Fenster
  void letzterBefehl(const QString& text) override { status_->letzterBefehl(text); }
  void statusEintrag(const QString& eintrag) override { status_->statusEintrag(eintrag); }
  void listeKuerzen() override { status_->kuerzen(); }
  void ereignisZeigen(const QString& text) override { status_->zeigen(text); }
  void netzZeigen() override;
  void rundeBeginnen() override;
  void rundeBeenden() override;
  void taktBeginnen(int32_t takte) override;
  void beenden() override;
  std::pair<int, int> tafelGroesse() const override { return {tafel_->breite(), tafel_->hoehe()}; }
  halle::Meldungsverlauf& meldungsverlauf() override { return status_->verlauf(); }

  void entwurfAufbauen();
  void rahmenZeigen(bool sichtbar);

  Umgebung umgebung_;
  std::string programmOrdner_;
  std::unique_ptr<Anzeigetafel> tafel_;
  std::unique_ptr<Statusanzeige> status_;
  std::unique_ptr<core::Empfaenger> kern_;
  std::unique_ptr<Netzpanel> netz_;
  std::unique_ptr<Einstellungen> einstellungen_;

  bool geladen_ = false;
  bool aktiviert_ = false;
  bool entladen_ = false;
  std::function<void()> beimEntladen_;
};

}  // namespace vrd4::app
