#pragma once
// The receiver's main window: the display surface picVRD4Empfang, the status
// controls the engine writes to, and the settings panel. It owns the engine
// and the polling timer; its tick polls the engine every 10 ms and its event
// handler passes the engine's events on to the sending program.
//
// Life: construct → Form_Load (engine, timer) → show → Form_Activate (start-up,
// then the tick loop until the window unloads) → close() runs Form_Unload
// (teardown). ShowModal does all of that and returns after the unload.
//
// Every control carries its name as Qt objectName ("List1", "cmdBoxSpeichern").
// GUI thread only.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Desktop.h"
#include "engine/Interfaces.h"
#include "platform/Clock.h"
#include "support/clsWBTimer.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vrd4::platform {
class Surface;
class SurfaceWidget;
}  // namespace vrd4::platform
namespace vrd4::engine {
class clsVRD4Empfaenger;
}

namespace vrd4::app {

// What the window takes from outside; tests replace parts of it. Everything
// pointed to must outlive the window.
struct Umgebung {
  platform::Clock* clock = nullptr;          // nullptr: the steady clock
  Desktop* desktop = nullptr;                // nullptr: x11Desktop()
  std::string programFolder;                 // empty: the executable's folder
  support::clsWBTimer::Sleeper sleeper;      // empty: the thread really sleeps
};

class FrmVRD4Empfaenger final : public QWidget,
                                public engine::StatusView,
                                public engine::EventSink {
 public:
  static constexpr int kStartBreite = 768;
  static constexpr int kStartHoehe = 480;
  // A player window smaller than this either way does not take the board.
  static constexpr int kKleinsteAnzeige = 16;
  static constexpr int kTimerIntervallMs = 10;
  // The status list is emptied when it holds this many entries.
  static constexpr int kListeMaximal = 7;
  // The running tick count (Label3) is repainted at most this often.
  static constexpr double kZaehlerAnzeigeSekunden = 0.5;

  explicit FrmVRD4Empfaenger(Umgebung umgebung = {});
  ~FrmVRD4Empfaenger() override;
  FrmVRD4Empfaenger(const FrmVRD4Empfaenger&) = delete;
  FrmVRD4Empfaenger& operator=(const FrmVRD4Empfaenger&) = delete;

  // Form_Load, show, Form_Activate; returns when the window has unloaded.
  void ShowModal();

  // --- load, activation, unload --------------------------------------------
  void Form_Load();      // once: program folder, engine (opens the channel), timer
  void Form_Activate();  // once: start-up, then the tick loop until unload
  void Form_Unload();    // once: timer, stop mark "0", engine; run by close()
  bool geladen() const { return geladen_; }
  bool entladen() const { return entladen_; }

  // --- tick and events -------------------------------------------------------
  void TimerVRD4Empfang_Timer();
  void VRD4Empfaenger_VRD4Event(const QString& art, const QString& meldung);

  // --- controls' handlers ----------------------------------------------------
  void ButtonListeClear_Click();
  void cmdBitmapVollbild_Click();  // full screen on
  void VollbildAus();              // full screen off (ESC)
  void cmdBoxSpeichern_Click();    // snapshot to program folder + "/Picture.bmp"
  void cmdFensterSyncronisieren_Click();
  void cmdServerStarten_Click();
  void cmdClient2Connect_Click();
  void chkClientAutomatischVerbinden_Click();
  void chkServerAutomatischStarten_Click();
  void txtFontGroessenfaktor_Change();

  // --- placement ---------------------------------------------------------------
  void GroesseAnpassen();  // Size surface: surface = board size, scale = board size
  bool vollbild() const { return vollbild_; }
  int tafelBreite() const { return tafelBreite_; }
  int tafelHoehe() const { return tafelHoehe_; }

  platform::Surface& picVRD4Empfang() { return *board_; }
  platform::SurfaceWidget* picVRD4EmpfangWidget() { return picWidget_; }
  engine::clsVRD4Empfaenger* VRD4Empfaenger() { return VRD4Empfaenger_.get(); }
  const std::string& programmOrdner() const { return programmOrdner_; }
  const QString& gemerkteAdresse() const { return gemerkteAdresse_; }
  const QString& gemerkterPort() const { return gemerkterPort_; }

  // engine::StatusView
  void setLetzterBefehl(const QString& caption) override;
  void addListEntry(const QString& entry) override;
  // engine::EventSink
  void VRD4Event(const QString& art, const QString& meldung) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void entwurfAufbauen();
  QWidget* panelAufbauen();
  void ListeKuerzen();
  void zeigen(const QString& s);
  void weitergeben(const QString& s, double fensterHandle);
  void FehlerAusZeitschleife(const char* beschreibung);
  void entladenAnstossen();
  void aufraeumenNachTick();
  void Platzieren();
  void twipsAnzeigen();
  std::string programmOrdnerErmitteln() const;
  platform::Clock& uhr() const;
  Desktop& desktop() const;

  Umgebung umgebung_;
  std::string programmOrdner_;

  // Controls (owned by Qt's parent chain, except the surface).
  std::unique_ptr<platform::Surface> board_;
  platform::SurfaceWidget* picWidget_ = nullptr;
  QLabel* Label99Wert = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* ButtonListeClear = nullptr;
  QLabel* LabelGAKomFehler = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* txtFontGroessenfaktor = nullptr;
  QLabel* lblConnectFehler = nullptr;
  QPushButton* cmdBitmapVollbild = nullptr;
  QPushButton* cmdBoxSpeichern = nullptr;
  QPushButton* cmdFensterSyncronisieren = nullptr;
  QPushButton* cmdTransferTest = nullptr;
  QGroupBox* CtlFraFuerServerdaten = nullptr;
  QGroupBox* CtlFraFuerClientdaten = nullptr;
  QGroupBox* CtlFraWeiterleitenAn = nullptr;
  QGroupBox* CtlFraDiverses = nullptr;
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
  QPushButton* cmdParameterSpeichern = nullptr;
  QLineEdit* txtTwipsperPixelX = nullptr;
  QLineEdit* txtTwipsPerPixelY = nullptr;
  QWidget* panel_ = nullptr;

  // Owned objects.
  engine::NullForwarder client2_;
  std::unique_ptr<engine::clsVRD4Empfaenger> VRD4Empfaenger_;
  // An engine released while its polling step is still on the stack.
  std::unique_ptr<engine::clsVRD4Empfaenger> entlasseneEngine_;
  std::unique_ptr<support::clsWBTimer> TimerVRD4Empfang;

  // Tick and event state.
  int32_t tickZaehler_ = 0;
  std::optional<double> letzteRatenZeit_;
  std::optional<double> letzteZaehlerAnzeige_;
  bool aufruferAktiviert_ = false;
  QString letztesEvent_;
  int zeitschleifeTiefe_ = 0;

  // Remembered settings.
  QString gemerkteAdresse_;
  QString gemerkterPort_;

  // Placement.
  int tafelBreite_ = kStartBreite;
  int tafelHoehe_ = kStartHoehe;
  bool vollbild_ = false;
  platform::x11::WindowId anzeigeFenster_ = 0;
  platform::x11::Rect anzeigeRechteck_;
  bool umgehaengt_ = false;  // the surface lives inside the player's window
  QSize gespeicherteFenstergroesse_;
  QPoint gespeicherteFlaechenPosition_;
  double gespeicherteSkalaBreite_ = kStartBreite;
  double gespeicherteSkalaHoehe_ = kStartHoehe;

  // Lifecycle.
  bool geladen_ = false;
  bool aktiviert_ = false;
  bool entladen_ = false;
  std::function<void()> beimEntladen_;
};

// The font factor text as a number: "," or "." as decimal separator, blanks
// around it allowed, nothing else. nullopt for anything else.
std::optional<double> zahlAusFaktorText(const QString& text);

}  // namespace vrd4::app
