#pragma once
// The network panel: the frames CtlFraFuerServerdaten, CtlFraFuerClientdaten
// and CtlFraWeiterleitenAn over the receiver core's command server and
// forwarding clients (core/Befehlsserver.h, core/Relais.h). It only shows
// them and passes the operator's clicks and typing on; the core does the
// work. GUI thread only.
#include <QString>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vrd4::core {
class Empfaenger;
}

namespace vrd4::app {

class Statusanzeige;
struct Startwerte;

class Netzpanel final {
 public:
  // The frames are built with parent `rahmenParent`; fenster owns the
  // buttons' connections. All references must outlive the panel.
  Netzpanel(QWidget& fenster, QWidget& rahmenParent, Statusanzeige& status, core::Empfaenger& kern);

  QGroupBox* serverRahmen() const { return CtlFraFuerServerdaten; }
  QGroupBox* clientRahmen() const { return CtlFraFuerClientdaten; }
  QGroupBox* weiterleitenRahmen() const { return CtlFraWeiterleitenAn; }

  // Shows the core's state: the buttons' captions ("Server starten" /
  // "Server stoppen", "Verbinden" / "Trennen"), the fields, the progress
  // bar of a connect the operator started, lblConnectFehler.
  void zeigen();

  // The settings file's network part: taken over (it may connect Client2
  // or start the server) and handed out.
  void startwerteUebernehmen(const Startwerte& w);
  void startwerteEintragen(Startwerte& w) const;
  // Client2's remembered target (what the file falls back on).
  const QString& gemerkteAdresse() const;
  const QString& gemerkterPort() const;

 private:
  void rahmenAufbauen(QWidget& parent);

  Statusanzeige& status_;
  core::Empfaenger& kern_;

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
};

}  // namespace vrd4::app
