#include "net/clsTalkConnection.h"

#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>

#include "net/Weiterleitung.h"
#include "platform/Ansi.h"
#include "protocol/Befehl.h"
#include "gif/GifDatei.h"
#include "protocol/Hex.h"
#include "render/Bildvorbereitung.h"

namespace vrd4::net {

namespace {

// The field that carries a picture command's file content (0 when none).
std::size_t bildfeld(const protocol::BefehlsSpec* spec) {
  return spec && spec->istBildbefehl() ? static_cast<std::size_t>(spec->inhaltsfeld()) : 0;
}

QString adresse(const clsSocket& s) { return s.RemoteHost + QLatin1Char(':') + QString::number(s.RemotePort); }

// The status-list text of a received line after kopf, as listenText makes
// it: only its head is converted, straight into the entry (one per command).
QString listenTextAnsi(std::string_view zeile, QStringView kopf = {}) {
  const std::string_view teil = zeile.substr(0, std::size_t(kMaxListenZeichen));
  QString t;
  t.reserve(kopf.size() + qsizetype(teil.size()) + 1);
  t.append(kopf).append(QLatin1StringView(teil.data(), qsizetype(teil.size())));
  // Windows-1252 is Latin-1 but for 0x80..0x9F.
  for (qsizetype i = kopf.size(); i < t.size(); ++i)
    if (const char16_t c = t[i].unicode(); c >= 0x80 && c < 0xA0)
      t[i] = QChar(platform::fromAnsi(std::string(1, char(c))).front());
  if (zeile.size() > teil.size()) t += QChar(0x2026);
  return t;
}

// Giving back a picture's pages takes milliseconds: done beside the GUI
// thread, on a thread of its own. Queued behind the decoding of the next
// picture lines it would hold memory the budget has already given to them.
template <class T>
void nebenbeiFreigeben(T&& gross) {
  static QThreadPool freigabe;
  freigabe.setMaxThreadCount(1);
  freigabe.start([weg = std::make_shared<std::decay_t<T>>(std::move(gross))]() mutable { weg.reset(); });
}

}  // namespace

bool langeZeileErlaubt(std::string_view zeile) {
  // A line that is no command is only logged and passed on: the line limit
  // alone bounds it.
  if (!zeile.starts_with("Befehl")) return true;
  constexpr std::string_view kAnfang = "Befehl\x1b";
  if (!zeile.starts_with(kAnfang)) return false;
  const std::size_t nameEnde = zeile.find('\x1b', kAnfang.size());
  if (nameEnde == std::string_view::npos) return false;
  const std::size_t inhalt = bildfeld(protocol::findeBefehl(
      platform::fromAnsi(zeile.substr(kAnfang.size(), nameEnde - kAnfang.size()))));
  if (!inhalt) return false;
  // Where the content field begins: after its inhalt-th ESC.
  std::size_t pos = nameEnde;
  for (std::size_t feld = 2; feld < inhalt && pos != std::string_view::npos; ++feld) pos = zeile.find('\x1b', pos + 1);
  return pos != std::string_view::npos && pos + 1 <= protocol::kMaxBefehlstextZeichen;
}

namespace {

std::unique_ptr<clsSocket> angenommen(clsSocket& server) {
  auto s = std::make_unique<clsSocket>();
  s->Accept(server);
  return s;
}

}  // namespace

QString listenText(const std::u16string& zeile) {
  if (zeile.size() <= std::size_t(kMaxListenZeichen)) return QString::fromStdU16String(zeile);
  return QString::fromUtf16(zeile.data(), kMaxListenZeichen) + QChar(0x2026);
}

VorbereiteteZeile zeileVorbereiten(std::string_view zeile) {
  VorbereiteteZeile v;
  v.befehl = zeile.substr(0, 6) == "Befehl";
  if (!v.befehl) return v;
  std::vector<std::string_view> teile;
  teile.reserve(std::size_t(std::count(zeile.begin(), zeile.end(), '\x1b')) + 1);
  for (std::size_t anfang = 0;;) {
    const std::size_t ende = zeile.find('\x1b', anfang);
    teile.push_back(zeile.substr(anfang, ende == std::string_view::npos ? std::string_view::npos : ende - anfang));
    if (ende == std::string_view::npos) break;
    anfang = ende + 1;
  }
  const std::u16string name = teile.size() > 1 ? platform::fromAnsi(teile[1]) : std::u16string();
  v.bildfeld = bildfeld(protocol::findeBefehl(name));
  v.felder.reserve(teile.size());
  // The picture field stays bytes: it is decoded below, never held as text.
  for (std::size_t i = 0; i < teile.size(); ++i)
    v.felder.push_back(i == v.bildfeld ? std::u16string() : platform::fromAnsi(teile[i]));
  if (!v.bildfeld) return v;
  if (teile.size() <= v.bildfeld) {
    v.fehler = QStringLiteral("%1: Feld %2 (Bildinhalt) fehlt")
                   .arg(QString::fromStdU16String(name))
                   .arg(v.bildfeld)
                   .toStdString();
    return v;
  }
  try {
    v.bild = protocol::hexDekodierenAnsi(teile[v.bildfeld]);
  } catch (const std::exception& e) {
    v.fehler = e.what();
  }
  return v;
}

namespace {

// Makes a prepared picture line ready beside the GUI thread: a picture is
// decoded and fitted into its field, a GIF parsed; a long line's file bytes
// are then held shared (whoever keeps them takes a reference, no copy), so
// that the GUI thread only paints and hands on. The command's row tells a
// picture from an animation.
void bildVorab(VorbereiteteZeile& v, std::optional<QSize> tafel) {
  if (!v.bildfeld || !v.fehler.empty() || v.felder.size() < 3) return;
  const protocol::BefehlsSpec* spec = protocol::findeBefehl(v.felder[1]);
  if (!spec) return;
  render::VorabBild b;
  if (spec->effekt != protocol::Effekt::AniGif) {
    if (const std::optional<render::BildFeld> feld = render::bildFeldAus(v.felder, tafel)) {
      b = render::bildVorbereiten(v.bild, *feld);
      // Beyond its share of the reservation the picture is not kept.
      if (std::size_t(b.passend.sizeInBytes()) > Clients::kMaxVorabBild) return;
    } else {
      b.bild = render::modPicturefromBytes(v.bild, &b.grund, &b.ueberGrenze);
      if (b.bild && std::size_t(b.bild->sizeInBytes()) > Clients::kMaxVorabBild) return;
    }
  } else if (v.felder[2].size() >= 3 &&
             QString::fromStdU16String(v.felder[2].substr(v.felder[2].size() - 3)).toUpper() == u"GIF") {
    try {
      b.gif = std::make_shared<gif::GifDatei>();
      b.gif->parse(v.bild);
    } catch (const std::exception&) {
      b.gif.reset();  // parsed on the board, or refused there
    }
  }
  if (v.bild.size() > Clients::kFreierPuffer)
    b.bytes = std::make_shared<const std::vector<uint8_t>>(std::exchange(v.bild, {}));
  v.vorab = std::move(b);
}

// A picture line: a short one may still claim many pixels.
bool istBildzeile(std::string_view zeile) {
  return zeile.starts_with("Befehl\x1b" "BildAnzeigen\x1b") ||
         zeile.starts_with("Befehl\x1b" "BildAnzeigenanPosition\x1b");
}

}  // namespace

// --- one connection --------------------------------------------------------------

// A long line on its way through the worker thread: the line moved here
// from the queue, the result written once, then `fertig`.
struct clsTalkConnection::Vorbereitung {
  std::string zeile;
  VorbereiteteZeile ergebnis;
  std::atomic<bool> fertig{false};
};

clsTalkConnection::clsTalkConnection(Clients& clients, clsSocket& server)
    : clsTalkConnection(clients, angenommen(server)) {}

clsTalkConnection::clsTalkConnection(Clients& clients, std::unique_ptr<clsSocket> sck)
    : clients_(clients), sck_(std::move(sck)) {
  clients_.budgetFrei_ -= std::int64_t(Clients::kAnteil);
  sck_->LineSeparator = u"\r\n";
  sck_->LineBytesArrival = [this](std::string&& zeile, const QString&) { Sck_LineBytesArrival(std::move(zeile)); };
  sck_->Closed = [this] { Sck_Closed(); };
  sck_->LineTooLong = [this](std::size_t laenge) { Sck_LineTooLong(laenge); };
  sck_->LineBufferGrant = Clients::kFreierPuffer;
  sck_->LineBufferFull = [this](std::size_t) { return Sck_LineBufferFull(); };
  letzteZeile_ = clients_.clock_.seconds();
  gegenstelle_ = adresse(*sck_);
  zeilenKopf_ = QStringLiteral("TCP ") + gegenstelle_ + QStringLiteral("> ");
  adresse_ = sck_->RemoteHost;
  if (sck_->State() == clsSocket::sckConnected)
    clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Verbindung hergestellt)"));
  else
    geschlossen_ = true;
}

clsTalkConnection::~clsTalkConnection() {
  sck_->Disconnect();
  if (reserviert_) clients_.freigeben(*this);
  std::erase(clients_.budgetWarteschlange_, this);
  clients_.budgetFrei_ += std::int64_t(Clients::kAnteil);
  if (bildinhalt_.capacity() > Clients::kFreierPuffer) nebenbeiFreigeben(std::move(bildinhalt_));
}

void clsTalkConnection::Sck_LineBytesArrival(std::string&& zeile) {
  // Of the commands only a picture command carries more than a ring slot
  // holds: a longer command of any other kind is refused as every
  // over-long line is.
  if (zeile.size() > protocol::kMaxBefehlstextZeichen && !langeZeileErlaubt(zeile)) {
    zuLangeZeile(zeile.size());
    return;
  }
  // The lines a reset peer left wait a moment for a newer connection of
  // its address (see bereit()).
  if (resetSeit_ < 0 && sck_->ResetByPeer()) resetSeit_ = clients_.clock_.seconds();
  wartendeZeichen_ += zeile.size();
  wartend_.push_back(std::move(zeile));
  // A peer faster than we draw is held up by TCP instead of our memory.
  if (wartend_.size() >= Clients::kMaxWartendeZeilen || wartendeZeichen_ >= Clients::kMaxWartendeZeichen)
    sck_->setReadingPaused(true);
  vorbereiten();
  clients_.anstossen();
}

void clsTalkConnection::vorbereiten() {
  if (vorbereitung_ || wartend_.empty()) return;
  const std::optional<QSize> tafel = clients_.host().bildTafel();
  if (wartend_.front().size() <= Clients::kFreierPuffer) {
    // A short line runs as it is, unless it is a picture that claims many
    // pixels (a small file can): that one is decoded and fitted beside.
    if (!istBildzeile(wartend_.front())) return;
    VorbereiteteZeile z = zeileVorbereiten(wartend_.front());
    const std::optional<QSize> behauptet = z.fehler.empty() ? render::bildGroesseLesen(z.bild) : std::nullopt;
    if (!behauptet || int64_t(behauptet->width()) * behauptet->height() <= render::kSofortPixel) return;
    vorbereitung_ = std::make_shared<Vorbereitung>();
    vorbereitung_->zeile = std::move(wartend_.front());
    vorbereitung_->ergebnis = std::move(z);
    QThreadPool::globalInstance()->start([v = vorbereitung_, tafel] {
      bildVorab(v->ergebnis, tafel);
      v->fertig.store(true, std::memory_order_release);
    });
    return;
  }
  // Splitting and decoding a picture-sized line takes longer than a batch:
  // it runs beside the GUI thread, which polls for the result.
  vorbereitung_ = std::make_shared<Vorbereitung>();
  vorbereitung_->zeile = std::move(wartend_.front());
  QThreadPool::globalInstance()->start([v = vorbereitung_, tafel] {
    v->ergebnis = zeileVorbereiten(v->zeile);
    bildVorab(v->ergebnis, tafel);
    v->fertig.store(true, std::memory_order_release);
  });
}

bool clsTalkConnection::Sck_LineBufferFull() {
  // A command that grows past the line buffer is a picture command or too
  // long; which, its head tells: then it is refused before it takes more
  // memory.
  if (!langeZeileErlaubt(sck_->BufferedHead(Clients::kKopfBytes))) {
    sck_->MaxLineLength = protocol::kMaxBefehlstextZeichen;
    return true;
  }
  if (reserviert_) return true;
  if (clients_.reservieren(*this)) return true;
  if (!wartetAufBudget_) {
    wartetAufBudget_ = true;
    clients_.budgetWarteschlange_.push_back(this);
  }
  return false;
}

void clsTalkConnection::zuLangeZeile(std::size_t laenge) {
  Sck_LineTooLong(laenge);
  Sck_Closed();
  sck_->Disconnect();
}

void clsTalkConnection::Sck_LineTooLong(std::size_t laenge) {
  clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Zeile zu lang: ") + QString::number(laenge) +
                               QStringLiteral(" Zeichen, Verbindung wird getrennt)"));
}

void clsTalkConnection::Sck_Closed() {
  if (geschlossen_) return;
  geschlossen_ = true;
  zurueckgesetzt_ = sck_->ResetByPeer();
  if (zurueckgesetzt_ && resetSeit_ < 0) resetSeit_ = clients_.clock_.seconds();
  clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Verbindung getrennt)"));
  std::erase(clients_.budgetWarteschlange_, this);
  wartetAufBudget_ = false;
  // Lines that came before the close still run (their replies go nowhere);
  // the connection leaves Clients once they have.
  clients_.anstossen();
}

bool clsTalkConnection::bereit() const {
  if (wartend_.empty()) return false;
  // A peer that reset the connection may have given us up while we did not
  // run (a forwarding receiver, while this one hung): its newer connection,
  // if any, has its first line in by then, and that drops these.
  if (resetSeit_ >= 0 && clients_.clock_.seconds() - resetSeit_ < Clients::kResetFrist) return false;
  return !vorbereitung_ || vorbereitung_->fertig.load(std::memory_order_acquire);
}

bool clsTalkConnection::haeltZurueck() const {
  return !wartend_.empty() && resetSeit_ >= 0 && clients_.clock_.seconds() - resetSeit_ < Clients::kResetFrist;
}

bool clsTalkConnection::naechsteZeile() {
  if (!bereit()) return false;
  clients_.abgeloesteVerwerfen(*this);
  std::string zeile = std::move(wartend_.front());
  wartend_.pop_front();
  VorbereiteteZeile v;
  if (vorbereitung_) {
    const std::shared_ptr<Vorbereitung> fertig = std::move(vorbereitung_);
    zeile = std::move(fertig->zeile);
    v = std::move(fertig->ergebnis);
  } else {
    v = zeileVorbereiten(zeile);
  }
  wartendeZeichen_ -= zeile.size();
  if (wartend_.empty() && sck_->readingPaused() && !wartetAufBudget_) sck_->setReadingPaused(false);
  vorbereiten();
  ausfuehren(zeile, std::move(v));
  // A picture's content is kept beyond its command only when small: 64
  // connections idle after a picture line would hold 2 GiB beside the budget.
  if (bildinhalt_.size() > Clients::kFreierPuffer) nebenbeiFreigeben(std::exchange(bildinhalt_, {}));
  if (zeile.capacity() > Clients::kFreierPuffer) nebenbeiFreigeben(std::move(zeile));
  if (v.vorab) nebenbeiFreigeben(std::move(*v.vorab));
  zeile = std::string();
  reservierungPruefen();
  return true;
}

void clsTalkConnection::verwerfen() {
  clients_.host().statusEintrag(gegenstelle_ + QStringLiteral(" (Verbindung zurückgesetzt, ") +
                               QString::number(wartend_.size()) + QStringLiteral(" Zeilen verworfen)"));
  zurueckgesetzt_ = false;
  wartend_.clear();
  wartendeZeichen_ = 0;
  vorbereitung_.reset();  // a worker still busy with it keeps its own reference
  sck_->Disconnect();
  geschlossen_ = true;
  std::erase(clients_.budgetWarteschlange_, this);
  wartetAufBudget_ = false;
  if (reserviert_) clients_.freigeben(*this);
}

void clsTalkConnection::reservierungPruefen() {
  if (!reserviert_ || vorbereitung_ || sck_->BufferedBytes() >= Clients::kFreierPuffer) return;
  if (std::any_of(wartend_.begin(), wartend_.end(), [](const std::string& z) { return z.size() > Clients::kFreierPuffer; }))
    return;
  clients_.freigeben(*this);
}

void clsTalkConnection::zeileAusfuehren(const std::u16string& L) {
  const std::string zeile = platform::toAnsi(L);
  ausfuehren(zeile, zeileVorbereiten(zeile));
}

void clsTalkConnection::ausfuehren(const std::string& zeile, VorbereiteteZeile&& v) {
  TalkHost& host = clients_.host();
  host.statusEintrag(listenTextAnsi(zeile, zeilenKopf_));
  try {
    // Passed on before and independently of what happens here.
    if (Weiterleitung* client3 = host.weiterleitungsClient(); client3 && client3->isOpen()) client3->sendenAnsi(zeile);
    if (!v.befehl) return;  // logged and passed on, not answered
    if (!v.fehler.empty()) throw std::runtime_error(v.fehler);

    const std::u16string name = v.felder.size() > 1 ? v.felder[1] : std::u16string();
    if (v.bildfeld) {
      if (bildinhalt_.capacity() > Clients::kFreierPuffer) nebenbeiFreigeben(std::move(bildinhalt_));
      bildinhalt_ = std::move(v.bild);
    }
    // A long line's bytes went into the prepared picture, shared.
    const std::span<const uint8_t> bild =
        !v.bildfeld ? std::span<const uint8_t>()
        : v.vorab && v.vorab->bytes ? std::span<const uint8_t>(*v.vorab->bytes)
                                    : std::span<const uint8_t>(bildinhalt_);
    // Commands that act on the receiving program itself (spec->nurOertlich)
    // are only acknowledged: they are meant for the sender's own receiver.
    const protocol::BefehlsSpec* spec = protocol::findeBefehl(name);
    if (spec && !spec->nurOertlich) {
      // The engine draws synchronously: "OK" follows the finished drawing.
      host.befehlAusfuehren(v.felder, bild, v.vorab ? &*v.vorab : nullptr);
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
    host.statusEintrag(listenTextAnsi(zeile));
  } catch (...) {
    host.statusEintrag(QStringLiteral("unbekannter Fehler"));
    host.statusEintrag(listenTextAnsi(zeile));
  }
  ++offeneAntworten_;
  // A command that ran (or is answered) is what keeps a connection from
  // being evicted; a line that is no command does not.
  letzteZeile_ = clients_.clock_.seconds();
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

Clients::~Clients() { liste_.clear(); }

int Clients::offen() const {
  return static_cast<int>(std::count_if(liste_.begin(), liste_.end(), [](const auto& c) { return !c->geschlossen_; }));
}

bool Clients::reservieren(clsTalkConnection& c) {
  // In turn: a connection that waits is served before a newcomer.
  if (!budgetWarteschlange_.empty() && budgetWarteschlange_.front() != &c) return false;
  if (budgetFrei_ < std::int64_t(kReservierung)) return false;
  if (!budgetWarteschlange_.empty()) budgetWarteschlange_.pop_front();
  budgetFrei_ -= std::int64_t(kReservierung);
  c.wartetAufBudget_ = false;
  c.reserviert_ = true;
  c.sck_->LineBufferGrant = static_cast<std::size_t>(-1);
  return true;
}

void Clients::freigeben(clsTalkConnection& c) {
  c.reserviert_ = false;
  c.sck_->LineBufferGrant = kFreierPuffer;
  budgetFrei_ += std::int64_t(kReservierung);
  while (!budgetWarteschlange_.empty()) {
    clsTalkConnection& w = *budgetWarteschlange_.front();
    if (!reservieren(w)) break;
    w.sck_->setReadingPaused(false);
  }
}

clsTalkConnection* Clients::verdraengbar(const QString* adresse) const {
  const double jetzt = clock_.seconds();
  clsTalkConnection* still = nullptr;
  for (const auto& c : liste_) {
    if (c->geschlossen_ || !c->wartend_.empty()) continue;
    if (adresse && c->adresse_ != *adresse) continue;
    if (jetzt - c->letzteZeile_ >= kVerdraengenSekunden && (!still || c->letzteZeile_ < still->letzteZeile_))
      still = c.get();
  }
  return still;
}

void Clients::abgeloesteVerwerfen(const clsTalkConnection& neu) {
  // The list is in the order of acceptance.
  for (const auto& c : liste_) {
    if (c.get() == &neu) return;
    if (c->adresse_ != neu.adresse_) continue;
    const bool reset = c->zurueckgesetzt_ || c->resetSeit_ >= 0;
    if (c->geschlossen_ ? reset && (!c->wartend_.empty() || c->vorbereitung_) : reset || c->sck_->ResetByPeer())
      c->verwerfen();
  }
}

void Clients::Server_ConnectionRequest(clsSocket& server) {
  std::unique_ptr<clsSocket> sck = angenommen(server);
  if (sck->State() != clsSocket::sckConnected) return;
  const QString von = sck->RemoteHost;
  const int vonAdresse = static_cast<int>(std::count_if(
      liste_.begin(), liste_.end(), [&](const auto& c) { return !c->geschlossen_ && c->adresse_ == von; }));
  clsTalkConnection* still = nullptr;
  QString abgewiesen;
  if (vonAdresse >= kMaxProAdresse) {
    still = verdraengbar(&von);
    if (!still)
      abgewiesen = QStringLiteral("schon ") + QString::number(kMaxProAdresse) + QStringLiteral(" Verbindungen von ") + von;
  } else if (offen() >= kMaxVerbindungen) {
    still = verdraengbar(nullptr);
    if (!still) abgewiesen = QStringLiteral("schon ") + QString::number(kMaxVerbindungen) + QStringLiteral(" Verbindungen");
  }
  if (!abgewiesen.isEmpty()) {
    host_.statusEintrag(adresse(*sck) + QStringLiteral(" (Verbindung abgewiesen: ") + abgewiesen + QLatin1Char(')'));
    sck->Disconnect();
    return;
  }
  if (still) {
    host_.statusEintrag(still->gegenstelle_ + QStringLiteral(" (Verbindung getrennt: seit ") +
                        QString::number(clock_.seconds() - still->letzteZeile_, 'f', 1) +
                        QStringLiteral(" s keine Zeile, Platz für eine neue)"));
    still->sck_->Disconnect();
    still->geschlossen_ = true;
    std::erase(budgetWarteschlange_, still);
    still->wartetAufBudget_ = false;
    anstossen();
  }
  liste_.push_back(std::make_unique<clsTalkConnection>(*this, std::move(sck)));
}

bool Clients::arbeitWartet() const {
  return std::any_of(liste_.begin(), liste_.end(), [](const auto& c) {
    return c->bereit() || (c->geschlossen_ && c->wartend_.empty() && !c->vorbereitung_);
  });
}

bool Clients::abarbeiten(double budget) {
  {
    const support::Tiefe::Eintritt imStapel(tiefe_);
    const double start = clock_.seconds();
    // A peer that reset its connection while its lines waited here (this
    // receiver was busy or hung) is noticed before they run: they wait for
    // its newer connection (see bereit()). One look per connection and batch.
    for (const auto& c : liste_)
      if (c->resetSeit_ < 0 && !c->geschlossen_ && !c->wartend_.empty() && c->sck_->ResetByPeer())
        c->resetSeit_ = start;
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
  const bool wartet = std::any_of(liste_.begin(), liste_.end(), [](const auto& c) { return c->bereit(); });
  // The rest goes on after the event loop has had its turn; while commands
  // may not run the loop's tick pushes again.
  if (wartet && host_.darfAusfuehren()) anstossen();
  // A long line on the worker thread: look again shortly.
  if (!pruefenGeplant_ && std::any_of(liste_.begin(), liste_.end(), [](const auto& c) {
        return (c->vorbereitung_ && !c->vorbereitung_->fertig.load(std::memory_order_acquire)) || c->haeltZurueck();
      })) {
    pruefenGeplant_ = true;
    QTimer::singleShot(1, &kontext_, [this] {
      pruefenGeplant_ = false;
      anstossen();
    });
  }
  return wartet;
}

void Clients::aufraeumen() {
  for (auto it = liste_.begin(); it != liste_.end();) {
    if ((*it)->geschlossen_ && (*it)->wartend_.empty() && !(*it)->vorbereitung_) {
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

bool wirdQuittiert(std::u16string_view name) {
  // Every command the server knows is answered: run, or only acknowledged.
  return protocol::findeBefehl(name) != nullptr;
}

}  // namespace vrd4::net
