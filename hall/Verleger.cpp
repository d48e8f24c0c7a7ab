#include "hall/Verleger.h"

#include <algorithm>
#include <chrono>

#include "hall/HallenAdresse.h"
#include "hall/Nachricht.h"
#include "hall/TafelStatus.h"
#include "hall/Zeilen.h"

namespace vrd4::halle {

Verleger::Verleger(MqttEinstellungen mqtt, const szene::Szene& szene, Anbindung anbindung, platform::Clock& uhr)
    : mqtt_(std::move(mqtt)),
      anbindung_(std::move(anbindung)),
      uhr_(uhr),
      szene_(szene),
      herkunft_(neuerLauf()),
      befehleTopic_(befehleTopic(mqtt_.adresse.halle)),
      szeneTopic_(szeneTopic(mqtt_.adresse.halle)),
      statusTopic_(quelleTopic(mqtt_.adresse.halle)),
      zuletztTopic_(quelleZuletztTopic(mqtt_.adresse.halle)) {
  mqtt_.willeTopic = statusTopic_;
  TafelStatus wille = statusJetzt(false, anbindung_.version, {0, 0}, herkunft_.lauf(), 0);
  wille.kennung = anbindung_.kennung;
  mqtt_.willePayload = statusSchreiben(wille);
  klient_ = std::make_unique<MqttKlient>(mqtt_);
  ansicht_ = std::make_unique<Ansicht>(
      bildTopic(mqtt_.adresse.halle, {}), meldungenTopic(mqtt_.adresse.halle, {}),
      Ansicht::Quellen{anbindung_.bild, anbindung_.meldungen},
      [this](const std::string& t, std::string_view p) { return klient_->senden(t, p, true); },
      [this] { QMetaObject::invokeMethod(&kontext_, [this] { takt(); }, Qt::QueuedConnection); });
}

Verleger::~Verleger() { beenden(); }

bool Verleger::starten(std::string& fehler) {
  for (const auto& t : {befehleTopic_, szeneTopic_, statusTopic_}) klient_->abonnieren(t);
  klient_->wecken = [this] { QMetaObject::invokeMethod(&kontext_, [this] { takt(); }, Qt::QueuedConnection); };
  if (!klient_->starten(fehler, uhr_.seconds())) return false;
  fristSetzen();
  return true;
}

void Verleger::beenden() {
  if (beendet_) return;
  beendet_ = true;
  frist_.aus();
  ansicht_->beenden();
  if (klient_->verbunden() && zuletztGemeldet_ != std::pair{herkunft_.lauf(), herkunft_.seq()})
    klient_->senden(zuletztTopic_, statusSchreiben(status(true)), true);
  klient_->beenden(std::pair{statusTopic_, statusSchreiben(status(false))}, std::chrono::seconds(1));
}

void Verleger::befehlGelaufen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                              std::optional<uint8_t>) {
  if (beendet_ || !befehl.spec || befehl.spec->nurOertlich) return;
  // The scene and the status are due after a command; the deadline is only
  // ever moved earlier here, so a flood of commands does not re-arm it.
  struct Danach {
    Verleger* v;
    ~Danach() { v->fristSetzen(); }
  } danach{this};
  if (!klient_->verbunden()) {
    herkunft_.befehl(std::nullopt);
    ++ausgelassen_;
    return;
  }
  // The picture travels as bytes beside the text, so the text is built with
  // an empty content field instead of a hex copy twice the file's size.
  const Eintrag e = eintragAusZeile(protocol::weiterleitungstext(befehl), bildBytes);
  const std::string payload = befehlSchreiben(herkunft_.lauf(), herkunft_.seq() + 1, e.text, e.bild);
  if (!ausgang_.platz(payload.size())) {
    herkunft_.befehl(std::nullopt);
    ++ausgelassen_;
    if (!ueberlaufGemeldet_)
      melden(QStringLiteral("Halle: Ausgang voll (%1 Nachrichten), Tafeln holen über die Szene auf")
                 .arg(ausgang_.nachrichten()));
    ueberlaufGemeldet_ = true;
    return;
  }
  ueberlaufGemeldet_ = false;
  if (const auto mid = klient_->senden(befehleTopic_, payload, false)) {
    herkunft_.befehl(inhaltsPruefsumme(payload));
    ausgang_.gesendet(*mid, payload.size());
  } else {
    herkunft_.befehl(std::nullopt);
    ++ausgelassen_;
  }
}

void Verleger::ereignisse(double jetzt) {
  for (auto& e : klient_->abholen(jetzt)) {
    using A = MqttKlient::Ereignis::Art;
    switch (e.art) {
      case A::Verbunden:
        szeneSeq_.reset();  // the broker may have lost the retained scene
        statusFaellig_ = true;
        ansicht_->verbunden();
        [[fallthrough]];
      case A::Hinweis:
        if (!e.meldung.empty()) melden(QStringLiteral("Halle: ") + QString::fromStdString(e.meldung));
        break;
      case A::Getrennt:
        if (!e.meldung.empty()) melden(QStringLiteral("Halle: ") + QString::fromStdString(e.meldung));
        ausgang_.leeren();
        ansicht_->getrennt();
        szeneMid_.reset();
        szeneSeq_.reset();
        break;
      case A::Bestaetigt:
        ausgang_.bestaetigt(e.mid);
        ansicht_->bestaetigt(e.mid);
        if (szeneMid_ == e.mid) szeneMid_.reset();
        break;
      case A::Nachricht: gesehen(e, jetzt); break;
      case A::Verworfen: break;
    }
  }
}

// A message on one of our own topics, back from the broker.
void Verleger::gesehen(const MqttKlient::Ereignis& e, double jetzt) {
  using U = Herkunft::Urteil;
  if (e.topic == befehleTopic_) {
    const U u = herkunft_.befehlGesehen(e.payload);
    if (u == U::Fremd || u == U::FremdImLauf) {
      const auto k = kopfLesen(e.payload);
      fremd(e.topic, u,
            k ? QStringLiteral("Befehl %1 (Lauf %2)").arg(k->seq).arg(QString::fromStdString(laufText(k->lauf)))
              : QStringLiteral("unlesbarer Befehl (%1 Bytes)").arg(e.payload.size()),
            jetzt);
    }
  } else if (e.topic == szeneTopic_) {
    const U u = herkunft_.szeneGesehen(e.payload, e.behalten);
    szeneImBroker_ = u == U::Eigen && herkunft_.letzteSzene() == pruefsumme(e.payload);
    if (u == U::Fremd || u == U::FremdImLauf) {
      const auto k = kopfLesen(e.payload);
      fremd(e.topic, u,
            k ? QStringLiteral("Szene bis Befehl %1 (Lauf %2)").arg(k->seq).arg(QString::fromStdString(laufText(k->lauf)))
              : QStringLiteral("unlesbare Szene (%1 Bytes)").arg(e.payload.size()),
            jetzt);
    }
  } else if (e.topic == statusTopic_) {
    const auto s = statusLesen(e.payload);
    if (s && s->kennung == anbindung_.kennung) return;
    // One kept from before we subscribed is a predecessor's: ours replaces
    // it after every connect anyway. A live one that says offline is a
    // predecessor's will (a publisher started again within the broker's
    // keep-alive): no stranger, but ours goes out again.
    if (!e.behalten && s && !s->online) {
      statusHeilen_ = true;
    } else if (!e.behalten)
      fremd(e.topic, U::Fremd,
            s ? QStringLiteral("Status (Kennung %1)").arg(QString::fromStdString(s->kennung))
              : QStringLiteral("unlesbarer Status (%1 Bytes)").arg(e.payload.size()),
            jetzt);
  }
}

// A stranger wrote on our topic: said once per topic while they go on,
// counted, and answered (paced) with our own scene or status, or a new run.
void Verleger::fremd(const std::string& topic, Herkunft::Urteil u, const QString& was, double jetzt) {
  if (jetzt - letzterFremder_ >= kWiederholAbstand) {
    heilAbstand_.zuruecksetzen();
    fremdGesagt_.clear();
  }
  letzterFremder_ = jetzt;
  ++fremde_;
  statusFaellig_ = true;
  const bool imLauf = u == Herkunft::Urteil::FremdImLauf;
  if (imLauf) laufWechseln_ = true;
  else if (topic == statusTopic_) statusHeilen_ = true;
  else if (topic == szeneTopic_) szeneHeilen_ = true;
  const std::string schluessel = topic + (imLauf ? "#lauf" : "");
  if (std::find(fremdGesagt_.begin(), fremdGesagt_.end(), schluessel) != fremdGesagt_.end()) return;
  fremdGesagt_.push_back(schluessel);
  const QString t = QString::fromStdString(topic);
  if (imLauf)
    melden(QStringLiteral("Halle: fremder Schreiber auf %1: %2 im eigenen Lauf; neuer Lauf, die Tafeln zeichnen die "
                          "Szene neu")
               .arg(t, was));
  else if (topic == befehleTopic_)
    melden(QStringLiteral("Halle: fremder Schreiber auf %1: %2 (weitere still)").arg(t, was));
  else
    melden(QStringLiteral("Halle: fremder Schreiber auf %1: %2; die eigene geht neu hinaus (weitere still)")
               .arg(t, was));
}

double Verleger::frist() const {
  double f = std::min(klient_->frist(), ansicht_->frist());
  if (beendet_ || !klient_->verbunden()) return f;
  if ((szeneHeilen_ || statusHeilen_ || laufWechseln_)) f = std::min(f, heilenAb_);
  if (!szeneMid_) {
    if (szeneSeq_ != herkunft_.seq()) f = std::min(f, letzteSzene_ + kSzenenAbstand);
    else if (!szeneImBroker_) f = std::min(f, letzteSzene_ + kWiederholAbstand);
  }
  const bool neu = statusFaellig_ || gemeldet_ != std::pair{herkunft_.lauf(), herkunft_.seq()};
  return std::min(f, letzterStatus_ + (neu ? kStatusAbstand : kWiederholAbstand));
}

void Verleger::fristSetzen() {
  if (beendet_) return;
  const double jetzt = uhr_.seconds();
  const double f = frist();
  if (f == support::Frist::kNie) return;  // a deadline still armed fires once more, harmlessly
  // Something already due is looked at after a loop tick at the earliest.
  frist_.spaetestens(std::max(f, jetzt + 0.01), jetzt);
}

void Verleger::takt() {
  if (beendet_) return;
  // Whichever way this tick ends, the next deadline is armed.
  struct Danach {
    Verleger* v;
    ~Danach() { v->fristSetzen(); }
  } danach{this};
  const double jetzt = uhr_.seconds();
  klient_->takt(jetzt);
  ereignisse(jetzt);
  ansicht_->takt(jetzt);
  if (!klient_->verbunden()) return;
  // The answer to a stranger, paced: a new run (its scene and status go out
  // at once), or our own scene or status again.
  if ((szeneHeilen_ || statusHeilen_ || laufWechseln_) && jetzt >= heilenAb_) {
    if (laufWechseln_) {
      herkunft_.neuerLauf(neuerLauf());
      szeneHeilen_ = statusHeilen_ = true;
    }
    if (szeneHeilen_) {
      szeneSeq_.reset();
      szeneMid_.reset();
      letzteSzene_ = -1e9;
    }
    if (statusHeilen_) {
      statusFaellig_ = true;
      letzterStatus_ = -1e9;
    }
    szeneHeilen_ = statusHeilen_ = laufWechseln_ = false;
    heilenAb_ = jetzt + heilAbstand_.naechster();
  }
  // The scene when we are past the last one sent; again now and then while
  // the broker has not handed it back.
  if (!szeneMid_ && ((szeneSeq_ != herkunft_.seq() && jetzt - letzteSzene_ >= kSzenenAbstand) ||
                     (!szeneImBroker_ && jetzt - letzteSzene_ >= kWiederholAbstand))) {
    letzteSzene_ = jetzt;
    szeneSenden();
  }
  const bool neu = statusFaellig_ || gemeldet_ != std::pair{herkunft_.lauf(), herkunft_.seq()};
  if (jetzt - letzterStatus_ >= (neu ? kStatusAbstand : kWiederholAbstand)) {
    letzterStatus_ = jetzt;
    statusSenden(true);
  }
}

void Verleger::tafelGeaendert() {
  if (beendet_ || ansicht_->tafelGeaendertBekannt()) return;
  ansicht_->tafelGeaendert(uhr_.seconds());
  fristSetzen();
}

void Verleger::meldungenGeaendert() {
  if (beendet_ || ansicht_->meldungenGeaendertBekannt()) return;
  ansicht_->meldungenGeaendert();
  fristSetzen();
}

void Verleger::szeneSenden() {
  std::vector<Eintrag> eintraege;
  for (const auto& zeile : szene_.befehle()) eintraege.push_back(eintragAusZeile(zeile));
  const uint64_t seq = herkunft_.seq();
  const std::string payload = szeneSchreiben(herkunft_.lauf(), seq, eintraege);
  if (payload.size() > kMaxSzeneBytes) {
    melden(QStringLiteral("Halle: Szene zu groß (%1 Bytes), nicht gesendet").arg(payload.size()));
    szeneSeq_ = seq;
    szeneImBroker_ = true;  // nothing to send again
    return;
  }
  szeneMid_ = klient_->senden(szeneTopic_, payload, true);
  if (szeneMid_) {
    szeneSeq_ = seq;
    szeneImBroker_ = false;
    herkunft_.szene(pruefsumme(payload));
  }
}

TafelStatus Verleger::status(bool online) const {
  TafelStatus s =
      statusJetzt(online, anbindung_.version, anbindung_.tafelGroesse(), herkunft_.lauf(), herkunft_.seq());
  s.kennung = anbindung_.kennung;
  s.fremde = fremde_;
  return s;
}

void Verleger::statusSenden(bool online) {
  const std::string json = statusSchreiben(status(online));
  const std::pair jetzt{herkunft_.lauf(), herkunft_.seq()};
  if (klient_->senden(statusTopic_, json, true)) {
    statusFaellig_ = false;
    gemeldet_ = jetzt;
  }
  if (zuletztGemeldet_ != jetzt && klient_->senden(zuletztTopic_, json, true)) zuletztGemeldet_ = jetzt;
}

}  // namespace vrd4::halle
