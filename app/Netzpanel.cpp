#include "app/Netzpanel.h"
#include "app/Benannt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/Startwerte.h"
#include "app/Statusanzeige.h"
#include "core/Taktschleife.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/MessageBox.h"
#include "support/Numbers.h"

namespace vrd4::app {
namespace gv = channel::modVRD4GlobaleVariablen;

namespace {

const QString kServerStarten = QStringLiteral("Server starten");
const QString kServerStoppen = QStringLiteral("Server stoppen");


QLabel* beschriftung(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  return l;
}

// A check box takes 0 (cleared) and 1 (checked); another value leaves it.
void kastenSetzen(QCheckBox* box, const QString& wert) {
  const int32_t v = leadingInt(wert.toStdU16String());
  if (v == 0 || v == 1) box->setChecked(v == 1);
}

}  // namespace

Netzpanel::Netzpanel(QWidget& fenster, QWidget& rahmenParent, Statusanzeige& status, core::Taktschleife& schleife,
                     platform::Clock& uhr, engine::Ereignisziel& ereignisse)
    : status_(status), schleife_(schleife), serverSocket_(std::make_unique<net::clsSocket>()) {
  rahmenAufbauen(rahmenParent);
  weiterleitung_ = std::make_unique<Weiterleitung>(uhr, steuerelemente(), anschluss(ereignisse));
  serverSocket_->ConnectionRequest = [this] { verbindungen_->Server_ConnectionRequest(*serverSocket_); };
  verbindungen_ = std::make_unique<net::Clients>(static_cast<net::TalkHost&>(*this), uhr);

  QObject::connect(cmdServerStarten, &QPushButton::clicked, &fenster, [this] { cmdServerStarten_Click(); });
  QObject::connect(cmdClient2Connect, &QPushButton::clicked, &fenster, [this] { cmdClient2Connect_Click(); });
  QObject::connect(cmdClient3Connect, &QPushButton::clicked, &fenster, [this] { cmdClient3Connect_Click(); });
  // The two automatic boxes exclude each other.
  QObject::connect(chkClientAutomatischVerbinden, &QCheckBox::toggled, &fenster, [this] {
    if (chkClientAutomatischVerbinden->isChecked()) chkServerAutomatischStarten->setChecked(false);
  });
  QObject::connect(chkServerAutomatischStarten, &QCheckBox::toggled, &fenster, [this] {
    if (chkServerAutomatischStarten->isChecked()) chkClientAutomatischVerbinden->setChecked(false);
  });
  QObject::connect(txtIPAdresse1, &QLineEdit::editingFinished, &fenster,
                   [this] { gemerkteAdresse_ = txtIPAdresse1->text(); });
  QObject::connect(txtT_Port1, &QLineEdit::editingFinished, &fenster,
                   [this] { gemerkterPort_ = txtT_Port1->text(); });
}

// The talk connections may still hold the engine's lines: they go first.
Netzpanel::~Netzpanel() { verbindungen_.reset(); }

void Netzpanel::rahmenAufbauen(QWidget& parent) {
  QWidget* panel = &parent;
  CtlFraFuerServerdaten = benannt(
      new QGroupBox(QStringLiteral("Serverdaten (VRD4 ist an diesem Rechner)"), panel), "CtlFraFuerServerdaten");
  {
    auto* g = new QGridLayout(CtlFraFuerServerdaten);
    g->addWidget(benannt(beschriftung(QStringLiteral("Port aus Turnierprogramm oder Weiterleiten:"),
                                      CtlFraFuerServerdaten),
                         "lblKommunikationsport1"),
                 0, 0);
    txtT_Port1 = benannt(new QLineEdit(QStringLiteral("3050"), CtlFraFuerServerdaten), "txtT_Port1");
    g->addWidget(txtT_Port1, 0, 1);
    cmdServerStarten = benannt(new QPushButton(kServerStarten, CtlFraFuerServerdaten), "cmdServerStarten");
    g->addWidget(cmdServerStarten, 1, 0);
    chkServerAutomatischStarten = benannt(
        new QCheckBox(QStringLiteral("Server automatisch starten"), CtlFraFuerServerdaten),
        "chkServerAutomatischStarten");
    g->addWidget(chkServerAutomatischStarten, 1, 1);
  }

  CtlFraFuerClientdaten = benannt(
      new QGroupBox(QStringLiteral("Clientdaten (VRD4 ist an entferntem Rechner)"), panel), "CtlFraFuerClientdaten");
  {
    auto* g = new QGridLayout(CtlFraFuerClientdaten);
    g->addWidget(benannt(beschriftung(QStringLiteral("Localhost oder entfernte IP (z.B. 192.168.0.50) - "
                                                     "Port wird aus Serverdaten genommen!"),
                                      CtlFraFuerClientdaten),
                         "lblLocalhostOder"),
                 0, 0, 1, 2);
    txtIPAdresse1 = benannt(new QLineEdit(QStringLiteral("localhost"), CtlFraFuerClientdaten), "txtIPAdresse1");
    g->addWidget(txtIPAdresse1, 1, 0);
    cmdClient2Connect =
        benannt(new QPushButton(QStringLiteral("Verbinden"), CtlFraFuerClientdaten), "cmdClient2Connect");
    g->addWidget(cmdClient2Connect, 1, 1);
    chkClientAutomatischVerbinden = benannt(
        new QCheckBox(QStringLiteral("Client automatisch verbinden"), CtlFraFuerClientdaten),
        "chkClientAutomatischVerbinden");
    g->addWidget(chkClientAutomatischVerbinden, 2, 0);
    ctlProgressbar1 = benannt(new QProgressBar(CtlFraFuerClientdaten), "ctlProgressbar1");
    ctlProgressbar1->setTextVisible(false);
    ctlProgressbar1->setMaximumHeight(12);
    ctlProgressbar1->hide();  // only while a client connects
    // A row of its own: the caption "Verbinde mit A:P - 45%" needs the width.
    g->addWidget(ctlProgressbar1, 3, 0, 1, 2);
  }

  CtlFraWeiterleitenAn =
      benannt(new QGroupBox(QStringLiteral("Server weiterleiten an"), panel), "CtlFraWeiterleitenAn");
  {
    auto* g = new QGridLayout(CtlFraWeiterleitenAn);
    g->addWidget(benannt(new QLabel(QStringLiteral("IP Adresse"), CtlFraWeiterleitenAn), "lblIPAdresse2"), 0, 0);
    txtIPAdresse2 = benannt(new QLineEdit(QStringLiteral("127.0.0.1"), CtlFraWeiterleitenAn), "txtIPAdresse2");
    g->addWidget(txtIPAdresse2, 0, 1);
    g->addWidget(benannt(new QLabel(QStringLiteral("Port 2"), CtlFraWeiterleitenAn), "lblPort2"), 1, 0);
    txtT_Port2 = benannt(new QLineEdit(QStringLiteral("4020"), CtlFraWeiterleitenAn), "txtT_Port2");
    g->addWidget(txtT_Port2, 1, 1);
    cmdClient3Connect =
        benannt(new QPushButton(QStringLiteral("Verbinden"), CtlFraWeiterleitenAn), "cmdClient3Connect");
    g->addWidget(cmdClient3Connect, 2, 1);
  }
}

Weiterleitung::Steuerelemente Netzpanel::steuerelemente() const {
  return {cmdClient2Connect, txtIPAdresse1, cmdClient3Connect, txtIPAdresse2, txtT_Port2, ctlProgressbar1};
}

Weiterleitung::Anschluss Netzpanel::anschluss(engine::Ereignisziel& ereignisse) {
  return {
      [this](const QString& e) { statusEintrag(e); },
      [this](const QString& t) { status_.verbindungsfehler(t); },
      [this] { serverStoppen(); },
      [&ereignisse](const QString& art, const QString& meldung) { ereignisse.VRD4Event(art, meldung); },
      [this](net::Weiterleitung& c) {
        using Z = net::Weiterleitung::Zustand;
        if (&c == &weiterleitung_->Client2() && (c.zustand() == Z::Wartet || c.zustand() == Z::Aus)) ++client2Stand_;
        if (c.zustand() == Z::Wartet) ++verlustStand_;
      },
  };
}

void Netzpanel::schliessen() {
  serverSocket_->Disconnect();
  weiterleitung_->schliessen();
  for (const auto& c : verbindungen_->liste()) c->Sck().Disconnect();
}

bool Netzpanel::aktiv() const {
  return serverSocket_->State() != net::clsSocket::sckClosed || weiterleitung_->Client2().aktiv() ||
         weiterleitung_->Client3().aktiv() || verbindungen_->anzahl() > 0;
}

// ---------------------------------------------------------------------------
// The talk connections' host

// The talk connections keep to the status-list rule on every entry.
void Netzpanel::statusEintrag(const QString& entry) {
  status_.kuerzen();
  status_.statusEintrag(entry);
}

void Netzpanel::befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild,
                                 const render::VorabBild* vorab) {
  if (engine::clsVRD4Empfaenger* e = schleife_.engine()) e->BefehlDirektAusfuehren(felder, bild, vorab);
}

void Netzpanel::falscheAbfrage(const QString& text) {
  // The box belongs to the sending program's window when it named one.
  const double h = leadingNumber(gv::clsVRD4AufrufFensterhandle().GetMemory());
  const auto besitzer = h >= 1 && h <= 0xFFFFFFFF ? static_cast<std::uint32_t>(h) : 0u;
  platform::showMessageBox(text.toStdU16String(), u"VRD4-Empfangsmodul", {.warnung = true, .besitzer = besitzer});
}

bool Netzpanel::darfAusfuehren() const { return schleife_.darfAusfuehren(); }

std::optional<QSize> Netzpanel::bildTafel() const {
  if (engine::clsVRD4Empfaenger* e = schleife_.engine()) return e->tafelSkala();
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Buttons and remembered values

void Netzpanel::serverStoppen() {
  if (cmdServerStarten->text() != kServerStoppen) return;
  serverSocket_->Disconnect();
  cmdServerStarten->setText(kServerStarten);
  txtT_Port1->setEnabled(true);
  ++serverStand_;
}

void Netzpanel::cmdServerStarten_Click() {
  weiterleitung_->client2Trennen(true);
  if (cmdServerStarten->text() != kServerStoppen) {
    serverSocket_->LocalPort = leadingInt(txtT_Port1->text().toStdU16String());
    serverSocket_->Protocol = 0;
    serverSocket_->LineSeparator = u"\r\n";
    serverSocket_->Listen();
    if (serverSocket_->State() != net::clsSocket::sckListening)
      statusEintrag(QStringLiteral("Server: Port ") + txtT_Port1->text() + QStringLiteral(" nicht verfügbar"));
    cmdServerStarten->setText(kServerStoppen);
    txtT_Port1->setEnabled(false);
    ++serverStand_;
  } else {
    serverStoppen();
  }
}

void Netzpanel::cmdClient2Connect_Click() {
  weiterleitung_->cmdClient2Connect_Click(gemerkteAdresse_, gemerkterPort_);
}

void Netzpanel::client3Verbinden(const QString& adresse, const QString& port) {
  txtIPAdresse2->setText(adresse);
  txtT_Port2->setText(port);
  if (!weiterleitung_->Client3().aktiv()) cmdClient3Connect_Click();
}

void Netzpanel::adresseSetzen(const QString& adresse) {
  gemerkteAdresse_ = adresse;
  txtIPAdresse1->setText(adresse);
}

void Netzpanel::portSetzen(const QString& port) {
  gemerkterPort_ = port;
  txtT_Port1->setText(port);
}

void Netzpanel::startwerteUebernehmen(const Startwerte& w) {
  adresseSetzen(w.adresse);
  portSetzen(w.port);
  // Setting a box runs its click handler: with both flags set only the
  // server box stays checked.
  kastenSetzen(chkClientAutomatischVerbinden, w.clientFlag);
  kastenSetzen(chkServerAutomatischStarten, w.serverFlag);
  if (chkClientAutomatischVerbinden->isChecked()) cmdClient2Connect_Click();
  if (chkServerAutomatischStarten->isChecked()) cmdServerStarten_Click();
}

void Netzpanel::startwerteEintragen(Startwerte& w) const {
  w.adresse = txtIPAdresse1->text();
  w.port = txtT_Port1->text();
  w.serverFlag = QString::number(chkServerAutomatischStarten->isChecked() ? 1 : 0);
  w.clientFlag = QString::number(chkClientAutomatischVerbinden->isChecked() ? 1 : 0);
}

}  // namespace vrd4::app
