#pragma once
// One name, one board: whether another process runs a board of this name,
// judged from the statuses on the board's own status topic. Pure; std only;
// times are the owner's clock in seconds.
//
//  - A status of another process (another kennung) that says online and
//    came live, or retained but written after this process started, is a
//    second board of this name: doppelt, until that one says it went
//    (its status or will, offline, with its kennung) or nothing more came
//    from it for kVergessen (it sends its status at least every 30 s).
//    A retained one from before our start is our own predecessor's (a
//    board that crashed and was started again) and means nothing.
//  - Any other live message there that is not ours (a will of our
//    predecessor, a stranger's, an empty one) took our retained status
//    away: ours goes out again (Ersetzt).
#include <string>

#include "hall/TafelStatus.h"

namespace vrd4::halle {

class Namenswache {
 public:
  static constexpr double kVergessen = 75;

  enum class Aenderung { Keine, Doppelt, WiederAllein, Ersetzt };

  // kennung: this process's; start: zeitText of this process's start.
  Namenswache(std::string kennung, std::string start) : kennung_(std::move(kennung)), start_(std::move(start)) {}

  // A message on the status topic: `status` as read (nullopt: unreadable or
  // empty), `behalten` as the broker marked it.
  Aenderung nachricht(const std::optional<TafelStatus>& status, bool behalten, double jetzt);
  // WiederAllein once the other one has been silent for kVergessen.
  Aenderung takt(double jetzt);

  bool doppelt() const { return doppelt_; }
  const std::string& andere() const { return andere_; }  // the other one's kennung
  double frist() const;

 private:
  std::string kennung_, start_;
  bool doppelt_ = false;
  std::string andere_;
  double zuletzt_ = 0;
};

}  // namespace vrd4::halle
