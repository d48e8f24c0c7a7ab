#pragma once
// What the receiver core needs of the window that shows it: the one way from
// core/ up to app/ (the window calls down into core::Empfaenger). The main
// window (app/FrmVRD4Empfaenger) implements it. Everything is called on the
// GUI thread, synchronously.
#include <QString>
#include <cstdint>
#include <utility>

#include "engine/Interfaces.h"

namespace vrd4::halle {
class Meldungsverlauf;
}

namespace vrd4::core {

// The engine's own part (letzterBefehl, statusEintrag) comes from
// engine::Statusausgabe: the engine writes to the window directly.
class Fenster : public engine::Statusausgabe {
 public:
  // The status list's rule: emptied when it holds 7 or more entries. The core
  // applies it before each event, on each tick, and before each entry of the
  // network and the hall (the engine's own entries do not).
  virtual void listeKuerzen() = 0;
  // An event the receiver handled, as "Art;Meldung" (the status label).
  virtual void ereignisZeigen(const QString& text) = 0;
  // Something the network frames show has changed: the server, a forwarding
  // client's state, the connect the operator follows, a field set by an
  // event (read it from the core's Befehlsserver and Relais).
  virtual void netzZeigen() = 0;
  // Around the work of a tick and of a sleep step: what the window shows of
  // it may be gathered and shown once at the end (the board repainted once).
  virtual void rundeBeginnen() = 0;
  virtual void rundeBeenden() = 0;
  // The window's own part of every tick (the tick counts, the player's
  // window, the status list's rule), before the engine's polling step: takte
  // counts this tick and the watch's looks since the last one.
  virtual void taktBeginnen(int32_t takte) = 0;
  // The sending program asked the receiver to end (outside every command).
  virtual void beenden() = 0;
  // The board's size in pixels as the window has it (the hall's status).
  virtual std::pair<int, int> tafelGroesse() const = 0;
  // The status list's last entries as the hall's overview shows them.
  virtual halle::Meldungsverlauf& meldungsverlauf() = 0;
};

}  // namespace vrd4::core
