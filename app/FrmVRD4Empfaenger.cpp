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

#include "szene/PngSchnell.h"
#include "app/Startwerte.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/SurfaceWidget.h"
#include "support/Numbers.h"
#include "szene/Szene.h"

namespace vrd4::app {
namespace gv = channel::modVRD4GlobaleVariablen;

namespace {

constexpr int kRand = 8;
constexpr int kPanelBreite = 340;

// Feeds the scene with every command that ran on the board.
class SzenenBeobachter final : public engine::BefehlsBeobachter {
 public:
  explicit SzenenBeobachter(szene::Szene& szene) : szene_(szene) {}
  void befehlGelaufen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                      std::optional<uint8_t> antwortNr) override {
    szene_.aufnehmen(befehl, bildBytes, antwortNr);
  }
  void befehlGelaufenGeteilt(const protocol::Befehl& befehl, const std::shared_ptr<const std::vector<uint8_t>>& bild,
                             std::optional<uint8_t> antwortNr) override {
    szene_.aufnehmen(befehl, bild, antwortNr);
  }

 private:
  szene::Szene& szene_;
};

}  // namespace

FrmVRD4Empfaenger::FrmVRD4Empfaenger(Umgebung umgebung)
    : QWidget(nullptr), umgebung_(std::move(umgebung)), programmOrdner_(umgebung_.programmOrdner()) {
  setObjectName(QStringLiteral("FrmVRD4Empfaenger"));
  setWindowTitle(QStringLiteral("VRD4-LCD - Anzeigeempfänger"));
  core::TaktHost& host = *this;
  schleife_ = std::make_unique<core::Taktschleife>(host, uhr(), umgebung_.sleeper);
  entwurfAufbauen();
}

FrmVRD4Empfaenger::~FrmVRD4Empfaenger() {
  qApp->removeEventFilter(this);
  // The engine draws on the board, reports to the panel and forwards
  // through the network panel: it goes first, the board last. The hall
  // says goodbye while the board can still tell its size, and goes after
  // the engine that observes through it.
  if (halle_) halle_->beenden();
  schleife_.reset();
  halle_.reset();
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
  // Compaction pictures the board's own image (the effect controls over it
  // are kept as commands). A flood of commands asks for one every few
  // thousand commands: made fast, and encoded beside the GUI thread from a
  // copy of its own, as the board draws on meanwhile.
  szene_ = std::make_unique<szene::Szene>(szene::Szene::Aufnahme([this]() -> szene::Szene::Kodierung {
    return [bild = tafel_->surface().image().copy()] { return szene::pngSchnell(bild); };
  }));
  szenenBeobachter_ = std::make_unique<SzenenBeobachter>(*szene_);

  auto* panel = new QWidget(this);
  netz_ = std::make_unique<Netzpanel>(*this, *panel, *status_, *schleife_, uhr(), *this);
  netz_->weiterleitung().szeneSetzen(szene_.get());
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
          [this] { status_->faktorUebernehmen(VRD4Empfaenger()); });
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
  schleife_->engineSetzen(std::make_unique<engine::clsVRD4Empfaenger>(tafel_->surface(), *status_, *this, uhr(),
                                                                      &netz_->weiterleitung()));
  VRD4Empfaenger()->beobachterHinzufuegen(*szenenBeobachter_);
  if (umgebung_.halle.aktiv()) {
    core::Hallenanschluss::Host host{
        .engine = [this] { return VRD4Empfaenger(); },
        .darfAusfuehren = [this] { return schleife_->darfAusfuehren(); },
        .meldung = [this](const QString& t) { status_->kuerzen(); status_->statusEintrag(t); },
        .groesse = [this] { return std::pair{tafel_->breite(), tafel_->hoehe()}; },
        .szene = szene_.get(),
        .bild = [this] { return tafel_->surface().presented(); },
        .meldungen = &status_->verlauf()};
    halle_ = std::make_unique<core::Hallenanschluss>(umgebung_.halle, std::move(host), uhr());
    halle_->starten();
  }
}

void FrmVRD4Empfaenger::Form_Activate() {
  if (!geladen_ || aktiviert_ || entladen_) return;
  aktiviert_ = true;
  // A built receiver never runs inside a development environment.
  einstellungen_->transferKnopf()->hide();
  einstellungen_->StartwerteLesen();
  if (const auto doppelpunkt = umgebung_.weiterleiten.rfind(':'); doppelpunkt != std::string::npos)
    netz_->client3Verbinden(QString::fromStdString(umgebung_.weiterleiten.substr(0, doppelpunkt)),
                            QString::fromStdString(umgebung_.weiterleiten.substr(doppelpunkt + 1)));
  einstellungen_->twipsAnzeigen();
  tafel_->Platzieren();
  if (umgebung_.vollbild) cmdBitmapVollbild_Click();
  const std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  const int64_t hwnd = handle.empty() ? 0 : static_cast<int64_t>(leadingNumber(handle));
  status_->statusEintrag(QStringLiteral("EventFensterHwnd aus Sender: ") + QString::number(hwnd));
  status_->faktorUebernehmen(VRD4Empfaenger());
  netz_->serverRahmen()->setToolTip(QStringLiteral(
      "Server automatisch starten und 'Button starten' nur wenn VRD4-Farbe an diesem Rechner angeschlossen ist!"));
  netz_->clientRahmen()->setToolTip(QStringLiteral(
      "Client automatisch starten und 'Button verbinden' nur wenn VRD4-Farbe an einem anderen Rechner "
      "angeschlossen ist!"));
  schleife_->laufen();  // returns once the unload has stopped it
}

void FrmVRD4Empfaenger::Form_Unload() {
  if (entladen_) return;
  entladen_ = true;
  if (geladen_) {
    schleife_->anhalten();
    einstellungen_->StartwerteSchreiben();
    netz_->schliessen();
    if (halle_) halle_->beenden();
    gv::clsVRD4EmpfaengerGestartet().SetMemory(u"0");
    if (engine::clsVRD4Empfaenger* e = VRD4Empfaenger()) {
      e->VRD4Close();
      schleife_->engineFreigeben();
    }
  }
  if (tafel_->vollbild()) unsetCursor();
  if (beimEntladen_) beimEntladen_();
}

void FrmVRD4Empfaenger::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void FrmVRD4Empfaenger::entladenAnstossen() {
  close();
  // A hidden window that was never shown still unloads.
  if (!entladen_) Form_Unload();
}

void FrmVRD4Empfaenger::cmdBitmapVollbild_Click() {
  tafel_->vollbildAn(VRD4Empfaenger());
  // Key preview while the board fills the screen: the window sees every key
  // before its controls and swallows them. Only then: a filter on the whole
  // application is asked about every event, a hundred timer events a second.
  if (tafel_->vollbild()) qApp->installEventFilter(this);
}

void FrmVRD4Empfaenger::VollbildAus() {
  tafel_->vollbildAus(VRD4Empfaenger());
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
  einstellungen_->taktZaehlen(uhr().seconds(), takte);
  if (!aufruferAktiviert_) {
    const double h = aufrufer_.lesen(gv::clsVRD4AufrufFensterhandle());
    if (h > 0) {
      aufruferAktiviert_ = true;
      if (h <= 0xFFFFFFFF) desktop().activateWindow(static_cast<platform::x11::WindowId>(h));
    }
  }
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

void FrmVRD4Empfaenger::taktRuhig() {
  if (beenden_.lesen(gv::clsVRD4ProgrammBeenden()) == -1.0) entladenAnstossen();
}

// What every tick reads: the end request, and the caller's window until it
// has been found.
std::function<bool()> FrmVRD4Empfaenger::ruheBlick() {
  std::function<bool()> beenden = beenden_.unveraendert(gv::clsVRD4ProgrammBeenden());
  if (aufruferAktiviert_) return beenden;
  return [beenden = std::move(beenden), aufrufer = aufrufer_.unveraendert(gv::clsVRD4AufrufFensterhandle())] {
    return beenden() && aufrufer();
  };
}

// ---------------------------------------------------------------------------
// Events

void FrmVRD4Empfaenger::VRD4Event(const QString& art, const QString& meldung) {
  status_->kuerzen();
  const QString s = art + QLatin1Char(';') + meldung;
  const std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  const double h = handle.empty() ? 0.0 : leadingNumber(handle);

  // The same event twice in a row is handled once, unless what it acts on
  // has moved since (a sender repairing a second outage).
  if (s == letztesEvent_ && netzStand(art, meldung) == letzterNetzStand_) return;
  letztesEvent_ = s;
  status_->zeigen(s);

  if (art == QLatin1String("IPAdresse")) {
    netz_->adresseSetzen(meldung);
  } else if (art == QLatin1String("Port")) {
    netz_->portSetzen(meldung);
  } else if (art == QLatin1String("Server starten")) {
    netz_->cmdServerStarten_Click();
  } else if (art == QLatin1String("Client verbinden")) {
    netz_->weiterleitung().client2Trennen(false);
    netz_->cmdClient2Connect_Click();
  } else {
    weitergeben(s, h);
  }
  letzterNetzStand_ = netzStand(art, meldung);
}

long FrmVRD4Empfaenger::netzStand(const QString& art, const QString& meldung) const {
  if (art == QLatin1String("Server starten")) return netz_->serverStand();
  if (art == QLatin1String("Client verbinden")) return netz_->client2Stand();
  if (art == QLatin1String("BefehlFehler") && meldung.endsWith(QStringLiteral(" - Timeout überschritten!")))
    return netz_->verlustStand();
  return -1;
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
