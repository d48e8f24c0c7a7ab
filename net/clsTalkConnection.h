#pragma once
// The TCP command server's connections. Every connection accepted by the
// window's listening socket `Server` becomes a clsTalkConnection in the
// collection `Clients`. A connection reads lines, logs each one, passes it
// on unchanged to the forwarding client Client3 when that is connected,
// runs it when it is a command and answers "OK" after the drawing is done.
//
// Bounds and fairness (what a peer can make us do):
//  - At most kMaxVerbindungen connections at once. A further one takes the
//    place of the connection that has sent no complete line for the longest
//    time, when that is kVerdraengenSekunden or more (a peer that only holds
//    a connection open, or sends a byte now and then, cannot lock others
//    out); otherwise it is accepted and closed at once. Both with a
//    status-list entry.
//  - A line longer than clsSocket::kMaxZeilenlaenge closes its connection,
//    with a status-list entry.
//  - Lines wait in a queue per connection; while a queue holds
//    kMaxWartendeZeilen lines or kMaxWartendeZeichen characters its socket
//    stops reading (the peer is held up by TCP flow control) until the
//    queue is empty again.
//  - Lines are run in batches of at most kStapelSekunden of work, taking one
//    line from each connection in turn (the order within a connection is
//    kept); between batches the event loop runs, so a flood on one
//    connection never holds up the polling tick or the other connections.
//  - The "OK"s of one batch leave a connection together, in one write, at
//    the end of the batch (each after its drawing; the bytes are the same).
//  - No line runs while the host says it may not (a command of the engine
//    is still running, e.g. in its forwarding wait, or the window is in its
//    connect wait): the lines wait and run afterwards, in order.
//
// GUI thread only; everything runs from the event loop.
#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "net/clsSocket.h"
#include "platform/Clock.h"
#include "support/Tiefe.h"

namespace vrd4::net {

// What the connections need of the window.
class TalkHost {
 public:
  virtual ~TalkHost() = default;
  // Adds an entry to the status list List1 and scrolls to it (the list is
  // emptied first when it holds 7 or more entries).
  virtual void statusEintrag(const QString& entry) = 0;
  // The forwarding client Client3 (nullptr: none).
  virtual clsSocket* weiterleitungsClient() = 0;
  // Runs one split command on the engine (fields 0.. as protocol::zerlegen
  // gives them), the picture commands with `bild` as the picture's bytes.
  // Throws for a field that does not convert or an error of the operation;
  // what() describes it.
  virtual void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild) = 0;
  // The message box for an unknown command name (title "VRD4-Empfangsmodul",
  // exclamation icon, OK); returns at once, the box stays open by itself.
  virtual void falscheAbfrage(const QString& text) = 0;
  // False while no command may start (see above).
  virtual bool darfAusfuehren() const = 0;
};

class Clients;

class clsTalkConnection {
 public:
  // Init: takes the waiting connection of `server` into Sck and logs
  // host:port " (Verbindung hergestellt)". Check Sck.State() afterwards.
  clsTalkConnection(Clients& clients, clsSocket& server);
  ~clsTalkConnection();
  clsTalkConnection(const clsTalkConnection&) = delete;
  clsTalkConnection& operator=(const clsTalkConnection&) = delete;

  // The interpreter for one line L (without its CR LF).
  void zeileAusfuehren(const std::u16string& L);

  clsSocket& Sck() { return *sck_; }
  const QString& gegenstelle() const { return gegenstelle_; }  // host:port
  bool geschlossen() const { return geschlossen_; }
  std::size_t wartendeZeilen() const { return wartend_.size(); }
  const std::vector<uint8_t>& bildinhalt() const { return bildinhalt_; }

 private:
  friend class Clients;
  void Sck_LineDataArrival(const std::u16string& LineData);
  void Sck_Closed();
  void Sck_LineTooLong(std::size_t laenge);
  // Runs the next waiting line; false when none waits.
  bool naechsteZeile();
  // Sends the replies of the lines run so far in one write.
  void antwortenSenden();

  Clients& clients_;
  std::unique_ptr<clsSocket> sck_;
  QString gegenstelle_;
  std::deque<std::u16string> wartend_;
  std::size_t wartendeZeichen_ = 0;
  std::vector<uint8_t> bildinhalt_;  // picture content of the last picture command
  int offeneAntworten_ = 0;          // "OK"s not yet handed to the socket
  bool geschlossen_ = false;
  double letzteZeile_ = 0;  // clock time of the accept or the last complete line
};

class Clients {
 public:
  static constexpr int kMaxVerbindungen = 64;
  static constexpr std::size_t kMaxWartendeZeilen = 512;
  static constexpr std::size_t kMaxWartendeZeichen = std::size_t{1} << 20;
  static constexpr double kStapelSekunden = 0.005;
  static constexpr double kVerdraengenSekunden = 1.0;

  // clock measures the batches; both must outlive the collection.
  Clients(TalkHost& host, platform::Clock& clock);
  ~Clients();
  Clients(const Clients&) = delete;
  Clients& operator=(const Clients&) = delete;

  // Server_ConnectionRequest: accepts the waiting connection of `server`
  // into a new connection, or, when kMaxVerbindungen are open, accepts it
  // and closes it at once with a status-list entry.
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

 private:
  friend class clsTalkConnection;
  void aufraeumen();

  TalkHost& host_;
  platform::Clock& clock_;
  std::list<std::unique_ptr<clsTalkConnection>> liste_;
  std::list<std::unique_ptr<clsTalkConnection>>::iterator naechste_ = liste_.end();
  QObject kontext_;  // the scheduled runs die with the collection
  bool angestossen_ = false;
  support::Tiefe tiefe_;  // abarbeiten on the stack; connections go only when it is not
};

// The status-list text of a line: lines longer than kMaxListenZeichen are
// cut there and end in "…" (the whole line still runs).
inline constexpr int kMaxListenZeichen = 2000;
QString listenText(const std::u16string& zeile);

}  // namespace vrd4::net
