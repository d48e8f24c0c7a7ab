#include "Nachlauf.h"

#include <chrono>
#include <thread>

#include "Operationen.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/ProzessZustand.h"
#include "support/Numbers.h"

namespace vrd4::vrd4send {

namespace {

namespace gv = channel::modVRD4GlobaleVariablen;

using Uhr = std::chrono::steady_clock;

// Runs until fertig() or the time is up, looking every millisecond; false
// when it ended otherwise.
template <class F>
bool bis(double sekunden, F fertig) {
  const auto ende = Uhr::now() + std::chrono::duration<double>(sekunden);
  while (!fertig()) {
    if (abbruch() || Uhr::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

void Nachlauf::abwarten(bool beenden) const {
  const double grenze = antwortzeit > 0 ? antwortzeit : kMaxWarten;
  const auto laeuft = [this] { return empfaenger && empfaenger().has_value(); };
  const bool genommen = bis(grenze, [&] {
    return !laeuft() || gv::clsVRD4LetzteGelesene().GetMemory() == gv::clsVRD4LetzteGesendete().GetMemory();
  });
  if (!genommen || !laeuft()) return;
  if (beenden) {
    // The receiver honours the request only between two commands.
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    bis(grenze, [&] {
      const std::u16string marke = gv::clsVRD4EmpfaengerGestartet().GetMemory();
      return !laeuft() || (!marke.empty() && leadingNumber(marke) == 0);
    });
    return;
  }
  // It stays: the command it took has run once its main thread waits for
  // the next round.
  const std::optional<pid_t> pid = empfaenger();
  if (!pid) return;
  const auto start = Uhr::now();
  bis(grenze, [&] {
    if (!gv::clsVRD4Event().GetMemory().empty()) return true;
    if (const auto wartet = platform::wartetInPoll(*pid)) return *wartet;
    return Uhr::now() - start > std::chrono::duration<double>(kNachlaufOhneSicht);
  });
}

}  // namespace vrd4::vrd4send
