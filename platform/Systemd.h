#pragma once
// The receiver as a systemd service: readiness, watchdog pings and the
// history of its status list. Without systemd (no NOTIFY_SOCKET, stderr not
// the journal) the pings cost nothing and the history goes to stderr, which
// is the log file when a sending program started the receiver.
#include <cstddef>
#include <string>
#include <string_view>

namespace vrd4::platform::systemd {

// Tells systemd that the service is ready and then keeps its watchdog fed.
// takt() is called on every tick of the GUI thread with a monotonic time in
// seconds: the first call sends "READY=1"; later calls send "WATCHDOG=1"
// when systemd armed a watchdog for this process (WATCHDOG_USEC), at most
// once a third of its interval, so a tick that stops is a board that
// systemd restarts. Errors of the notification socket are ignored.
class Lebenszeichen {
 public:
  void takt(double sekunden);
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
// local date and time (of this call) in front. Never fails; a full disk
// loses the line.
void protokollieren(std::u16string_view eintrag);

// While a Sammlung lives (nested ones count as one), the lines for stderr
// are kept and written together, whole lines in one write, when the
// outermost ends, or sooner once kProtokollSammelBytes have gathered. The
// journal takes each line at once. GUI thread only.
inline constexpr std::size_t kProtokollSammelBytes = 64u << 10;
class ProtokollSammlung {
 public:
  ProtokollSammlung();
  ~ProtokollSammlung();
  ProtokollSammlung(const ProtokollSammlung&) = delete;
  ProtokollSammlung& operator=(const ProtokollSammlung&) = delete;
};

}  // namespace vrd4::platform::systemd
