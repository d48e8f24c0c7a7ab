#pragma once
// The hex text encoding that carries picture bytes inside command texts.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vrd4::protocol {

// Two upper-case hex digits per byte, no separators; length = 2 × size.
std::u16string hexKodieren(std::span<const uint8_t> bytes);
// The same, appended to ziel (one allocation for a whole command text).
void hexAnhaengen(std::u16string& ziel, std::span<const uint8_t> bytes);
// A text: first to Windows-1252 bytes (one per character), then as above.
std::u16string hexKodierenText(std::u16string_view text);

// Thrown for a character that is not a hex digit.
class HexFehler : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Output length = input length / 2 rounded halves to even: an odd length 7
// gives 4 bytes, the last from the single final digit; length 5 gives 2 and
// the final digit is not used. Upper and lower case digits are accepted.
// Only the digits that are used are checked, so an unused final character
// of an odd-length input never fails.
std::vector<uint8_t> hexDekodieren(std::u16string_view hex);
// The same for digits as Windows-1252 bytes (a received line before it
// becomes text).
std::vector<uint8_t> hexDekodierenAnsi(std::string_view hex);
// The same, each byte taken as a Windows-1252 character.
std::u16string hexDekodierenText(std::u16string_view hex);

}  // namespace vrd4::protocol
