#pragma once
// The receiver's one loop, and what may run inside a wait.
//
// The loop. While the window is loaded the timer clsWBTimer runs on the GUI
// thread and is its event pump: sleep kIntervallMs, tick, process pending Qt
// events, again.
//  - The tick (takt): the window's own part (tick counters, the caller's
//    window, the status-list rule), then the engine's polling step
//    Zeitschleife: scrolling, blinking and animation steps, and the ring's
//    waiting commands, as many as fit in the engine's budget (at least one, a
//    lap of the ring at most, one while Client2 is connected). Then the TCP
//    lines that wait are pushed, and the end request is looked at.
//  - The sleep step (schlafen): with no socket open the thread just sleeps.
//    Otherwise it waits for socket events and runs the TCP connections'
//    lines in batches (net::Clients::kStapelSekunden each) until the
//    interval has passed.
//
// Waits. Two things run the event loop from inside other work:
//  - the forwarding wait: a ring command waits up to
//    clsVRD4Empfaenger::kWeiterleitungsWartezeit for Client2's "OK"
//    (engine::Forwarder::pumpOnce, which is einmalWarten);
//  - the connect wait of Client2 or Client3 (verbindeWarten + einmalWarten).
// Message boxes do not wait (app/GuiMessageBox.h): nothing stops for them.
// A tick or a network line may arrive inside a wait. The rules:
//  1. No second command starts while one runs (engine: befehlLaeuft()) or a
//     connect wait runs (imWarten): the tick then only moves the display
//     (the engine's polling step takes nothing from the ring while a command
//     runs, and the tick calls AnzeigeTakten alone inside a connect wait);
//     the TCP lines stay queued (darfAusfuehren() is false) and run
//     afterwards, in order. The engine's BefehlAusfuehren and
//     BefehlDirektAusfuehren themselves do not queue.
//  2. The display goes on in every wait: einmalWarten ticks at most every
//     kWarteschrittMs.
//  3. The window does not unload from inside a wait or a command: the end
//     request is honoured on the first tick outside both.
//  4. An engine released while its polling step is on the stack (imTakt)
//     is destroyed when that step has left.
// Every guard is a support::Tiefe held by a scope: imTakt and imWarten here,
// the engine's running command (befehlLaeuft()), and two that protect
// objects rather than order: net::Clients removes a closed connection only
// when no batch is on the stack, net::clsSocket deletes its Qt objects later
// while one of their callbacks runs.
//
// GUI thread only.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Clock.h"
#include "support/Tiefe.h"
#include "support/clsWBTimer.h"

namespace vrd4::engine {
class clsVRD4Empfaenger;
}
namespace vrd4::net {
class Clients;
}

namespace vrd4::app {

// What the loop needs of the window.
class TaktHost {
 public:
  virtual ~TaktHost() = default;
  // The window's own part of every tick, before the engine's polling step.
  virtual void taktBeginnen() = 0;
  // After a tick outside every wait and command (rule 3).
  virtual void taktRuhig() = 0;
  // The TCP connections (nullptr: none) and whether any socket is open.
  virtual net::Clients* verbindungen() = 0;
  virtual bool netzAktiv() const = 0;
};

class Taktschleife {
 public:
  static constexpr int kIntervallMs = 10;
  static constexpr int kWarteschrittMs = 10;

  // sleeper empty: schlafen. host and uhr must outlive the loop.
  Taktschleife(TaktHost& host, platform::Clock& uhr, support::clsWBTimer::Sleeper sleeper = {});
  ~Taktschleife();
  Taktschleife(const Taktschleife&) = delete;
  Taktschleife& operator=(const Taktschleife&) = delete;

  // The engine the loop drives; owned from here on.
  void engineSetzen(std::unique_ptr<engine::clsVRD4Empfaenger> engine);
  engine::clsVRD4Empfaenger* engine() const { return engine_.get(); }
  // engine() is nullptr afterwards; the object itself goes now or, while
  // its polling step is on the stack, when that step has left (rule 4).
  void engineFreigeben();

  // Runs the loop until anhalten(); returns then. Once only.
  void laufen();
  // Ends the loop after its current round (a loop on the stack, too).
  void anhalten();

  // One tick. Without an engine: nothing.
  void takt();
  // The sleep step of the loop.
  void schlafen(int32_t ms);
  // One step of a wait: the tick when kWarteschrittMs have passed since the
  // last one, then the event loop for at most kWarteschrittMs.
  void einmalWarten();
  // Held for the whole of a connect wait.
  support::Tiefe::Eintritt verbindeWarten() { return support::Tiefe::Eintritt(imWarten_); }
  bool wartet() const { return imWarten_.aktiv(); }
  // May a command start now (rule 1)?
  bool darfAusfuehren() const;

 private:
  void fehlerImTakt(const char* beschreibung);

  TaktHost& host_;
  platform::Clock& uhr_;
  std::unique_ptr<support::clsWBTimer> timer_;
  std::unique_ptr<engine::clsVRD4Empfaenger> engine_;
  std::unique_ptr<engine::clsVRD4Empfaenger> entlassen_;  // rule 4
  support::Tiefe imTakt_, imWarten_;
  double letzterWarteTakt_ = -1.0;
  bool angehalten_ = false;
};

}  // namespace vrd4::app
