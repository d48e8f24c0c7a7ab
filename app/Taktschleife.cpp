#include "app/Taktschleife.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

#include "engine/clsVRD4Empfaenger.h"
#include "net/clsTalkConnection.h"
#include "platform/Systemd.h"

namespace vrd4::app {

namespace {

double steadyMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Lets the event loop wait for events, but for no longer than ms.
void ereignisseAbwarten(int ms) {
  QTimer wecker;
  wecker.setSingleShot(true);
  wecker.setTimerType(Qt::PreciseTimer);
  wecker.start(ms);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

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
  timer_ = std::make_unique<support::clsWBTimer>(
      sleeper ? std::move(sleeper) : support::clsWBTimer::Sleeper([this](int32_t ms) { schlafen(ms); }));
  timer_->Timer = [this] { takt(); };
}

Taktschleife::~Taktschleife() {
  timer_.reset();
  engine_.reset();
  entlassen_.reset();
}

void Taktschleife::engineSetzen(std::unique_ptr<engine::clsVRD4Empfaenger> engine) { engine_ = std::move(engine); }

void Taktschleife::engineFreigeben() {
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
  if (timer_) timer_->Enabled(false);
  timer_.reset();  // a loop still on the stack ends after its round
}

void Taktschleife::takt() {
  engine::clsVRD4Empfaenger* engine = engine_.get();
  if (!engine) return;
  platform::systemd::lebenszeichen(uhr_.seconds());  // readiness, then the watchdog
  const Runde runde(host_);
  host_.taktBeginnen();
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

  net::Clients* clients = host_.verbindungen();
  if (clients && clients->arbeitWartet() && darfAusfuehren()) clients->anstossen();
  if (engine->befehlLaeuft()) return;
  host_.taktRuhig();
}

// A command that fails inside the polling step must not end the receiver: it
// is reported like any other command error and the next tick goes on. The
// command has already been taken from its slot.
void Taktschleife::fehlerImTakt(const char* beschreibung) {
  // An engine released meanwhile reports nothing: the window has unloaded.
  if (!engine_) return;
  engine_->VRD4Event(QStringLiteral("BefehlFehler"), QStringLiteral("Fehler in ") + engine_->befehlsname() +
                                                         QStringLiteral(": ") + QString::fromUtf8(beschreibung));
}

void Taktschleife::schlafen(int32_t ms) {
  if (!host_.netzAktiv()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  const double ende = steadyMs() + ms;
  const Runde runde(host_);
  for (double rest = ms; rest > 0; rest = ende - steadyMs()) {
    net::Clients* clients = host_.verbindungen();
    if (clients && darfAusfuehren() && clients->arbeitWartet()) {
      clients->abarbeiten(std::min(net::Clients::kStapelSekunden, rest / 1000.0));
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      continue;
    }
    ereignisseAbwarten(std::max(1, static_cast<int>(std::ceil(rest))));
    if (angehalten_) return;
  }
}

bool Taktschleife::darfAusfuehren() const {
  return engine_ && !engine_->befehlLaeuft();
}

}  // namespace vrd4::app
