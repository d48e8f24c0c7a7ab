#include "platform/ProzessZustand.h"

#include <fstream>
#include <sstream>
#include <string>

namespace vrd4::platform {

std::optional<unsigned long long> prozessStart(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string zeile;
  if (!std::getline(f, zeile)) return std::nullopt;
  // The name in parentheses may hold blanks and parentheses: the fields
  // after it begin behind the last ')', with field 3 (the state).
  const std::size_t klammer = zeile.rfind(')');
  if (klammer == std::string::npos) return std::nullopt;
  std::istringstream rest(zeile.substr(klammer + 1));
  std::string feld;
  for (int nr = 3; rest >> feld; ++nr) {
    if (nr == 22) {
      try {
        return std::stoull(feld);
      } catch (...) {
        return std::nullopt;
      }
    }
  }
  return std::nullopt;
}

bool aelter(pid_t a, pid_t b) {
  const auto sa = prozessStart(a), sb = prozessStart(b);
  if (!sa) return false;
  if (!sb) return true;
  return *sa != *sb ? *sa < *sb : a < b;
}

std::optional<bool> wartetInPoll(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/wchan");
  std::string ort;
  if (!std::getline(f, ort)) return std::nullopt;
  // "0": running, or hidden from us; a name: where it sleeps.
  if (ort.empty() || ort == "0") {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string zeile;
    if (!std::getline(stat, zeile)) return std::nullopt;
    const std::size_t k = zeile.rfind(')');
    // Running: not waiting. Asleep with no name: we may not see where.
    if (k != std::string::npos && k + 2 < zeile.size() && zeile[k + 2] == 'R') return false;
    return std::nullopt;
  }
  return ort.find("poll") != std::string::npos;
}

}  // namespace vrd4::platform
