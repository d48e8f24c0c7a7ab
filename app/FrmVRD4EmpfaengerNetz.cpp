// The network relay on the main window: the command server Server with its
// talk connections, the forwarding clients Client2 (the engine forwards
// every ring command to it) and Client3 (every line of the server goes on to
// it), their buttons, the connect wait with the progress bar, and the waits
// that keep the display going while they run the message loop.
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

#include "app/FrmVRD4Empfaenger.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/MessageBox.h"
#include "support/Numbers.h"

namespace vrd4::app {

namespace {

const QString kTrennen = QStringLiteral("Trennen");
const QString kVerbinden = QStringLiteral("Verbinden");
const QString kServerStarten = QStringLiteral("Server starten");
const QString kServerStoppen = QStringLiteral("Server stoppen");
constexpr int kWarteschrittMs = 10;
// The connect wait shows its progress against the socket's default time-out.
constexpr double kVerbindeDauerMs = 5000.0;

double steadyMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// Client2 as the engine sees it: forwarding target and acknowledgement.
class FrmVRD4Empfaenger::Client2Weiterleitung final : public engine::Forwarder {
 public:
  explicit Client2Weiterleitung(FrmVRD4Empfaenger& f) : f_(f) {}
  bool isOpen() const override { return f_.Client2_ && f_.Client2_->SocketHandle() >= 1; }
  void sendData(const std::u16string& line) override {
    if (f_.Client2_) f_.Client2_->SendData(std::u16string_view(line));
  }
  void clearAcknowledgement() override { f_.Weiterleitungsquittung = false; }
  bool acknowledged() const override { return f_.Weiterleitungsquittung; }
  void pumpOnce() override { f_.einmalWarten(); }

 private:
  FrmVRD4Empfaenger& f_;
};

void FrmVRD4Empfaenger::socketsAnlegen() {
  if (!client2_) client2_ = std::make_unique<Client2Weiterleitung>(*this);
  Server_ = std::make_unique<net::clsSocket>();
  Client2_ = std::make_unique<net::clsSocket>();
  Client3_ = std::make_unique<net::clsSocket>();
  Server_->ConnectionRequest = [this] { Server_ConnectionRequest(); };
  Client2_->LineDataArrival = [this](const std::u16string& l, const QString&) { Client2_LineDataArrival(l); };
  Client3_->LineDataArrival = [this](const std::u16string& l, const QString&) { Client3_LineDataArrival(l); };
  Client2_->Closed = [this] { Client2_Closed(); };
  Client3_->Closed = [this] { Client3_Closed(); };
  Clients_ = std::make_unique<net::Clients>(static_cast<net::TalkHost&>(*this), uhr());
}

// Only closes: a wait or a talk connection may still be on the stack, so
// the objects themselves go with the window.
void FrmVRD4Empfaenger::socketsSchliessen() {
  for (net::clsSocket* s : {Server_.get(), Client2_.get(), Client3_.get()})
    if (s) s->Disconnect();
  if (Clients_)
    for (const auto& c : Clients_->liste()) c->Sck().Disconnect();
}

bool FrmVRD4Empfaenger::netzAktiv() const {
  auto offen = [](const std::unique_ptr<net::clsSocket>& s) { return s && s->State() != net::clsSocket::sckClosed; };
  return offen(Server_) || offen(Client2_) || offen(Client3_) || (Clients_ && Clients_->anzahl() > 0);
}

// ---------------------------------------------------------------------------
// Waiting with the message loop

void FrmVRD4Empfaenger::einmalWarten() {
  const double jetzt = uhr().seconds();
  if (letzterWarteTick_ < 0 || jetzt < letzterWarteTick_ || jetzt - letzterWarteTick_ >= kWarteschrittMs / 1000.0) {
    letzterWarteTick_ = jetzt;
    TimerVRD4Empfang_Timer();  // only moves the display while we wait
  }
  QTimer wecker;
  wecker.setSingleShot(true);
  wecker.setTimerType(Qt::PreciseTimer);
  wecker.start(kWarteschrittMs);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void FrmVRD4Empfaenger::schlafen(int32_t ms) {
  if (!netzAktiv()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  // Socket events are handled while we sleep, and the talk connections'
  // lines run in batches; the tick still comes after the interval.
  const double ende = steadyMs() + ms;
  for (double rest = ms; rest > 0; rest = ende - steadyMs()) {
    if (Clients_ && darfAusfuehren() && Clients_->arbeitWartet()) {
      Clients_->abarbeiten(std::min(net::Clients::kStapelSekunden, rest / 1000.0));
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      continue;
    }
    QTimer wecker;
    wecker.setSingleShot(true);
    wecker.setTimerType(Qt::PreciseTimer);
    wecker.start(std::max(1, static_cast<int>(std::ceil(rest))));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (entladen_) return;
  }
}

bool FrmVRD4Empfaenger::darfAusfuehren() const {
  if (warteTiefe_ > 0) return false;
  const engine::clsVRD4Empfaenger* e = VRD4Empfaenger_.get();
  return e && !e->befehlLaeuft();
}

// ---------------------------------------------------------------------------
// Command server

// The talk connections keep to the status-list rule: a handful of lines.
void FrmVRD4Empfaenger::statusEintrag(const QString& entry) {
  ListeKuerzen();
  addListEntry(entry);
}

void FrmVRD4Empfaenger::Server_ConnectionRequest() { Clients_->Server_ConnectionRequest(*Server_); }

void FrmVRD4Empfaenger::befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild) {
  if (VRD4Empfaenger_) VRD4Empfaenger_->BefehlDirektAusfuehren(felder, bild);
}

void FrmVRD4Empfaenger::falscheAbfrage(const QString& text) {
  // The box is modal; the board keeps being served meanwhile.
  QTimer takt;
  takt.setInterval(kTimerIntervallMs);
  QObject::connect(&takt, &QTimer::timeout, this, [this] { TimerVRD4Empfang_Timer(); });
  takt.start();
  ++boxTiefe_;
  platform::showMessageBox(text.toStdU16String(), u"VRD4-Empfangsmodul");
  --boxTiefe_;
}

void FrmVRD4Empfaenger::cmdServerStarten_Click() {
  if (cmdClient2Connect->text() == kTrennen) {
    Client2_->Disconnect();
    Client3_->Disconnect();
    cmdClient2Connect->setText(kVerbinden);
    txtIPAdresse1->setEnabled(true);
  }
  if (cmdServerStarten->text() != kServerStoppen) {
    Server_->LocalPort = leadingInt(txtT_Port1->text().toStdU16String());
    Server_->Protocol = 0;
    Server_->LineSeparator = u"\r\n";
    Server_->Listen();
    if (Server_->State() != net::clsSocket::sckListening)
      statusEintrag(QStringLiteral("Server: Port ") + txtT_Port1->text() + QStringLiteral(" nicht verfügbar"));
    cmdServerStarten->setText(kServerStoppen);
    txtT_Port1->setEnabled(false);
  } else {
    Server_->Disconnect();
    cmdServerStarten->setText(kServerStarten);
    txtT_Port1->setEnabled(true);
  }
}

// ---------------------------------------------------------------------------
// Forwarding clients

void FrmVRD4Empfaenger::cmdClient2Connect_Click() {
  if (cmdServerStarten->text() == kServerStoppen) {
    Server_->Disconnect();
    cmdServerStarten->setText(kServerStarten);
    txtT_Port1->setEnabled(true);
  }
  if (cmdClient2Connect->text() == kTrennen) {
    Client2_->Disconnect();
    cmdClient2Connect->setText(kVerbinden);
    txtIPAdresse1->setEnabled(true);
    return;
  }
  const QString A = gemerkteAdresse_;
  const int32_t P = leadingInt(gemerkterPort_.toStdU16String());
  clientVerbinden(*Client2_, cmdClient2Connect, txtIPAdresse1, A, P,
                  QStringLiteral("Client2: Konnte nicht mit Server:") + A + QStringLiteral("\r\nPort: ") +
                      QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void FrmVRD4Empfaenger::cmdClient3Connect_Click() {
  if (cmdClient3Connect->text() == kTrennen) {
    Client3_->Disconnect();
    cmdClient3Connect->setText(kVerbinden);
    txtIPAdresse2->setEnabled(true);
    return;
  }
  if (!IsValidIP(txtIPAdresse2->text())) {
    platform::showMessageBox(u"IP-Adresse ist ungültig!");
    return;
  }
  const QString A = txtIPAdresse2->text();
  const int32_t P = leadingInt(txtT_Port2->text().toStdU16String());
  clientVerbinden(*Client3_, cmdClient3Connect, txtIPAdresse2, A, P,
                  QStringLiteral("Client3: Konnte nicht mit Server:\r\n") + A + QStringLiteral("\r\nPort: ") +
                      QString::number(P) + QStringLiteral("\r\nverbinden!"));
}

void FrmVRD4Empfaenger::clientVerbinden(net::clsSocket& client, QPushButton* knopf, QLineEdit* adressfeld,
                                        const QString& A, int32_t P, const QString& fehlerText) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  knopf->setEnabled(false);
  client.LineSeparator = u"\r\n";
  client.Protocol = 0;
  client.Connect(A, P);
  lblConnectFehler->clear();
  lblConnectFehler->hide();

  const double t0 = uhr().seconds() * 1000.0;
  fortschrittStarten(QStringLiteral("Verbinde mit ") + A + QLatin1Char(':') + QString::number(P));
  // The socket's own time-out ends the wait; ticks inside it only move the
  // display, and no network line runs until it is over.
  ++warteTiefe_;
  while (client.State() == net::clsSocket::sckConnecting) {
    const double jetzt = uhr().seconds() * 1000.0;
    fortschrittSetzen(static_cast<int32_t>(roundHalfEven(100.0 - (t0 + kVerbindeDauerMs - jetzt) * 100.0 / kVerbindeDauerMs)));
    einmalWarten();
  }
  --warteTiefe_;
  fortschrittBeenden();

  if (client.State() != net::clsSocket::sckConnected) {
    lblConnectFehler->setText(fehlerText);
    lblConnectFehler->show();
  } else {
    knopf->setText(kTrennen);
    Weiterleitungsquittung = true;
    adressfeld->setEnabled(false);
    lblConnectFehler->hide();
    lblConnectFehler->clear();
  }
  QApplication::restoreOverrideCursor();
  knopf->setEnabled(true);
  // Lines that arrived during the wait run now.
  if (Clients_ && Clients_->arbeitWartet()) Clients_->anstossen();
}

void FrmVRD4Empfaenger::Client2_LineDataArrival(const std::u16string& LineData) {
  Weiterleitungsquittung = LineData == u"OK";
  statusEintrag(Weiterleitungsquittung ? QStringLiteral("Client2: Befehl empfangen")
                                      : QStringLiteral("Client2: Übertragungsfehler"));
}

void FrmVRD4Empfaenger::Client3_LineDataArrival(const std::u16string& LineData) {
  Weiterleitungsquittung = LineData == u"OK";
  statusEintrag(Weiterleitungsquittung ? QStringLiteral("Client3: Befehl empfangen")
                                      : QStringLiteral("Client3: Übertragungsfehler"));
}

// The button keeps its caption: the next click disconnects and shows
// "Verbinden".
void FrmVRD4Empfaenger::Client2_Closed() { Client2_->Disconnect(); }
void FrmVRD4Empfaenger::Client3_Closed() { Client3_->Disconnect(); }

bool FrmVRD4Empfaenger::IsValidIP(const QString& sIP) {
  if (sIP.isEmpty()) return false;
  const QStringList teile = sIP.split(QLatin1Char('.'));
  if (teile.size() != 4) return false;
  for (qsizetype i = 0; i < teile.size(); ++i) {
    const QString& t = teile[i];
    if (t.size() > 3) return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(t.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return false;
    const double ganz = std::floor(v);
    if (ganz < (i == 0 ? 10 : 0) || ganz > 255) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Progress bar of the connect wait

void FrmVRD4Empfaenger::fortschrittStarten(const QString& text) {
  fortschrittText_ = text;
  fensterWarGesperrt_ = !isEnabled();
  setEnabled(false);  // the owning window takes no input meanwhile
  ctlProgressbar1->setRange(0, 100);
  ctlProgressbar1->setValue(0);
  ctlProgressbar1->setFormat(QString(text).replace(QLatin1Char('%'), QStringLiteral("%%")));
  ctlProgressbar1->setTextVisible(true);
  ctlProgressbar1->setMaximumHeight(QWIDGETSIZE_MAX);
  ctlProgressbar1->show();
}

void FrmVRD4Empfaenger::fortschrittSetzen(int32_t prozent) {
  if (prozent % 5 == 0) {
    ctlProgressbar1->setValue(std::clamp(prozent, 0, 100));
    const QString caption = fortschrittText_ + QStringLiteral(" - ") + QString::number(prozent) + QLatin1Char('%');
    ctlProgressbar1->setFormat(QString(caption).replace(QLatin1Char('%'), QStringLiteral("%%")));
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void FrmVRD4Empfaenger::fortschrittBeenden() {
  if (!fensterWarGesperrt_) setEnabled(true);
  ctlProgressbar1->hide();
}

QString FrmVRD4Empfaenger::fortschrittText() const { return ctlProgressbar1->text(); }

}  // namespace vrd4::app
