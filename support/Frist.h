#pragma once
// A deadline on the event loop: one single-shot timer armed for the moment
// something is next due, instead of a timer that looks every few
// milliseconds. The loop sleeps until then and nothing wakes it before, so a
// quiet board rests (see core/Taktschleife.h).
//
// Times are seconds of the owner's clock (platform::Clock); the timer runs
// for the difference in real time, rounded up to whole milliseconds. An
// owner with an injected clock calls its own check directly instead.
// GUI thread only (the thread whose event loop runs the timer).
#include <QObject>
#include <QTimer>
#include <cmath>
#include <functional>
#include <limits>

namespace vrd4::support {

class Frist {
 public:
  explicit Frist(std::function<void()> faellig) : faellig_(std::move(faellig)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);  // a coarse one may fire 5 % early
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
      zeitpunkt_ = kNie;
      if (faellig_) faellig_();
    });
  }
  Frist(const Frist&) = delete;
  Frist& operator=(const Frist&) = delete;

  static constexpr double kNie = std::numeric_limits<double>::infinity();

  // Due at zeitpunkt (jetzt: the clock's present); replaces an earlier
  // deadline. kNie: none.
  void setzen(double zeitpunkt, double jetzt) {
    if (zeitpunkt == kNie) {
      aus();
      return;
    }
    zeitpunkt_ = zeitpunkt;
    const double ms = std::ceil((zeitpunkt - jetzt) * 1000.0);
    timer_.start(ms <= 0 ? 0 : ms >= 1e9 ? 1000000000 : int(ms));
  }
  // As setzen, but only when it is earlier than the deadline set: a deadline
  // that moves later (a peer that answered) is checked when the earlier one
  // fires, without re-arming on every event.
  void spaetestens(double zeitpunkt, double jetzt) {
    if (zeitpunkt < zeitpunkt_ || !timer_.isActive()) setzen(zeitpunkt, jetzt);
  }
  void aus() {
    zeitpunkt_ = kNie;
    timer_.stop();
  }
  bool aktiv() const { return timer_.isActive(); }
  double zeitpunkt() const { return zeitpunkt_; }

 private:
  std::function<void()> faellig_;
  QTimer timer_;
  double zeitpunkt_ = kNie;
};

}  // namespace vrd4::support
