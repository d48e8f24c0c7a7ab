#pragma once
// What tests of every folder need: a command as a sending program writes it,
// a wait for what another process or thread does, and the removal of the
// channel files a test made under its name prefix.
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>

namespace vrd4::test {

// "Befehl" ESC name ESC fields…
inline std::u16string befehl(std::initializer_list<std::u16string> teile) {
  std::u16string s = u"Befehl";
  for (const auto& t : teile) s += u'\x1b' + t;
  return s;
}

// Polls until the condition holds; the limit only guards against a hang.
template <typename F>
bool warteBis(F bedingung, double sekunden = 15) {
  const auto ende = std::chrono::steady_clock::now() + std::chrono::duration<double>(sekunden);
  while (!bedingung() && std::chrono::steady_clock::now() < ende)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return bedingung();
}

inline void kanalDateienEntfernen(const std::string& praefix) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
    if (e.path().filename().string().starts_with(praefix)) std::filesystem::remove(e.path(), ec);
}

}  // namespace vrd4::test
