// A PNG's signature and IHDR chunk with its CRC, for the tests of the
// thumbnail check: enough for pngPruefen, not a picture a browser shows.
#pragma once

#include <cstdint>
#include <string>

namespace vrd4::uebersicht::test {

inline uint32_t crc(const std::string& s) {
  uint32_t c = 0xffffffffu;
  for (const char b : s) {
    c ^= static_cast<unsigned char>(b);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xffffffffu;
}

inline void gross32(std::string& s, uint32_t v) {
  for (int k = 3; k >= 0; --k) s += static_cast<char>((v >> (8 * k)) & 0xff);
}

inline std::string pngKopf(uint32_t breite, uint32_t hoehe, int tiefe = 8, int farbe = 6) {
  std::string s("\x89PNG\r\n\x1a\n", 8);
  gross32(s, 13);
  std::string chunk = "IHDR";
  gross32(chunk, breite);
  gross32(chunk, hoehe);
  chunk += static_cast<char>(tiefe);
  chunk += static_cast<char>(farbe);
  chunk += std::string(3, '\0');
  s += chunk;
  gross32(s, crc(chunk));
  s += std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
  return s;
}

}  // namespace vrd4::uebersicht::test
