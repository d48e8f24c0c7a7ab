#pragma once
// The TCP command server's connections. Every connection accepted by the
// window's listening socket `Server` becomes a clsTalkConnection in the
// collection `Clients`. A connection reads lines, logs each one, passes it
// on unchanged to the forwarding client Client3 when that is connected,
// runs it when it is a command and answers "OK" after the drawing is done.
//
// Bounds and fairness (what a peer can make us do):
//  - At most kMaxVerbindungen connections at once, and at most
//    kMaxProAdresse from one peer address, so that one machine cannot lock
//    out the others. A connection beyond either limit takes the place of
//    the connection (of that address, or of any address when the server is
//    full) that has sent no complete line for the longest time, when that is
//    kVerdraengenSekunden or more; otherwise it is accepted and closed at
//    once. Both with a status-list entry. A client that sends a line now and
//    then is never evicted.
//  - A line longer than clsSocket::kMaxZeilenlaenge closes its connection,
//    with a status-list entry.
//  - One budget, kZeilenbudget bytes, holds every connection's received
//    lines together: each open connection takes kAnteil of it (a line
//    buffer of kFreierPuffer bytes and a queue of complete lines, below);
//    a line that grows beyond kFreierPuffer needs a reservation of
//    kReservierung (the longest line, its picture's bytes and the picture
//    decoded, up to kMaxVorabBild) until it has run. While the budget has no room for one, that connection stops
//    reading (its peer is held up by TCP) and waits its turn; the other
//    connections, the ring and the board go on.
//  - Complete lines wait in a queue per connection (Windows-1252 bytes, one
//    copy); while a queue holds kMaxWartendeZeilen lines or
//    kMaxWartendeZeichen bytes its socket stops reading until the queue is
//    empty again.
//  - A line longer than kFreierPuffer is split, its picture field decoded
//    and the picture of BildAnzeigen / BildAnzeigenanPosition decoded into
//    an image (one of at most kMaxVorabBild bytes is kept; a larger one is
//    decoded again by the board) on a worker thread; meanwhile the other connections' lines run, its own
//    later lines wait (their order is kept).
//  - Lines are run in batches of at most kStapelSekunden of work, taking one
//    line from each connection in turn (the order within a connection is
//    kept); between batches the event loop runs, so a flood on one
//    connection never holds up the polling tick or the other connections.
//  - The "OK"s of one batch leave a connection together, in one write, at
//    the end of the batch (each after its drawing; the bytes are the same).
//  - A connection its peer has reset (clsSocket::Abort: a forwarding
//    receiver that gave us up as lost) loses the lines it has not run yet
//    as soon as a newer connection from the same address has a line to
//    run: they are older than anything that one brings (a forwarding
//    client's catch-up), and would otherwise paint over it. With a status-
//    list entry "<host:port> (Verbindung zurückgesetzt, <n> Zeilen
//    verworfen)". A program that closes with replies unread is reset by
//    its system too: its unrun lines go the same way once it connects again.
//  - No line runs while the host says it may not (a command of the engine
//    is still running): the lines wait and run afterwards, in order.
//
// GUI thread only; everything runs from the event loop.
#include <QObject>
#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/clsSocket.h"
#include "render/modPicturefromBytes.h"
#include "platform/Clock.h"
#include "support/Tiefe.h"

namespace vrd4::net {

class Weiterleitung;

// What the connections need of the window.
class TalkHost {
 public:
  virtual ~TalkHost() = default;
  // Adds an entry to the status list List1 and scrolls to it (the list is
  // emptied first when it holds 7 or more entries).
  virtual void statusEintrag(const QString& entry) = 0;
  // The forwarding client Client3 (nullptr: none); every line goes to it
  // unchanged, before it runs here, while it is connected.
  virtual Weiterleitung* weiterleitungsClient() = 0;
  // Runs one split command on the engine (fields 0.. as protocol::zerlegen
  // gives them), the picture commands with `bild` as the picture's bytes
  // and `vorab` (nullptr: none) as those bytes already decoded.
  // Throws for a field that does not convert or an error of the operation;
  // what() describes it.
  virtual void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild,
                                const render::VorabBild* vorab) = 0;
  // The message box for an unknown command name (title "VRD4-Empfangsmodul",
  // exclamation icon, OK); returns at once, the box stays open by itself.
  virtual void falscheAbfrage(const QString& text) = 0;
  // False while no command may start (see above).
  virtual bool darfAusfuehren() const = 0;
  // The board's size in its scale units, the field "BildAnzeigen" fills;
  // nullopt when unknown (its picture is then fitted on the GUI thread).
  virtual std::optional<QSize> bildTafel() const { return std::nullopt; }
};

class Clients;

// A received line made ready to run: split, the picture field decoded.
// Built off the GUI thread for long lines.
struct VorbereiteteZeile {
  bool befehl = false;                // begins with "Befehl"
  std::vector<std::u16string> felder;  // all fields, the picture field left empty
  std::size_t bildfeld = 0;            // 0: no picture command
  std::vector<uint8_t> bild;           // the decoded picture field
  std::optional<render::VorabBild> vorab;  // bild as a picture (long lines only)
  std::string fehler;                  // why it cannot run ("" = it can)
};
VorbereiteteZeile zeileVorbereiten(std::string_view zeile);

class clsTalkConnection {
 public:
  // Init: takes the waiting connection of `server` into Sck and logs
  // host:port " (Verbindung hergestellt)". Check Sck.State() afterwards.
  clsTalkConnection(Clients& clients, clsSocket& server);
  // The same with a connection already accepted.
  clsTalkConnection(Clients& clients, std::unique_ptr<clsSocket> sck);
  ~clsTalkConnection();
  clsTalkConnection(const clsTalkConnection&) = delete;
  clsTalkConnection& operator=(const clsTalkConnection&) = delete;

  // The interpreter for one line L (without its CR LF).
  void zeileAusfuehren(const std::u16string& L);

  clsSocket& Sck() { return *sck_; }
  const QString& gegenstelle() const { return gegenstelle_; }  // host:port
  bool geschlossen() const { return geschlossen_; }
  std::size_t wartendeZeilen() const { return wartend_.size(); }
  // The content of the last picture command; one of more than
  // Clients::kFreierPuffer bytes only until its command has run.
  const std::vector<uint8_t>& bildinhalt() const { return bildinhalt_; }
  bool reserviert() const { return reserviert_; }

 private:
  friend class Clients;
  struct Vorbereitung;
  void Sck_LineBytesArrival(std::string&& zeile);
  void Sck_Closed();
  void Sck_LineTooLong(std::size_t laenge);
  bool Sck_LineBufferFull();
  // A line refused as too long once complete: as the socket refuses one.
  void zuLangeZeile(std::size_t laenge);
  // Lines held back for Clients::kResetFrist after the peer's reset.
  bool haeltZurueck() const;
  // Runs the next waiting line; false when none waits or it is not ready.
  bool naechsteZeile();
  bool bereit() const;  // its next line may run now
  // Hands a long line at the front of the queue to the worker thread.
  void vorbereiten();
  // Takes v's picture bytes; leaves its decoded picture.
  void ausfuehren(const std::string& zeile, VorbereiteteZeile&& v);
  // Drops every waiting line and closes (see the reset above).
  void verwerfen();
  // Gives the reservation back once no long line is left.
  void reservierungPruefen();
  // Sends the replies of the lines run so far in one write.
  void antwortenSenden();

  Clients& clients_;
  std::unique_ptr<clsSocket> sck_;
  QString gegenstelle_;
  QString zeilenKopf_;  // "TCP host:port> ", before every line in the status list
  QString adresse_;  // the peer's address alone
  std::deque<std::string> wartend_;
  std::size_t wartendeZeichen_ = 0;
  std::shared_ptr<Vorbereitung> vorbereitung_;  // of wartend_.front(), when long
  std::vector<uint8_t> bildinhalt_;  // picture content of the last picture command
  int offeneAntworten_ = 0;          // "OK"s not yet handed to the socket
  bool geschlossen_ = false;
  bool zurueckgesetzt_ = false;  // closed by a reset of the peer, lines still waiting
  bool reserviert_ = false;  // holds kReservierung of the budget
  bool wartetAufBudget_ = false;
  double letzteZeile_ = 0;  // clock time of the accept or the last command run
  double resetSeit_ = -1;  // clock time its lines were first seen reset; -1: not reset
};

class Clients {
 public:
  static constexpr int kMaxVerbindungen = 64;
  static constexpr int kMaxProAdresse = 16;
  static constexpr std::size_t kMaxWartendeZeilen = 512;
  static constexpr std::size_t kMaxWartendeZeichen = std::size_t{256} << 10;
  static constexpr double kStapelSekunden = 0.005;
  static constexpr double kVerdraengenSekunden = 60.0;
  // Lines of a connection its peer has reset wait this long (clock
  // seconds) before they run: long enough for a newer connection of the
  // same address, already waiting in the system, to bring its first line.
  static constexpr double kResetFrist = 0.25;
  // What a line's head must show of it (see langeZeileErlaubt).
  static constexpr std::size_t kKopfBytes = std::size_t{32} << 10;
  // The memory budget of all received lines (bytes).
  // Two picture lines at a time even with every connection open.
  static constexpr std::size_t kZeilenbudget = std::size_t{336} << 20;
  static constexpr std::size_t kFreierPuffer = std::size_t{256} << 10;
  // Line buffer, plus the queue up to its bound and the line that crossed it.
  static constexpr std::size_t kAnteil = std::size_t{1} << 20;
  // A picture decoded ahead: 32-bit pixels, as big as a 4096 x 2047 board.
  static constexpr std::size_t kMaxVorabBild = std::size_t{32} << 20;
  static constexpr std::size_t kReservierung = clsSocket::kMaxZeilenlaenge / 2 * 3 + kMaxVorabBild;

  // clock measures the batches; both must outlive the collection.
  Clients(TalkHost& host, platform::Clock& clock);
  ~Clients();
  Clients(const Clients&) = delete;
  Clients& operator=(const Clients&) = delete;

  // Server_ConnectionRequest: accepts the waiting connection of `server`
  // into a new connection, or, beyond the limits above, evicts an idle one
  // or closes the new one at once with a status-list entry.
  void Server_ConnectionRequest(clsSocket& server);

  // Runs waiting lines for at most `budget` seconds of the clock (at least
  // one line when any may run). Returns true when lines are still waiting.
  // May be re-entered from the event loop of a wait that one line entered.
  bool abarbeiten(double budget = kStapelSekunden);
  bool arbeitWartet() const;
  // Schedules abarbeiten on the event loop (once, however often called).
  void anstossen();

  // Connections in the collection (closed ones leave once their lines ran).
  int anzahl() const { return static_cast<int>(liste_.size()); }
  int offen() const;
  const std::list<std::unique_ptr<clsTalkConnection>>& liste() const { return liste_; }
  TalkHost& host() { return host_; }
  // Budget bytes not taken by connections and reservations.
  std::int64_t budgetFrei() const { return budgetFrei_; }

 private:
  friend class clsTalkConnection;
  void aufraeumen();
  bool reservieren(clsTalkConnection& c);
  void freigeben(clsTalkConnection& c);
  clsTalkConnection* verdraengbar(const QString* adresse) const;
  // Drops the waiting lines of the reset connections from neu's address
  // that were accepted before it.
  void abgeloesteVerwerfen(const clsTalkConnection& neu);

  TalkHost& host_;
  platform::Clock& clock_;
  std::list<std::unique_ptr<clsTalkConnection>> liste_;
  std::list<std::unique_ptr<clsTalkConnection>>::iterator naechste_ = liste_.end();
  QObject kontext_;  // the scheduled runs die with the collection
  bool angestossen_ = false;
  support::Tiefe tiefe_;  // abarbeiten on the stack; connections go only when it is not
  std::int64_t budgetFrei_ = std::int64_t(kZeilenbudget);
  bool pruefenGeplant_ = false;
  std::deque<clsTalkConnection*> budgetWarteschlange_;  // waiting for a reservation, in turn
};

// The status-list text of a line: lines longer than kMaxListenZeichen are
// cut there and end in "…" (the whole line still runs).
inline constexpr int kMaxListenZeichen = 2000;
QString listenText(const std::u16string& zeile);

// True for a command name the server answers with "OK" (run or only
// answered); a forwarding client expects a reply for exactly these.
bool wirdQuittiert(std::u16string_view name);

// Whether a line (Windows-1252 bytes) longer than a ring slot holds
// (protocol::kMaxBefehlstextZeichen) may still be taken: a line that is no
// command (it does not begin with "Befehl"; only logged and passed on), or
// a picture command ("Befehl" ESC name ESC …) whose fields before the file
// content fit a slot. zeile may be only the line's head (Clients::kKopfBytes
// of it are enough to tell). Every other command that long is refused as
// too long.
bool langeZeileErlaubt(std::string_view zeile);

}  // namespace vrd4::net
