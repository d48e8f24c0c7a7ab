#include "core/Hallenanschluss.h"

#include <cstring>

#include "engine/clsVRD4Empfaenger.h"
#include "hall/Abonnent.h"
#include "hall/HallenAdresse.h"
#include "hall/Meldungen.h"
#include "hall/Verleger.h"
#include "platform/Systemd.h"

namespace vrd4::core {

std::string hallenOptionenPruefen(const HallenOptionen& o) {
  if (!o.halle.empty() && !o.tafel.empty()) return "--halle und --tafel schließen sich aus";
  for (const auto& [url, mitTafel] : {std::pair{&o.halle, false}, std::pair{&o.tafel, true}}) {
    if (url->empty()) continue;
    const auto r = halle::adresseLesen(*url, mitTafel);
    if (const auto* fehler = std::get_if<std::string>(&r))
      return (mitTafel ? "--tafel: " : "--halle: ") + *fehler;
  }
  return {};
}

class Hallenanschluss::Aenderungen final : public engine::BefehlsBeobachter {
 public:
  explicit Aenderungen(Hallenanschluss& h) : h_(h) {}
  void befehlGelaufen(const protocol::Befehl&, std::span<const uint8_t>, std::optional<uint8_t>) override {
    if (h_.verleger_) h_.verleger_->tafelGeaendert();
    if (h_.abonnent_) h_.abonnent_->tafelGeaendert();
  }

 private:
  Hallenanschluss& h_;
};

Hallenanschluss::Hallenanschluss(HallenOptionen optionen, Host host, platform::Clock& uhr)
    : optionen_(std::move(optionen)), host_(std::move(host)), uhr_(uhr) {}

Hallenanschluss::~Hallenanschluss() { beenden(); }

void Hallenanschluss::starten() {
  if (!optionen_.aktiv() || verleger_ || abonnent_) return;
  const bool tafel = !optionen_.tafel.empty();
  halle::MqttEinstellungen e;
  e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(tafel ? optionen_.tafel : optionen_.halle, tafel));
  e.caDatei = optionen_.caDatei;
  // One client id per process: two boards given one name (or a publisher
  // started twice) stay connected side by side and see each other by the
  // kennung in their statuses, instead of throwing each other off the
  // broker every second. (A broker with use_username_as_clientid replaces
  // it by the user name.)
  const std::string kennung = halle::neueKennung();
  e.clientId = "vrd4-" + e.adresse.halle + "-" + (tafel ? e.adresse.tafel : std::string("quelle")) + "-" + kennung;
  std::string fehler;
  if (!optionen_.zugangsDatei.empty()) {
    const auto zugang = halle::zugangLesen(optionen_.zugangsDatei, fehler);
    if (!zugang) {
      host_.meldung(QStringLiteral("Halle: ") + QString::fromStdString(fehler));
      return;
    }
    std::tie(e.benutzer, e.passwort) = *zugang;
  }
  halle::Anbindung anbindung{.version = VRD4_VERSION,
                             .groesse = host_.groesse,
                             .meldung = host_.meldung,
                             .kennung = kennung,
                             .bild = host_.bild,
                             .meldungen = host_.meldungen};
  bool gestartet = false;
  if (tafel) {
    auto ausfuehren = [this](std::span<const std::u16string> felder, std::span<const uint8_t> bild) {
      if (engine::clsVRD4Empfaenger* en = host_.engine()) en->BefehlDirektAusfuehren(felder, bild);
    };
    abonnent_ = std::make_unique<halle::Abonnent>(e, anbindung, ausfuehren, host_.darfAusfuehren, uhr_);
    gestartet = abonnent_->starten(fehler);
  } else {
    verleger_ = std::make_unique<halle::Verleger>(e, *host_.szene, anbindung, uhr_);
    gestartet = verleger_->starten(fehler);
    if (gestartet)
      if (engine::clsVRD4Empfaenger* en = host_.engine()) en->beobachterHinzufuegen(*verleger_);
  }
  if (!gestartet) {
    host_.meldung(QStringLiteral("Halle: ") + QString::fromStdString(fehler));
    return;
  }
  aenderungen_ = std::make_unique<Aenderungen>(*this);
  if (engine::clsVRD4Empfaenger* en = host_.engine()) en->beobachterHinzufuegen(*aenderungen_);
  if (host_.meldungen)
    host_.meldungen->geaendert = [this] {
      if (verleger_) verleger_->meldungenGeaendert();
      if (abonnent_) abonnent_->meldungenGeaendert();
    };
  // A hall client whose thread is stuck stops the watchdog's pings, as a
  // tick that stops does.
  platform::systemd::lebenszeichenBedingung([this] { return gesund(); });
  host_.meldung(QStringLiteral("Halle: %1 %2:%3/%4 (Kennung %5)")
                    .arg(tafel ? QStringLiteral("Tafel %1 an").arg(QString::fromStdString(e.adresse.tafel))
                               : QStringLiteral("Quelle an"))
                    .arg(QString::fromStdString(e.adresse.host))
                    .arg(e.adresse.port)
                    .arg(QString::fromStdString(e.adresse.halle), QString::fromStdString(kennung)));
}

void Hallenanschluss::beenden() {
  platform::systemd::lebenszeichenBedingung(nullptr);
  if (host_.meldungen) host_.meldungen->geaendert = nullptr;
  if (verleger_) verleger_->beenden();
  if (abonnent_) abonnent_->beenden();
}

bool Hallenanschluss::gesund() const {
  if (verleger_) return verleger_->gesund();
  if (abonnent_) return abonnent_->gesund();
  return true;
}

}  // namespace vrd4::core
