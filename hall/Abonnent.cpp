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
      wache_(anbindung_.kennung, zeitText(std::chrono::duration_cast<std::chrono::seconds>(
                                              std::chrono::system_clock::now().time_since_epoch())
                                              .count())),
      befehle_(befehleTopic(mqtt_.adresse.halle)),
      szene_(szeneTopic(mqtt_.adresse.halle)),
      eigenerStatus_(tafelTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel)),
      zuletzt_(tafelZuletztTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel)) {
  mqtt_.willeTopic = eigenerStatus_;
  TafelStatus wille = statusJetzt(false, anbindung_.version, {0, 0}, 0, 0);
  wille.kennung = anbindung_.kennung;
  mqtt_.willePayload = statusSchreiben(wille);
  mqtt_.maxNachricht = std::max(kMaxBefehlBytes, kMaxSzeneBytes);
  klient_ = std::make_unique<MqttKlient>(mqtt_);
  ansicht_ = std::make_unique<Ansicht>(
      bildTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel), meldungenTopic(mqtt_.adresse.halle, mqtt_.adresse.tafel),
      Ansicht::Quellen{anbindung_.bild, anbindung_.meldungen},
      [this](const std::string& t, std::string_view p) { return klient_->senden(t, p, true); },
      [this] { QMetaObject::invokeMethod(&kontext_, [this] { takt(); }, Qt::QueuedConnection); });
}

Abonnent::~Abonnent() { beenden(); }

bool Abonnent::starten(std::string& fehler) {
  klient_->abonnieren(szene_);
  klient_->abonnieren(befehle_);
  klient_->abonnieren(eigenerStatus_);
  klient_->wecken = [this] { QMetaObject::invokeMethod(&kontext_, [this] { takt(); }, Qt::QueuedConnection); };
  if (!klient_->starten(fehler, uhr_.seconds())) return false;
  fristSetzen();
  return true;
}

void Abonnent::beenden() {
  if (beendet_) return;
  beendet_ = true;
  frist_.aus();
  ansicht_->beenden();
  if (klient_->verbunden() && zuletztGemeldet_ != std::pair{folge_.lauf(), folge_.letzte()})
    klient_->senden(zuletzt_, statusSchreiben(status(true)), true);
  klient_->beenden(std::pair{eigenerStatus_, statusSchreiben(status(false))}, std::chrono::seconds(1));
}

double Abonnent::frist() const {
  double f = std::min({klient_->frist(), wache_.frist(), ansicht_->frist()});
  if (klient_->verbunden()) {
    const bool neu = statusFaellig_ || gemeldet_ != std::pair{folge_.lauf(), folge_.letzte()};
    f = std::min(f, letzterStatus_ + (neu ? Verleger::kStatusAbstand : Verleger::kWiederholAbstand));
  }
  return f;
}

void Abonnent::takt() {
  if (beendet_ || imTakt_.aktiv()) return;  // a command's wait may run the event loop
  const support::Tiefe::Eintritt eintritt(imTakt_);
  const double jetzt = uhr_.seconds();
  klient_->takt(jetzt);
  for (auto& e : klient_->abholen(jetzt)) eingang_.push_back(std::move(e));
  while (!eingang_.empty() && (!darf_ || darf_())) {
    MqttKlient::Ereignis e = std::move(eingang_.front());
    eingang_.pop_front();
    ereignis(e);
  }
  ansicht_->takt(jetzt);
  if (wache_.takt(jetzt) == Namenswache::Aenderung::WiederAllein) {
    melden(QStringLiteral("Halle: von der zweiten Tafel %1 kam nichts mehr").arg(QString::fromStdString(mqtt_.adresse.tafel)));
    statusFaellig_ = true;
  }
  // A new run counts too: the first scene of a run that has no commands yet
  // leaves seq at 0, and the status must still name the run it drew. And
  // every kWiederholAbstand it goes out again, in case the retained one was
  // lost or replaced.
  const bool neu = statusFaellig_ || gemeldet_ != std::pair{folge_.lauf(), folge_.letzte()};
  if (klient_->verbunden() &&
      jetzt - letzterStatus_ >= (neu ? Verleger::kStatusAbstand : Verleger::kWiederholAbstand)) {
    letzterStatus_ = jetzt;
    statusSenden(true);
  }
  fristSetzen();
}

// Messages held back by a running command are looked at again soon; all
// else when frist() says. A message's arrival wakes the board besides.
void Abonnent::fristSetzen() {
  if (beendet_) return;
  const double jetzt = uhr_.seconds();
  double f = frist();
  if (!eingang_.empty()) f = std::min(f, jetzt + kNochmalSekunden);
  // Something already due is looked at after a loop tick at the earliest.
  frist_.setzen(f == support::Frist::kNie ? f : std::max(f, jetzt + 0.01), jetzt);
}

void Abonnent::ereignis(MqttKlient::Ereignis& e) {
  using A = MqttKlient::Ereignis::Art;
  switch (e.art) {
    case A::Verbunden:
      statusFaellig_ = true;
      ansicht_->verbunden();
      if (!e.meldung.empty()) melden(QStringLiteral("Halle: ") + QString::fromStdString(e.meldung));
      break;
    case A::Getrennt:
      ansicht_->getrennt();
      [[fallthrough]];
    case A::Hinweis:
      if (!e.meldung.empty()) melden(QStringLiteral("Halle: ") + QString::fromStdString(e.meldung));
      break;
    case A::Verworfen:
      melden(QStringLiteral("Halle: Nachricht auf %1 verworfen (%2 Bytes, über der Grenze)")
                 .arg(QString::fromStdString(e.topic))
                 .arg(e.groesse));
      break;
    case A::Nachricht:
      if (e.topic == befehle_) befehlsNachricht(e.payload);
      else if (e.topic == szene_) szenenNachricht(e.payload, e.behalten);
      else if (e.topic == eigenerStatus_) statusNachricht(e.payload, e.behalten);
      break;
    case A::Bestaetigt: ansicht_->bestaetigt(e.mid); break;
  }
}

void Abonnent::tafelGeaendert() {
  if (beendet_ || ansicht_->tafelGeaendertBekannt()) return;
  ansicht_->tafelGeaendert(uhr_.seconds());
  fristSetzen();
}

void Abonnent::meldungenGeaendert() {
  if (beendet_ || ansicht_->meldungenGeaendertBekannt()) return;
  ansicht_->meldungenGeaendert();
  fristSetzen();
}

bool Abonnent::einmal(Folge::Urteil u) {
  const std::pair schluessel{u, folge_.lauf()};
  if (std::find(gesagt_.begin(), gesagt_.end(), schluessel) != gesagt_.end()) return false;
  if (gesagt_.size() >= 32) gesagt_.clear();
  gesagt_.push_back(schluessel);
  return true;
}

void Abonnent::befehlsNachricht(const std::string& payload) {
  auto n = befehlLesen(payload);
  if (!n) {
    melden(QStringLiteral("Halle: unlesbarer Befehl verworfen (%1 Bytes)").arg(payload.size()));
    return;
  }
  const uint64_t lauf = n->lauf, seq = n->seq;
  const uint64_t letzte = folge_.letzte(), erwartet = letzte + 1;
  const bool mitSzene = folge_.zustand() != Folge::Zustand::OhneSzene;
  auto r = folge_.befehl(std::move(*n));
  for (const auto& b : r.laufen) ausfuehren(b.befehl);
  // Numbers that do not fit are not silent, but said once per run or per
  // gap, not once per message: a redelivery, a new publisher or a
  // stranger brings many.
  using U = Folge::Urteil;
  switch (r.urteil) {
    case U::Doppelt:
      if (lauf == folge_.lauf() && einmal(U::Doppelt))
        melden(QStringLiteral("Halle: Befehl %1 schon gezeichnet, verworfen (weitere still)").arg(seq));
      break;
    case U::Abweichend:
      if (einmal(U::Abweichend))
        melden(QStringLiteral("Halle: Befehl %1 mit anderem Inhalt als der schon empfangene, verworfen (weitere still)")
                   .arg(seq));
      break;
    case U::Ausserhalb:
      if (einmal(U::Ausserhalb))
        melden(QStringLiteral("Halle: Befehl %1 liegt mehr als %2 nach dem gezeichneten %3, verworfen (weitere still)")
                   .arg(seq)
                   .arg(Folge::kFenster)
                   .arg(letzte));
      break;
    case U::Wartet:
      if (mitSzene && lauf != folge_.lauf() && gemeldeterFremder_ != lauf) {
        gemeldeterFremder_ = lauf;
        melden(QStringLiteral("Halle: Befehl %1 eines fremden Laufs %2 wartet auf dessen Szene")
                   .arg(seq)
                   .arg(QString::fromStdString(laufText(lauf))));
      } else if (mitSzene && lauf == folge_.lauf() && seq > erwartet && lueckeGemeldet_ != erwartet) {
        lueckeGemeldet_ = erwartet;  // each gap once, not every command behind it
        melden(QStringLiteral("Halle: Befehl %1 statt %2: Lücke, wartet auf die nächste Szene").arg(seq).arg(erwartet));
      }
      break;
    default: break;
  }
}

void Abonnent::szenenNachricht(const std::string& payload, bool behalten) {
  // The head decides; the records are read only for a scene to draw (the
  // publisher's scene comes again now and then, and one in step is
  // ignored unread).
  const auto kopf = kopfLesen(payload);
  if (!kopf || kopf->art != 'S') {
    melden(QStringLiteral("Halle: unlesbare Szene verworfen (%1 Bytes)").arg(payload.size()));
    return;
  }
  if (folge_.zustand() != Folge::Zustand::OhneSzene && kopf->lauf == folge_.lauf() && kopf->seq <= folge_.letzte()) {
    // Older than what was drawn: a stranger's, or a stale one the broker
    // held while we were away (retained: not worth a line).
    if (kopf->seq < folge_.letzte() && !behalten && einmal(Folge::Urteil::Aelter))
      melden(QStringLiteral("Halle: Szene bis Befehl %1 älter als der gezeichnete %2, verworfen (weitere still)")
                 .arg(kopf->seq)
                 .arg(folge_.letzte()));
    return;
  }
  auto s = szeneLesen(payload);
  if (!s) {
    melden(QStringLiteral("Halle: unlesbare Szene verworfen (%1 Bytes)").arg(payload.size()));
    return;
  }
  const auto r = folge_.szene(s->lauf, s->seq);
  if (r.urteil != Folge::Urteil::Gezeichnet) return;
  for (const auto& e : s->befehle) ausfuehren(e);
  for (const auto& b : r.laufen) ausfuehren(b.befehl);
}

void Abonnent::statusNachricht(const std::string& payload, bool behalten) {
  const auto s = statusLesen(payload);
  switch (wache_.nachricht(s, behalten, uhr_.seconds())) {
    case Namenswache::Aenderung::Doppelt:
      melden(QStringLiteral("Halle: eine zweite Tafel %1 ist am Broker (Kennung %2): doppelt")
                 .arg(QString::fromStdString(mqtt_.adresse.tafel), QString::fromStdString(wache_.andere())));
      statusFaellig_ = true;
      break;
    case Namenswache::Aenderung::WiederAllein:
      melden(QStringLiteral("Halle: die zweite Tafel %1 ist fort").arg(QString::fromStdString(mqtt_.adresse.tafel)));
      statusFaellig_ = true;
      break;
    case Namenswache::Aenderung::Ersetzt: statusFaellig_ = true; break;
    case Namenswache::Aenderung::Keine: break;
  }
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

TafelStatus Abonnent::status(bool online) const {
  TafelStatus s = statusJetzt(online, anbindung_.version, anbindung_.tafelGroesse(), folge_.lauf(), folge_.letzte());
  s.kennung = anbindung_.kennung;
  s.doppelt = wache_.doppelt();
  return s;
}

void Abonnent::statusSenden(bool online) {
  const std::string json = statusSchreiben(status(online));
  if (klient_->senden(eigenerStatus_, json, true)) {
    statusFaellig_ = false;
    gemeldet_ = {folge_.lauf(), folge_.letzte()};
  }
  // "Last seen" only changes with what was drawn.
  if (zuletztGemeldet_ != gemeldet_ && klient_->senden(zuletzt_, json, true)) zuletztGemeldet_ = gemeldet_;
}

}  // namespace vrd4::halle
