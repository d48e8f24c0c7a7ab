#pragma once
// Turns fuzzer bytes into a UTF-16 text. The first byte picks the reading:
// odd -> one Windows-1252 character per byte (ESC and digits come easily),
// even -> raw UTF-16LE code units (surrogates, characters above U+00FF).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Ansi.h"

namespace vrd4::fuzz {

inline std::u16string alsText(const uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  const uint8_t art = data[0];
  ++data;
  --size;
  if (art & 1) return platform::fromAnsi({reinterpret_cast<const char*>(data), size});
  std::u16string t(size / 2, u'\0');
  for (std::size_t i = 0; i < t.size(); ++i)
    t[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return t;
}

// Stops the fuzzer on a broken invariant even in a build without asserts.
inline void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}

}  // namespace vrd4::fuzz
