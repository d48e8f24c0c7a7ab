#pragma once
// State of one clsVRD4Sender, shared by its two source files.
#include <atomic>
#include <string>

#include "vrd4/clsVRD4Sender.h"

namespace vrd4::sender {

struct clsVRD4Sender::Impl {
  // Ring slot written next, 0..99.
  int32_t Schreibzeiger = 0;

  MessageBoxFn messageBox;
  std::function<void()> nachrichtenschleife;
  EreignisFn ereignis;
  double antwortZeitlimit = 0;  // no limit: wait as long as the receiver runs
  double stillstandGrenze = 0;  // 0: a receiver's sign of life is not watched
  std::atomic<bool> abbruch{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "Abbrechen must be safe in a signal handler");
  std::string empfaengerPfad;
  bool weiterlaufen = false;
  std::function<bool()> laeuftPruefung;
  std::function<double()> uhr;

  double jetzt() const;
  void meldung(const std::u16string& text, const std::u16string& titel = {}) const;
  // One pass of the program's message loop; a wait that began at `start`
  // (jetzt()) sleeps longer once it has lasted a while.
  void schleifeEinmal(double start) const;

  // The receiver's sign of life, as a wait watches it: the value seen last
  // and since when (jetzt()); looked at every kLebenszeichenBlick seconds.
  struct Lebenszeichen {
    std::u16string wert;
    double seit = -1;
    double geschaut = -1;
  };
  // Of the wait going on; a wait starts it afresh (waits never nest).
  Lebenszeichen leben;
  // True while the receiver has given a sign of life within
  // stillstandGrenze (always when that is off or it gives none at all).
  bool lebt();
};

// Seconds between two looks at the receiver's sign of life during a wait.
inline constexpr double kLebenszeichenBlick = 0.1;

// The one receiver-name rule (see clsVRD4Sender::IstEmpfaengerName).
inline constexpr const char* kEmpfaengerDatei = "VRD4Empfaenger";

}  // namespace vrd4::sender
