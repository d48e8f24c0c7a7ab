#include "hall/Verleger.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "hall/HallenAdresse.h"
#include "hall/Nachricht.h"
#include "hall/TafelStatus.h"
#include "hall/Verbindungstext.h"
#include "hall/Zeilen.h"

namespace vrd4::halle {

uint64_t neuerLauf() {
  uint64_t v = 0;
  std::ifstream f("/dev/urandom", std::ios::binary);
  if (!f.read(reinterpret_cast<char*>(&v), sizeof v) || v == 0)
    v = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) | 1u;
  return v;
}

QString verbindungsText(int rc, bool verbinden) {
  return QString::fromStdString(verbinden ? verweigerungsText(rc) : fehlerText(rc));
}

Verleger::Verleger(MqttEinstellungen mqtt, const szene::Szene& szene, Anbindung anbindung, platform::Clock& uhr)
    : mqtt_(std::move(mqtt)), anbindung_(std::move(anbindung)), uhr_(uhr), szene_(szene) {
  lauf_ = neuerLauf();
  mqtt_.willeTopic = quelleTopic(mqtt_.adresse.halle);
  mqtt_.willePayload = statusSchreiben(statusJetzt(false, anbindung_.version, {0, 0}, lauf_, 0));
  klient_ = std::make_unique<MqttKlient>(mqtt_);
}

Verleger::~Verleger() { beenden(); }

bool Verleger::starten(std::string& fehler) {
  klient_->wecken = [this] {
    QMetaObject::invokeMethod(&kontext_, [this] { ereignisse(); }, Qt::QueuedConnection);
  };
  return klient_->starten(fehler);
}

void Verleger::beenden() {
  if (beendet_) return;
  beendet_ = true;
  frist_.aus();
  const TafelStatus aus = statusJetzt(false, anbindung_.version, anbindung_.tafelGroesse(), lauf_, seq_);
  klient_->beenden(std::pair{quelleTopic(mqtt_.adresse.halle), statusSchreiben(aus)}, std::chrono::seconds(1));
}

void Verleger::befehlGelaufen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                              std::optional<uint8_t>) {
  if (beendet_ || !befehl.spec || befehl.spec->nurOertlich) return;
  ++seq_;
  fristSetzen();
  if (!klient_->verbunden()) {
    ++ausgelassen_;
    return;
  }
  // The picture travels as bytes beside the text, so the text is built with
  // an empty content field instead of a hex copy twice the file's size.
  const Eintrag e = eintragAusZeile(protocol::weiterleitungstext(befehl), bildBytes);
  const std::string payload = befehlSchreiben(lauf_, seq_, e.text, e.bild);
  if (!ausgang_.platz(payload.size())) {
    ++ausgelassen_;
    if (!ueberlaufGemeldet_)
      melden(QStringLiteral("Halle: Ausgang voll (%1 Nachrichten), Tafeln holen über die Szene auf")
                 .arg(ausgang_.nachrichten()));
    ueberlaufGemeldet_ = true;
    return;
  }
  ueberlaufGemeldet_ = false;
  if (const auto mid = klient_->senden(befehleTopic(mqtt_.adresse.halle), payload, false))
    ausgang_.gesendet(*mid, payload.size());
  else
    ++ausgelassen_;
}

void Verleger::ereignisse() {
  for (auto& e : klient_->abholen()) {
    using A = MqttKlient::Ereignis::Art;
    switch (e.art) {
      case A::Verbunden:
        if (e.rc == 0) {
          melden(QStringLiteral("Halle: mit dem Broker verbunden"));
          szeneSeq_.reset();  // the broker may have lost the retained scene
          statusFaellig_ = true;
        } else {
          melden(QStringLiteral("Halle: Broker verweigert: ") + verbindungsText(e.rc, true));
        }
        break;
      case A::Getrennt:
        melden(QStringLiteral("Halle: Verbindung zum Broker: ") + verbindungsText(e.rc, false));
        ausgang_.leeren();
        szeneMid_.reset();
        szeneSeq_.reset();
        break;
      case A::Bestaetigt:
        ausgang_.bestaetigt(e.mid);
        if (szeneMid_ == e.mid) szeneMid_.reset();
        break;
      case A::Nachricht:
      case A::Verworfen: break;  // the publisher subscribes to nothing
    }
  }
  fristSetzen();
}

void Verleger::takt() {
  ereignisse();
  if (beendet_ || !klient_->verbunden()) return;
  const double jetzt = uhr_.seconds();
  if (!szeneMid_ && szeneSeq_ != seq_ && jetzt - letzteSzene_ >= kSzenenAbstand) {
    letzteSzene_ = jetzt;
    szeneSenden();
  }
  if ((statusFaellig_ || statusSeq_ != seq_) && jetzt - letzterStatus_ >= kStatusAbstand) {
    letzterStatus_ = jetzt;
    statusSenden(true);
  }
  fristSetzen();
}

// The next moment the scene or the status is due; none while nothing
// changed or the broker is away (its connect wakes us).
void Verleger::fristSetzen() {
  if (beendet_ || !klient_->verbunden()) {
    frist_.aus();
    return;
  }
  double faellig = support::Frist::kNie;
  if (!szeneMid_ && szeneSeq_ != seq_) faellig = letzteSzene_ + kSzenenAbstand;
  if (statusFaellig_ || statusSeq_ != seq_) faellig = std::min(faellig, letzterStatus_ + kStatusAbstand);
  const double jetzt = uhr_.seconds();
  if (faellig == support::Frist::kNie) frist_.aus();
  else frist_.spaetestens(std::max(faellig, jetzt), jetzt);
}

void Verleger::szeneSenden() {
  std::vector<Eintrag> eintraege;
  for (const auto& zeile : szene_.befehle()) eintraege.push_back(eintragAusZeile(zeile));
  const std::string payload = szeneSchreiben(lauf_, seq_, eintraege);
  if (payload.size() > kMaxSzeneBytes) {
    melden(QStringLiteral("Halle: Szene zu groß (%1 Bytes), nicht gesendet").arg(payload.size()));
    szeneSeq_ = seq_;
    return;
  }
  szeneMid_ = klient_->senden(szeneTopic(mqtt_.adresse.halle), payload, true);
  if (szeneMid_) szeneSeq_ = seq_;
}

void Verleger::statusSenden(bool online) {
  const TafelStatus s = statusJetzt(online, anbindung_.version, anbindung_.tafelGroesse(), lauf_, seq_);
  if (klient_->senden(quelleTopic(mqtt_.adresse.halle), statusSchreiben(s), true)) {
    statusFaellig_ = false;
    statusSeq_ = seq_;
  }
}

}  // namespace vrd4::halle
