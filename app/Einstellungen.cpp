#include "app/Einstellungen.h"
#include "app/Benannt.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QWidget>
#include <cmath>

#include "app/Netzpanel.h"
#include "app/Startwerte.h"

namespace vrd4::app {

namespace {


double twipsProPixel(int dpi) { return 1440.0 / (dpi > 0 ? dpi : 96); }

QString kuerzesteZahl(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

}  // namespace

Einstellungen::Einstellungen(QWidget& fenster, QWidget& rahmenParent, Netzpanel& netz,
                             const std::string& programmOrdner)
    : fenster_(fenster), netz_(netz), programmOrdner_(programmOrdner) {
  CtlFraDiverses = benannt(new QGroupBox(QStringLiteral("Diverses"), &rahmenParent), "CtlFraDiverses");
  auto* g = new QGridLayout(CtlFraDiverses);
  cmdParameterSpeichern =
      benannt(new QPushButton(QStringLiteral("Parameter speichern"), CtlFraDiverses), "cmdParameterSpeichern");
  g->addWidget(cmdParameterSpeichern, 0, 0);
  cmdBoxSpeichern = benannt(new QPushButton(QStringLiteral("Bild speichern"), CtlFraDiverses), "cmdBoxSpeichern");
  g->addWidget(cmdBoxSpeichern, 0, 1);
  cmdFensterSyncronisieren = benannt(
      new QPushButton(QStringLiteral("Fenster synchronisieren"), CtlFraDiverses), "cmdFensterSyncronisieren");
  g->addWidget(cmdFensterSyncronisieren, 1, 0);
  cmdTransferTest = benannt(new QPushButton(QStringLiteral("Transfertest"), CtlFraDiverses), "cmdTransferTest");
  cmdTransferTest->hide();
  g->addWidget(cmdTransferTest, 1, 1);
  g->addWidget(new QLabel(QStringLiteral("Twips pro Pixel X:"), CtlFraDiverses), 2, 0);
  txtTwipsperPixelX = benannt(new QLineEdit(CtlFraDiverses), "txtTwipsperPixelX");
  txtTwipsperPixelX->setReadOnly(true);
  g->addWidget(txtTwipsperPixelX, 2, 1);
  g->addWidget(new QLabel(QStringLiteral("Twips pro Pixel Y:"), CtlFraDiverses), 3, 0);
  txtTwipsPerPixelY = benannt(new QLineEdit(CtlFraDiverses), "txtTwipsPerPixelY");
  txtTwipsPerPixelY->setReadOnly(true);
  g->addWidget(txtTwipsPerPixelY, 3, 1);
  g->addWidget(new QLabel(QStringLiteral("Ticks in der letzten Sekunde:"), CtlFraDiverses), 4, 0);
  Label2 = benannt(new QLabel(QStringLiteral("0"), CtlFraDiverses), "Label2");
  g->addWidget(Label2, 4, 1);
  g->addWidget(new QLabel(QStringLiteral("Ticks:"), CtlFraDiverses), 5, 0);
  Label3 = benannt(new QLabel(QStringLiteral("0"), CtlFraDiverses), "Label3");
  g->addWidget(Label3, 5, 1);
  // Both change on every tick: a fixed size keeps that from re-running
  // the panel's layout a hundred times a second.
  // Filling their own background makes them opaque: a new count repaints
  // the label alone, not the group box's frame behind it.
  for (QLabel* l : {Label2, Label3}) {
    l->setFixedSize(90, l->fontMetrics().height() + 4);
    l->setAutoFillBackground(true);
  }

  QObject::connect(cmdParameterSpeichern, &QPushButton::clicked, &fenster, [this] { StartwerteSchreiben(); });
}

std::string Einstellungen::startwertePfad() const { return app::startwertePfad(programmOrdner_); }

void Einstellungen::StartwerteLesen() {
  Startwerte w;
  w.adresse = netz_.gemerkteAdresse();
  w.port = netz_.gemerkterPort();
  app::startwerteLesen(startwertePfad(), w);
  w.defaultsEinsetzen();
  netz_.startwerteUebernehmen(w);
  eckeSetzen(w);
}

void Einstellungen::eckeVorDemZeigen() {
  Startwerte w;
  app::startwerteLesen(startwertePfad(), w);
  eckeSetzen(w);
}

void Einstellungen::eckeSetzen(const Startwerte& w) {
  // The client area's corner, saved and restored alike: a frame's corner
  // would move the window by the title bar's height on every start.
  QPoint p = fenster_.geometry().topLeft();
  if (w.links > 0) p.setX(static_cast<int>(std::lround(w.links / twipsProPixel(fenster_.logicalDpiX()))));
  if (w.oben > 0) p.setY(static_cast<int>(std::lround(w.oben / twipsProPixel(fenster_.logicalDpiY()))));
  if (p != fenster_.geometry().topLeft()) fenster_.setGeometry(QRect(p, fenster_.size()));
}

QPoint Einstellungen::ecke() const { return fensterEcke ? fensterEcke() : fenster_.geometry().topLeft(); }

void Einstellungen::StartwerteSchreiben() {
  Startwerte w;
  netz_.startwerteEintragen(w);
  w.links = static_cast<int32_t>(std::lround(ecke().x() * twipsProPixel(fenster_.logicalDpiX())));
  w.oben = static_cast<int32_t>(std::lround(ecke().y() * twipsProPixel(fenster_.logicalDpiY())));
  app::startwerteSchreiben(startwertePfad(), w);
}

void Einstellungen::twipsAnzeigen() {
  // A twip is 1/1440 inch; the screen's logical DPI says how many make a pixel.
  const double dpiX = fenster_.logicalDpiX() > 0 ? fenster_.logicalDpiX() : 96.0;
  const double dpiY = fenster_.logicalDpiY() > 0 ? fenster_.logicalDpiY() : 96.0;
  txtTwipsperPixelX->setText(kuerzesteZahl(1440.0 / dpiX));
  txtTwipsPerPixelY->setText(kuerzesteZahl(1440.0 / dpiY));
}

void Einstellungen::taktZaehlen(double jetzt, int32_t takte) {
  tickZaehler_ += takte;
  // Repainting the count a hundred times a second would cost more than all
  // the rest of an idle tick; once a second is as often as anyone reads it.
  if (!letzteZaehlerAnzeige_ || jetzt - *letzteZaehlerAnzeige_ >= kZaehlerAnzeigeSekunden) {
    Label3->setText(QString::number(tickZaehler_));
    letzteZaehlerAnzeige_ = jetzt;
  }
  if (!letzteRatenZeit_ || jetzt - *letzteRatenZeit_ > 1.0) {
    Label2->setText(QString::number(tickZaehler_));
    letzteRatenZeit_ = jetzt;
    tickZaehler_ = 0;
  }
}

}  // namespace vrd4::app
