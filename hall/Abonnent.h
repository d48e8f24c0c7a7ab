#pragma once
// A board of the hall: draws the retained scene of vrd4/HALLE/szene, then
// every command of vrd4/HALLE/befehle after it, each once and in order
// (halle::Folge says what runs, what is dropped and what waits for the next
// scene). Publishes its status, retained, to vrd4/HALLE/tafel/NAME/status:
// on connect, then at most once a second while it draws (the
// acknowledgement of what it drew), online:false when it ends, and the
// broker publishes the same as its last will when it dies.
//
// Nothing runs while the host says no command may start (another command,
// a wait); messages wait meanwhile, in order. A payload that does not read
// (garbage, a foreign format, over its bound) is dropped with a status-list
// line; the board goes on. Commands that act on the program only
// (nurOertlich) are never run here.
//
// GUI thread; libmosquitto runs on its own thread (MqttKlient) and wakes
// this one when a message arrives. Otherwise the board is woken only when
// something is due (support/Frist.h): the status, or messages held back
// while a command runs (looked at again every kNochmalSekunden).
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
#include "hall/Verleger.h"
#include "platform/Clock.h"
#include "support/Frist.h"

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
  static constexpr double kNochmalSekunden = 0.1;

  // Runs what may run now; also on arrival and when something is due.
  void takt();

  const Folge& folge() const { return folge_; }

 private:
  void ausfuehren(const Eintrag& e);
  void befehlsNachricht(const std::string& payload);
  void szenenNachricht(const std::string& payload);
  void statusSenden(bool online);
  void fristSetzen();
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
  std::string befehle_, szene_;  // topics
  double letzterStatus_ = -1e9;
  bool statusFaellig_ = true;
  std::pair<uint64_t, uint64_t> gemeldet_;  // run and seq of the last status sent
  uint64_t gemeldeterDoppelter_ = 0, gemeldeterFremder_ = 0;  // runs already reported
  uint64_t lueckeGemeldet_ = 0;  // the number awaited when a gap was last reported
  bool beendet_ = false;
  bool imTakt_ = false;
};

}  // namespace vrd4::halle
