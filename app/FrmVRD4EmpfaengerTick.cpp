// The polling tick and the handler of the engine's events.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <exception>

#include "app/FrmVRD4Empfaenger.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "support/Numbers.h"

namespace vrd4::app {
namespace gv = channel::modVRD4GlobaleVariablen;

void FrmVRD4Empfaenger::ListeKuerzen() {
  if (List1->count() >= kListeMaximal) List1->clear();
}

void FrmVRD4Empfaenger::TimerVRD4Empfang_Timer() {
  engine::clsVRD4Empfaenger* engine = VRD4Empfaenger_.get();
  if (entladen_ || !engine) return;

  ++tickZaehler_;
  const double jetzt = uhr().seconds();
  // Repainting the count a hundred times a second would cost more than all
  // the rest of an idle tick; nobody reads it faster than twice a second.
  if (!letzteZaehlerAnzeige_ || jetzt - *letzteZaehlerAnzeige_ >= kZaehlerAnzeigeSekunden) {
    Label3->setText(QString::number(tickZaehler_));
    letzteZaehlerAnzeige_ = jetzt;
  }
  if (!letzteRatenZeit_ || jetzt - *letzteRatenZeit_ > 1.0) {
    Label2->setText(QString::number(tickZaehler_));
    letzteRatenZeit_ = jetzt;
    tickZaehler_ = 0;
  }

  if (!aufruferAktiviert_) {
    const double h = leadingNumber(gv::clsVRD4AufrufFensterhandle().GetMemory());
    if (h > 0) {
      aufruferAktiviert_ = true;
      if (h <= 0xFFFFFFFF) desktop().activateWindow(static_cast<platform::x11::WindowId>(h));
    }
  }

  ListeKuerzen();
  anzeigeFensterPruefen();

  ++zeitschleifeTiefe_;
  try {
    // Inside a connect wait only the display moves; inside the engine's
    // forwarding wait Zeitschleife itself takes no command.
    if (warteTiefe_ > 0)
      engine->AnzeigeTakten();
    else
      engine->Zeitschleife();
  } catch (const std::exception& e) {
    FehlerAusZeitschleife(e.what());
  } catch (...) {
    FehlerAusZeitschleife("unbekannter Fehler");
  }
  --zeitschleifeTiefe_;
  aufraeumenNachTick();
  if (entladen_) return;

  if (Clients_ && Clients_->arbeitWartet() && darfAusfuehren()) Clients_->anstossen();
  // Not from inside a wait or a message box: the window unloads on the
  // first tick after it.
  if (warteTiefe_ > 0 || boxTiefe_ > 0 || engine->befehlLaeuft()) return;
  if (leadingNumber(gv::clsVRD4ProgrammBeenden().GetMemory()) == -1.0) entladenAnstossen();
}

// A command that fails inside the polling step must not end the receiver: it
// is reported like any other command error and the next tick goes on. The
// command has already been taken from its slot.
void FrmVRD4Empfaenger::FehlerAusZeitschleife(const char* beschreibung) {
  engine::clsVRD4Empfaenger* engine = VRD4Empfaenger_ ? VRD4Empfaenger_.get() : entlasseneEngine_.get();
  if (entladen_ || !engine) return;
  engine->VRD4Event(QStringLiteral("BefehlFehler"), QStringLiteral("Fehler in ") + engine->befehlsname() +
                                                        QStringLiteral(": ") + QString::fromUtf8(beschreibung));
}

void FrmVRD4Empfaenger::aufraeumenNachTick() {
  if (zeitschleifeTiefe_ == 0) entlasseneEngine_.reset();
}

void FrmVRD4Empfaenger::VRD4Empfaenger_VRD4Event(const QString& art, const QString& meldung) {
  ListeKuerzen();
  const QString s = art + QLatin1Char(';') + meldung;
  const std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  const double h = handle.empty() ? 0.0 : leadingNumber(handle);

  if (s == letztesEvent_) return;  // the same event twice in a row is handled once
  letztesEvent_ = s;

  if (art == QLatin1String("IPAdresse")) {
    zeigen(s);
    gemerkteAdresse_ = meldung;
    txtIPAdresse1->setText(meldung);
  } else if (art == QLatin1String("Port")) {
    zeigen(s);
    gemerkterPort_ = meldung;
    txtT_Port1->setText(meldung);
  } else if (art == QLatin1String("Server starten")) {
    zeigen(s);
    cmdServerStarten_Click();
  } else if (art == QLatin1String("Client verbinden")) {
    zeigen(s);
    if (cmdClient2Connect->text() == QLatin1String("Trennen")) {
      Client2_->Disconnect();
      cmdClient2Connect->setText(QStringLiteral("Verbinden"));
      txtIPAdresse1->setEnabled(true);
    }
    cmdClient2Connect_Click();
  } else {
    zeigen(s);
    weitergeben(s, h);
  }
}

void FrmVRD4Empfaenger::zeigen(const QString& s) {
  LabelGAKomFehler->setText(s);
  LabelGAKomFehler->setVisible(true);
}

void FrmVRD4Empfaenger::weitergeben(const QString& s, double fensterHandle) {
  const std::u16string text = s.toStdU16String();
  gv::clsVRD4Event().SetMemory(text);
  // X window ids are 32-bit; anything beyond names no window.
  if (fensterHandle >= 1 && fensterHandle <= 0xFFFFFFFF) {
    desktop().setWindowText(static_cast<platform::x11::WindowId>(fensterHandle), text);
  }
}

}  // namespace vrd4::app
