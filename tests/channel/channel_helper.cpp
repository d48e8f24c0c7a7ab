// A second process for the channel tests, driven line by line on stdin; one
// answer line per command on stdout:
//   anlegen         create the set                       -> ok
//   set NAME TEXT   write one variable (TEXT is UTF-8)   -> ok
//   get NAME        read one variable                    -> =TEXT
// Variables are opened one by one by name and kept until the end.
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"

using namespace vrd4::channel;

int main(int argc, char** argv) {
  if (argc == 3) setChannelNamePrefix(argv[2]);  // --prefix P
  std::map<std::string, ClsVRD4Memory> variables;
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream in(line);
    std::string command, name, text, answer = "ok";
    in >> command >> name;
    std::getline(in >> std::ws, text);
    if (command == "anlegen") {
      modVRD4GlobaleVariablen::SpeichervariablenAnlegen();
    } else {
      ClsVRD4Memory& v = variables[name];
      if (!v.mapped()) v.Initialize(name);
      if (command == "set") v.SetMemory(vrd4::platform::fromUtf8(text));
      if (command == "get") answer = "=" + vrd4::platform::toUtf8(v.GetMemory());
    }
    std::cout << answer << std::endl;
  }
}
