#include "net/clsTalkConnection.h"

#include <QTimer>
#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string_view>

#include "protocol/Befehl.h"
#include "protocol/Hex.h"

namespace vrd4::net {

namespace {

// The field that carries a picture command's file content (0 when none).
std::size_t bildfeld(const protocol::BefehlsSpec* spec) {
  return spec && spec->istBildbefehl() ? static_cast<std::size_t>(spec->inhaltsfeld()) : 0;
}

QString adresse(const clsSocket& s) { return s.RemoteHost + QLatin1Char(':') + QString::number(s.RemotePort); }

}  // namespace

QString listenText(const std::u16string& zeile) {
  if (zeile.size() <= std::size_t(kMaxListenZeichen)) return QString::fromStdU16String(zeile);
  return QString::fromUtf16(zeile.data(), kMaxListenZeichen) + QChar(0x2026);
}

// --- one connection --------------------------------------------------------------

clsTalkConnection::clsTalkConnection(Clients& clients, clsSocket& server)
    : clients_(clients), sck_(std::make_unique<clsSocket>()) {
  sck_->LineSeparator = u"\r\n";
  sck_->LineDataArrival = [this](const std::u16string& zeile, const QString&) { Sck_LineDataArrival(zeile); };
  sck_->Closed = [this] { Sck_Closed(); };
  sck_->LineTooLong = [this](std::size_t laenge) { Sck_LineTooLong(laenge); };
  sck_->Accept(server);
  letzteZeile_ = clients_.clock_.seconds();
  gegenstelle_ = adresse(*sck_);
  if (sck_->State() == clsSocket::sckConnected)
    clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Verbindung hergestellt)"));
  else
    geschlossen_ = true;
}

clsTalkConnection::~clsTalkConnection() = default;

void clsTalkConnection::Sck_LineDataArrival(const std::u16string& LineData) {
  letzteZeile_ = clients_.clock_.seconds();
  wartendeZeichen_ += LineData.size();
  wartend_.push_back(LineData);
  // A peer faster than we draw is held up by TCP instead of our memory.
  if (wartend_.size() >= Clients::kMaxWartendeZeilen || wartendeZeichen_ >= Clients::kMaxWartendeZeichen)
    sck_->setReadingPaused(true);
  clients_.anstossen();
}

void clsTalkConnection::Sck_LineTooLong(std::size_t laenge) {
  clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Zeile zu lang: ") + QString::number(laenge) +
                               QStringLiteral(" Zeichen, Verbindung wird getrennt)"));
}

void clsTalkConnection::Sck_Closed() {
  if (geschlossen_) return;
  geschlossen_ = true;
  clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Verbindung getrennt)"));
  // Lines that came before the close still run (their replies go nowhere);
  // the connection leaves Clients once they have.
  clients_.anstossen();
}

bool clsTalkConnection::naechsteZeile() {
  if (wartend_.empty()) return false;
  const std::u16string zeile = std::move(wartend_.front());
  wartend_.pop_front();
  wartendeZeichen_ -= zeile.size();
  if (wartend_.empty() && sck_->readingPaused()) sck_->setReadingPaused(false);
  zeileAusfuehren(zeile);
  return true;
}

void clsTalkConnection::zeileAusfuehren(const std::u16string& L) {
  TalkHost& host = clients_.host();
  host.statusEintrag(QStringLiteral("TCP ") + gegenstelle_ + QStringLiteral("> ") + listenText(L));
  try {
    // Passed on before and independently of what happens here.
    if (clsSocket* client3 = host.weiterleitungsClient(); client3 && client3->SocketHandle() >= 1) client3->SendData(L);
    if (!protocol::istBefehl(L)) return;  // logged and passed on, not answered

    const std::vector<std::u16string> F = protocol::zerlegen(L);
    const std::u16string name = F.size() > 1 ? F[1] : std::u16string();
    const protocol::BefehlsSpec* spec = protocol::findeBefehl(name);
    if (const std::size_t feld = bildfeld(spec)) {
      if (F.size() <= feld)
        throw std::runtime_error(QStringLiteral("%1: Feld %2 (Bildinhalt) fehlt")
                                     .arg(QString::fromStdU16String(name))
                                     .arg(feld)
                                     .toStdString());
      bildinhalt_ = protocol::hexDekodieren(F[feld]);
    }
    // Commands that act on the receiving program itself (spec->nurOertlich)
    // are only acknowledged: they are meant for the sender's own receiver.
    if (spec && !spec->nurOertlich) {
      // The engine draws synchronously: "OK" follows the finished drawing.
      host.befehlAusfuehren(F, bildfeld(spec) ? std::span<const uint8_t>(bildinhalt_) : std::span<const uint8_t>());
    } else if (!spec) {
      // No reply: a forwarding receiver runs into its time-out. The line
      // is logged above and skipped; the box does not wait, so the next
      // line of this connection runs at once.
      host.falscheAbfrage(QStringLiteral("Falsche Abfragetext: ") + QString::fromStdU16String(name) +
                          QStringLiteral("\r\noder VRD4-Modul noch nicht geöffnet!"));
      return;
    }
  } catch (const std::exception& e) {
    // Answered all the same: a sender cannot tell failure from success,
    // only the status list shows it.
    host.statusEintrag(QString::fromUtf8(e.what()));
    host.statusEintrag(listenText(L));
  } catch (...) {
    host.statusEintrag(QStringLiteral("unbekannter Fehler"));
    host.statusEintrag(listenText(L));
  }
  ++offeneAntworten_;
}

void clsTalkConnection::antwortenSenden() {
  if (offeneAntworten_ == 0) return;
  std::string ok;
  ok.reserve(std::size_t(offeneAntworten_) * 4);
  for (; offeneAntworten_ > 0; --offeneAntworten_) ok += "OK\r\n";
  sck_->SendData(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(ok.data()), ok.size()));
}

// --- the collection ----------------------------------------------------------------

Clients::Clients(TalkHost& host, platform::Clock& clock) : host_(host), clock_(clock) {}

Clients::~Clients() = default;

int Clients::offen() const {
  return static_cast<int>(std::count_if(liste_.begin(), liste_.end(), [](const auto& c) { return !c->geschlossen_; }));
}

void Clients::Server_ConnectionRequest(clsSocket& server) {
  clsTalkConnection* still = nullptr;
  if (offen() >= kMaxVerbindungen) {
    const double jetzt = clock_.seconds();
    for (const auto& c : liste_) {
      if (c->geschlossen_ || !c->wartend_.empty()) continue;
      if (jetzt - c->letzteZeile_ >= kVerdraengenSekunden && (!still || c->letzteZeile_ < still->letzteZeile_))
        still = c.get();
    }
    if (still) {
      host_.statusEintrag(still->gegenstelle_ + QStringLiteral(" (Verbindung getrennt: seit ") +
                          QString::number(jetzt - still->letzteZeile_, 'f', 1) +
                          QStringLiteral(" s keine Zeile, Platz für eine neue)"));
      still->sck_->Disconnect();
      still->geschlossen_ = true;
      anstossen();
    }
  }
  if (offen() >= kMaxVerbindungen) {
    clsSocket ueberzaehlig;
    ueberzaehlig.Accept(server);
    host_.statusEintrag(ueberzaehlig.RemoteHost + QLatin1Char(':') + QString::number(ueberzaehlig.RemotePort) +
                       QStringLiteral(" (Verbindung abgewiesen: schon ") + QString::number(kMaxVerbindungen) +
                       QStringLiteral(" Verbindungen)"));
    ueberzaehlig.Disconnect();
    return;
  }
  auto neu = std::make_unique<clsTalkConnection>(*this, server);
  const bool offen = !neu->geschlossen();
  liste_.push_back(std::move(neu));
  // One that could not be taken goes again at once.
  if (!offen) anstossen();
}

bool Clients::arbeitWartet() const {
  return std::any_of(liste_.begin(), liste_.end(), [](const auto& c) {
    return !c->wartend_.empty() || c->geschlossen_;
  });
}

bool Clients::abarbeiten(double budget) {
  {
    const support::Tiefe::Eintritt imStapel(tiefe_);
    const double start = clock_.seconds();
    while (host_.darfAusfuehren()) {
      // One line from each connection in turn, from where the last batch
      // stopped; a connection's own lines keep their order.
      bool gelaufen = false;
      for (std::size_t n = liste_.size(); n > 0 && !gelaufen; --n) {
        if (naechste_ == liste_.end()) naechste_ = liste_.begin();
        clsTalkConnection& c = **naechste_;
        ++naechste_;
        gelaufen = c.naechsteZeile();
      }
      if (!gelaufen || clock_.seconds() - start >= budget) break;
    }
    for (const auto& c : liste_) c->antwortenSenden();
  }
  if (!tiefe_.aktiv()) aufraeumen();
  const bool wartet = std::any_of(liste_.begin(), liste_.end(),
                                  [](const auto& c) { return !c->wartend_.empty(); });
  // The rest goes on after the event loop has had its turn; while commands
  // may not run the window's tick pushes again.
  if (wartet && host_.darfAusfuehren()) anstossen();
  return wartet;
}

void Clients::aufraeumen() {
  for (auto it = liste_.begin(); it != liste_.end();) {
    if ((*it)->geschlossen_ && (*it)->wartend_.empty()) {
      if (naechste_ == it) ++naechste_;
      it = liste_.erase(it);
    } else {
      ++it;
    }
  }
}

void Clients::anstossen() {
  if (angestossen_) return;
  angestossen_ = true;
  QTimer::singleShot(0, &kontext_, [this] {
    angestossen_ = false;
    abarbeiten();
  });
}

}  // namespace vrd4::net
