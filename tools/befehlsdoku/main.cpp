// befehlsdoku [--schreiben] QUELLORDNER: tells which command tables of the
// docs differ from the command table (exit 1), or writes them.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "Befehlsdoku.h"

int main(int argc, char** argv) {
  const bool schreiben = argc == 3 && std::string(argv[1]) == "--schreiben";
  if (argc != 2 && !schreiben) {
    std::cerr << "Aufruf: befehlsdoku [--schreiben] QUELLORDNER\n";
    return 2;
  }
  int veraltet = 0;
  for (const auto& t : vrd4::tools::doktafeln()) {
    const std::string pfad = std::string(argv[argc - 1]) + "/" + t.datei;
    std::stringstream alt;
    alt << std::ifstream(pfad).rdbuf();
    const auto neu = vrd4::tools::eingesetzt(alt.str(), t);
    if (!neu) {
      std::cerr << "befehlsdoku: " << pfad << " hat keine Marken der Tabelle " << t.name << "\n";
      return 2;
    }
    if (*neu == alt.str()) continue;
    if (schreiben) std::ofstream(pfad) << *neu;
    else std::cerr << "befehlsdoku: Tabelle " << t.name << " in " << pfad << " ist veraltet\n";
    veraltet += !schreiben;
  }
  return veraltet ? 1 : 0;
}
