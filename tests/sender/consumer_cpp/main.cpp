// Drives a sender on a channel of its own and prints "ok" when the command
// and an event went through.
#include <unistd.h>

#include <cstdio>
#include <string>

#include <vrd4/clsVRD4Sender.h>

int main() {
  using vrd4::sender::clsVRD4Sender;
  clsVRD4Sender::setKanalPrefix("t_verbraucher_cpp_" + std::to_string(::getpid()) + "_");
  clsVRD4Sender tafel;
  tafel.setEmpfaengerWeiterlaufen(true);
  tafel.setLaeuftPruefung([] { return true; });
  if (!tafel.BefehlSenden(u"Befehl\x1b" u"Cls")) return 1;
  tafel.Event_Ausloesen(u"Test", u"ok");
  if (tafel.EreignisAbholen() != u"Test;ok") return 2;
  std::puts("ok");
  return 0;
}
