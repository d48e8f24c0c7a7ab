#include "app/Anzeigetafel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "app/modBildschirmAusschnittSpeichern.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/MessageBox.h"
#include "platform/Surface.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::app {

namespace {

QString kuerzesteZahl(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

}  // namespace

Anzeigetafel::Anzeigetafel(QWidget& fenster, const Umgebung& umgebung, int x, int y)
    : fenster_(fenster), umgebung_(umgebung), surface_(std::make_unique<platform::Surface>(kStartBreite, kStartHoehe)) {
  widget_ = new platform::SurfaceWidget(*surface_, &fenster);
  widget_->setObjectName(QStringLiteral("picVRD4Empfang"));
  widget_->setGeometry(x, y, kStartBreite, kStartHoehe);
}

Anzeigetafel::~Anzeigetafel() {
  // The widget gives the surface's callback back; the surface must still live.
  delete widget_;
}

void Anzeigetafel::GroesseAnpassen() {
  // Qt's window coordinates are pixels already: nothing to snap. An empty
  // board (a player window without area) still keeps one pixel to draw on.
  const int w = std::max(1, breite_);
  const int h = std::max(1, hoehe_);
  surface_->resize(w, h);
  surface_->setScale(w, h);
  widget_->resize(widget_->sizeHint());
}

void Anzeigetafel::Platzieren() {
  breite_ = kStartBreite;
  hoehe_ = kStartHoehe;
  surface_->setBackColor(0x000000);
  surface_->setForeColor(0xFFFFFF);
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
      breite_ = breite;
      hoehe_ = hoehe;
      inAnzeigeFensterHaengen();
    }
    widget_->move(0, 0);
  }
  widget_->update();
  // Every Qt main window has a task-bar entry of its own: nothing to add.
}

void Anzeigetafel::synchronisieren() {
  if (!desktop().pelmorPlayerAktiv()) {
    platform::showMessageBox(u"Pelmor Player läuft nicht!", {}, {.warnung = true});
    return;
  }
  if (const auto gefunden = desktop().findDisplayWindow()) {
    anzeigeFenster_ = gefunden->id;
    anzeigeRechteck_ = gefunden->rect;
  }
  // Without a match the window found before is used (none at first: the
  // re-parenting then fails quietly, the caption changes all the same).
  inAnzeigeFensterHaengen();
  fenster_.setWindowTitle(QStringLiteral("VRD4-LCD - Anzeigeempfänger - Breite: ") +
                          kuerzesteZahl(surface_->scaleWidth()) + QStringLiteral("x Höhe: ") +
                          kuerzesteZahl(surface_->scaleHeight()));
}

void Anzeigetafel::leeren(engine::clsVRD4Empfaenger* engine) {
  if (engine) {
    engine->Cls();
  } else {
    surface_->cls();
  }
}

void Anzeigetafel::vollbildAn(engine::clsVRD4Empfaenger* engine) {
  if (vollbild_) return;  // the saved placement must stay the one from before
  leeren(engine);
  fenster_.setCursor(Qt::BlankCursor);
  gespeicherteFenstergroesse_ = fenster_.size();
  gespeicherteFlaechenPosition_ = widget_->pos();
  gespeicherteSkalaBreite_ = surface_->scaleWidth();
  gespeicherteSkalaHoehe_ = surface_->scaleHeight();
  if (rahmenZeigen) rahmenZeigen(false);

  // The window manager's own full-screen state covers panels and task bars
  // and takes the frame away. The window keeps its flags: changing them
  // re-creates the native window, which managers answer with a maximized
  // window, a lost focus or both. Without a manager the window takes the
  // screen's geometry itself.
  QScreen* bildschirm = fenster_.screen() ? fenster_.screen() : QGuiApplication::primaryScreen();
  const QRect flaeche = bildschirm ? bildschirm->geometry() : QRect(0, 0, fenster_.width(), fenster_.height());
  normaleEcke_ = eckeJetzt();
  vollbildSelbst_ = !desktop().fenstermanagerKannVollbild();
  if (vollbildSelbst_) fenster_.setGeometry(flaeche);
  fenster_.setWindowState(fenster_.windowState() | Qt::WindowFullScreen);

  // The board's units now span the whole screen: later drawings are enlarged.
  surface_->resize(flaeche.width(), flaeche.height());
  surface_->setScale(gespeicherteSkalaBreite_, gespeicherteSkalaHoehe_);
  widget_->setGeometry(0, 0, flaeche.width(), flaeche.height());
  widget_->raise();
  fenster_.raise();
  fenster_.activateWindow();  // ESC must reach us
  vollbild_ = true;
}

void Anzeigetafel::vollbildAus(engine::clsVRD4Empfaenger* engine) {
  if (!vollbild_) return;
  fenster_.unsetCursor();
  fenster_.setWindowState(fenster_.windowState() & ~Qt::WindowFullScreen);
  // A manager gives the window its place back; without one we do.
  if (vollbildSelbst_) {
    fenster_.setGeometry(QRect(normaleEcke_, gespeicherteFenstergroesse_));
  } else {
    fenster_.resize(gespeicherteFenstergroesse_);
  }
  fenster_.activateWindow();
  widget_->move(gespeicherteFlaechenPosition_);
  if (rahmenZeigen) rahmenZeigen(true);
  GroesseAnpassen();
  leeren(engine);
  vollbild_ = false;
}

std::optional<QString> Anzeigetafel::bildSpeichern(const QString& datei) {
  // What the screen shows there: paint what is pending first.
  widget_->repaint();
  QRect bereich(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
  if (umgehaengt_) {
    // Inside the player's window Qt no longer knows where the surface is.
    if (const auto r = desktop().windowRect(widget_->winId())) {
      bereich = QRect(QPoint(r->left, r->top), QPoint(r->right - 1, r->bottom - 1));
    }
  }
  QImage bild;
  if (desktop().bildschirmLesbar()) bild = modBildschirmAusschnittSpeichern::BildschirmAusschnitt(bereich);
  bild = modBildschirmAusschnittSpeichern::BildWaehlen(bild, widget_->grab().toImage());
  return modBildschirmAusschnittSpeichern::AlsBmpSpeichern(bild, datei);
}

bool Anzeigetafel::inAnzeigeFensterHaengen() {
  const QPoint vorher = widget_->pos();
  const platform::x11::WindowId tafel = widget_->winId();
  if (!desktop().reparent(tafel, anzeigeFenster_)) {
    melden(QStringLiteral("Anzeigefenster des Players nicht erreichbar: Tafel bleibt im Empfängerfenster"));
    return false;
  }
  if (!umgehaengt_) flaecheImFenster_ = vorher;
  umgehaengt_ = true;
  tafelFenster_ = tafel;
  letztePruefung_ = umgebung_.uhr().seconds();
  // Our window must not cover the board in its new place.
  fenster_.lower();
  desktop().activateWindow(anzeigeFenster_);
  return true;
}

void Anzeigetafel::anzeigeFensterPruefen() {
  if (!umgehaengt_) return;
  const double jetzt = umgebung_.uhr().seconds();
  if (letztePruefung_ && jetzt - *letztePruefung_ < kPruefSekunden) return;
  letztePruefung_ = jetzt;
  if (desktop().fensterLebt(tafelFenster_)) return;
  // The board's native window died with the player's window, and Qt will
  // not make its widget a new one: a new widget on the same surface takes
  // its place in our window. What was drawn lives in the surface.
  umgehaengt_ = false;
  const QRect platz(vollbild_ ? QPoint(0, 0) : flaecheImFenster_, widget_->size());
  delete widget_;
  widget_ = new platform::SurfaceWidget(*surface_, &fenster_);
  widget_->setObjectName(QStringLiteral("picVRD4Empfang"));
  widget_->setGeometry(platz);
  widget_->show();
  if (vollbild_) widget_->raise();
  if (fenster_.isMinimized()) fenster_.showNormal();
  fenster_.raise();
  melden(QStringLiteral("Anzeigefenster des Players beendet: Tafel zurück im Empfängerfenster"));
}

QPoint Anzeigetafel::fensterEcke() const { return vollbild_ ? normaleEcke_ : eckeJetzt(); }

QPoint Anzeigetafel::eckeJetzt() const {
  // Asked of the X server: Qt learns where the window manager has put the
  // window only with its next events, and a board ended right after ESC
  // would save where it stood before full screen.
  if (QGuiApplication::platformName() == QLatin1String("xcb"))
    if (const auto r = desktop().windowRect(fenster_.internalWinId())) return {r->left, r->top};
  return fenster_.geometry().topLeft();
}

}  // namespace vrd4::app
