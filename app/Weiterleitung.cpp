#include "app/Weiterleitung.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "app/Taktschleife.h"
#include "platform/MessageBox.h"
#include "support/Numbers.h"

namespace vrd4::app {

namespace {

const QString kTrennen = QStringLiteral("Trennen");
const QString kVerbinden = QStringLiteral("Verbinden");
// The connect wait shows its progress against the socket's default time-out.
constexpr double kVerbindeDauerMs = 5000.0;

}  // namespace

Weiterleitung::Weiterleitung(QWidget& fenster, Taktschleife& schleife, platform::Clock& uhr, Steuerelemente s,
                             Anschluss a)
    : fenster_(fenster),
      schleife_(schleife),
      uhr_(uhr),
      s_(s),
      a_(std::move(a)),
      socket2_(std::make_unique<net::clsSocket>()),
      socket3_(std::make_unique<net::clsSocket>()) {
  socket2_->LineDataArrival = [this](const std::u16string& l, const QString&) { Client2_LineDataArrival(l); };
  socket3_->LineDataArrival = [this](const std::u16string& l, const QString&) { Client3_LineDataArrival(l); };
  // The button keeps its caption: the next click disconnects and shows
  // "Verbinden".
  socket2_->Closed = [this] { socket2_->Disconnect(); };
  socket3_->Closed = [this] { socket3_->Disconnect(); };
}

Weiterleitung::~Weiterleitung() = default;

void Weiterleitung::pumpOnce() { schleife_.einmalWarten(); }

void Weiterleitung::schliessen() {
  socket2_->Disconnect();
  socket3_->Disconnect();
}

bool Weiterleitung::client2Verbunden() const { return s_.cmdClient2Connect->text() == kTrennen; }

void Weiterleitung::client2Trennen(bool auchClient3) {
  if (!client2Verbunden()) return;
  socket2_->Disconnect();
  if (auchClient3) socket3_->Disconnect();
  s_.cmdClient2Connect->setText(kVerbinden);
  s_.txtIPAdresse1->setEnabled(true);
}

void Weiterleitung::cmdClient2Connect_Click(const QString& adresse, const QString& port) {
  a_.serverStoppen();
  if (client2Verbunden()) {
    client2Trennen(false);
    return;
  }
  const QString A = adresse;
  const int32_t P = leadingInt(port.toStdU16String());
  clientVerbinden(*socket2_, s_.cmdClient2Connect, s_.txtIPAdresse1, A, P,
                  QStringLiteral("Client2: Konnte nicht mit Server:") + A + QStringLiteral("\r\nPort: ") +
                      QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void Weiterleitung::cmdClient3Connect_Click() {
  if (s_.cmdClient3Connect->text() == kTrennen) {
    socket3_->Disconnect();
    s_.cmdClient3Connect->setText(kVerbinden);
    s_.txtIPAdresse2->setEnabled(true);
    return;
  }
  if (!IsValidIP(s_.txtIPAdresse2->text())) {
    platform::showMessageBox(u"IP-Adresse ist ungültig!", {}, {.warnung = true});
    return;
  }
  const QString A = s_.txtIPAdresse2->text();
  const int32_t P = leadingInt(s_.txtT_Port2->text().toStdU16String());
  clientVerbinden(*socket3_, s_.cmdClient3Connect, s_.txtIPAdresse2, A, P,
                  QStringLiteral("Client3: Konnte nicht mit Server:\r\n") + A + QStringLiteral("\r\nPort: ") +
                      QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void Weiterleitung::clientVerbinden(net::clsSocket& client, QPushButton* knopf, QLineEdit* adressfeld,
                                    const QString& A, int32_t P, const QString& fehlerText) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  knopf->setEnabled(false);
  client.LineSeparator = u"\r\n";
  client.Protocol = 0;
  client.Connect(A, P);
  a_.verbindungsfehler(QString());

  const double t0 = uhr_.seconds() * 1000.0;
  fortschrittStarten(QStringLiteral("Verbinde mit ") + A + QLatin1Char(':') + QString::number(P));
  {
    // The socket's own time-out ends the wait; ticks inside it only move
    // the display, and no network line runs until it is over.
    const support::Tiefe::Eintritt wartet = schleife_.verbindeWarten();
    while (client.State() == net::clsSocket::sckConnecting) {
      const double jetzt = uhr_.seconds() * 1000.0;
      fortschrittSetzen(
          static_cast<int32_t>(roundHalfEven(100.0 - (t0 + kVerbindeDauerMs - jetzt) * 100.0 / kVerbindeDauerMs)));
      schleife_.einmalWarten();
    }
  }
  fortschrittBeenden();

  if (client.State() != net::clsSocket::sckConnected) {
    a_.verbindungsfehler(fehlerText);
  } else {
    knopf->setText(kTrennen);
    Weiterleitungsquittung = true;
    adressfeld->setEnabled(false);
    a_.verbindungsfehler(QString());
  }
  QApplication::restoreOverrideCursor();
  knopf->setEnabled(true);
  a_.nachWarten();
}

void Weiterleitung::Client2_LineDataArrival(const std::u16string& LineData) {
  Weiterleitungsquittung = LineData == u"OK";
  a_.statusEintrag(Weiterleitungsquittung ? QStringLiteral("Client2: Befehl empfangen")
                                          : QStringLiteral("Client2: Übertragungsfehler"));
}

void Weiterleitung::Client3_LineDataArrival(const std::u16string& LineData) {
  Weiterleitungsquittung = LineData == u"OK";
  a_.statusEintrag(Weiterleitungsquittung ? QStringLiteral("Client3: Befehl empfangen")
                                          : QStringLiteral("Client3: Übertragungsfehler"));
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
// Progress bar of the connect wait

void Weiterleitung::fortschrittStarten(const QString& text) {
  fortschrittText_ = text;
  fensterWarGesperrt_ = !fenster_.isEnabled();
  fenster_.setEnabled(false);  // the owning window takes no input meanwhile
  QProgressBar* p = s_.ctlProgressbar1;
  p->setRange(0, 100);
  p->setValue(0);
  p->setFormat(QString(text).replace(QLatin1Char('%'), QStringLiteral("%%")));
  p->setTextVisible(true);
  p->setMaximumHeight(QWIDGETSIZE_MAX);
  p->show();
}

void Weiterleitung::fortschrittSetzen(int32_t prozent) {
  if (prozent % 5 == 0) {
    s_.ctlProgressbar1->setValue(std::clamp(prozent, 0, 100));
    const QString caption = fortschrittText_ + QStringLiteral(" - ") + QString::number(prozent) + QLatin1Char('%');
    s_.ctlProgressbar1->setFormat(QString(caption).replace(QLatin1Char('%'), QStringLiteral("%%")));
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Weiterleitung::fortschrittBeenden() {
  if (!fensterWarGesperrt_) fenster_.setEnabled(true);
  s_.ctlProgressbar1->hide();
}

QString Weiterleitung::fortschrittText() const { return s_.ctlProgressbar1->text(); }

}  // namespace vrd4::app
