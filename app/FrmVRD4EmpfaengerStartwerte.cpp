// The settings file and the settings panel's small handlers: read at
// activation (it may start the server or connect Client2), written at unload
// and by "Parameter speichern".
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <cmath>

#include "app/FrmVRD4Empfaenger.h"
#include "app/Startwerte.h"
#include "engine/clsVRD4Empfaenger.h"
#include "support/Numbers.h"

namespace vrd4::app {

namespace {

double twipsProPixel(int dpi) { return 1440.0 / (dpi > 0 ? dpi : 96); }

// A check box takes 0 (cleared) and 1 (checked); another value leaves it.
void kastenSetzen(QCheckBox* box, const QString& wert) {
  const int32_t v = leadingInt(wert.toStdU16String());
  if (v == 0 || v == 1) box->setChecked(v == 1);
}

}  // namespace

std::string FrmVRD4Empfaenger::startwertePfad() const { return app::startwertePfad(programmOrdner_); }

void FrmVRD4Empfaenger::StartwerteLesen() {
  Startwerte w;
  w.adresse = gemerkteAdresse_;
  w.port = gemerkterPort_;
  app::startwerteLesen(startwertePfad(), w);
  w.defaultsEinsetzen();
  gemerkteAdresse_ = w.adresse;
  gemerkterPort_ = w.port;
  txtIPAdresse1->setText(w.adresse);
  txtT_Port1->setText(w.port);
  // Setting a box runs its click handler: with both flags set only the
  // server box stays checked.
  kastenSetzen(chkClientAutomatischVerbinden, w.clientFlag);
  kastenSetzen(chkServerAutomatischStarten, w.serverFlag);
  if (chkClientAutomatischVerbinden->isChecked()) cmdClient2Connect_Click();
  if (chkServerAutomatischStarten->isChecked()) cmdServerStarten_Click();
  eckeSetzen(w);
}

void FrmVRD4Empfaenger::eckeVorDemZeigen() {
  Startwerte w;
  app::startwerteLesen(startwertePfad(), w);
  eckeSetzen(w);
}

void FrmVRD4Empfaenger::eckeSetzen(const Startwerte& w) {
  // The client area's corner, saved and restored alike: a frame's corner
  // would move the window by the title bar's height on every start.
  QPoint p = geometry().topLeft();
  if (w.links > 0) p.setX(static_cast<int>(std::lround(w.links / twipsProPixel(logicalDpiX()))));
  if (w.oben > 0) p.setY(static_cast<int>(std::lround(w.oben / twipsProPixel(logicalDpiY()))));
  if (p != geometry().topLeft()) setGeometry(QRect(p, size()));
}

void FrmVRD4Empfaenger::StartwerteSchreiben() {
  Startwerte w;
  w.adresse = txtIPAdresse1->text();
  w.port = txtT_Port1->text();
  w.serverFlag = QString::number(chkServerAutomatischStarten->isChecked() ? 1 : 0);
  w.clientFlag = QString::number(chkClientAutomatischVerbinden->isChecked() ? 1 : 0);
  w.links = static_cast<int32_t>(std::lround(fensterEcke().x() * twipsProPixel(logicalDpiX())));
  w.oben = static_cast<int32_t>(std::lround(fensterEcke().y() * twipsProPixel(logicalDpiY())));
  // An unwritable file is not reported: the next start has the defaults.
  app::startwerteSchreiben(startwertePfad(), w);
}

void FrmVRD4Empfaenger::cmdParameterSpeichern_Click() { StartwerteSchreiben(); }

void FrmVRD4Empfaenger::chkClientAutomatischVerbinden_Click() {
  if (chkClientAutomatischVerbinden->isChecked()) chkServerAutomatischStarten->setChecked(false);
}

void FrmVRD4Empfaenger::chkServerAutomatischStarten_Click() {
  if (chkServerAutomatischStarten->isChecked()) chkClientAutomatischVerbinden->setChecked(false);
}

void FrmVRD4Empfaenger::txtFontGroessenfaktor_Change() {
  if (!VRD4Empfaenger_) return;
  const QString text = txtFontGroessenfaktor->text();
  if (text.isEmpty()) return;
  if (const auto v = zahlAusFaktorText(text)) {
    VRD4Empfaenger_->FontGroessenFaktor = *v;
    return;
  }
  // The last factor stays; the status label says why.
  LabelGAKomFehler->setText(QStringLiteral("Fontgrößenfaktor: \"") + text +
                            QStringLiteral("\" ist keine Zahl, es bleibt ") +
                            QLocale().toString(VRD4Empfaenger_->FontGroessenFaktor));
  LabelGAKomFehler->setVisible(true);
}

}  // namespace vrd4::app
