#include "core/Relais.h"

#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "platform/MessageBox.h"
#include "support/Numbers.h"
#include "szene/Szene.h"

namespace vrd4::core {

namespace {

// The progress bar shows a connect against the socket's time-out.
constexpr double kVerbindeDauerSekunden = 5.0;
constexpr int kFortschrittMs = 100;

}  // namespace

Relais::Relais(platform::Clock& uhr, Anschluss a)
    : uhr_(uhr),
      a_(std::move(a)),
      client2_(std::make_unique<net::Weiterleitung>(QStringLiteral("Client2"), uhr)),
      client3_(std::make_unique<net::Weiterleitung>(QStringLiteral("Client3"), uhr)),
      fortschrittTakt_(std::make_unique<QTimer>()) {
  einrichten(*client2_, ziel2_);
  einrichten(*client3_, ziel3_);
  fortschrittTakt_->setInterval(kFortschrittMs);
  QObject::connect(fortschrittTakt_.get(), &QTimer::timeout, [this] { a_.geaendert(); });
}

Relais::~Relais() {
  // Their hooks reach into this object: quiet first.
  for (net::Weiterleitung* c : {client2_.get(), client3_.get()}) {
    c->ZustandGeaendert = nullptr;
    c->trennen();
  }
}

void Relais::einrichten(net::Weiterleitung& c, Ziel& z) {
  const QString kennung = &c == client2_.get() ? QStringLiteral("Client2") : QStringLiteral("Client3");
  c.StatusEintrag = [this](const QString& t) { a_.statusEintrag(t); };
  c.Ereignis = [this](const QString& art, const QString& meldung) { a_.ereignis(art, meldung); };
  c.Antwort = [this, kennung](bool ok) {
    a_.statusEintrag(kennung + (ok ? QStringLiteral(": Befehl empfangen") : QStringLiteral(": Übertragungsfehler")));
  };
  c.ZustandGeaendert = [this, &c, &z](net::Weiterleitung::Zustand zustand) { zustandAendern(c, z, zustand); };
  // Every connect brings the peer level: it may have missed what ran
  // before it (or while it was away).
  c.NachholenAuchBeimErstenMal = true;
  c.Nachholen = [this] {
    return szene_ ? szene_->befehle() : std::vector<std::u16string>{u"Befehl\x1b" u"Cls"};
  };
}

void Relais::zustandAendern(net::Weiterleitung& c, Ziel& z, net::Weiterleitung::Zustand zustand) {
  using Z = net::Weiterleitung::Zustand;
  if (fortschrittVon_ == &c && zustand != Z::Verbindet) {
    fortschrittBeenden();
    if (zustand == Z::Verbunden) verbindungsfehler_.clear();
    if (zustand == Z::Wartet) verbindungsfehler_ = z.fehlerText;
  }
  if (&c == client2_.get() && (zustand == Z::Wartet || zustand == Z::Aus)) ++client2Stand_;
  if (zustand == Z::Wartet) ++verlustStand_;
  a_.geaendert();
}

void Relais::schliessen() {
  client2_->trennen();
  client3_->trennen();
}

void Relais::client2Trennen(bool auchClient3) {
  if (!client2Verbunden()) return;
  client2_->trennen();
  if (auchClient3) client3_->trennen();
}

void Relais::client2Umschalten() {
  a_.serverStoppen();
  if (client2Verbunden()) {
    client2Trennen(false);
    return;
  }
  const QString adresse = gemerkteAdresse;
  const int32_t P = leadingInt(gemerkterPort.toStdU16String());
  verbinden(*client2_, ziel2_, adresse, P,
            QStringLiteral("Client2: Konnte nicht mit Server:") + adresse + QStringLiteral("\r\nPort: ") +
                QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void Relais::client3Umschalten() {
  if (client3_->aktiv()) {
    client3_->trennen();
    return;
  }
  if (!IsValidIP(client3Adresse)) {
    platform::showMessageBox(u"IP-Adresse ist ungültig!", {}, {.warnung = true});
    return;
  }
  const QString A = client3Adresse;
  const int32_t P = leadingInt(client3Port.toStdU16String());
  verbinden(*client3_, ziel3_, A, P,
            QStringLiteral("Client3: Konnte nicht mit Server:\r\n") + A + QStringLiteral("\r\nPort: ") +
                QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void Relais::verbinden(net::Weiterleitung& c, Ziel& z, const QString& A, int32_t P, const QString& fehlerText) {
  z.fehlerText = fehlerText;
  verbindungsfehler_.clear();
  fortschrittBeenden();
  fortschrittVon_ = &c;
  fortschrittText_ = QStringLiteral("Verbinde mit ") + A + QLatin1Char(':') + QString::number(P);
  fortschrittStart_ = uhr_.seconds();
  fortschrittTakt_->start();
  a_.geaendert();
  // Returns at once; the ring and the server's lines go on meanwhile.
  c.verbinden(A, P);
}

bool Relais::IsValidIP(const QString& sIP) {
  if (sIP.isEmpty()) return false;
  const QStringList teile = sIP.split(QLatin1Char('.'));
  if (teile.size() != 4) return false;
  for (qsizetype i = 0; i < teile.size(); ++i) {
    const QString& t = teile[i];
    if (t.size() > 3) return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(t.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return false;
    const double ganz = std::floor(v);
    if (ganz < (i == 0 ? 10 : 0) || ganz > 255) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Progress of a connect the operator started

std::optional<Relais::Fortschritt> Relais::fortschritt() const {
  if (!fortschrittVon_) return std::nullopt;
  const double anteil = (uhr_.seconds() - fortschrittStart_) / kVerbindeDauerSekunden;
  Fortschritt f;
  f.prozent = std::clamp(static_cast<int32_t>(roundHalfEven(anteil * 100.0)) / 5 * 5, 0, 100);
  f.text = fortschrittText_ + QStringLiteral(" - ") + QString::number(f.prozent) + QLatin1Char('%');
  return f;
}

void Relais::fortschrittBeenden() {
  fortschrittVon_ = nullptr;
  fortschrittTakt_->stop();
}

}  // namespace vrd4::core
