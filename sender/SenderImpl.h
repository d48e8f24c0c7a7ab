#pragma once
// State of one clsVRD4Sender, shared by its two source files.
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
  std::string empfaengerPfad;
  bool weiterlaufen = false;
  std::function<bool()> laeuftPruefung;
  std::function<double()> uhr;

  double jetzt() const;
  void meldung(const std::u16string& text, const std::u16string& titel = {}) const;
  void schleifeEinmal() const;
};

// The one receiver-name rule (see clsVRD4Sender::IstEmpfaengerName).
inline constexpr const char* kEmpfaengerDatei = "VRD4Empfaenger";

}  // namespace vrd4::sender
