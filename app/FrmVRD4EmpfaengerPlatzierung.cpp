// Where the display surface lives: its size and scale, the external player's
// display window, full screen and back, and the snapshot of its screen area.
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QWindow>

#include "app/FrmVRD4Empfaenger.h"
#include "app/Startwerte.h"
#include "app/modBildschirmAusschnittSpeichern.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/MessageBox.h"
#include "platform/Surface.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::app {

namespace {

QString kuerzesteZahl(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

}  // namespace

void FrmVRD4Empfaenger::twipsAnzeigen() {
  // A twip is 1/1440 inch; the screen's logical DPI says how many make a pixel.
  const double dpiX = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
  const double dpiY = logicalDpiY() > 0 ? logicalDpiY() : 96.0;
  txtTwipsperPixelX->setText(kuerzesteZahl(1440.0 / dpiX));
  txtTwipsPerPixelY->setText(kuerzesteZahl(1440.0 / dpiY));
}

void FrmVRD4Empfaenger::GroesseAnpassen() {
  // Qt's window coordinates are pixels already: nothing to snap. An empty
  // board (a player window without area) still keeps one pixel to draw on.
  const int w = std::max(1, tafelBreite_);
  const int h = std::max(1, tafelHoehe_);
  board_->resize(w, h);
  board_->setScale(w, h);
  picWidget_->resize(picWidget_->sizeHint());
}

void FrmVRD4Empfaenger::Platzieren() {
  tafelBreite_ = kStartBreite;
  tafelHoehe_ = kStartHoehe;
  board_->setBackColor(0x000000);
  board_->setForeColor(0xFFFFFF);
  twipsAnzeigen();
  GroesseAnpassen();

  if (desktop().pelmorPlayerAktiv()) {
    if (const auto gefunden = desktop().findDisplayWindow()) {
      anzeigeFenster_ = gefunden->id;
      anzeigeRechteck_ = gefunden->rect;
    }
    // A missing or tiny player window is no place for the board: it keeps
    // its own size and stays in our window. The size taken is applied to
    // the surface only by the next size adjustment.
    const int breite = anzeigeRechteck_.right - anzeigeRechteck_.left;
    const int hoehe = anzeigeRechteck_.bottom - anzeigeRechteck_.top;
    if (anzeigeFenster_ != 0 && breite >= kKleinsteAnzeige && hoehe >= kKleinsteAnzeige) {
      tafelBreite_ = breite;
      tafelHoehe_ = hoehe;
      desktop().reparent(picWidget_->winId(), anzeigeFenster_);
      umgehaengt_ = true;
    }
    picWidget_->move(0, 0);
  }
  picWidget_->update();
  // Every Qt main window has a task-bar entry of its own: nothing to add.
}

void FrmVRD4Empfaenger::cmdFensterSyncronisieren_Click() {
  if (!desktop().pelmorPlayerAktiv()) {
    platform::showMessageBox(u"Pelmor Player läuft nicht!");
    return;
  }
  if (const auto gefunden = desktop().findDisplayWindow()) {
    anzeigeFenster_ = gefunden->id;
    anzeigeRechteck_ = gefunden->rect;
  }
  // Without a match the window found before is used (none at first: the
  // re-parenting then fails quietly, the caption changes all the same).
  if (desktop().reparent(picWidget_->winId(), anzeigeFenster_)) umgehaengt_ = true;
  setWindowTitle(QStringLiteral("VRD4-LCD - Anzeigeempfänger - Breite: ") + kuerzesteZahl(board_->scaleWidth()) +
                 QStringLiteral("x Höhe: ") + kuerzesteZahl(board_->scaleHeight()));
}

void FrmVRD4Empfaenger::cmdBitmapVollbild_Click() {
  if (vollbild_) return;  // the saved placement must stay the one from before
  if (VRD4Empfaenger_) {
    VRD4Empfaenger_->Cls();
  } else {
    board_->cls();
  }
  setCursor(Qt::BlankCursor);
  gespeicherteFenstergroesse_ = size();
  gespeicherteFlaechenPosition_ = picWidget_->pos();
  gespeicherteSkalaBreite_ = board_->scaleWidth();
  gespeicherteSkalaHoehe_ = board_->scaleHeight();

  CtlFraDiverses->hide();
  CtlFraWeiterleitenAn->hide();
  CtlFraFuerClientdaten->hide();
  CtlFraFuerServerdaten->hide();

  // A frameless window in the window manager's full-screen state covers the
  // panels and task bars as well.
  QScreen* bildschirm = screen() ? screen() : QGuiApplication::primaryScreen();
  const QRect flaeche = bildschirm ? bildschirm->geometry() : QRect(0, 0, width(), height());
  const bool warSichtbar = isVisible();
  setWindowFlag(Qt::FramelessWindowHint, true);
  setGeometry(flaeche);
  if (warSichtbar) showFullScreen();

  // The board's units now span the whole screen: later drawings are enlarged.
  board_->resize(flaeche.width(), flaeche.height());
  board_->setScale(gespeicherteSkalaBreite_, gespeicherteSkalaHoehe_);
  picWidget_->setGeometry(0, 0, flaeche.width(), flaeche.height());
  picWidget_->raise();
  activateWindow();
  vollbild_ = true;
}

void FrmVRD4Empfaenger::VollbildAus() {
  if (!vollbild_) return;
  unsetCursor();
  const bool warSichtbar = isVisible();
  setWindowFlag(Qt::FramelessWindowHint, false);
  setWindowState(windowState() & ~Qt::WindowFullScreen);
  resize(gespeicherteFenstergroesse_);
  if (warSichtbar) showNormal();
  activateWindow();
  picWidget_->move(gespeicherteFlaechenPosition_);

  CtlFraDiverses->show();
  CtlFraWeiterleitenAn->show();
  CtlFraFuerClientdaten->show();
  CtlFraFuerServerdaten->show();

  GroesseAnpassen();
  if (VRD4Empfaenger_) {
    VRD4Empfaenger_->Cls();
  } else {
    board_->cls();
  }
  vollbild_ = false;
}

void FrmVRD4Empfaenger::cmdBoxSpeichern_Click() {
  // What the screen shows there: paint what is pending first.
  picWidget_->repaint();
  QRect bereich(picWidget_->mapToGlobal(QPoint(0, 0)), picWidget_->size());
  if (umgehaengt_) {
    // Inside the player's window Qt no longer knows where the surface is.
    if (const auto r = desktop().windowRect(picWidget_->winId())) {
      bereich = QRect(QPoint(r->left, r->top), QPoint(r->right - 1, r->bottom - 1));
    }
  }
  QImage bild = modBildschirmAusschnittSpeichern::BildschirmAusschnitt(bereich);
  // A platform that cannot read the screen back (offscreen) still gets the
  // surface as the widget paints it.
  if (bild.isNull()) bild = picWidget_->grab().toImage();
  const std::string ablage = schnappschussOrdner(programmOrdner_);
  const QString ordner = QString::fromStdString(ablage);
  // The state folder of an installed receiver may not exist yet; the program
  // folder is never created.
  if (ablage != programmOrdner_) QDir().mkpath(ordner);
  const QString datei = ordner + QStringLiteral("/Picture.bmp");
  if (const auto fehler = modBildschirmAusschnittSpeichern::AlsBmpSpeichern(bild, datei)) {
    addListEntry(datei + QStringLiteral(" nicht gespeichert: ") + *fehler);
  }
}

}  // namespace vrd4::app
