#pragma once
// The hall's publisher: every command that ran on this board (an engine
// observer, registered after the one that feeds the scene) goes to
// vrd4/HALLE/befehle with its sequence number (QoS 1, in the order run);
// the board's scene goes retained to vrd4/HALLE/szene with the number it
// ends at, at most twice a second and again after every reconnect; this
// receiver's own status (retained, last will online:false) to
// vrd4/HALLE/status, at most once a second.
//
// The board never waits: a command finds room in the outbox (halle::
// Ausgang) or is not published, and while the broker is away nothing is
// published; the scene after it brings the boards level. Commands that act
// on the program only (nurOertlich) are not published.
//
// GUI thread; libmosquitto runs on its own thread (MqttKlient) and wakes
// this one only when it has something (a connect, an acknowledgement). The
// scene and the status are sent from a deadline on the event loop
// (support/Frist.h) set only while one of them is due, so an idle
// publisher never wakes the board. takt() checks on demand as well.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/Interfaces.h"
#include "hall/Ausgang.h"
#include "hall/MqttKlient.h"
#include "platform/Clock.h"
#include "support/Frist.h"
#include "szene/Szene.h"

namespace vrd4::halle {

struct Anbindung {
  std::string version;
  std::function<std::pair<int, int>()> groesse;    // the board's size in pixels
  std::function<void(const QString&)> meldung;     // a status-list line
  std::pair<int, int> tafelGroesse() const { return groesse ? groesse() : std::pair{0, 0}; }
};

class Verleger final : public engine::BefehlsBeobachter {
 public:
  static constexpr double kSzenenAbstand = 0.5;
  static constexpr double kStatusAbstand = 1.0;

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

  uint64_t lauf() const { return lauf_; }
  uint64_t seq() const { return seq_; }
  std::size_t ausgelassen() const { return ausgelassen_; }  // commands not published
  const Ausgang& ausgang() const { return ausgang_; }

 private:
  void ereignisse();
  void szeneSenden();
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
  Ausgang ausgang_;
  uint64_t lauf_ = 0, seq_ = 0;
  std::optional<uint64_t> szeneSeq_;  // the seq of the last scene handed over
  std::optional<int> szeneMid_;       // that scene, not yet acknowledged
  double letzteSzene_ = -1e9, letzterStatus_ = -1e9;
  bool statusFaellig_ = true;
  uint64_t statusSeq_ = 0;
  std::size_t ausgelassen_ = 0;
  bool ueberlaufGemeldet_ = false;
  bool beendet_ = false;
};

// A random run id (/dev/urandom, else the time).
uint64_t neuerLauf();
// The broker's refusal or the reason the connection went, in German.
QString verbindungsText(int rc, bool verbinden);

}  // namespace vrd4::halle
