#include <iostream>
#include <string>
#include <vector>

#include "Vrd4Shm.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vrd4::tools::runVrd4Shm(args, std::cout, std::cerr);
}
