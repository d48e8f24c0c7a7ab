#pragma once
// Helpers for writing command texts in tests.
#include <cctype>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Ansi.h"
#include "protocol/Befehl.h"

namespace vrd4::protocol::test {

inline std::vector<std::u16string> felder(std::initializer_list<std::u16string> f) { return f; }

inline std::u16string text(std::initializer_list<std::u16string> f) {
  std::vector<std::u16string> v(f);
  return zusammenfuegen(v);
}

inline std::string utf8(std::u16string_view s) { return platform::toUtf8(s); }

// A test-name-safe form of a command name ("Server starten" -> "Server_starten").
inline std::string bezeichner(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out.push_back((c < 128 && std::isalnum(static_cast<int>(c))) ? static_cast<char>(c) : '_');
  return out;
}

}  // namespace vrd4::protocol::test
