#pragma once
// The receiver without its window: it builds and wires the parts that run
// the board, and shows itself only through core::Fenster —
//  - the polling loop (core/Taktschleife.h), which owns the engine and
//    decides what may run when;
//  - the scene the engine feeds (szene/Szene.h), encoded on a worker;
//  - the command server and its talk connections (core/Befehlsserver.h);
//  - the forwarding clients Client2 and Client3 (core/Relais.h);
//  - the hall of screens with --halle or --tafel (core/Hallenanschluss.h);
// and handles the engine's events: the local ones ("IPAdresse", "Port",
// "Server starten", "Client verbinden") act on the network, every other
// one goes to the sending program.
//
// Life: construct → laden (engine, hall) → laufen (the loop until the end
// request or anhalten) → anhalten → entladen (sockets, hall, stop mark "0",
// engine). GUI thread only.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/Desktop.h"
#include "core/Fenster.h"
#include "core/Hallenanschluss.h"
#include "core/KanalZahl.h"
#include "core/Taktschleife.h"
#include "engine/Interfaces.h"
#include "platform/Clock.h"
#include "support/clsWBTimer.h"

namespace vrd4::platform {
class Surface;
}
namespace vrd4::szene {
class Szene;
}

namespace vrd4::core {

class Befehlsserver;
class Relais;

class Empfaenger final : public engine::Ereignisziel, private TaktHost {
 public:
  // fenster, tafel (the surface the engine draws on), uhr and desktop must
  // outlive the receiver. sleeper empty: the loop's own sleep step.
  Empfaenger(Fenster& fenster, platform::Surface& tafel, platform::Clock& uhr, Desktop& desktop,
             support::clsWBTimer::Sleeper sleeper = {}, HallenOptionen halle = {});
  ~Empfaenger() override;
  Empfaenger(const Empfaenger&) = delete;
  Empfaenger& operator=(const Empfaenger&) = delete;

  // Once: the engine (opens the channel, writes the start mark "-1"), and
  // the hall connection when one is asked for.
  void laden();
  // The loop until the end request or anhalten(); returns then.
  void laufen() { schleife_->laufen(); }
  // Ends the loop after its current round.
  void anhalten() { schleife_->anhalten(); }
  // Once, after anhalten: closes every socket and the hall, writes the stop
  // mark "0", closes and releases the engine.
  void entladen();
  // One tick (the loop's, also outside it).
  void takt() { schleife_->takt(); }

  // The engine the loop drives; nullptr before laden and after entladen.
  engine::clsVRD4Empfaenger* engine() const { return schleife_->engine(); }
  Taktschleife& schleife() { return *schleife_; }
  // What the network frames show is read here (their fields are written
  // here, too); their buttons go through the calls below.
  Befehlsserver& server() { return *server_; }
  Relais& relais() { return *relais_; }

  // The buttons of the network frames, and what the settings file and
  // --weiterleiten do at start.
  // Server on or off; disconnects both forwarding clients first when Client2
  // is active.
  void serverUmschalten();
  // Client2 to the remembered address and port, or off (core/Relais.h).
  void client2Umschalten();
  // Client3 to the target of its frame, or off.
  void client3Umschalten();
  // The events "IPAdresse" and "Port": Client2's remembered target and the
  // frames' fields (the port is the server's too).
  void adresseSetzen(const QString& adresse);
  void portSetzen(const QString& port);
  // Client3 to adresse:port as if typed into its frame and clicked (unless
  // it is active already).
  void client3Verbinden(const QString& adresse, const QString& port);

  // engine::Ereignisziel: the engine's events (and the forwarding clients').
  // The same event twice in a row is handled once, except "Server starten"
  // once the server has started or stopped since, "Client verbinden" once
  // Client2 has been lost or disconnected since, and a forwarding time-out
  // once a forwarding client has been lost since. Each is shown in the
  // window; the local ones act on the network, every other one goes to the
  // sender (clsVRD4Event, and the title of its event window).
  void VRD4Event(const QString& art, const QString& meldung) override;

 private:
  // TaktHost
  void taktBeginnen(int32_t takte) override;
  std::function<bool()> ruheBlick() override;
  void taktOhneBefehl() override;
  net::Clients* verbindungen() override;
  bool netzAktiv() const override;
  void rundeBeginnen() override { fenster_.rundeBeginnen(); }
  void rundeBeenden() override { fenster_.rundeBeenden(); }

  // A status-list entry of the network or the hall: the list's rule first.
  void meldung(const QString& text);
  void weitergeben(const QString& s, double fensterHandle);
  long netzStand(const QString& art, const QString& meldung) const;

  Fenster& fenster_;
  platform::Surface& tafel_;
  platform::Clock& uhr_;
  Desktop& desktop_;
  HallenOptionen hallenOptionen_;
  // The board's scene, fed by the engine: outlives the engine and the
  // forwarding clients that read it.
  std::unique_ptr<szene::Szene> szene_;
  std::unique_ptr<engine::BefehlsBeobachter> szenenBeobachter_;
  // Publishes to or follows the hall; outlives the engine it observes.
  std::unique_ptr<Hallenanschluss> halle_;
  std::unique_ptr<Relais> relais_;
  std::unique_ptr<Taktschleife> schleife_;
  std::unique_ptr<Befehlsserver> server_;

  bool geladen_ = false;
  bool aufruferAktiviert_ = false;
  KanalZahl aufrufer_, beenden_;  // what every tick looks at
  QString letztesEvent_;
  long letzterNetzStand_ = -1;
};

}  // namespace vrd4::core
