// Where the display surface lives: its size and scale, the external player's
// display window, full screen and back, and the snapshot of its screen area.
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QWindow>

#include "app/FrmVRD4Empfaenger.h"
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
      inAnzeigeFensterHaengen();
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
  inAnzeigeFensterHaengen();
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

  // The window manager's own full-screen state covers panels and task bars
  // and takes the frame away. The window keeps its flags: changing them
  // re-creates the native window, which managers answer with a maximized
  // window, a lost focus or both. Without a manager the window takes the
  // screen's geometry itself.
  QScreen* bildschirm = screen() ? screen() : QGuiApplication::primaryScreen();
  const QRect flaeche = bildschirm ? bildschirm->geometry() : QRect(0, 0, width(), height());
  normaleEcke_ = geometry().topLeft();
  vollbildSelbst_ = !desktop().fenstermanagerKannVollbild();
  if (vollbildSelbst_) setGeometry(flaeche);
  setWindowState(windowState() | Qt::WindowFullScreen);

  // The board's units now span the whole screen: later drawings are enlarged.
  board_->resize(flaeche.width(), flaeche.height());
  board_->setScale(gespeicherteSkalaBreite_, gespeicherteSkalaHoehe_);
  picWidget_->setGeometry(0, 0, flaeche.width(), flaeche.height());
  picWidget_->raise();
  raise();
  activateWindow();  // ESC must reach us
  vollbild_ = true;
}

void FrmVRD4Empfaenger::VollbildAus() {
  if (!vollbild_) return;
  unsetCursor();
  setWindowState(windowState() & ~Qt::WindowFullScreen);
  // A manager gives the window its place back; without one we do.
  if (vollbildSelbst_) {
    setGeometry(QRect(normaleEcke_, gespeicherteFenstergroesse_));
  } else {
    resize(gespeicherteFenstergroesse_);
  }
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

bool FrmVRD4Empfaenger::inAnzeigeFensterHaengen() {
  const QPoint vorher = picWidget_->pos();
  const platform::x11::WindowId tafel = picWidget_->winId();
  if (!desktop().reparent(tafel, anzeigeFenster_)) {
    addListEntry(QStringLiteral("Anzeigefenster des Players nicht erreichbar: Tafel bleibt im Empfängerfenster"));
    return false;
  }
  if (!umgehaengt_) flaecheImFenster_ = vorher;
  umgehaengt_ = true;
  tafelFenster_ = tafel;
  letztePruefung_ = uhr().seconds();
  // Our window must not cover the board in its new place.
  lower();
  desktop().activateWindow(anzeigeFenster_);
  return true;
}

void FrmVRD4Empfaenger::anzeigeFensterPruefen() {
  if (!umgehaengt_) return;
  const double jetzt = uhr().seconds();
  if (letztePruefung_ && jetzt - *letztePruefung_ < kPruefSekunden) return;
  letztePruefung_ = jetzt;
  if (desktop().fensterLebt(tafelFenster_)) return;
  // The board's native window died with the player's window, and Qt will
  // not make its widget a new one: a new widget on the same surface takes
  // its place in our window. What was drawn lives in the surface.
  umgehaengt_ = false;
  const QRect platz(vollbild_ ? QPoint(0, 0) : flaecheImFenster_, picWidget_->size());
  delete picWidget_;
  picWidget_ = new platform::SurfaceWidget(*board_, this);
  picWidget_->setObjectName(QStringLiteral("picVRD4Empfang"));
  picWidget_->setGeometry(platz);
  picWidget_->show();
  if (vollbild_) picWidget_->raise();
  if (isMinimized()) showNormal();
  raise();
  addListEntry(QStringLiteral("Anzeigefenster des Players beendet: Tafel zurück im Empfängerfenster"));
}

QPoint FrmVRD4Empfaenger::fensterEcke() const { return vollbild_ ? normaleEcke_ : geometry().topLeft(); }

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
  QImage bild;
  if (desktop().bildschirmLesbar()) bild = modBildschirmAusschnittSpeichern::BildschirmAusschnitt(bereich);
  bild = modBildschirmAusschnittSpeichern::BildWaehlen(bild, picWidget_->grab().toImage());
  const QString datei = QString::fromStdString(programmOrdner_) + QStringLiteral("/Picture.bmp");
  if (const auto fehler = modBildschirmAusschnittSpeichern::AlsBmpSpeichern(bild, datei)) {
    addListEntry(datei + QStringLiteral(" nicht gespeichert: ") + *fehler);
  }
}

}  // namespace vrd4::app
