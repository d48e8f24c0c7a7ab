#include "app/Weiterleitung.h"

#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "platform/MessageBox.h"
#include "support/Numbers.h"
#include "szene/Szene.h"

namespace vrd4::app {

namespace {

const QString kTrennen = QStringLiteral("Trennen");
const QString kVerbinden = QStringLiteral("Verbinden");
// The progress bar shows a connect against the socket's time-out.
constexpr double kVerbindeDauerSekunden = 5.0;
constexpr int kFortschrittMs = 100;

}  // namespace

Weiterleitung::Weiterleitung(platform::Clock& uhr, Steuerelemente s, Anschluss a)
    : uhr_(uhr),
      s_(s),
      a_(std::move(a)),
      client2_(std::make_unique<net::Weiterleitung>(QStringLiteral("Client2"), uhr)),
      client3_(std::make_unique<net::Weiterleitung>(QStringLiteral("Client3"), uhr)),
      knopf2_{s.cmdClient2Connect, s.txtIPAdresse1, {}},
      knopf3_{s.cmdClient3Connect, s.txtIPAdresse2, {}},
      fortschrittTakt_(std::make_unique<QTimer>()) {
  einrichten(*client2_, knopf2_);
  einrichten(*client3_, knopf3_);
  fortschrittTakt_->setInterval(kFortschrittMs);
  QObject::connect(fortschrittTakt_.get(), &QTimer::timeout, [this] { fortschrittSetzen(); });
}

Weiterleitung::~Weiterleitung() {
  // Their hooks reach into this object: quiet first.
  for (net::Weiterleitung* c : {client2_.get(), client3_.get()}) {
    c->ZustandGeaendert = nullptr;
    c->trennen();
  }
}

void Weiterleitung::einrichten(net::Weiterleitung& c, Knopf& k) {
  const QString kennung = &c == client2_.get() ? QStringLiteral("Client2") : QStringLiteral("Client3");
  c.StatusEintrag = [this](const QString& t) { a_.statusEintrag(t); };
  c.Ereignis = [this](const QString& art, const QString& meldung) { a_.ereignis(art, meldung); };
  c.Antwort = [this, kennung](bool ok) {
    a_.statusEintrag(kennung + (ok ? QStringLiteral(": Befehl empfangen") : QStringLiteral(": Übertragungsfehler")));
  };
  c.ZustandGeaendert = [this, &c, &k](net::Weiterleitung::Zustand z) { zustandZeigen(c, k, z); };
  // Every connect brings the peer level: it may have missed what ran
  // before it (or while it was away).
  c.NachholenAuchBeimErstenMal = true;
  c.Nachholen = [this] {
    return szene_ ? szene_->befehle() : std::vector<std::u16string>{u"Befehl\x1b" u"Cls"};
  };
}

void Weiterleitung::zustandZeigen(net::Weiterleitung& c, Knopf& k, net::Weiterleitung::Zustand z) {
  using Z = net::Weiterleitung::Zustand;
  k.knopf->setText(z == Z::Aus ? kVerbinden : kTrennen);
  k.adressfeld->setEnabled(z == Z::Aus);
  if (fortschrittVon_ == &c && z != Z::Verbindet) {
    fortschrittBeenden();
    if (z == Z::Verbunden) a_.verbindungsfehler(QString());
    if (z == Z::Wartet) a_.verbindungsfehler(k.fehlerText);
  }
  if (a_.zustandGeaendert) a_.zustandGeaendert(c);
}

void Weiterleitung::schliessen() {
  client2_->trennen();
  client3_->trennen();
}

void Weiterleitung::client2Trennen(bool auchClient3) {
  if (!client2Verbunden()) return;
  client2_->trennen();
  if (auchClient3) client3_->trennen();
}

void Weiterleitung::cmdClient2Connect_Click(const QString& adresse, const QString& port) {
  a_.serverStoppen();
  if (client2Verbunden()) {
    client2Trennen(false);
    return;
  }
  const int32_t P = leadingInt(port.toStdU16String());
  verbinden(*client2_, knopf2_, adresse, P,
            QStringLiteral("Client2: Konnte nicht mit Server:") + adresse + QStringLiteral("\r\nPort: ") +
                QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void Weiterleitung::cmdClient3Connect_Click() {
  if (client3_->aktiv()) {
    client3_->trennen();
    return;
  }
  if (!IsValidIP(s_.txtIPAdresse2->text())) {
    platform::showMessageBox(u"IP-Adresse ist ungültig!", {}, {.warnung = true});
    return;
  }
  const QString A = s_.txtIPAdresse2->text();
  const int32_t P = leadingInt(s_.txtT_Port2->text().toStdU16String());
  verbinden(*client3_, knopf3_, A, P,
            QStringLiteral("Client3: Konnte nicht mit Server:\r\n") + A + QStringLiteral("\r\nPort: ") +
                QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void Weiterleitung::verbinden(net::Weiterleitung& c, Knopf& k, const QString& A, int32_t P, const QString& fehlerText) {
  k.fehlerText = fehlerText;
  a_.verbindungsfehler(QString());
  fortschrittBeenden();
  fortschrittVon_ = &c;
  fortschrittText_ = QStringLiteral("Verbinde mit ") + A + QLatin1Char(':') + QString::number(P);
  fortschrittStart_ = uhr_.seconds();
  QProgressBar* p = s_.ctlProgressbar1;
  p->setRange(0, 100);
  p->setTextVisible(true);
  p->setMaximumHeight(QWIDGETSIZE_MAX);  // the caption needs its full height
  fortschrittSetzen();
  p->show();
  fortschrittTakt_->start();
  // Returns at once; the ring and the server's lines go on meanwhile.
  c.verbinden(A, P);
}

bool Weiterleitung::IsValidIP(const QString& sIP) {
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
// Progress bar of a connect the operator started

void Weiterleitung::fortschrittSetzen() {
  const double anteil = (uhr_.seconds() - fortschrittStart_) / kVerbindeDauerSekunden;
  const int32_t prozent = std::clamp(static_cast<int32_t>(roundHalfEven(anteil * 100.0)) / 5 * 5, 0, 100);
  s_.ctlProgressbar1->setValue(prozent);
  const QString caption = fortschrittText_ + QStringLiteral(" - ") + QString::number(prozent) + QLatin1Char('%');
  // Shown as it is: the bar replaces only %p, %v and %m.
  s_.ctlProgressbar1->setFormat(caption);
}

void Weiterleitung::fortschrittBeenden() {
  fortschrittVon_ = nullptr;
  fortschrittTakt_->stop();
  s_.ctlProgressbar1->hide();
}

QString Weiterleitung::fortschrittText() const { return s_.ctlProgressbar1->text(); }

}  // namespace vrd4::app
