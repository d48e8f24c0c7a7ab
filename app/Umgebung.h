#pragma once
// What the main window and its parts take from outside; tests replace parts
// of it. Everything pointed to must outlive the window.
#include <string>

#include "app/Desktop.h"
#include "app/Hallenanschluss.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "support/clsWBTimer.h"

namespace vrd4::app {

struct Umgebung {
  platform::Clock* clock = nullptr;          // nullptr: the steady clock
  Desktop* desktop = nullptr;                // nullptr: x11Desktop()
  std::string programFolder;                 // empty: the executable's folder
  support::clsWBTimer::Sleeper sleeper;      // empty: the polling loop's own sleep step
  bool vollbild = false;                     // --vollbild: full screen from the start
  std::string weiterleiten{};                // --weiterleiten A:P: Client3 connects at start
  HallenOptionen halle{};                    // --halle / --tafel: the hall of screens

  platform::Clock& uhr() const { return clock ? *clock : platform::steadyClock(); }
  Desktop& schreibtisch() const { return desktop ? *desktop : x11Desktop(); }
  std::string programmOrdner() const { return programFolder.empty() ? platform::programFolder() : programFolder; }
};

}  // namespace vrd4::app
