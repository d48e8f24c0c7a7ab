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
#include "core/Befehlsserver.h"
#include "core/Empfaenger.h"
#include "core/Relais.h"
#include "support/Numbers.h"

namespace vrd4::app {

namespace {

const QString kServerStarten = QStringLiteral("Server starten");
const QString kServerStoppen = QStringLiteral("Server stoppen");
const QString kVerbinden = QStringLiteral("Verbinden");
const QString kTrennen = QStringLiteral("Trennen");


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

Netzpanel::Netzpanel(QWidget& fenster, QWidget& rahmenParent, Statusanzeige& status, core::Empfaenger& kern)
    : status_(status), kern_(kern) {
  rahmenAufbauen(rahmenParent);
  QObject::connect(cmdServerStarten, &QPushButton::clicked, &fenster, [this] { kern_.serverUmschalten(); });
  QObject::connect(cmdClient2Connect, &QPushButton::clicked, &fenster, [this] { kern_.client2Umschalten(); });
  QObject::connect(cmdClient3Connect, &QPushButton::clicked, &fenster, [this] { kern_.client3Umschalten(); });
  // The two automatic boxes exclude each other.
  QObject::connect(chkClientAutomatischVerbinden, &QCheckBox::toggled, &fenster, [this] {
    if (chkClientAutomatischVerbinden->isChecked()) chkServerAutomatischStarten->setChecked(false);
  });
  QObject::connect(chkServerAutomatischStarten, &QCheckBox::toggled, &fenster, [this] {
    if (chkServerAutomatischStarten->isChecked()) chkClientAutomatischVerbinden->setChecked(false);
  });
  // The fields as typed are the core's; Client2's target is remembered once
  // the editing is finished.
  QObject::connect(txtT_Port1, &QLineEdit::textChanged, &fenster, [this](const QString& t) { kern_.server().port = t; });
  QObject::connect(txtIPAdresse1, &QLineEdit::textChanged, &fenster,
                   [this](const QString& t) { kern_.relais().client2Adresse = t; });
  QObject::connect(txtIPAdresse2, &QLineEdit::textChanged, &fenster,
                   [this](const QString& t) { kern_.relais().client3Adresse = t; });
  QObject::connect(txtT_Port2, &QLineEdit::textChanged, &fenster,
                   [this](const QString& t) { kern_.relais().client3Port = t; });
  QObject::connect(txtIPAdresse1, &QLineEdit::editingFinished, &fenster,
                   [this] { kern_.relais().gemerkteAdresse = txtIPAdresse1->text(); });
  QObject::connect(txtT_Port1, &QLineEdit::editingFinished, &fenster,
                   [this] { kern_.relais().gemerkterPort = txtT_Port1->text(); });
  zeigen();
}

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

void Netzpanel::zeigen() {
  using Z = net::Weiterleitung::Zustand;
  const auto feld = [](QLineEdit* f, const QString& text) {
    if (f->text() != text) f->setText(text);
  };
  const core::Befehlsserver& server = kern_.server();
  const core::Relais& relais = kern_.relais();
  feld(txtT_Port1, server.port);
  feld(txtIPAdresse1, relais.client2Adresse);
  feld(txtIPAdresse2, relais.client3Adresse);
  feld(txtT_Port2, relais.client3Port);
  cmdServerStarten->setText(server.gestartet() ? kServerStoppen : kServerStarten);
  txtT_Port1->setEnabled(!server.gestartet());
  // A client that waits to connect again is active: "Trennen" stops it.
  const Z z2 = relais.Client2().zustand(), z3 = relais.Client3().zustand();
  cmdClient2Connect->setText(z2 == Z::Aus ? kVerbinden : kTrennen);
  txtIPAdresse1->setEnabled(z2 == Z::Aus);
  cmdClient3Connect->setText(z3 == Z::Aus ? kVerbinden : kTrennen);
  txtIPAdresse2->setEnabled(z3 == Z::Aus);
  if (const auto f = relais.fortschritt()) {
    ctlProgressbar1->setRange(0, 100);
    ctlProgressbar1->setTextVisible(true);
    ctlProgressbar1->setMaximumHeight(QWIDGETSIZE_MAX);  // the caption needs its full height
    ctlProgressbar1->setValue(f->prozent);
    // Shown as it is: the bar replaces only %p, %v and %m.
    ctlProgressbar1->setFormat(f->text);
    ctlProgressbar1->show();
  } else {
    ctlProgressbar1->hide();
  }
  status_.verbindungsfehler(relais.verbindungsfehler());
}

void Netzpanel::startwerteUebernehmen(const Startwerte& w) {
  kern_.adresseSetzen(w.adresse);
  kern_.portSetzen(w.port);
  // Setting a box runs its click handler: with both flags set only the
  // server box stays checked.
  kastenSetzen(chkClientAutomatischVerbinden, w.clientFlag);
  kastenSetzen(chkServerAutomatischStarten, w.serverFlag);
  if (chkClientAutomatischVerbinden->isChecked()) kern_.client2Umschalten();
  if (chkServerAutomatischStarten->isChecked()) kern_.serverUmschalten();
}

const QString& Netzpanel::gemerkteAdresse() const { return kern_.relais().gemerkteAdresse; }
const QString& Netzpanel::gemerkterPort() const { return kern_.relais().gemerkterPort; }

void Netzpanel::startwerteEintragen(Startwerte& w) const {
  w.adresse = txtIPAdresse1->text();
  w.port = txtT_Port1->text();
  w.serverFlag = QString::number(chkServerAutomatischStarten->isChecked() ? 1 : 0);
  w.clientFlag = QString::number(chkClientAutomatischVerbinden->isChecked() ? 1 : 0);
}

}  // namespace vrd4::app
