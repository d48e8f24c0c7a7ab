#include <algorithm>
#include <cctype>

#include "engine/EmpfaengerImpl.h"
#include "platform/Process.h"

namespace vrd4::engine {

bool istPelmorPlayerName(const std::string& exeName) {
  if (platform::exeNameMatches(exeName, "PELMOR PLAYER.EXE")) return true;
  static constexpr std::string_view kNativ = "PELMOR PLAYER";
  return exeName.size() == kNativ.size() &&
         std::equal(exeName.begin(), exeName.end(), kNativ.begin(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == b;
         });
}

bool clsVRD4Empfaenger::VRD4PelmorPlayerAktiv() {
  const std::vector<platform::ProcessEntry> liste = platform::processList();
  return std::any_of(liste.begin(), liste.end(),
                     [](const platform::ProcessEntry& p) { return istPelmorPlayerName(p.exeName); });
}

}  // namespace vrd4::engine
