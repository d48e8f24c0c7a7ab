// A second process for the channel tests, driven line by line on stdin; one
// answer line per command on stdout:
//   anlegen | freigeben            create / release the set        -> ok
//   set NAME TEXT                  write (TEXT is the rest, UTF-8) -> ok
//   get NAME                       read                            -> =TEXT
//   lock | unlock                  take / give back VRD4Mutex      -> ok | busy
//   send TEXT                      one command as a sender: slot, then counter
// Variables come from the set when it exists, otherwise they are opened one by
// one and kept until the end.
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "channel/modVRD4Mutex.h"
#include "platform/Ansi.h"

using namespace vrd4::channel;
namespace set = vrd4::channel::modVRD4GlobaleVariablen;

namespace {

std::map<std::string, std::unique_ptr<ClsVRD4Memory>> g_einzeln;

ClsVRD4Memory& variable(const std::string& name) {
  if (set::angelegt()) {
    const auto& names = set::variableNames();
    for (int i = 0; i < set::kAnzahlSendetexte; ++i)
      if (names[i] == name) return set::Sendetexte(i);
    if (name == "clsVRD4LetzteGesendete") return set::clsVRD4LetzteGesendete();
    if (name == "clsVRD4LetzteGelesene") return set::clsVRD4LetzteGelesene();
    if (name == "clsVRD4Event") return set::clsVRD4Event();
    if (name == "clsVRD4EventFensterHandle") return set::clsVRD4EventFensterHandle();
    if (name == "clsVRD4ProgrammBeenden") return set::clsVRD4ProgrammBeenden();
    if (name == "clsVRD4AufrufFensterhandle") return set::clsVRD4AufrufFensterhandle();
  }
  auto& v = g_einzeln[name];
  if (!v) {
    v = std::make_unique<ClsVRD4Memory>();
    v->Initialize(name);
  }
  return *v;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--prefix") setChannelNamePrefix(argv[i + 1]);

  int schreibzeiger = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    const auto sp = line.find(' ');
    const std::string cmd = line.substr(0, sp);
    const std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
    if (cmd == "anlegen") {
      set::SpeichervariablenAnlegen();
      std::cout << "ok" << std::endl;
    } else if (cmd == "freigeben") {
      set::SpeichervariablenFreigeben();
      std::cout << "ok" << std::endl;
    } else if (cmd == "set") {
      const auto sp2 = rest.find(' ');
      const std::string text = sp2 == std::string::npos ? "" : rest.substr(sp2 + 1);
      variable(rest.substr(0, sp2)).SetMemory(vrd4::platform::fromUtf8(text));
      std::cout << "ok" << std::endl;
    } else if (cmd == "get") {
      std::cout << "=" << vrd4::platform::toUtf8(variable(rest).GetMemory()) << std::endl;
    } else if (cmd == "lock") {
      modVRD4Mutex::MutexAnlegen();
      std::cout << (modVRD4Mutex::MutexWarten(0) ? "ok" : "busy") << std::endl;
    } else if (cmd == "unlock") {
      std::cout << (modVRD4Mutex::MutexFreigeben() ? "ok" : "busy") << std::endl;
    } else if (cmd == "send") {
      set::Sendetexte(schreibzeiger).SetMemory(vrd4::platform::fromUtf8(rest));
      set::clsVRD4LetzteGesendete().SetMemory(
          vrd4::platform::fromUtf8(std::to_string(schreibzeiger)));
      schreibzeiger = (schreibzeiger + 1) % set::kAnzahlSendetexte;
      std::cout << "ok" << std::endl;
    } else {
      std::cout << "?" << std::endl;
    }
  }
  set::SpeichervariablenFreigeben();
  return 0;
}
