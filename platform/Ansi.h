#pragma once
// Text encodings at the system's edges. Inside, texts are UTF-16 (the
// shared-memory layout) or QString. Outside:
//  - "ANSI" is Windows-1252 everywhere (files, TCP lines, window texts), so
//    that we interoperate with peers on other systems. A character that
//    Windows-1252 cannot hold becomes '?'. The five bytes that Windows-1252
//    leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) map to U+0081 … U+009D and
//    back, so that any byte sequence survives a round trip.
//  - UTF-8 for terminals and command lines. Invalid UTF-8 decodes to U+FFFD.
#include <string>
#include <string_view>

namespace vrd4::platform {

std::string toAnsi(std::u16string_view text);
std::u16string fromAnsi(std::string_view bytes);

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view bytes);

}  // namespace vrd4::platform
