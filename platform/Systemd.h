#pragma once
// The receiver as a systemd service: readiness, watchdog pings and the
// history of its status list. Without systemd (no NOTIFY_SOCKET, stderr not
// the journal) the pings cost nothing and the history goes to stderr, which
// is the log file when a sending program started the receiver.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vrd4::platform::systemd {

// Tells systemd that the service is ready and then keeps its watchdog fed.
// takt() is called on every tick of the GUI thread with a monotonic time in
// seconds: the first call sends "READY=1"; later calls send "WATCHDOG=1"
// when systemd armed a watchdog for this process (WATCHDOG_USEC), at most
// once a third of its interval, so a tick that stops is a board that
// systemd restarts. Errors of the notification socket are ignored.
// While `gesund` (when set) says false, no "WATCHDOG=1" goes out either: a
// part of the receiver that is stuck on a thread of its own (the hall's
// network thread) gets the board restarted like a tick that stopped.
class Lebenszeichen {
 public:
  void takt(double sekunden);
  std::function<bool()> gesund;
  // Seconds between two pings (a third of the watchdog's interval); 0
  // without a watchdog or before the first takt(). A loop that sleeps must
  // tick at least this often, better twice as often.
  double abstand() const { return intervall_; }

 private:
  bool bereit_ = false;
  double intervall_ = 0;  // seconds between pings; 0: no watchdog
  double letzter_ = 0;
};

// Lebenszeichen::takt of the process's one instance.
void lebenszeichen(double sekunden);
// Sets that instance's `gesund` (empty: none). GUI thread.
void lebenszeichenBedingung(std::function<bool()> gesund);
// Its abstand().
double lebenszeichenAbstand();

// Longest history line in characters; a longer entry is cut and ends in "…".
inline constexpr std::size_t kProtokollMaxZeichen = 2000;

// A status-list entry as a history line (UTF-8): control characters shown
// as their pictures (ESC as "␛", CR LF as "␍␊"), cut to kProtokollMaxZeichen.
std::string protokollZeile(std::u16string_view eintrag);

// Largest log file: when stderr is a regular file that has grown past this
// many bytes, it is emptied and the history starts again.
inline constexpr std::size_t kProtokollMaxBytes = 64u << 20;

// Writes the entry as one history line: into the journal (priority info)
// when stderr is connected to it (JOURNAL_STREAM), else to stderr with the
// local date and time (of this call) in front. Never waits: the line goes to
// a writer thread (platform/Ausgabeschreiber.h) with at most
// kProtokollWarteBytes queued; past that lines are dropped, and the next line
// that gets through is preceded by
//   "<date time> Protokoll: <n> Zeilen verworfen (Ausgabe wird nicht schnell genug gelesen)".
// A full disk loses the line.
void protokollieren(std::u16string_view eintrag);
inline constexpr std::size_t kProtokollWarteBytes = 1u << 20;

// While a Sammlung lives (nested ones count as one), the lines for stderr
// are kept and handed to the writer together, whole lines in one write, when
// the outermost ends, or sooner once kProtokollSammelBytes have gathered.
// GUI thread only.
inline constexpr std::size_t kProtokollSammelBytes = 64u << 10;
class ProtokollSammlung {
 public:
  ProtokollSammlung();
  ~ProtokollSammlung();
  ProtokollSammlung(const ProtokollSammlung&) = delete;
  ProtokollSammlung& operator=(const ProtokollSammlung&) = delete;
};

// Lines of output that are no status-list entry (Qt's warnings, the usage
// after a refused call), from any thread: as protokollieren, without
// gathering; the time stamp only when zeitstempel.
void ausgeben(std::string_view zeilen, bool zeitstempel = true);

// Whether stderr is connected to the journal (JOURNAL_STREAM names it).
bool stderrIstJournal();

// A refusal at start-up or a fatal error, as one line (UTF-8, no line end):
// to stderr as it stands, and to the journal with priority err and the exit
// status in the field VRD4_RUECKGABE - once when stderr is the journal.
// Through the writer; waits at most Ausgabeschreiber::kAbschiedMs for it.
void fehlerMelden(std::string_view zeile, int rueckgabe);

// Waits at most fristMs for every line given so far to be written.
bool ausgabeLeeren(int fristMs);

// Under a service manager that waits for our readiness (NOTIFY_SOCKET set):
// waits while dauert() holds, looking every intervall seconds, at most
// hoechstens seconds, and meanwhile extends the manager's start time-out
// (EXTEND_TIMEOUT_USEC) and shows status. True when dauert() ended within the
// time; false at once without a notify socket, or when the time ran out.
bool startAufschieben(const std::function<bool()>& dauert, const std::string& status, double hoechstens,
                      double intervall = 1.0);

}  // namespace vrd4::platform::systemd
