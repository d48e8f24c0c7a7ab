#pragma once
// Weiterleitung: a forwarding client (Client2, Client3) that keeps its peer.
//
// - verbinden() starts and returns at once: the connect runs on the event
//   loop, the caller (and the ring) goes on. Until trennen() the client
//   stays "active": after every loss it connects again by itself, waiting
//   kErsteWartezeit seconds before the first new attempt and doubling up to
//   kLaengsteWartezeit (the wait starts again at kErsteWartezeit once the
//   peer has answered an "OK" on the new connection).
// - senden() pipelines: a line goes out at once, whether or not earlier
//   lines have been answered. Every line that expects a reply (erwartetOk)
//   waits for one "OK"; the replies are matched to the lines in order.
// - A peer counts as lost, at once and once per outage, when it closes, on
//   a socket error, when the oldest line waiting for its "OK" has waited
//   kQuittungsFrist seconds since it was sent or since the previous reply
//   (whichever is later), or when more than kMaxWarteschlange bytes wait to
//   be sent to it. A missing "OK" raises
//   Ereignis("BefehlFehler", "<Name> - Timeout überschritten!").
//   Every loss gives a status entry and, unless it is such a time-out (whose
//   event a sender polling clsVRD4Event must find, not one that overwrites
//   it at once), the event
//   Ereignis("BefehlFehler", "<Kennung>: Verbindung zu <host:port> verloren (<Grund>)")
//   ("... nicht möglich (<Grund>)" when the first attempt after verbinden()
//   fails); a reconnect gives the status entry
//   "<Kennung>: Verbindung zu <host:port> wiederhergestellt" (the texts are
//   listed in docs/network.md).
// - Lines given while not connected are dropped (isOpen() tells). After a
//   reconnect (and after the first connect with NachholenAuchBeimErstenMal)
//   the peer first gets kProbe, a line a receiver answers without running
//   it; once its "OK" is back (within kQuittungsFrist, else the peer counts
//   as lost) the lines of Nachholen (e.g. Cls and the board's scene) are
//   sent, then live lines follow. Until then the state stays Verbindet. So a
//   hung peer that wakes up finds no stale catch-up of an earlier attempt.
//
// Bounds: send queue kMaxWarteschlange bytes (plus the one line that crossed
// it); the replies of the peer are lines of at most kMaxAntwortlaenge
// characters (a longer one counts as a loss: the peer talks nonsense).
//
// Time comes from the injected clock. The client wakes the event loop only
// when something is due (support/Frist.h): the reply deadline of the oldest
// line, the probe's deadline, the next attempt after the back-off; while a
// connect attempt runs (it may end without an event) it looks every
// kPruefMs. takten() checks the clock on demand as well.
// GUI thread only (the thread whose event loop runs the socket).
#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/clsSocket.h"
#include "platform/Clock.h"
#include "support/Frist.h"

namespace vrd4::net {

class Weiterleitung {
 public:
  static constexpr double kQuittungsFrist = 4.0;
  static constexpr double kErsteWartezeit = 0.5;
  static constexpr double kLaengsteWartezeit = 5.0;
  static constexpr std::int64_t kMaxWarteschlange = std::int64_t{64} << 20;
  static constexpr std::size_t kMaxAntwortlaenge = 4096;
  static constexpr int kPruefMs = 20;
  // Answered by a receiver's server without running anything.
  static constexpr std::u16string_view kProbe = u"Befehl\x1bPauseAnzeigeZiel\x1b" u"0";

  enum class Zustand {
    Aus,         // not active (never started, or trennen())
    Verbindet,   // a connect attempt runs
    Verbunden,   // connected: lines go out
    Wartet,      // lost; the next attempt follows after the back-off wait
  };

  // kennung: how the texts name this client ("Client2"). clock must outlive
  // the instance.
  Weiterleitung(QString kennung, platform::Clock& clock);
  ~Weiterleitung();
  Weiterleitung(const Weiterleitung&) = delete;
  Weiterleitung& operator=(const Weiterleitung&) = delete;

  // Becomes active and connects to host:port (a dotted address or a name);
  // an open connection is closed first, without a loss report.
  void verbinden(const QString& host, int32_t port);
  // Ends the connection and every further attempt; no loss report.
  void trennen();

  Zustand zustand() const { return zustand_; }
  bool aktiv() const { return zustand_ != Zustand::Aus; }  // the button shows "Trennen"
  bool isOpen() const { return zustand_ == Zustand::Verbunden; }
  // Lines sent and still waiting for their "OK".
  std::size_t offeneQuittungen() const { return offen_.size(); }
  // Bytes handed to the socket and not yet to the system.
  std::int64_t warteschlange() const;
  // Losses since verbinden() (reconnects made = verluste while connected).
  int verluste() const { return verluste_; }
  const QString& ziel() const { return ziel_; }  // "host:port"

  // Sends text + CR LF in Windows-1252 when connected; dropped otherwise.
  void senden(std::u16string_view zeile);
  // The same for a line that is already Windows-1252 bytes (no CR LF).
  void sendenAnsi(std::string_view zeile);

  // Checks the reply deadline and the back-off against the clock.
  void takten();
  // When the client next wakes the event loop to check (clock seconds;
  // support::Frist::kNie: it does not).
  double naechsteFrist() const { return frist_.zeitpunkt(); }

  // --- hooks (may be empty; they must not destroy the instance)
  // A status-list entry.
  std::function<void(const QString&)> StatusEintrag;
  // VRD4Event(art, meldung).
  std::function<void(const QString& art, const QString& meldung)> Ereignis;
  // A reply line matched to a sent line: ok = it was "OK".
  std::function<void(bool ok)> Antwort;
  // The state changed (for the button caption).
  std::function<void(Zustand)> ZustandGeaendert;
  // The lines to send after a reconnect, before any live line (empty hook:
  // nothing is caught up).
  std::function<std::vector<std::u16string>()> Nachholen;
  // Nachholen also on the first connect after verbinden() (a peer that
  // joins then is brought level too); default: after a loss only.
  bool NachholenAuchBeimErstenMal = false;
  // Whether the peer answers a line with "OK" (default: protocol::istBefehl).
  std::function<bool(std::u16string_view zeile)> ErwartetOk;

 private:
  struct Offen {
    QString name;     // field 1, for the time-out text
    double gesendet;  // clock seconds
  };
  void setzen(Zustand z);
  void versuchen();
  void verbunden();
  void aufholen();
  // ereignis false: the loss goes to the status list only (a time-out
  // raised its own event in the same instant).
  void verloren(const QString& grund, bool ereignis = true);
  void antwortDa(const std::u16string& zeile);
  void merken(std::u16string_view zeile);
  void nachSenden();
  void socketAnlegen();
  void fristSetzen();

  QString kennung_;
  platform::Clock& clock_;
  QObject kontext_;
  support::Frist frist_{[this] { takten(); }};
  std::unique_ptr<clsSocket> sck_;
  QString host_, ziel_;
  int32_t port_ = 0;
  Zustand zustand_ = Zustand::Aus;
  std::deque<Offen> offen_;
  double letzteAntwort_ = 0;  // clock seconds of the last reply (or of the connect)
  double naechsterVersuch_ = 0;
  double wartezeit_ = kErsteWartezeit;
  bool nachVerlust_ = false;  // the next connect is a reconnect: catch up first
  bool pruefung_ = false;     // kProbe sent, its "OK" not yet back
  int verluste_ = 0;
};

// The status and event texts (also listed in docs/network.md).
QString verlustText(const QString& kennung, const QString& ziel, const QString& grund);
QString nichtVerbundenText(const QString& kennung, const QString& ziel, const QString& grund);
QString wiederVerbundenText(const QString& kennung, const QString& ziel);

}  // namespace vrd4::net
