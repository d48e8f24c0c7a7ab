#include "app/FrmVRD4Empfaenger.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Startwerte.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/SurfaceWidget.h"
#include "support/Numbers.h"

namespace vrd4::app {
namespace gv = channel::modVRD4GlobaleVariablen;

namespace {

constexpr int kRand = 8;
constexpr int kPanelBreite = 340;

}  // namespace

FrmVRD4Empfaenger::FrmVRD4Empfaenger(Umgebung umgebung)
    : QWidget(nullptr), umgebung_(std::move(umgebung)), programmOrdner_(umgebung_.programmOrdner()) {
  setObjectName(QStringLiteral("FrmVRD4Empfaenger"));
  setWindowTitle(QStringLiteral("VRD4-LCD - Anzeigeempfänger"));
  entwurfAufbauen();
}

FrmVRD4Empfaenger::~FrmVRD4Empfaenger() {
  qApp->removeEventFilter(this);
  // The core draws on the board and reports to the panel: it goes first
  // (and is gone for the network frames while it goes), the board last.
  std::unique_ptr<core::Empfaenger> kern = std::move(kern_);
  kern.reset();
  netz_.reset();
  einstellungen_.reset();
  status_.reset();
  tafel_.reset();
}

void FrmVRD4Empfaenger::entwurfAufbauen() {
  constexpr int breite = Anzeigetafel::kStartBreite;
  tafel_ = std::make_unique<Anzeigetafel>(*this, umgebung_, kRand, kRand);
  tafel_->rahmenZeigen = [this](bool sichtbar) { rahmenZeigen(sichtbar); };
  const int unten = kRand + Anzeigetafel::kStartHoehe + kRand;
  status_ = std::make_unique<Statusanzeige>(*this, kRand, unten, breite);
  tafel_->meldung = [this](const QString& text) { status_->statusEintrag(text); };
  core::Fenster& fenster = *this;
  kern_ = std::make_unique<core::Empfaenger>(fenster, tafel_->surface(), umgebung_.uhr(), umgebung_.schreibtisch(),
                                             umgebung_.sleeper, umgebung_.halle);

  auto* panel = new QWidget(this);
  netz_ = std::make_unique<Netzpanel>(*this, *panel, *status_, *kern_);
  einstellungen_ = std::make_unique<Einstellungen>(*this, *panel, *netz_, programmOrdner_);
  einstellungen_->fensterEcke = [this] { return tafel_->fensterEcke(); };
  auto* spalte = new QVBoxLayout(panel);
  spalte->setContentsMargins(0, 0, 0, 0);
  for (QGroupBox* r : {netz_->serverRahmen(), netz_->clientRahmen(), netz_->weiterleitenRahmen(),
                       einstellungen_->rahmen()})
    spalte->addWidget(r);
  spalte->addStretch(1);
  const int panelX = kRand + breite + kRand;
  const int hoehe = unten + Statusanzeige::kHoehe + kRand;
  panel->setGeometry(panelX, kRand, kPanelBreite, hoehe - 2 * kRand);
  resize(panelX + kPanelBreite + kRand, hoehe);

  connect(status_->vollbildKnopf(), &QPushButton::clicked, this, [this] { cmdBitmapVollbild_Click(); });
  connect(status_->faktorFeld(), &QLineEdit::textChanged, this,
          [this] { status_->faktorUebernehmen(kern_->engine()); });
  connect(einstellungen_->bildKnopf(), &QPushButton::clicked, this, [this] { cmdBoxSpeichern_Click(); });
  connect(einstellungen_->syncKnopf(), &QPushButton::clicked, this, [this] { cmdFensterSyncronisieren_Click(); });
}

void FrmVRD4Empfaenger::rahmenZeigen(bool sichtbar) {
  for (QGroupBox* r : {einstellungen_->rahmen(), netz_->weiterleitenRahmen(), netz_->clientRahmen(),
                       netz_->serverRahmen()})
    r->setVisible(sichtbar);
}

// ---------------------------------------------------------------------------
// Load, activation, unload

void FrmVRD4Empfaenger::ShowModal() {
  Form_Load();
  if (entladen_) return;
  einstellungen_->eckeVorDemZeigen();
  show();
  QEventLoop schleife;
  beimEntladen_ = [&schleife] { schleife.quit(); };
  QTimer::singleShot(0, this, [this] { Form_Activate(); });
  if (!entladen_) schleife.exec();
  beimEntladen_ = nullptr;
}

void FrmVRD4Empfaenger::Form_Load() {
  if (geladen_ || entladen_) return;
  geladen_ = true;
  programmOrdner_ = umgebung_.programmOrdner();
  // Relative paths in commands are meant from the program's folder.
  if (!programmOrdner_.empty() && chdir(programmOrdner_.c_str()) != 0) {
    status_->statusEintrag(QStringLiteral("Programmordner nicht erreichbar: ") +
                           QString::fromStdString(programmOrdner_));
  }
  kern_->laden();
}

void FrmVRD4Empfaenger::Form_Activate() {
  if (!geladen_ || aktiviert_ || entladen_) return;
  aktiviert_ = true;
  // A built receiver never runs inside a development environment.
  einstellungen_->transferKnopf()->hide();
  einstellungen_->StartwerteLesen();
  if (const auto doppelpunkt = umgebung_.weiterleiten.rfind(':'); doppelpunkt != std::string::npos)
    kern_->client3Verbinden(QString::fromStdString(umgebung_.weiterleiten.substr(0, doppelpunkt)),
                            QString::fromStdString(umgebung_.weiterleiten.substr(doppelpunkt + 1)));
  einstellungen_->twipsAnzeigen();
  tafel_->Platzieren();
  if (umgebung_.vollbild) cmdBitmapVollbild_Click();
  const std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  const int64_t hwnd = handle.empty() ? 0 : static_cast<int64_t>(leadingNumber(handle));
  status_->statusEintrag(QStringLiteral("EventFensterHwnd aus Sender: ") + QString::number(hwnd));
  status_->faktorUebernehmen(kern_->engine());
  netz_->serverRahmen()->setToolTip(QStringLiteral(
      "Server automatisch starten und 'Button starten' nur wenn VRD4-Farbe an diesem Rechner angeschlossen ist!"));
  netz_->clientRahmen()->setToolTip(QStringLiteral(
      "Client automatisch starten und 'Button verbinden' nur wenn VRD4-Farbe an einem anderen Rechner "
      "angeschlossen ist!"));
  kern_->laufen();  // returns once the unload has stopped it
}

void FrmVRD4Empfaenger::Form_Unload() {
  if (entladen_) return;
  entladen_ = true;
  if (geladen_) {
    kern_->anhalten();
    einstellungen_->StartwerteSchreiben();
    kern_->entladen();
  }
  if (tafel_->vollbild()) unsetCursor();
  if (beimEntladen_) beimEntladen_();
}

void FrmVRD4Empfaenger::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void FrmVRD4Empfaenger::beenden() {
  close();
  // A hidden window that was never shown still unloads.
  if (!entladen_) Form_Unload();
}

void FrmVRD4Empfaenger::cmdBitmapVollbild_Click() {
  tafel_->vollbildAn(kern_->engine());
  // Key preview while the board fills the screen: the window sees every key
  // before its controls and swallows them. Only then: a filter on the whole
  // application is asked about every event, a hundred timer events a second.
  if (tafel_->vollbild()) qApp->installEventFilter(this);
}

void FrmVRD4Empfaenger::VollbildAus() {
  tafel_->vollbildAus(kern_->engine());
  if (!tafel_->vollbild()) qApp->removeEventFilter(this);
}

bool FrmVRD4Empfaenger::eventFilter(QObject* watched, QEvent* event) {
  if (!tafel_->vollbild()) return false;
  const QEvent::Type t = event->type();
  if (t != QEvent::KeyPress && t != QEvent::KeyRelease && t != QEvent::ShortcutOverride) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this) return false;
  if (t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) VollbildAus();
  return true;  // every key is the window's while the board fills the screen
}

void FrmVRD4Empfaenger::cmdBoxSpeichern_Click() {
  const std::string ablage = schnappschussOrdner(programmOrdner_);
  const QString ordner = QString::fromStdString(ablage);
  // The state folder of an installed receiver may not exist yet; the program
  // folder is never created.
  if (ablage != programmOrdner_) QDir().mkpath(ordner);
  // Boards of several channels keep their snapshots apart, as their settings.
  const QString datei =
      ordner + QLatin1Char('/') + QString::fromStdString(channel::channelNamePrefix()) + QStringLiteral("Picture.bmp");
  if (const auto fehler = tafel_->bildSpeichern(datei))
    status_->statusEintrag(datei + QStringLiteral(" nicht gespeichert: ") + *fehler);
}

// ---------------------------------------------------------------------------
// The window's part of every tick

void FrmVRD4Empfaenger::taktBeginnen(int32_t takte) {
  einstellungen_->taktZaehlen(umgebung_.uhr().seconds(), takte);
  status_->kuerzen();
  tafel_->anzeigeFensterPruefen();
}

// A flood of commands draws thousands of times a round: the board is
// repainted once at its end, with all that changed.
void FrmVRD4Empfaenger::rundeBeginnen() {
  status_->sammelnBeginnen();
  tafel_->widget()->holdUpdates();
}

void FrmVRD4Empfaenger::rundeBeenden() {
  tafel_->widget()->releaseUpdates();
  status_->sammelnBeenden();
}

void FrmVRD4Empfaenger::netzZeigen() {
  if (kern_ && netz_) netz_->zeigen();
}

}  // namespace vrd4::app
