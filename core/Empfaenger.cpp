#include "core/Empfaenger.h"

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "core/Befehlsserver.h"
#include "core/Relais.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Surface.h"
#include "support/Numbers.h"
#include "szene/PngSchnell.h"
#include "szene/Szene.h"

namespace vrd4::core {
namespace gv = channel::modVRD4GlobaleVariablen;

namespace {

// Feeds the scene with every command that ran on the board.
class SzenenBeobachter final : public engine::BefehlsBeobachter {
 public:
  explicit SzenenBeobachter(szene::Szene& szene) : szene_(szene) {}
  void befehlGelaufen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                      std::optional<uint8_t> antwortNr) override {
    szene_.aufnehmen(befehl, bildBytes, antwortNr);
  }
  void befehlGelaufenGeteilt(const protocol::Befehl& befehl, const std::shared_ptr<const std::vector<uint8_t>>& bild,
                             std::optional<uint8_t> antwortNr) override {
    szene_.aufnehmen(befehl, bild, antwortNr);
  }

 private:
  szene::Szene& szene_;
};

}  // namespace

Empfaenger::Empfaenger(Fenster& fenster, platform::Surface& tafel, platform::Clock& uhr, Desktop& desktop,
                       support::clsWBTimer::Sleeper sleeper, HallenOptionen halle)
    : fenster_(fenster), tafel_(tafel), uhr_(uhr), desktop_(desktop), hallenOptionen_(std::move(halle)) {
  // Compaction pictures the board's own image (the effect controls over it
  // are kept as commands). A flood of commands asks for one every few
  // thousand commands: made fast, and encoded beside the GUI thread from a
  // copy of its own, as the board draws on meanwhile.
  szene_ = std::make_unique<szene::Szene>(szene::Szene::Aufnahme([this]() -> szene::Szene::Kodierung {
    return [bild = tafel_.image().copy()] { return szene::pngSchnell(bild); };
  }));
  szenenBeobachter_ = std::make_unique<SzenenBeobachter>(*szene_);
  relais_ = std::make_unique<Relais>(
      uhr_, Relais::Anschluss{
                .statusEintrag = [this](const QString& t) { meldung(t); },
                .serverStoppen = [this] { server_->stoppen(); },
                .ereignis = [this](const QString& art, const QString& text) { VRD4Event(art, text); },
                .geaendert = [this] { fenster_.netzZeigen(); },
            });
  relais_->szeneSetzen(szene_.get());
  TaktHost& host = *this;
  schleife_ = std::make_unique<Taktschleife>(host, uhr_, std::move(sleeper));
  server_ = std::make_unique<Befehlsserver>(
      *schleife_, *relais_, uhr_, [this](const QString& t) { meldung(t); }, [this] { fenster_.netzZeigen(); });
}

Empfaenger::~Empfaenger() {
  // The engine reports and forwards through the parts below: it goes first.
  // The hall says goodbye while the board can still tell its size, and goes
  // after the engine that observes through it.
  if (halle_) halle_->beenden();
  schleife_.reset();
  server_.reset();
  relais_.reset();
  halle_.reset();
}

void Empfaenger::laden() {
  if (geladen_) return;
  geladen_ = true;
  schleife_->engineSetzen(std::make_unique<engine::clsVRD4Empfaenger>(tafel_, fenster_, *this, uhr_, relais_.get()));
  engine()->beobachterHinzufuegen(*szenenBeobachter_);
  if (!hallenOptionen_.aktiv()) return;
  Hallenanschluss::Host host{.engine = [this] { return engine(); },
                             .darfAusfuehren = [this] { return schleife_->darfAusfuehren(); },
                             .meldung = [this](const QString& t) { meldung(t); },
                             .groesse = [this] { return fenster_.tafelGroesse(); },
                             .szene = szene_.get(),
                             .bild = [this] { return tafel_.presented(); },
                             .meldungen = &fenster_.meldungsverlauf()};
  halle_ = std::make_unique<Hallenanschluss>(hallenOptionen_, std::move(host), uhr_);
  halle_->starten();
}

void Empfaenger::entladen() {
  if (!geladen_) return;
  schleife_->anhalten();
  server_->schliessen();
  relais_->schliessen();
  if (halle_) halle_->beenden();
  gv::clsVRD4EmpfaengerGestartet().SetMemory(u"0");
  if (engine::clsVRD4Empfaenger* e = engine()) {
    e->VRD4Close();
    schleife_->engineFreigeben();
  }
}

void Empfaenger::meldung(const QString& text) {
  fenster_.listeKuerzen();
  fenster_.statusEintrag(text);
}

// ---------------------------------------------------------------------------
// The network: what the buttons, the events and the start do

void Empfaenger::serverUmschalten() {
  relais_->client2Trennen(true);
  server_->umschalten();
}

void Empfaenger::client2Umschalten() { relais_->client2Umschalten(); }
void Empfaenger::client3Umschalten() { relais_->client3Umschalten(); }

void Empfaenger::adresseSetzen(const QString& adresse) {
  relais_->gemerkteAdresse = adresse;
  relais_->client2Adresse = adresse;
  fenster_.netzZeigen();
}

void Empfaenger::portSetzen(const QString& port) {
  relais_->gemerkterPort = port;
  server_->port = port;
  fenster_.netzZeigen();
}

void Empfaenger::client3Verbinden(const QString& adresse, const QString& port) {
  relais_->client3Adresse = adresse;
  relais_->client3Port = port;
  fenster_.netzZeigen();
  if (!relais_->Client3().aktiv()) relais_->client3Umschalten();
}

// ---------------------------------------------------------------------------
// The core's part of every tick

void Empfaenger::taktBeginnen(int32_t takte) {
  if (!aufruferAktiviert_) {
    const double h = aufrufer_.lesen(gv::clsVRD4AufrufFensterhandle());
    if (h > 0) {
      aufruferAktiviert_ = true;
      if (h <= 0xFFFFFFFF) desktop_.activateWindow(static_cast<platform::x11::WindowId>(h));
    }
  }
  fenster_.taktBeginnen(takte);
}

void Empfaenger::taktOhneBefehl() {
  if (beenden_.lesen(gv::clsVRD4ProgrammBeenden()) == -1.0) fenster_.beenden();
}

// What every tick reads: the end request, and the caller's window until it
// has been found.
std::function<bool()> Empfaenger::ruheBlick() {
  std::function<bool()> beenden = beenden_.unveraendert(gv::clsVRD4ProgrammBeenden());
  if (aufruferAktiviert_) return beenden;
  return [beenden = std::move(beenden), aufrufer = aufrufer_.unveraendert(gv::clsVRD4AufrufFensterhandle())] {
    return beenden() && aufrufer();
  };
}

net::Clients* Empfaenger::verbindungen() { return &server_->Clients(); }

bool Empfaenger::netzAktiv() const { return server_->aktiv() || relais_->aktiv(); }

// ---------------------------------------------------------------------------
// Events

void Empfaenger::VRD4Event(const QString& art, const QString& meldung) {
  fenster_.listeKuerzen();
  const QString s = art + QLatin1Char(';') + meldung;
  const std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  const double h = handle.empty() ? 0.0 : leadingNumber(handle);

  // The same event twice in a row is handled once, unless what it acts on
  // has moved since (a sender repairing a second outage).
  if (s == letztesEvent_ && netzStand(art, meldung) == letzterNetzStand_) return;
  letztesEvent_ = s;
  fenster_.ereignisZeigen(s);

  if (art == QLatin1String("IPAdresse")) {
    adresseSetzen(meldung);
  } else if (art == QLatin1String("Port")) {
    portSetzen(meldung);
  } else if (art == QLatin1String("Server starten")) {
    serverUmschalten();
  } else if (art == QLatin1String("Client verbinden")) {
    relais_->client2Trennen(false);
    relais_->client2Umschalten();
  } else {
    weitergeben(s, h);
  }
  letzterNetzStand_ = netzStand(art, meldung);
}

long Empfaenger::netzStand(const QString& art, const QString& meldung) const {
  if (art == QLatin1String("Server starten")) return server_->stand();
  if (art == QLatin1String("Client verbinden")) return relais_->client2Stand();
  if (art == QLatin1String("BefehlFehler") && meldung.endsWith(QStringLiteral(" - Timeout überschritten!")))
    return relais_->verlustStand();
  return -1;
}

void Empfaenger::weitergeben(const QString& s, double fensterHandle) {
  const std::u16string text = s.toStdU16String();
  gv::clsVRD4Event().SetMemory(text);
  // X window ids are 32-bit; anything beyond names no window.
  if (fensterHandle >= 1 && fensterHandle <= 0xFFFFFFFF) {
    desktop_.setWindowText(static_cast<platform::x11::WindowId>(fensterHandle), text);
  }
}

}  // namespace vrd4::core
