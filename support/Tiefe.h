#pragma once
// How often a piece of code is on the stack right now.
//
// The receiver runs on one thread, but code may run the Qt event loop from
// inside other work (a socket's own callbacks, a handler that processes
// events), and an event handled there can enter code that is already
// running further down. A Tiefe counts those entries;
// Tiefe::Eintritt holds one entry for as long as it lives, also when an
// exception leaves the scope. Code asks aktiv() to decide what it may do.
// Which counters the receiver has and what each rule allows is written
// down once, in core/Taktschleife.h.
//
// Not thread-safe: GUI thread only, like everything it guards.
namespace vrd4::support {

class Tiefe {
 public:
  Tiefe() = default;
  Tiefe(const Tiefe&) = delete;
  Tiefe& operator=(const Tiefe&) = delete;

  // True while at least one Eintritt lives.
  bool aktiv() const { return n_ > 0; }
  int wert() const { return n_; }

  class [[nodiscard]] Eintritt {
   public:
    explicit Eintritt(Tiefe& t) : t_(t) { ++t_.n_; }
    ~Eintritt() { --t_.n_; }
    Eintritt(const Eintritt&) = delete;
    Eintritt& operator=(const Eintritt&) = delete;

   private:
    Tiefe& t_;
  };

 private:
  int n_ = 0;
};

}  // namespace vrd4::support
