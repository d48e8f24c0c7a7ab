#include "core/Taktschleife.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <optional>

#include "engine/clsVRD4Empfaenger.h"
#include "net/clsTalkConnection.h"
#include "platform/Systemd.h"
#include "platform/Wache.h"

namespace vrd4::core {

namespace {

class Runde {
 public:
  explicit Runde(TaktHost& host) : host_(host) { host_.rundeBeginnen(); }
  ~Runde() { host_.rundeBeenden(); }
  Runde(const Runde&) = delete;
  Runde& operator=(const Runde&) = delete;

 private:
  TaktHost& host_;
};

}  // namespace

Taktschleife::Taktschleife(TaktHost& host, platform::Clock& uhr, support::clsWBTimer::Sleeper sleeper)
    : host_(host), uhr_(uhr) {
  const bool eigenerSchlaf = !sleeper;
  timer_ = std::make_unique<support::clsWBTimer>(
      eigenerSchlaf ? support::clsWBTimer::Sleeper([this](int32_t ms) { schlafen(ms); }) : std::move(sleeper),
      eigenerSchlaf);
  timer_->Timer = [this] { takt(); };
}

Taktschleife::~Taktschleife() {
  wache_.reset();  // its looks read the engine's variables
  timer_.reset();
  engine_.reset();
  entlassen_.reset();
}

void Taktschleife::engineSetzen(std::unique_ptr<engine::clsVRD4Empfaenger> engine) {
  ruheBeenden();
  engine_ = std::move(engine);
}

void Taktschleife::engineFreigeben() {
  ruheBeenden();  // the watch's looks read the engine's variables
  if (imTakt_.aktiv()) {
    entlassen_ = std::move(engine_);
  } else {
    engine_.reset();
  }
}

void Taktschleife::laufen() {
  if (!timer_ || angehalten_) return;
  timer_->IntervalSetzen(kIntervallMs);
  // Returns only when anhalten has stopped the timer.
  timer_->Enabled(true);
}

void Taktschleife::anhalten() {
  angehalten_ = true;
  ruheBeenden();
  if (wecker_) wecker_->stop();
  if (timer_) timer_->Enabled(false);
  timer_.reset();  // a loop still on the stack ends after its round
}

void Taktschleife::takt() {
  engine::clsVRD4Empfaenger* engine = engine_.get();
  if (!engine) return;
  platform::systemd::lebenszeichen(uhr_.seconds());  // readiness, then the watchdog
  const Runde runde(host_);
  host_.taktBeginnen(1 + (wache_ ? wache_->blickeNehmen() : 0));
  const int32_t gelesen = engine->Lesezeiger();
  {
    const support::Tiefe::Eintritt eintritt(imTakt_);
    try {
      engine->Zeitschleife();
    } catch (const std::exception& e) {
      fehlerImTakt(e.what());
    } catch (...) {
      fehlerImTakt("unbekannter Fehler");
    }
  }
  if (!imTakt_.aktiv()) entlassen_.reset();
  if (!engine_) return;
  if (engine->Lesezeiger() != gelesen) ruheAb_ = uhr_.seconds() + kNachlaufSekunden;

  net::Clients* clients = host_.verbindungen();
  if (clients && clients->arbeitWartet() && darfAusfuehren()) clients->anstossen();
  if (engine->befehlLaeuft()) return;
  host_.taktOhneBefehl();
}

// A command that fails inside the polling step must not end the receiver: it
// is reported like any other command error and the next tick goes on. The
// command has already been taken from its slot.
void Taktschleife::fehlerImTakt(const char* beschreibung) {
  // An engine released meanwhile reports nothing: the window has unloaded.
  if (!engine_) return;
  engine_->befehlsfehlerMelden(beschreibung);
}

void Taktschleife::schlafen(int32_t ms) {
  // A timer that keeps running, rather than one set each round: nothing is
  // registered or allocated per tick.
  if (!wecker_) {
    wecker_ = std::make_unique<QTimer>();
    wecker_->setTimerType(Qt::PreciseTimer);
    QObject::connect(wecker_.get(), &QTimer::timeout, [this] { geweckt_ = true; });
  }
  std::function<bool()> blick = ruheBlick();
  const int warten = blick ? ruheMs(platform::systemd::lebenszeichenAbstand()) : ms;
  if (weckerMs_ != warten || !wecker_->isActive()) {
    weckerMs_ = warten;
    geweckt_ = false;
    wecker_->start(std::max(0, warten));
  }
  if (blick) ruheBeginnen(std::move(blick));
  std::optional<Runde> runde(std::in_place, host_);
  // Fired already (an event loop that a command ran inside the tick): the
  // events the tick left still run before the next tick.
  if (geweckt_) QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Work of the loop's own ends the rest: back to the beat.
  const auto zumTakt = [&] {
    ruheBeenden();
    weckerMs_ = ms;
    wecker_->start(std::max(0, ms));
  };
  while (!geweckt_) {
    net::Clients* clients = host_.netzAktiv() ? host_.verbindungen() : nullptr;
    if (clients && darfAusfuehren() && clients->arbeitWartet()) {
      // TCP lines (maybe the start of a flood) are such work: they run in
      // rounds of one beat, as when the loop does not rest.
      if (ruht()) zumTakt();
      ruheAb_ = uhr_.seconds() + kNachlaufSekunden;
      const double rest = std::max(0, wecker_->remainingTime()) / 1000.0;
      clients->abarbeiten(std::min(net::Clients::kStapelSekunden, rest));
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (angehalten_) return;
    if (!ruht()) continue;
    if (darfRuhen()) {
      // A step at rest may last a second: what an event did shows now (the
      // round ends, a new one begins).
      runde.emplace(host_);
    } else {
      zumTakt();  // an event gave the loop work (a GIF its worker finished)
    }
  }
  ruheBeenden();
  geweckt_ = false;
}

int Taktschleife::ruheMs(double pingAbstand) {
  // A watchdog of a second or less must hear from us while we rest, too:
  // three ticks between two pings, so that a tick a little early never
  // makes a ping wait for a whole further tick.
  if (pingAbstand <= 0) return kRuheMs;
  return std::clamp(static_cast<int>(pingAbstand * 1000 / 3), kIntervallMs, kRuheMs);
}

bool Taktschleife::darfRuhen() const {
  if (!engine_ || angehalten_ || imTakt_.aktiv() || !engine_->darfRuhen()) return false;
  net::Clients* clients = host_.netzAktiv() ? host_.verbindungen() : nullptr;
  return !(clients && clients->arbeitWartet());
}

std::function<bool()> Taktschleife::ruheBlick() {
  if (uhr_.seconds() < ruheAb_ || !darfRuhen()) return {};
  std::function<bool()> ring = engine_->ruheBlick();
  if (!ring) return {};
  std::function<bool()> fenster = host_.ruheBlick();
  if (!fenster) return {};
  return [ring = std::move(ring), fenster = std::move(fenster)] { return ring() && fenster(); };
}

void Taktschleife::ruheBeginnen(std::function<bool()> blick) {
  if (!wache_) {
    // Called on the watch's thread: the wake-up is handed to ours, and one
    // that comes after its rest has ended is dropped.
    wache_ = std::make_unique<platform::Wache>(kIntervallMs, [this, ziel = wecker_.get()](uint64_t nummer) {
      QMetaObject::invokeMethod(ziel, [this, nummer] {
        if (nummer == ruhe_) geweckt_ = true;
      }, Qt::QueuedConnection);
    });
  }
  ruhe_ = wache_->beginnen(std::move(blick));
}

void Taktschleife::ruheBeenden() {
  if (!ruhe_) return;
  ruhe_ = 0;
  wache_->beenden();
}

bool Taktschleife::darfAusfuehren() const {
  return engine_ && !engine_->befehlLaeuft();
}

}  // namespace vrd4::core
