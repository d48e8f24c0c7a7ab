#pragma once
// Number rules shared by every layer: the 16-bit arithmetic of command
// coordinates (an overflow is an error, never a wrap), rounding halves to the
// even neighbour, and reading the leading numeric part of a text.
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace vrd4 {

// Thrown when 16-bit (or other fixed-width) arithmetic leaves its range.
// what() is the German description shown to the operator.
class OverflowError : public std::overflow_error {
 public:
  OverflowError() : std::overflow_error("Überlauf") {}
};

// a - b, a + b, a * b in 16-bit signed arithmetic; throws OverflowError.
int16_t sub16(int32_t a, int32_t b);
int16_t add16(int32_t a, int32_t b);
// Narrowing to 16 bits; throws OverflowError when out of range.
int16_t to16(int64_t v);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double v);
// roundHalfEven, then narrowed; throws OverflowError when out of range.
int32_t roundToInt32(double v);

// The leading numeric part of a text, as a reader of the channel's values
// takes it: leading blanks skipped, optional sign, digits, optional "."
// fraction, optional exponent; parsing stops at the first other character;
// no digits at all (the empty text too) is 0. Never throws.
double leadingNumber(std::u16string_view text);
double leadingNumber(std::string_view text);

// leadingNumber narrowed to int32 (rounded halves to even, clamped to range).
int32_t leadingInt(std::u16string_view text);

}  // namespace vrd4
