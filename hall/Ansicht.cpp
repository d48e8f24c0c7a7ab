#include "hall/Ansicht.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "hall/Vorschau.h"

namespace vrd4::halle {

Ansicht::Ansicht(std::string bildTopic, std::string meldungenTopic, Quellen quellen, Senden senden,
                 std::function<void()> wecken)
    : bildTopic_(std::move(bildTopic)),
      meldungenTopic_(std::move(meldungenTopic)),
      quellen_(std::move(quellen)),
      senden_(std::move(senden)),
      wecken_(std::move(wecken)) {}

Ansicht::~Ansicht() { beenden(); }

void Ansicht::beenden() {
  beendet_ = true;
  if (faden_.valid()) faden_.wait();
}

void Ansicht::tafelGeaendert(double jetzt) {
  if (bildGeaendert_) return;
  bildGeaendert_ = true;
  geaendertUm_ = jetzt;
}

void Ansicht::verbunden() {
  verbunden_ = true;
  bildImBroker_ = meldungenImBroker_ = false;
  bildMid_.reset();
  meldungenMid_.reset();
}

void Ansicht::getrennt() {
  verbunden_ = false;
  bildMid_.reset();
  meldungenMid_.reset();
}

void Ansicht::bestaetigt(int mid) {
  if (bildMid_ == mid) bildMid_.reset();
  if (meldungenMid_ == mid) meldungenMid_.reset();
}

bool Ansicht::imHintergrund(std::function<Ergebnis()> arbeit) {
  std::promise<Ergebnis> versprechen;
  std::future<Ergebnis> ergebnis = versprechen.get_future();
  try {
    // The thread before (if any) ended once it had handed over its result.
    faden_ = std::async(std::launch::async, [arbeit = std::move(arbeit), v = std::move(versprechen),
                                              w = wecken_]() mutable {
      Ergebnis e;
      try {
        e = arbeit();
      } catch (...) {
        // Nothing made: the next change tries again.
      }
      v.set_value(std::move(e));
      if (w) w();
    });
  } catch (const std::system_error&) {
    return false;  // no thread to be had now: the next turn tries again
  }
  ergebnis_ = std::move(ergebnis);
  return true;
}

void Ansicht::abholen() {
  if (!arbeitet() || ergebnis_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  Ergebnis e = ergebnis_.get();
  if (!e.puffer.isNull()) {
    abzug_ = std::move(e.puffer);
    return;
  }
  if (e.png.empty()) return;
  ++bilderKodiert_;
  if (e.png == bild_) return;
  bild_ = std::move(e.png);
  bildImBroker_ = false;
}

double Ansicht::bildFaellig() const {
  if (!verbunden_ || bildMid_ || !quellen_.bild) return kNie;
  double f = kNie;
  if (!bildImBroker_ && !bild_.empty()) f = letztesBild_ + kBildAbstand;
  if (bildGeaendert_ && !arbeitet())
    f = std::min(f, std::max({letzteAufnahme_ + kBildAbstand, letztesBild_ + kBildAbstand, geaendertUm_ + kBildRuhe}));
  return f;
}

double Ansicht::meldungenFaellig() const {
  if (!verbunden_ || meldungenMid_ || !quellen_.meldungen) return kNie;
  if (!meldungenGeaendert_ && meldungenImBroker_) return kNie;
  return letzteMeldungen_ + kMeldungenAbstand;
}

double Ansicht::frist() const {
  if (beendet_) return kNie;
  // Done already: the worker's wecken may have come while the owner could
  // not take it (a command's wait).
  if (arbeitet() && ergebnis_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) return -kNie;
  return std::min(bildFaellig(), meldungenFaellig());
}

// The board into the buffer kept for it (the worker reads it alone until it
// is done); the pixels the surface shares are let go before this returns,
// so its next drawing copies nothing.
void Ansicht::aufnehmen(double jetzt) {
  const QImage tafel = quellen_.bild();
  if (tafel.isNull() || tafel.width() <= 0 || tafel.height() <= 0) {
    bildGeaendert_ = false;
    return;
  }
  if (abzug_.size() != tafel.size() || abzug_.format() != tafel.format() ||
      abzug_.bytesPerLine() != tafel.bytesPerLine()) {
    // A fresh buffer faults its pages in where it is first written: on the
    // worker, which fills it once.
    abzug_ = QImage();
    const bool laeuft = imHintergrund([groesse = tafel.size(), format = tafel.format()] {
      QImage neu(groesse, format);
      neu.fill(0);
      return Ergebnis{std::move(neu), {}};
    });
    if (!laeuft) letzteAufnahme_ = jetzt;  // tried again after the interval
    return;
  }
  std::memcpy(abzug_.bits(), tafel.constBits(), std::size_t(tafel.sizeInBytes()));
  letzteAufnahme_ = jetzt;
  if (imHintergrund([quelle = &abzug_] { return Ergebnis{{}, vorschauPng(*quelle)}; })) bildGeaendert_ = false;
}

void Ansicht::takt(double jetzt) {
  if (beendet_) return;
  abholen();
  if (jetzt >= bildFaellig()) {
    if (!bildImBroker_ && !bild_.empty() && jetzt >= letztesBild_ + kBildAbstand) {
      bildMid_ = senden_(bildTopic_, bild_);
      letztesBild_ = jetzt;  // a refused one is tried again after the interval, not at once
      if (bildMid_) {
        bildImBroker_ = true;
        ++bilderGesendet_;
      }
    }
    if (bildGeaendert_ && !arbeitet() && !bildMid_ && jetzt >= bildFaellig()) aufnehmen(jetzt);
  }
  if (jetzt >= meldungenFaellig()) {
    std::string json = meldungenSchreiben(quellen_.meldungen->zeilen());
    meldungenGeaendert_ = false;
    if (json != meldungen_ || !meldungenImBroker_) {
      meldungenMid_ = senden_(meldungenTopic_, json);
      letzteMeldungen_ = jetzt;
      meldungen_ = std::move(json);
      meldungenImBroker_ = meldungenMid_.has_value();
      if (meldungenMid_) ++meldungenGesendet_;
    }
  }
}

}  // namespace vrd4::halle
