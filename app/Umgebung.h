#pragma once
// What the main window and its parts take from outside; tests replace parts
// of it. Everything pointed to must outlive the window.
#include <string>

#include "core/Desktop.h"
#include "core/Hallenanschluss.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "support/clsWBTimer.h"

namespace vrd4::app {

struct Umgebung {
  platform::Clock* clock = nullptr;          // nullptr: the steady clock
  core::Desktop* desktop = nullptr;          // nullptr: core::x11Desktop()
  std::string programFolder;                 // empty: the executable's folder
  support::clsWBTimer::Sleeper sleeper;      // empty: the polling loop's own sleep step
  bool vollbild = false;                     // --vollbild: full screen from the start
  std::string weiterleiten{};                // --weiterleiten A:P: Client3 connects at start
  core::HallenOptionen halle{};              // --halle / --tafel: the hall of screens

  platform::Clock& uhr() const { return clock ? *clock : platform::steadyClock(); }
  core::Desktop& schreibtisch() const { return desktop ? *desktop : core::x11Desktop(); }
  std::string programmOrdner() const { return programFolder.empty() ? platform::programFolder() : programFolder; }
};

}  // namespace vrd4::app
