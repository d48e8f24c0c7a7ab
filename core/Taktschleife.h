#pragma once
// The receiver's one loop, and what may run inside it.
//
// The loop. While the receiver runs (core::Empfaenger::laufen) the timer
// clsWBTimer runs on the GUI thread and is its event pump: sleep
// kIntervallMs, tick, process pending Qt events, again.
//  - The tick (takt): the receiver's own part (the caller's window; the
//    window's tick counters and status-list rule), then the engine's polling step
//    Zeitschleife: scrolling, blinking and animation steps, and the ring's
//    waiting commands, as many as fit in the engine's budget (at least one, a
//    lap of the ring at most). Then the TCP lines that wait are pushed, and
//    the end request is looked at.
//  - The sleep step (schlafen): the event loop waits for a precise timer
//    that fires every kIntervallMs (one poll of the thread a quiet round),
//    and runs what comes meanwhile: the events the tick left, socket events,
//    and the TCP connections' lines in batches
//    (net::Clients::kStapelSekunden each), until the timer has fired.
//  - Rest: when a tick leaves nothing to do (the engine darfRuhen() and its
//    ring waits, no TCP line waits) and no command has come for
//    kNachlaufSekunden, the next sleep step hands the looking
//    to a watch thread (platform/Wache.h), which looks at the ring and the
//    variables the window ticks on every kIntervallMs without the lock. The
//    loop itself then ticks only every kRuheMs (watchdog, the counters, the
//    player's window), or at once when the watch sees a change. A TCP line,
//    or an event that gives the loop work of its own (a TCP command that
//    starts a blinking text), ends the rest; what any other event did is
//    shown at once. The watch's looks count as ticks. Nothing else keeps a
//    timer running: the forwarding clients and the hall set a deadline on
//    the event loop only while something of theirs is due
//    (support/Frist.h), so a quiet board with them rests as one without.
//
// Nothing waits inside other work: forwarding clients connect and collect
// their peers' "OK"s on the event loop (net/Weiterleitung.h), message boxes
// do not wait (app/GuiMessageBox.h). The rules that still hold:
//  1. No second command starts while one runs (engine: befehlLaeuft()):
//     the engine's polling step then takes nothing from the ring and the TCP
//     lines stay queued (darfAusfuehren() is false) and run afterwards, in
//     order. The engine's BefehlAusfuehren and BefehlDirektAusfuehren
//     themselves do not queue.
//  2. The window does not unload from inside a command: the end request is
//     honoured on the first tick outside it.
//  3. An engine released while its polling step is on the stack (imTakt)
//     is destroyed when that step has left.
// Every re-entry guard is a support::Tiefe held by a scope (an exception
// that leaves the scope leaves the guard, too): imTakt here, the engine's
// running command (befehlLaeuft()), the hall's follower that does not tick
// inside its own tick (halle::Abonnent), and two that protect objects
// rather than order: net::Clients removes a closed connection only when no
// batch is on the stack, net::clsSocket deletes its Qt objects later while
// one of their callbacks runs.
//
// GUI thread only.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Clock.h"
#include "support/Tiefe.h"
#include "support/clsWBTimer.h"

class QTimer;

namespace vrd4::platform {
class Wache;
}

namespace vrd4::engine {
class clsVRD4Empfaenger;
}
namespace vrd4::net {
class Clients;
}

namespace vrd4::core {

// What the loop needs of the receiver around it (core::Empfaenger, which
// passes the window's part on to core::Fenster).
class TaktHost {
 public:
  virtual ~TaktHost() = default;
  // The receiver's own part of every tick, before the engine's polling step;
  // takte counts this tick and the watch's looks since the last one.
  virtual void taktBeginnen(int32_t takte) = 0;
  // After a tick outside every command (rule 2).
  virtual void taktOhneBefehl() = 0;
  // While the loop rests: a look without the lock, callable from the watch
  // thread, that stays true while nothing the receiver ticks on has changed;
  // empty when it cannot rest.
  virtual std::function<bool()> ruheBlick() = 0;
  // The TCP connections (nullptr: none) and whether any socket is open.
  virtual net::Clients* verbindungen() = 0;
  virtual bool netzAktiv() const = 0;
  // Around the work of a tick and of a sleep step: what the window shows of
  // it may be gathered and shown once at the end.
  virtual void rundeBeginnen() = 0;
  virtual void rundeBeenden() = 0;
};

class Taktschleife {
 public:
  static constexpr int kIntervallMs = 10;
  // The loop's own tick while it rests: a little over a second, so that
  // each one finds a new second of the tick rate to show.
  static constexpr int kRuheMs = 1010;
  // The loop rests only this long (clock seconds) after the last command
  // from the ring or TCP line: a sender that sends again soon finds the
  // beat it had.
  static constexpr double kNachlaufSekunden = 1.0;

  // sleeper empty: schlafen. host and uhr must outlive the loop.
  Taktschleife(TaktHost& host, platform::Clock& uhr, support::clsWBTimer::Sleeper sleeper = {});
  ~Taktschleife();
  Taktschleife(const Taktschleife&) = delete;
  Taktschleife& operator=(const Taktschleife&) = delete;

  // The engine the loop drives; owned from here on.
  void engineSetzen(std::unique_ptr<engine::clsVRD4Empfaenger> engine);
  engine::clsVRD4Empfaenger* engine() const { return engine_.get(); }
  // engine() is nullptr afterwards; the object itself goes now or, while
  // its polling step is on the stack, when that step has left (rule 3).
  void engineFreigeben();

  // Runs the loop until anhalten(); returns then. Once only.
  void laufen();
  // Ends the loop after its current round (a loop on the stack, too).
  void anhalten();

  // One tick. Without an engine: nothing.
  void takt();
  // The sleep step of the loop.
  void schlafen(int32_t ms);
  // May a command start now (rule 1)?
  bool darfAusfuehren() const;
  // Whether the loop rests now: the watch looks in its place.
  bool ruht() const { return ruhe_ != 0; }
  // The loop's own tick while it rests: kRuheMs, or a third of the
  // watchdog's ping spacing (seconds; 0: none) when that is shorter.
  static int ruheMs(double pingAbstand);

 private:
  void fehlerImTakt(const char* beschreibung);
  std::function<bool()> ruheBlick();
  bool darfRuhen() const;
  void ruheBeginnen(std::function<bool()> blick);
  void ruheBeenden();

  TaktHost& host_;
  platform::Clock& uhr_;
  std::unique_ptr<support::clsWBTimer> timer_;
  std::unique_ptr<engine::clsVRD4Empfaenger> engine_;
  std::unique_ptr<engine::clsVRD4Empfaenger> entlassen_;  // rule 3
  support::Tiefe imTakt_;
  bool angehalten_ = false;
  // schlafen's wake-up: runs while the loop does, every weckerMs_.
  std::unique_ptr<QTimer> wecker_;
  int weckerMs_ = -1;
  bool geweckt_ = false;
  // The watch of the rest and its number while it looks (0: no rest).
  std::unique_ptr<platform::Wache> wache_;
  uint64_t ruhe_ = 0;
  double ruheAb_ = 0;  // clock seconds from which the loop may rest
};

}  // namespace vrd4::core
