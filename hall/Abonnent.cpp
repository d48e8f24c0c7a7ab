#include "hall/Abonnent.h"

#include <algorithm>
#include <chrono>

#include "hall/HallenAdresse.h"
#include "hall/TafelStatus.h"
#include "hall/Zeilen.h"
#include "protocol/Befehl.h"

namespace vrd4::halle {
Abonnent::Abonnent(MqttEinstellungen mqtt, Anbindung anbindung, Ausfuehren ausfuehren, std::function<bool()> darf,
                   platform::Clock& uhr)
    : mqtt_(std::move(mqtt)),
      anbindung_(std::move(anbindung)),
      ausfuehren_(std::move(ausfuehren)),
      darf_(std::move(darf)),
      uhr_(uhr),
      befehle_(befehleTopic(mqtt_.adresse.halle)),
      szene_(szeneTopic(mqtt_.adresse.halle)) {
  mqtt_.willeTopic = tafelTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel);
  mqtt_.willePayload = statusSchreiben(statusJetzt(false, anbindung_.version, {0, 0}, 0, 0));
  mqtt_.maxNachricht = std::max(kMaxBefehlBytes, kMaxSzeneBytes);
  klient_ = std::make_unique<MqttKlient>(mqtt_);
}

Abonnent::~Abonnent() { beenden(); }

bool Abonnent::starten(std::string& fehler) {
  klient_->abonnieren(szene_);
  klient_->abonnieren(befehle_);
  klient_->wecken = [this] { QMetaObject::invokeMethod(&kontext_, [this] { takt(); }, Qt::QueuedConnection); };
  return klient_->starten(fehler);
}

void Abonnent::beenden() {
  if (beendet_) return;
  beendet_ = true;
  frist_.aus();
  const TafelStatus aus =
      statusJetzt(false, anbindung_.version, anbindung_.tafelGroesse(), folge_.lauf(), folge_.letzte());
  klient_->beenden(std::pair{tafelTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel), statusSchreiben(aus)},
                   std::chrono::seconds(1));
}

void Abonnent::takt() {
  if (beendet_ || imTakt_) return;  // a command's wait may run the event loop
  imTakt_ = true;
  for (auto& e : klient_->abholen()) eingang_.push_back(std::move(e));
  using A = MqttKlient::Ereignis::Art;
  while (!eingang_.empty() && (!darf_ || darf_())) {
    MqttKlient::Ereignis e = std::move(eingang_.front());
    eingang_.pop_front();
    switch (e.art) {
      case A::Verbunden:
        if (e.rc == 0) {
          melden(QStringLiteral("Halle: mit dem Broker verbunden"));
          statusFaellig_ = true;
        } else {
          melden(QStringLiteral("Halle: Broker verweigert: ") + verbindungsText(e.rc, true));
        }
        break;
      case A::Getrennt:
        melden(QStringLiteral("Halle: Verbindung zum Broker: ") + verbindungsText(e.rc, false));
        break;
      case A::Verworfen:
        melden(QStringLiteral("Halle: Nachricht auf %1 verworfen (%2 Bytes, über der Grenze)")
                   .arg(QString::fromStdString(e.topic))
                   .arg(e.groesse));
        break;
      case A::Nachricht:
        if (e.topic == befehle_) befehlsNachricht(e.payload);
        else if (e.topic == szene_) szenenNachricht(e.payload);
        break;
      case A::Bestaetigt: break;
    }
  }
  // A new run counts too: the first scene of a run that has no commands yet
  // leaves seq at 0, and the status must still name the run it drew.
  if (klient_->verbunden() && (statusFaellig_ || gemeldet_ != std::pair{folge_.lauf(), folge_.letzte()}) &&
      uhr_.seconds() - letzterStatus_ >= Verleger::kStatusAbstand) {
    letzterStatus_ = uhr_.seconds();
    statusSenden(true);
  }
  fristSetzen();
  imTakt_ = false;
}

// Messages held back by a running command are looked at again soon; the
// status when it is due. Nothing else wakes the board: a message's arrival
// does (klient_->wecken).
void Abonnent::fristSetzen() {
  const double jetzt = uhr_.seconds();
  double faellig = support::Frist::kNie;
  if (!eingang_.empty()) faellig = jetzt + kNochmalSekunden;
  if (klient_->verbunden() && (statusFaellig_ || gemeldet_ != std::pair{folge_.lauf(), folge_.letzte()}))
    faellig = std::min(faellig, std::max(jetzt, letzterStatus_ + Verleger::kStatusAbstand));
  frist_.setzen(faellig, jetzt);
}

void Abonnent::befehlsNachricht(const std::string& payload) {
  auto n = befehlLesen(payload);
  if (!n) {
    melden(QStringLiteral("Halle: unlesbarer Befehl verworfen (%1 Bytes)").arg(payload.size()));
    return;
  }
  const uint64_t lauf = n->lauf, seq = n->seq;
  const std::size_t doppelte = folge_.doppelte();
  const uint64_t erwartet = folge_.letzte() + 1;
  for (const auto& b : folge_.befehl(std::move(*n))) ausfuehren(b.befehl);
  // Numbers that do not fit are not silent, but said once per run or per
  // gap, not once per message: a redelivery or a new publisher brings many.
  if (folge_.doppelte() != doppelte && gemeldeterDoppelter_ != folge_.lauf()) {
    gemeldeterDoppelter_ = folge_.lauf();
    melden(QStringLiteral("Halle: Befehl %1 schon gezeichnet, verworfen (weitere still)").arg(seq));
  } else if (folge_.zustand() != Folge::Zustand::OhneSzene && lauf != folge_.lauf() && gemeldeterFremder_ != lauf) {
    gemeldeterFremder_ = lauf;
    melden(QStringLiteral("Halle: Befehl %1 eines fremden Laufs %2 wartet auf dessen Szene")
               .arg(seq)
               .arg(lauf, 16, 16, QLatin1Char('0')));
  } else if (lauf == folge_.lauf() && seq > erwartet && lueckeGemeldet_ != erwartet) {
    lueckeGemeldet_ = erwartet;  // each gap once, not every command behind it
    melden(QStringLiteral("Halle: Befehl %1 statt %2: Lücke, wartet auf die nächste Szene").arg(seq).arg(erwartet));
  }
}

void Abonnent::szenenNachricht(const std::string& payload) {
  auto s = szeneLesen(payload);
  if (!s) {
    melden(QStringLiteral("Halle: unlesbare Szene verworfen (%1 Bytes)").arg(payload.size()));
    return;
  }
  const auto danach = folge_.szene(s->lauf, s->seq);
  if (!danach) return;
  for (const auto& e : s->befehle) ausfuehren(e);
  for (const auto& b : *danach) ausfuehren(b.befehl);
}

void Abonnent::ausfuehren(const Eintrag& e) {
  const std::vector<std::u16string> felder = felderAusEintrag(e);
  const protocol::BefehlsSpec* spec = felder.size() > 1 && protocol::istBefehl(felder[0])
                                          ? protocol::findeBefehl(felder[1])
                                          : nullptr;
  if (!spec) {
    melden(QStringLiteral("Halle: kein Befehl: ") + QString::fromStdString(e.text.substr(0, 80)));
    return;
  }
  if (spec->nurOertlich) return;
  try {
    ausfuehren_(felder, e.bild);
  } catch (const std::exception& x) {
    melden(QStringLiteral("Halle: ") + QString::fromStdU16String(felder[1]) + QStringLiteral(": ") +
           QString::fromUtf8(x.what()));
  }
}

void Abonnent::statusSenden(bool online) {
  const TafelStatus s =
      statusJetzt(online, anbindung_.version, anbindung_.tafelGroesse(), folge_.lauf(), folge_.letzte());
  if (klient_->senden(tafelTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel), statusSchreiben(s), true)) {
    statusFaellig_ = false;
    gemeldet_ = {folge_.lauf(), folge_.letzte()};
  }
}

}  // namespace vrd4::halle
