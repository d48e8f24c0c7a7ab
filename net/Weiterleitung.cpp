#include "net/Weiterleitung.h"

#include <algorithm>

#include "net/clsTalkConnection.h"
#include "platform/Ansi.h"
#include "protocol/Befehl.h"

namespace vrd4::net {

namespace {

const QString kBefehlFehler = QStringLiteral("BefehlFehler");
constexpr char16_t kEsc = 27;

// Field 1 of a command text (its name).
std::u16string_view befehlsname(std::u16string_view zeile) {
  const std::size_t a = zeile.find(kEsc);
  if (a == std::u16string_view::npos) return {};
  const std::size_t b = zeile.find(kEsc, a + 1);
  return zeile.substr(a + 1, b == std::u16string_view::npos ? std::u16string_view::npos : b - a - 1);
}

}  // namespace

QString verlustText(const QString& kennung, const QString& ziel, const QString& grund) {
  return kennung + QStringLiteral(": Verbindung zu ") + ziel + QStringLiteral(" verloren (") + grund +
         QLatin1Char(')');
}

QString nichtVerbundenText(const QString& kennung, const QString& ziel, const QString& grund) {
  return kennung + QStringLiteral(": Verbindung zu ") + ziel + QStringLiteral(" nicht möglich (") + grund +
         QLatin1Char(')');
}

QString wiederVerbundenText(const QString& kennung, const QString& ziel) {
  return kennung + QStringLiteral(": Verbindung zu ") + ziel + QStringLiteral(" wiederhergestellt");
}

Weiterleitung::Weiterleitung(QString kennung, platform::Clock& clock)
    : kennung_(std::move(kennung)), clock_(clock) {
  ErwartetOk = [](std::u16string_view z) { return protocol::istBefehl(z) && wirdQuittiert(befehlsname(z)); };
  socketAnlegen();
}

Weiterleitung::~Weiterleitung() {
  ErwartetOk = nullptr;
  sck_->Disconnect();
}

void Weiterleitung::socketAnlegen() {
  sck_ = std::make_unique<clsSocket>();
  sck_->LineSeparator = u"\r\n";
  // The peer only ever answers "OK": a long reply is no reply.
  sck_->MaxLineLength = kMaxAntwortlaenge;
  sck_->Connected = [this] { verbunden(); };
  sck_->Error = [this](int32_t, const QString& text) { verloren(text); };
  sck_->Closed = [this] { verloren(QStringLiteral("Gegenstelle hat getrennt")); };
  sck_->LineTooLong = [this](std::size_t) { verloren(QStringLiteral("unverständliche Antwort")); };
  sck_->LineDataArrival = [this](const std::u16string& z, const QString&) { antwortDa(z); };
  // The socket's own time-out in real time; a dead address costs one
  // attempt of at most this long, then the back-off goes on.
  sck_->TimeOut = 5000;
}

std::int64_t Weiterleitung::warteschlange() const { return sck_->BytesToWrite(); }

void Weiterleitung::setzen(Zustand z) {
  if (zustand_ == z) {
    fristSetzen();
    return;
  }
  zustand_ = z;
  fristSetzen();
  if (auto h = ZustandGeaendert) h(z);
}

void Weiterleitung::verbinden(const QString& host, int32_t port) {
  trennen();
  host_ = host;
  port_ = port;
  ziel_ = host + QLatin1Char(':') + QString::number(port);
  wartezeit_ = kErsteWartezeit;
  nachVerlust_ = false;
  verluste_ = 0;
  versuchen();
}

void Weiterleitung::trennen() {
  pruefung_ = false;
  sck_->Disconnect();
  offen_.clear();
  setzen(Zustand::Aus);
  frist_.aus();
}

void Weiterleitung::versuchen() {
  setzen(Zustand::Verbindet);
  sck_->Protocol = 0;
  sck_->Connect(host_, port_);
  // A connect that fails before it starts raises nothing (see clsSocket).
  if (sck_->State() == clsSocket::sckClosed) verloren(QStringLiteral("Adresse nicht erreichbar"));
}

void Weiterleitung::verbunden() {
  offen_.clear();
  letzteAntwort_ = clock_.seconds();
  if (!nachVerlust_ && !NachholenAuchBeimErstenMal) {
    setzen(Zustand::Verbunden);
    return;
  }
  // A peer that hangs (a stopped process) still completes the connect in
  // its kernel, and what we sent it would run when it wakes, after newer
  // lines. So it first gets a line it answers without running; the
  // catch-up follows its "OK".
  pruefung_ = true;
  fristSetzen();
  const std::string probe = platform::toAnsi(kProbe) + "\r\n";
  sck_->SendData(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(probe.data()), probe.size()));
}

void Weiterleitung::aufholen() {
  pruefung_ = false;
  zustand_ = Zustand::Verbunden;  // senden() below needs it; reported after the catch-up
  if (nachVerlust_)
    if (auto h = StatusEintrag) h(wiederVerbundenText(kennung_, ziel_));
  if (auto h = Nachholen) {
    for (const std::u16string& z : h()) {
      senden(z);
      if (zustand_ != Zustand::Verbunden) return;  // the queue overflowed
    }
  }
  zustand_ = Zustand::Verbindet;
  setzen(Zustand::Verbunden);
}

void Weiterleitung::verloren(const QString& grund, bool ereignis) {
  if (zustand_ != Zustand::Verbunden && zustand_ != Zustand::Verbindet) return;
  const bool warVerbunden = zustand_ == Zustand::Verbunden;
  pruefung_ = false;
  // A reset, not an orderly close: what this system still holds for the
  // peer is dropped instead of reaching it late, and a peer that wakes up
  // can tell the old connection's unread lines are void (clsTalkConnection
  // drops them once our new connection is heard).
  sck_->Abort();
  offen_.clear();
  naechsterVersuch_ = clock_.seconds() + wartezeit_;
  wartezeit_ = std::min(2 * wartezeit_, kLaengsteWartezeit);
  // One report per outage: the attempts after it fail quietly.
  if (warVerbunden || !nachVerlust_) {
    ++verluste_;
    const QString text = warVerbunden ? verlustText(kennung_, ziel_, grund) : nichtVerbundenText(kennung_, ziel_, grund);
    if (auto h = StatusEintrag) h(text);
    if (ereignis)
      if (auto h = Ereignis) h(kBefehlFehler, text);
  }
  nachVerlust_ = true;
  setzen(Zustand::Wartet);
}

void Weiterleitung::antwortDa(const std::u16string& zeile) {
  if (pruefung_) {
    letzteAntwort_ = clock_.seconds();
    if (zeile == u"OK") aufholen();
    return;
  }
  if (offen_.empty()) return;  // nothing was due: ignored
  offen_.pop_front();
  letzteAntwort_ = clock_.seconds();
  const bool ok = zeile == u"OK";
  // The peer is alive again: the next outage starts its back-off afresh.
  if (ok) wartezeit_ = kErsteWartezeit;
  if (auto h = Antwort) h(ok);
}

void Weiterleitung::merken(std::u16string_view zeile) {
  if (!ErwartetOk || !ErwartetOk(zeile)) return;
  offen_.push_back({QString::fromUtf16(befehlsname(zeile).data(), qsizetype(befehlsname(zeile).size())),
                    clock_.seconds()});
  if (offen_.size() == 1) fristSetzen();
}

void Weiterleitung::senden(std::u16string_view zeile) {
  if (!isOpen()) return;
  merken(zeile);
  sck_->SendData(zeile);
  nachSenden();
}

void Weiterleitung::sendenAnsi(std::string_view zeile) {
  if (!isOpen()) return;
  // Only the head decides whether (and under which name) a reply is due.
  const std::size_t kopf = std::min<std::size_t>(zeile.size(), 256);
  merken(platform::fromAnsi(zeile.substr(0, kopf)));
  sck_->SendData(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(zeile.data()), zeile.size()));
  sck_->SendData(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("\r\n"), 2));
  nachSenden();
}

void Weiterleitung::nachSenden() {
  if (warteschlange() > kMaxWarteschlange) verloren(QStringLiteral("Sendepuffer voll"));
}

void Weiterleitung::takten() {
  const double jetzt = clock_.seconds();
  switch (zustand_) {
    case Zustand::Verbunden:
      if (!offen_.empty() && jetzt - std::max(offen_.front().gesendet, letzteAntwort_) > kQuittungsFrist) {
        if (auto h = Ereignis) h(kBefehlFehler, offen_.front().name + QStringLiteral(" - Timeout überschritten!"));
        verloren(QStringLiteral("keine Antwort"), false);
      }
      break;
    case Zustand::Verbindet:
      // A name that could not be looked up closes the socket without an event.
      if (sck_->State() == clsSocket::sckClosed) verloren(QStringLiteral("Adresse nicht erreichbar"));
      else if (pruefung_ && jetzt - letzteAntwort_ > kQuittungsFrist) verloren(QStringLiteral("keine Antwort"));
      break;
    case Zustand::Wartet:
      if (jetzt >= naechsterVersuch_) versuchen();
      break;
    case Zustand::Aus:
      break;
  }
  fristSetzen();
}

// What is due next. A reply moves the deadline later: the timer then fires
// early, finds nothing due and is set again, rather than being set anew on
// every reply of a busy peer.
void Weiterleitung::fristSetzen() {
  const double jetzt = clock_.seconds();
  // The checks compare with ">": due a moment after the deadline itself.
  constexpr double kDanach = 0.001;
  switch (zustand_) {
    case Zustand::Verbunden:
      if (offen_.empty()) frist_.aus();
      else frist_.spaetestens(std::max(offen_.front().gesendet, letzteAntwort_) + kQuittungsFrist + kDanach, jetzt);
      break;
    case Zustand::Verbindet:
      // A connect may end without an event (a name that was not found).
      frist_.setzen(pruefung_ ? letzteAntwort_ + kQuittungsFrist + kDanach : jetzt + kPruefMs / 1000.0, jetzt);
      break;
    case Zustand::Wartet:
      frist_.setzen(naechsterVersuch_, jetzt);
      break;
    case Zustand::Aus:
      frist_.aus();
      break;
  }
}

}  // namespace vrd4::net
