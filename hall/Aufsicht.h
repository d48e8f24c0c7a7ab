#pragma once
// How a hall connection comes back, and what is said about it. Pure; std
// only; every time is the owner's clock in seconds, so the owner's loop can
// wait for frist() as a deadline and tests can move the clock by hand.
//
//  - After a failed attempt or a lost connection the next attempt comes
//    kErsterAbstand later, then twice as long each time, up to
//    kLaengsterAbstand.
//  - A connection that held kStabilSekunden counts as back: the next loss
//    starts over at kErsterAbstand. One lost sooner (another client took
//    the same client id, a broker that drops us at once) goes on doubling,
//    so two clients that take one id from each other meet at most every
//    kLaengsterAbstand instead of every second.
//  - Until a connection holds, each cause is said once, and "connected"
//    once: a broker that stays away, a wrong password or a certificate that
//    does not fit is one line, not one per attempt.
#include <limits>
#include <string>
#include <vector>

namespace vrd4::halle {

// An interval that doubles from `erster` up to `laengster`.
class Rueckzug {
 public:
  explicit Rueckzug(double erster, double laengster) : erster_(erster), laengster_(laengster), abstand_(erster) {}
  // The interval to wait now; the next call gives twice as much.
  double naechster() {
    const double a = abstand_;
    abstand_ = abstand_ * 2 < laengster_ ? abstand_ * 2 : laengster_;
    return a;
  }
  void zuruecksetzen() { abstand_ = erster_; }

 private:
  double erster_, laengster_, abstand_;
};

class Verbindungsaufsicht {
 public:
  static constexpr double kErsterAbstand = 1;
  static constexpr double kLaengsterAbstand = 30;
  static constexpr double kStabilSekunden = 10;
  static constexpr double kNie = std::numeric_limits<double>::infinity();

  // An attempt starts: the first at start, each later one once faellig().
  void versuch(double jetzt);
  // The broker accepted us: the line to say ("mit dem Broker verbunden"),
  // or empty when it was said since the connection last held.
  std::string verbunden(double jetzt);
  // An attempt failed or the connection ended, for `ursache` (a German
  // line, for instance "Verbindung zum Broker: Verbindung verloren"): the
  // line to say, or empty when that cause was said already.
  std::string verloren(double jetzt, const std::string& ursache);

  bool faellig(double jetzt) const { return zustand_ == Zustand::Wartet && jetzt >= naechster_; }
  // When the next attempt is due; kNie while one runs or the connection is up.
  double frist() const { return zustand_ == Zustand::Wartet ? naechster_ : kNie; }
  bool verbunden() const { return zustand_ == Zustand::Verbunden; }

 private:
  enum class Zustand { Versucht, Verbunden, Wartet };
  Zustand zustand_ = Zustand::Wartet;
  double seit_ = 0, naechster_ = 0;
  Rueckzug rueckzug_{kErsterAbstand, kLaengsterAbstand};
  std::vector<std::string> gesagt_;  // causes said since the connection last held
  bool verbundenGesagt_ = false;
};

}  // namespace vrd4::halle
