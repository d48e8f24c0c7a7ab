#pragma once
// A board of the hall: draws the retained scene of vrd4/HALLE/szene, then
// every command of vrd4/HALLE/befehle after it, each once and in order
// (halle::Folge says what runs, what is dropped and what waits for the next
// scene). Publishes its status, retained, to vrd4/HALLE/tafel/NAME/status:
// on connect, then at most once a second while it draws (the
// acknowledgement of what it drew), again every kWiederholAbstand, and
// online:false when it ends; the broker publishes the same as its last
// will when it dies. Beside it, retained, vrd4/HALLE/tafel/NAME/zuletzt:
// the same status as of the last thing drawn, which the will does not
// overwrite. For the overview, its board's thumbnail and status lines to
// vrd4/HALLE/tafel/NAME/bild and …/meldungen (halle::Ansicht).
//
// It reads its own status topic too: another board of its name (another
// process's kennung, online) is said once and marked doppelt in the
// status (halle::Namenswache); a message there that took its status away
// brings its status back.
//
// Nothing runs while the host says no command may start (another command,
// a wait); messages wait meanwhile, in order. A payload that does not read
// (garbage, a foreign format, over its bound) or whose number does not fit
// is dropped with a status-list line, each kind said once per run or gap;
// the board goes on. Commands that act on the program only (nurOertlich)
// are never run here.
//
// GUI thread; libmosquitto runs on its own thread (MqttKlient) and wakes
// this one when a message arrives. Time comes from the clock given; takt()
// does what is due and frist() says when it is due next; a deadline on the
// event loop (support/Frist.h) is armed for that moment only: the status,
// the connection's next attempt, or messages held back while a command runs
// (looked at again every kNochmalSekunden).
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "hall/Folge.h"
#include "hall/MqttKlient.h"
#include "hall/Namenswache.h"
#include "hall/Verleger.h"
#include "platform/Clock.h"
#include "support/Frist.h"
#include "support/Tiefe.h"

namespace vrd4::halle {

class Abonnent {
 public:
  // Runs one command (fields as protocol::zerlegen gives them, a picture
  // command with its bytes). Throws for a field that does not convert or
  // an error of the operation.
  using Ausfuehren = std::function<void(std::span<const std::u16string> felder, std::span<const uint8_t> bild)>;

  Abonnent(MqttEinstellungen mqtt, Anbindung anbindung, Ausfuehren ausfuehren, std::function<bool()> darf,
           platform::Clock& uhr);
  ~Abonnent();  // beenden()
  Abonnent(const Abonnent&) = delete;
  Abonnent& operator=(const Abonnent&) = delete;

  bool starten(std::string& fehler);
  void beenden();
  // Runs what may run now; also from the built-in timer and on arrival.
  void takt();
  static constexpr double kNochmalSekunden = 0.1;
  // When takt() has something to do next by the clock (messages wake it
  // besides).
  double frist() const;
  // The connection's thread is alive (for the watchdog).
  bool gesund() const { return klient_->gesund(); }
  // As the publisher's (Verleger::tafelGeaendert).
  void tafelGeaendert();
  void meldungenGeaendert();
  const Ansicht& ansicht() const { return *ansicht_; }

  const Folge& folge() const { return folge_; }
  bool doppelt() const { return wache_.doppelt(); }

 private:
  void ereignis(MqttKlient::Ereignis& e);
  void befehlsNachricht(const std::string& payload);
  void szenenNachricht(const std::string& payload, bool behalten);
  void statusNachricht(const std::string& payload, bool behalten);
  void ausfuehren(const Eintrag& e);
  TafelStatus status(bool online) const;
  void statusSenden(bool online);
  void fristSetzen();
  // Each kind of drop once per run (lauf): true the first time.
  bool einmal(Folge::Urteil u);
  void melden(const QString& t) {
    if (anbindung_.meldung) anbindung_.meldung(t);
  }

  MqttEinstellungen mqtt_;
  Anbindung anbindung_;
  Ausfuehren ausfuehren_;
  std::function<bool()> darf_;
  platform::Clock& uhr_;
  QObject kontext_;
  support::Frist frist_{[this] { takt(); }};
  std::unique_ptr<MqttKlient> klient_;
  std::deque<MqttKlient::Ereignis> eingang_;
  Folge folge_;
  Namenswache wache_;
  std::string befehle_, szene_, eigenerStatus_, zuletzt_;  // topics
  double letzterStatus_ = -1e9;
  bool statusFaellig_ = true;
  std::pair<uint64_t, uint64_t> gemeldet_;  // run and seq of the last status sent
  std::pair<uint64_t, uint64_t> zuletztGemeldet_{~uint64_t{0}, 0};  // and of the last zuletzt
  std::vector<std::pair<Folge::Urteil, uint64_t>> gesagt_;  // drops said, with their run
  uint64_t gemeldeterFremder_ = 0;  // foreign runs already reported
  uint64_t lueckeGemeldet_ = 0;  // the number awaited when a gap was last reported
  bool beendet_ = false;
  support::Tiefe imTakt_;  // takt on the stack
  std::unique_ptr<Ansicht> ansicht_;  // last: its worker ends before the rest goes
};

}  // namespace vrd4::halle
