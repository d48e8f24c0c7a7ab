#pragma once
// What vrd4send waits for after its last command, so that the event of that
// command is printed before the tool ends: the receiver takes a command
// from its slot before it runs it, and the event comes only then.
#include <sys/types.h>

#include <functional>
#include <optional>

namespace vrd4::vrd4send {

struct Nachlauf {
  // The receiver on our channel, if one runs.
  std::function<std::optional<pid_t>()> empfaenger;
  // Limit of each wait in seconds (--antwortzeit; 0: kMaxWarten).
  double antwortzeit = 0;
  static constexpr double kMaxWarten = 10.0;

  // Waits until the receiver has taken everything sent. Then, when the
  // receiver is to end (beenden): writes the stop request and waits until
  // it has written its stop mark or is gone - it ends only between two
  // commands, so everything it took has run. Otherwise waits until an event
  // has come or the receiver's main thread waits in its event loop again
  // (where that cannot be seen: kNachlaufOhneSicht). Each wait is bounded
  // and ends when the receiver is gone or abbruch() is set.
  void abwarten(bool beenden) const;
  static constexpr double kNachlaufOhneSicht = 0.2;
};

}  // namespace vrd4::vrd4send
