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
#include <span>
#include <string>

#include "app/Desktop.h"
#include "engine/Interfaces.h"
#include "net/clsSocket.h"
#include "net/clsTalkConnection.h"
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

struct Startwerte;

// What the window takes from outside; tests replace parts of it. Everything
// pointed to must outlive the window.
struct Umgebung {
  platform::Clock* clock = nullptr;          // nullptr: the steady clock
  Desktop* desktop = nullptr;                // nullptr: x11Desktop()
  std::string programFolder;                 // empty: the executable's folder
  support::clsWBTimer::Sleeper sleeper;      // empty: the thread really sleeps
  bool vollbild = false;                     // --vollbild: full screen from the start
};

class FrmVRD4Empfaenger final : public QWidget,
                                public engine::StatusView,
                                public engine::EventSink,
                                private net::TalkHost {
 public:
  static constexpr int kStartBreite = 768;
  static constexpr int kStartHoehe = 480;
  // A player window smaller than this either way does not take the board.
  static constexpr int kKleinsteAnzeige = 16;
  // While the board sits in the player's window, this often we look whether
  // that window (and so ours inside it) still exists.
  static constexpr double kPruefSekunden = 0.5;
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
  void cmdParameterSpeichern_Click();
  void chkClientAutomatischVerbinden_Click();
  void chkServerAutomatischStarten_Click();
  void txtFontGroessenfaktor_Change();

  // --- network relay -----------------------------------------------------------
  // Server starts (listening on txtT_Port1) or stops; caption "Server
  // starten" / "Server stoppen". Disconnects both clients when Client2 was
  // connected.
  void cmdServerStarten_Click();
  // Client2 connects to the remembered address and port (or disconnects):
  // stops the server first, waits up to the socket's time-out with the
  // progress bar, caption "Verbinden" / "Trennen", failure text in
  // lblConnectFehler.
  void cmdClient2Connect_Click();
  // Client3 to txtIPAdresse2 / txtT_Port2 (a dotted address, IsValidIP).
  void cmdClient3Connect_Click();
  void Server_ConnectionRequest();
  void Client2_LineDataArrival(const std::u16string& LineData);
  void Client3_LineDataArrival(const std::u16string& LineData);
  void Client2_Closed();
  void Client3_Closed();
  // Four dot-separated numbers of at most 3 characters, the first 10..255,
  // the others 0..255.
  static bool IsValidIP(const QString& sIP);
  // Set by a forwarding peer's "OK", cleared before each forward.
  bool Weiterleitungsquittung = false;
  net::clsSocket& Server() { return *Server_; }
  net::clsSocket& Client2() { return *Client2_; }
  net::clsSocket& Client3() { return *Client3_; }
  net::Clients& Clients() { return *Clients_; }
  // True while a connect wait runs its message loop (no command may start).
  bool wartet() const { return warteTiefe_ > 0; }
  // The progress bar's caption as shown ("Verbinde mit A:P - 45%").
  QString fortschrittText() const;

  // --- settings file (see app/Startwerte.h) ------------------------------------
  void StartwerteLesen();
  void StartwerteSchreiben();
  std::string startwertePfad() const;
  // The saved window corner alone, before the window is first shown: a
  // window manager places a new window where it likes unless the position
  // comes with the window (a move after mapping may lose against it).
  void eckeVorDemZeigen();

  // --- placement ---------------------------------------------------------------
  void GroesseAnpassen();  // Size surface: surface = board size, scale = board size
  bool vollbild() const { return vollbild_; }
  int tafelBreite() const { return tafelBreite_; }
  int tafelHoehe() const { return tafelHoehe_; }
  // The client area's top-left corner in screen pixels (outside full
  // screen; in it, the corner from before): what the settings file keeps.
  QPoint fensterEcke() const;
  bool tafelImPlayer() const { return umgehaengt_; }

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
  void eckeSetzen(const Startwerte& w);
  // SetParent into the player's display window; when that fails the board
  // stays here and the status list says so. Lowers our window after it.
  bool inAnzeigeFensterHaengen();
  // From the tick: the board comes back when the player's window has ended.
  void anzeigeFensterPruefen();
  // net::TalkHost
  void statusEintrag(const QString& entry) override;
  net::clsSocket* weiterleitungsClient() override { return Client3_.get(); }
  void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild) override;
  void falscheAbfrage(const QString& text) override;
  bool darfAusfuehren() const override;
  // Lets the message loop run once while a wait is in progress: at most 10
  // ms, with the polling tick every 10 ms (which then only moves the
  // display). Used by the forwarding wait and the connect wait.
  void einmalWarten();
  // The timer's sleep while the network is in use: waits for socket events
  // and runs the talk connections' lines until the interval has passed.
  void schlafen(int32_t ms);
  bool netzAktiv() const;
  // Connect wait of Client2 and Client3 (steps 3 to 9 of the button).
  void clientVerbinden(net::clsSocket& client, QPushButton* knopf, QLineEdit* adressfeld, const QString& A,
                       int32_t P, const QString& fehlerText);
  void fortschrittStarten(const QString& text);
  void fortschrittSetzen(int32_t prozent);
  void fortschrittBeenden();
  void socketsAnlegen();
  void socketsSchliessen();
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
  class Client2Weiterleitung;
  std::unique_ptr<engine::Forwarder> client2_;
  std::unique_ptr<net::clsSocket> Server_, Client2_, Client3_;
  std::unique_ptr<net::Clients> Clients_;
  int warteTiefe_ = 0;
  int boxTiefe_ = 0;
  bool rollenAngestossen_ = false;
  double letzterWarteTick_ = -1.0;
  QString fortschrittText_;
  bool fensterWarGesperrt_ = false;
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
  platform::x11::WindowId tafelFenster_ = 0;  // its native window there
  QPoint flaecheImFenster_;                   // its place in our window before
  std::optional<double> letztePruefung_;
  QPoint normaleEcke_;           // client corner before full screen
  bool vollbildSelbst_ = false;  // no window manager: full screen by geometry
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
