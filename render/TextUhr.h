#pragma once
// The time of the blinking and scrolling ticks. Their times are compared
// after rounding to 32-bit floats. Counted from the host's monotonic clock
// as it stood when the slots were made, and moved on before they pass 2^16
// seconds, those comparisons keep a resolution of a few milliseconds however
// long the machine has been running.
#include "render/RenderHost.h"

namespace vrd4::render {

class TextUhr {
 public:
  // 1 s before now, so that no real time is 0 (0 marks "not set").
  explicit TextUhr(const RenderHost& host) : host_(host), basis_(host.now() - 1.0) {}

  struct Zeit {
    double jetzt;
    // When not 0, the count has moved on: subtract it from every kept time.
    double verschiebung;
  };
  Zeit lesen() {
    double jetzt = host_.now() - basis_;
    double verschiebung = 0;
    if (jetzt >= kNeuBeginnAb) {
      verschiebung = jetzt - 1.0;
      basis_ += verschiebung;
      jetzt -= verschiebung;
    }
    return {jetzt, verschiebung};
  }

  // a < b as the ticks compare times.
  static bool frueher(double a, double b) { return float(a) < float(b); }

 private:
  static constexpr double kNeuBeginnAb = 65536.0;
  const RenderHost& host_;
  double basis_;
};

}  // namespace vrd4::render
