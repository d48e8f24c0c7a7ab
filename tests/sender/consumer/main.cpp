// Drives a sender on a channel of its own; succeeds when a command went
// through.
#include <unistd.h>

#include <vrd4/clsVRD4Sender.h>

int main() {
  vrd4::sender::clsVRD4Sender::setKanalPrefix("t_verbraucher_cpp_" + std::to_string(::getpid()) + "_");
  vrd4::sender::clsVRD4Sender tafel;
  tafel.setEmpfaengerWeiterlaufen(true);
  tafel.setLaeuftPruefung([] { return true; });
  return tafel.BefehlSenden(u"Befehl\x1b" u"Cls") ? 0 : 1;
}
