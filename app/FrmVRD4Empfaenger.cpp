// The main window: its design, load, activation and unload, key preview and
// the settings panel's small handlers. The tick and the event handler live in
// FrmVRD4EmpfaengerTick.cpp, placement and snapshots in
// FrmVRD4EmpfaengerPlatzierung.cpp.
#include "app/FrmVRD4Empfaenger.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Process.h"
#include "platform/Surface.h"
#include "platform/SurfaceWidget.h"
#include "support/Numbers.h"

namespace vrd4::app {
namespace gv = channel::modVRD4GlobaleVariablen;

namespace {

constexpr int kRand = 8;
constexpr int kPanelBreite = 340;

template <typename T>
T* benannt(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QLabel* beschriftung(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  return l;
}

}  // namespace

std::optional<double> zahlAusFaktorText(const QString& text) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  // The design value is written with a decimal comma; a point is just as
  // common. Group separators are not accepted: "1.000,5" is no number here.
  if (t.count(QLatin1Char(',')) + t.count(QLatin1Char('.')) > 1) return std::nullopt;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double v = c.toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

FrmVRD4Empfaenger::FrmVRD4Empfaenger(Umgebung umgebung)
    : QWidget(nullptr),
      umgebung_(std::move(umgebung)),
      board_(std::make_unique<platform::Surface>(kStartBreite, kStartHoehe)) {
  programmOrdner_ = programmOrdnerErmitteln();
  setObjectName(QStringLiteral("FrmVRD4Empfaenger"));
  setWindowTitle(QStringLiteral("VRD4-LCD - Anzeigeempfänger"));
  entwurfAufbauen();
  // Key preview: the window sees every key before its controls (full screen
  // swallows them).
  qApp->installEventFilter(this);
}

FrmVRD4Empfaenger::~FrmVRD4Empfaenger() {
  qApp->removeEventFilter(this);
  TimerVRD4Empfang.reset();
  // The engine draws on the surface and reports to this window: it goes first.
  VRD4Empfaenger_.reset();
  entlasseneEngine_.reset();
  Clients_.reset();
  // The widget gives the surface's callback back; the surface must still live.
  delete picWidget_;
  picWidget_ = nullptr;
}

void FrmVRD4Empfaenger::entwurfAufbauen() {
  picWidget_ = benannt(new platform::SurfaceWidget(*board_, this), "picVRD4Empfang");
  picWidget_->setGeometry(kRand, kRand, kStartBreite, kStartHoehe);

  const int unten = kRand + kStartHoehe + kRand;
  Label99Wert = benannt(new QLabel(QStringLiteral("letzter Befehl"), this), "Label99Wert");
  Label99Wert->setGeometry(kRand, unten, kStartBreite, 22);
  Label99Wert->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Commands can be long: the label keeps its place and cuts them.
  Label99Wert->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  Label99Wert->setTextFormat(Qt::PlainText);

  List1 = benannt(new QListWidget(this), "List1");
  List1->setGeometry(kRand, unten + 28, 500, 150);

  const int x2 = kRand + 508;
  const int b2 = kStartBreite - 508;
  ButtonListeClear = benannt(new QPushButton(QStringLiteral("Liste löschen"), this), "ButtonListeClear");
  ButtonListeClear->setGeometry(x2, unten + 28, 130, 26);
  cmdBitmapVollbild = benannt(
      new QPushButton(QStringLiteral("Bitmap als Vollbild (ESC zum Beenden)"), this), "cmdBitmapVollbild");
  cmdBitmapVollbild->setGeometry(x2, unten + 58, b2, 26);

  auto* faktorLabel = beschriftung(QStringLiteral("Fontgrößenfaktor:"), this);
  faktorLabel->setGeometry(x2, unten + 90, 130, 22);
  txtFontGroessenfaktor = benannt(new QLineEdit(QStringLiteral("0,75"), this), "txtFontGroessenfaktor");
  txtFontGroessenfaktor->setGeometry(x2 + 134, unten + 90, 60, 22);

  LabelGAKomFehler =
      benannt(new QLabel(QStringLiteral("Status-/Fehlermeldungen"), this), "LabelGAKomFehler");
  LabelGAKomFehler->setGeometry(x2, unten + 118, b2, 60);
  LabelGAKomFehler->setWordWrap(true);
  LabelGAKomFehler->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelGAKomFehler->setTextFormat(Qt::PlainText);
  LabelGAKomFehler->hide();

  lblConnectFehler = benannt(new QLabel(this), "lblConnectFehler");
  lblConnectFehler->setGeometry(kRand, unten + 184, kStartBreite, 40);
  lblConnectFehler->setStyleSheet(QStringLiteral("color: #b00000"));
  lblConnectFehler->hide();  // shown only while it has a text

  panel_ = panelAufbauen();
  const int panelX = kRand + kStartBreite + kRand;
  const int hoehe = unten + 184 + 40 + kRand;
  panel_->setGeometry(panelX, kRand, kPanelBreite, hoehe - 2 * kRand);
  resize(panelX + kPanelBreite + kRand, hoehe);

  connect(ButtonListeClear, &QPushButton::clicked, this, [this] { ButtonListeClear_Click(); });
  connect(cmdBitmapVollbild, &QPushButton::clicked, this, [this] { cmdBitmapVollbild_Click(); });
  connect(cmdBoxSpeichern, &QPushButton::clicked, this, [this] { cmdBoxSpeichern_Click(); });
  connect(cmdFensterSyncronisieren, &QPushButton::clicked, this,
          [this] { cmdFensterSyncronisieren_Click(); });
  connect(cmdServerStarten, &QPushButton::clicked, this, [this] { cmdServerStarten_Click(); });
  connect(cmdClient2Connect, &QPushButton::clicked, this, [this] { cmdClient2Connect_Click(); });
  connect(chkClientAutomatischVerbinden, &QCheckBox::toggled, this,
          [this] { chkClientAutomatischVerbinden_Click(); });
  connect(chkServerAutomatischStarten, &QCheckBox::toggled, this,
          [this] { chkServerAutomatischStarten_Click(); });
  connect(cmdClient3Connect, &QPushButton::clicked, this, [this] { cmdClient3Connect_Click(); });
  connect(cmdParameterSpeichern, &QPushButton::clicked, this, [this] { cmdParameterSpeichern_Click(); });
  connect(txtFontGroessenfaktor, &QLineEdit::textChanged, this, [this] { txtFontGroessenfaktor_Change(); });
  connect(txtIPAdresse1, &QLineEdit::editingFinished, this,
          [this] { gemerkteAdresse_ = txtIPAdresse1->text(); });
  connect(txtT_Port1, &QLineEdit::editingFinished, this, [this] { gemerkterPort_ = txtT_Port1->text(); });
}

QWidget* FrmVRD4Empfaenger::panelAufbauen() {
  auto* panel = new QWidget(this);
  auto* spalte = new QVBoxLayout(panel);
  spalte->setContentsMargins(0, 0, 0, 0);

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
    cmdServerStarten =
        benannt(new QPushButton(QStringLiteral("Server starten"), CtlFraFuerServerdaten), "cmdServerStarten");
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

  CtlFraDiverses = benannt(new QGroupBox(QStringLiteral("Diverses"), panel), "CtlFraDiverses");
  {
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
    for (QLabel* l : {Label2, Label3}) l->setFixedSize(90, l->fontMetrics().height() + 4);
  }

  spalte->addWidget(CtlFraFuerServerdaten);
  spalte->addWidget(CtlFraFuerClientdaten);
  spalte->addWidget(CtlFraWeiterleitenAn);
  spalte->addWidget(CtlFraDiverses);
  spalte->addStretch(1);
  return panel;
}

// ---------------------------------------------------------------------------
// Load, activation, unload

platform::Clock& FrmVRD4Empfaenger::uhr() const {
  return umgebung_.clock ? *umgebung_.clock : platform::steadyClock();
}

Desktop& FrmVRD4Empfaenger::desktop() const {
  return umgebung_.desktop ? *umgebung_.desktop : x11Desktop();
}

std::string FrmVRD4Empfaenger::programmOrdnerErmitteln() const {
  return umgebung_.programFolder.empty() ? platform::programFolder() : umgebung_.programFolder;
}

void FrmVRD4Empfaenger::ShowModal() {
  Form_Load();
  if (entladen_) return;
  eckeVorDemZeigen();
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
  programmOrdner_ = programmOrdnerErmitteln();
  // Relative paths in commands are meant from the program's folder.
  if (!programmOrdner_.empty() && chdir(programmOrdner_.c_str()) != 0) {
    addListEntry(QStringLiteral("Programmordner nicht erreichbar: ") + QString::fromStdString(programmOrdner_));
  }
  socketsAnlegen();
  VRD4Empfaenger_ = std::make_unique<engine::clsVRD4Empfaenger>(*board_, *this, *this, uhr(), client2_.get());
  TimerVRD4Empfang.reset();
  TimerVRD4Empfang = std::make_unique<support::clsWBTimer>(
      umgebung_.sleeper ? umgebung_.sleeper : support::clsWBTimer::Sleeper([this](int32_t ms) { schlafen(ms); }));
  TimerVRD4Empfang->Timer = [this] { TimerVRD4Empfang_Timer(); };
}

void FrmVRD4Empfaenger::Form_Activate() {
  if (!geladen_ || aktiviert_ || entladen_) return;
  aktiviert_ = true;
  // A built receiver never runs inside a development environment.
  cmdTransferTest->hide();
  StartwerteLesen();
  Platzieren();
  if (umgebung_.vollbild) cmdBitmapVollbild_Click();
  const std::u16string handle = gv::clsVRD4EventFensterHandle().GetMemory();
  const int64_t hwnd = handle.empty() ? 0 : static_cast<int64_t>(leadingNumber(handle));
  addListEntry(QStringLiteral("EventFensterHwnd aus Sender: ") + QString::number(hwnd));
  txtFontGroessenfaktor_Change();
  CtlFraFuerServerdaten->setToolTip(QStringLiteral(
      "Server automatisch starten und 'Button starten' nur wenn VRD4-Farbe an diesem Rechner angeschlossen ist!"));
  CtlFraFuerClientdaten->setToolTip(QStringLiteral(
      "Client automatisch starten und 'Button verbinden' nur wenn VRD4-Farbe an einem anderen Rechner "
      "angeschlossen ist!"));
  if (!TimerVRD4Empfang) return;
  TimerVRD4Empfang->IntervalSetzen(kTimerIntervallMs);
  // Returns only when the unload has stopped the timer.
  TimerVRD4Empfang->Enabled(true);
}

void FrmVRD4Empfaenger::Form_Unload() {
  if (entladen_) return;
  entladen_ = true;
  if (geladen_) {
    if (TimerVRD4Empfang) TimerVRD4Empfang->Enabled(false);
    StartwerteSchreiben();
    TimerVRD4Empfang.reset();  // a loop still on the stack ends after its round
    socketsSchliessen();
    gv::clsVRD4EmpfaengerGestartet().SetMemory(u"0");
    if (VRD4Empfaenger_) {
      VRD4Empfaenger_->VRD4Close();
      // Released later when its polling step is still running below us.
      if (zeitschleifeTiefe_ > 0) {
        entlasseneEngine_ = std::move(VRD4Empfaenger_);
      } else {
        VRD4Empfaenger_.reset();
      }
    }
  }
  if (vollbild_) unsetCursor();
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

// ---------------------------------------------------------------------------
// Key preview

bool FrmVRD4Empfaenger::eventFilter(QObject* watched, QEvent* event) {
  if (!vollbild_) return false;
  const QEvent::Type t = event->type();
  if (t != QEvent::KeyPress && t != QEvent::KeyRelease && t != QEvent::ShortcutOverride) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this) return false;
  if (t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    VollbildAus();
  }
  return true;  // every key is the window's while the board fills the screen
}

// ---------------------------------------------------------------------------
// Status controls and small handlers

void FrmVRD4Empfaenger::setLetzterBefehl(const QString& caption) { Label99Wert->setText(caption); }

void FrmVRD4Empfaenger::addListEntry(const QString& entry) {
  List1->addItem(entry);
  // Scrolling lays out the whole list: once per round of the event loop is
  // enough, however many entries came.
  if (!rollenAngestossen_) {
    rollenAngestossen_ = true;
    QTimer::singleShot(0, this, [this] {
      rollenAngestossen_ = false;
      List1->scrollToBottom();
    });
  }
}

void FrmVRD4Empfaenger::ButtonListeClear_Click() { List1->clear(); }

void FrmVRD4Empfaenger::VRD4Event(const QString& art, const QString& meldung) {
  VRD4Empfaenger_VRD4Event(art, meldung);
}

}  // namespace vrd4::app
