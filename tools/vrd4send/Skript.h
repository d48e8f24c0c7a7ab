#pragma once
// One line of a vrd4send script: an operation name and its parameters,
// separated by blanks; "…" around a parameter that holds blanks or "#" (""
// inside stands for one "); "#" outside quotes starts a comment.
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Operationen.h"

namespace vrd4::vrd4send {

// The longest line read; a longer one is reported and skipped.
inline constexpr std::size_t kMaxZeilenlaenge = 128 * 1024;

// The words of a line. On a quoting error, nullopt and a German message.
std::optional<std::vector<std::string>> woerter(std::string_view zeile, std::string& fehler);

// One parameter text converted to its type. Whole numbers in decimal; Int32
// (colours) also as hex "&HBBGGRR" or "0xBBGGRR" (up to 8 digits, taken as
// the 32 bits of the value); Bool as a number (0 false, others true) or
// True/False/Wahr/Falsch in any case; Double with "." as decimal point.
std::optional<Wert> wertLesen(std::string_view text, Typ typ, std::string& fehler);

// A parsed line; op is nullptr for an empty or comment-only line.
struct Aufruf {
  const Operation* op = nullptr;
  std::vector<Wert> werte;
};
// Either the call or a German message saying what is wrong.
std::variant<Aufruf, std::string> zeileLesen(std::string_view zeile);

// The help text: usage and every operation with its parameters.
std::string hilfe();

}  // namespace vrd4::vrd4send
