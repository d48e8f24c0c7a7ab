#pragma once
// The hall's publisher: every command that ran on this board (an engine
// observer, registered after the one that feeds the scene) goes to
// vrd4/HALLE/befehle with its sequence number (QoS 1, in the order run);
// the board's scene goes retained to vrd4/HALLE/szene with the number it
// ends at, at most twice a second and again after every reconnect; this
// receiver's own status (retained, last will online:false) to
// vrd4/HALLE/status, at most once a second and again every
// kWiederholAbstand, with "last seen" beside it on vrd4/HALLE/zuletzt; for
// the overview its board's thumbnail and status lines to vrd4/HALLE/bild and
// vrd4/HALLE/meldungen (halle::Ansicht).
//
// It reads its own three topics back (halle::Herkunft tells its messages
// from a stranger's): a stranger's scene or status is replaced by its own
// at once; a stranger's message that claims its current run (a number
// beyond its own, other content under one of its numbers) starts a new
// run, whose scene every board draws. Each is said in the status list and
// counted in the status ("fremde"); replies to strangers are paced (1 s
// doubling to 30 s while they go on). Its scene goes out again every
// kWiederholAbstand until the broker has handed it back as the last one.
//
// The board never waits: a command finds room in the outbox (halle::
// Ausgang) or is not published, and while the broker is away nothing is
// published; the scene after it brings the boards level. Commands that act
// on the program only (nurOertlich) are not published.
//
// GUI thread; libmosquitto runs on its own thread (MqttKlient) and wakes
// this one only when it has something (a connect, an acknowledgement, a
// message on our topics). Time comes from the clock given: takt() does what
// is due, frist() says when that is, and a deadline on the event loop
// (support/Frist.h) is armed for that moment only, so an idle publisher
// does not wake the board.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/Interfaces.h"
#include "hall/Ansicht.h"
#include "hall/Aufsicht.h"
#include "hall/Ausgang.h"
#include "hall/Herkunft.h"
#include "hall/MqttKlient.h"
#include "hall/TafelStatus.h"
#include "platform/Clock.h"
#include "support/Frist.h"
#include "szene/Szene.h"

namespace vrd4::halle {

struct Anbindung {
  std::string version;
  std::function<std::pair<int, int>()> groesse;    // the board's size in pixels
  std::function<void(const QString&)> meldung;     // a status-list line
  std::string kennung;                             // this process's id in the status (neueKennung)
  // For the overview (halle::Ansicht): the board as the screen shows it,
  // and its status list's last entries (must outlive the user). Either may
  // be empty: then that is not published.
  std::function<QImage()> bild;
  const Meldungsverlauf* meldungen = nullptr;
  std::pair<int, int> tafelGroesse() const { return groesse ? groesse() : std::pair{0, 0}; }
};

class Verleger final : public engine::BefehlsBeobachter {
 public:
  static constexpr double kSzenenAbstand = 0.5;
  static constexpr double kStatusAbstand = 1.0;
  // Status (and an unconfirmed scene) again after this long without change.
  static constexpr double kWiederholAbstand = 30.0;

  // szene: the board's scene, fed with every command before this
  // publisher hears of it; must outlive the publisher.
  Verleger(MqttEinstellungen mqtt, const szene::Szene& szene, Anbindung anbindung, platform::Clock& uhr);
  ~Verleger() override;  // beenden()
  Verleger(const Verleger&) = delete;
  Verleger& operator=(const Verleger&) = delete;

  bool starten(std::string& fehler);
  // Status online:false (waits up to a second for the broker), disconnects.
  void beenden();

  void befehlGelaufen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                      std::optional<uint8_t> antwortNr) override;
  void takt();
  double frist() const;
  bool gesund() const { return klient_->gesund(); }
  // The board changed (a command ran on it, from whichever way) or its
  // status list did: the overview's picture or lines are due (cheap when
  // known already).
  void tafelGeaendert();
  void meldungenGeaendert();
  const Ansicht& ansicht() const { return *ansicht_; }

  uint64_t lauf() const { return herkunft_.lauf(); }
  uint64_t seq() const { return herkunft_.seq(); }
  uint64_t fremde() const { return fremde_; }
  std::size_t ausgelassen() const { return ausgelassen_; }  // commands not published
  const Ausgang& ausgang() const { return ausgang_; }

 private:
  void ereignisse(double jetzt);
  void gesehen(const MqttKlient::Ereignis& e, double jetzt);
  void fremd(const std::string& topic, Herkunft::Urteil u, const QString& was, double jetzt);
  void szeneSenden();
  TafelStatus status(bool online) const;
  void statusSenden(bool online);
  void fristSetzen();
  void melden(const QString& t) {
    if (anbindung_.meldung) anbindung_.meldung(t);
  }

  MqttEinstellungen mqtt_;
  Anbindung anbindung_;
  platform::Clock& uhr_;
  const szene::Szene& szene_;
  QObject kontext_;
  support::Frist frist_{[this] { takt(); }};
  std::unique_ptr<MqttKlient> klient_;
  Herkunft herkunft_;
  Ausgang ausgang_;
  std::string befehleTopic_, szeneTopic_, statusTopic_, zuletztTopic_;
  std::optional<uint64_t> szeneSeq_;  // the seq of the last scene handed over
  std::optional<int> szeneMid_;       // that scene, not yet acknowledged
  bool szeneImBroker_ = false;        // the broker handed our last scene back as the last one
  double letzteSzene_ = -1e9, letzterStatus_ = -1e9;
  bool statusFaellig_ = true;
  std::pair<uint64_t, uint64_t> gemeldet_, zuletztGemeldet_{~uint64_t{0}, 0};  // run and seq in status, zuletzt
  std::size_t ausgelassen_ = 0;
  bool ueberlaufGemeldet_ = false;
  // Strangers on our topics.
  uint64_t fremde_ = 0;
  bool szeneHeilen_ = false, statusHeilen_ = false, laufWechseln_ = false;
  double heilenAb_ = 0, letzterFremder_ = -1e9;
  Rueckzug heilAbstand_{1, 30};
  std::vector<std::string> fremdGesagt_;  // topics said since strangers were last quiet
  bool beendet_ = false;
  std::unique_ptr<Ansicht> ansicht_;  // last: its worker ends before the rest goes
};

}  // namespace vrd4::halle
