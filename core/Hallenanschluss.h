#pragma once
// The receiver in a hall of screens (hall/, docs/hall.md): with --halle it
// publishes every command it runs and its scene, with --tafel it draws what
// the hall's publisher runs. Either way it shows itself to the hall's
// overview: its picture and its last status lines (halle::Ansicht), anew
// after every command that ran on the board, whichever way it came. Built
// by the receiver core (core/Empfaenger.h) once the engine is there; ended
// before the engine goes.
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/Clock.h"

namespace vrd4::engine {
class clsVRD4Empfaenger;
}
namespace vrd4::szene {
class Szene;
}
namespace vrd4::halle {
class Verleger;
class Abonnent;
class Meldungsverlauf;
}  // namespace vrd4::halle

namespace vrd4::core {

struct HallenOptionen {
  std::string halle;         // --halle mqtt[s]://host[:port]/HALLE: publish
  std::string tafel;         // --tafel mqtt[s]://host[:port]/HALLE/NAME: follow
  std::string caDatei;       // --halle-ca FILE: the CA certificate for mqtts://
  std::string zugangsDatei;  // --halle-zugang FILE: user (line 1) and password (line 2)
  bool aktiv() const { return !halle.empty() || !tafel.empty(); }
};

// A German message for a bad address or both --halle and --tafel; empty
// when the options may run. (The receiver's command line, app/Aufruf.h,
// reads them.)
std::string hallenOptionenPruefen(const HallenOptionen& o);

class Hallenanschluss {
 public:
  struct Host {
    std::function<engine::clsVRD4Empfaenger*()> engine;
    std::function<bool()> darfAusfuehren;
    std::function<void(const QString&)> meldung;
    std::function<std::pair<int, int>()> groesse;
    const szene::Szene* szene = nullptr;  // fed by the engine before the publisher hears
    // For the overview: the board as the screen shows it, and the status
    // list's last entries (outlives this; its `geaendert` is ours while we run).
    std::function<QImage()> bild;
    halle::Meldungsverlauf* meldungen = nullptr;
  };
  Hallenanschluss(HallenOptionen optionen, Host host, platform::Clock& uhr);
  ~Hallenanschluss();
  Hallenanschluss(const Hallenanschluss&) = delete;
  Hallenanschluss& operator=(const Hallenanschluss&) = delete;

  // Connects (in the background); a status-list line when it cannot start.
  void starten();
  // Status online:false, disconnect. Before the engine goes.
  void beenden();
  // The hall's network thread runs and is not stuck (systemd's watchdog
  // is fed only while it is).
  bool gesund() const;

 private:
  HallenOptionen optionen_;
  Host host_;
  platform::Clock& uhr_;
  std::unique_ptr<halle::Verleger> verleger_;
  std::unique_ptr<halle::Abonnent> abonnent_;
  class Aenderungen;  // tells them of every command that ran on the board
  std::unique_ptr<Aenderungen> aenderungen_;
};

}  // namespace vrd4::core
