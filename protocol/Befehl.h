#pragma once
// The command text: fields joined by ESC (U+001B); field 0 "Befehl", field 1
// the command name, then the parameters. The same text travels through the
// shared-memory ring and, one per line, over TCP. Building and parsing are
// pure functions; running a command is the engine's business.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vrd4::protocol {

inline constexpr char16_t ESC = u'\x1b';
inline constexpr std::u16string_view kBefehl = u"Befehl";

enum class FeldTyp { Int16, Int32, Byte, Bool, Double, Text };

struct Parameter {
  std::u16string_view name;  // e.g. u"Xstart"
  FeldTyp typ;
};

// One row of the command table.
struct BefehlsSpec {
  std::u16string_view name;             // field 1, compared case-sensitively
  std::vector<Parameter> parameter;     // fields 2.. in order
  bool leeresEndfeld = false;           // the sender's text ends with one more, empty field
  // Number of fields a built command has: 2 + parameters (+1 for the empty end field).
  int feldanzahl() const { return 2 + static_cast<int>(parameter.size()) + (leeresEndfeld ? 1 : 0); }
};

// All commands in the receiver's dispatch order (Textausgabe, Cls, Linie, …).
const std::vector<BefehlsSpec>& befehlstabelle();
// Exact, case-sensitive lookup; nullptr for an unknown name.
const BefehlsSpec* findeBefehl(std::u16string_view name);

using Wert = std::variant<int16_t, int32_t, uint8_t, bool, double, std::u16string>;

// A field that does not convert to its type: letters in a number field, a
// number outside the type's range, or a missing field. what() is a German
// description naming the command, the field position and its text, e.g.
// "Feld 3 (Xstart) ist keine Zahl von -32768 bis 32767: 'abc'".
class FeldFehler : public std::runtime_error {
 public:
  FeldFehler(std::u16string befehl, int position, std::u16string text, const std::string& what)
      : std::runtime_error(what), befehl_(std::move(befehl)), position_(position), text_(std::move(text)) {}
  const std::u16string& befehl() const { return befehl_; }
  int position() const { return position_; }
  const std::u16string& text() const { return text_; }

 private:
  std::u16string befehl_;
  int position_;
  std::u16string text_;
};

// True when the first six characters are "Befehl".
bool istBefehl(std::u16string_view text);
// Splits at every ESC; "" gives one empty field.
std::vector<std::u16string> zerlegen(std::u16string_view text);
std::u16string zusammenfuegen(std::span<const std::u16string> felder);

// Field writers: "-1"/"0"; decimal without blanks; "." as decimal point,
// shortest form that reads back exactly, no exponent ("0.5", "2", "-0.04").
std::u16string schreibeBool(bool v);
std::u16string schreibeGanzzahl(int64_t v);
std::u16string schreibeDouble(double v);
std::u16string schreibeWert(const Wert& v);

// Field readers; befehl/position only name the field in the error.
// Int16/Int32/Byte: optional blanks, optional sign, digits, optional "."
// fraction (rounded halves to even); anything else, or out of range, throws.
// Bool: a number as above (0 false, any other true), or "True"/"False" in any
// case; anything else throws. Double: the leading numeric part, never throws.
int16_t leseInt16(std::u16string_view feld, std::u16string_view befehl = {}, int position = -1);
int32_t leseInt32(std::u16string_view feld, std::u16string_view befehl = {}, int position = -1);
uint8_t leseByte(std::u16string_view feld, std::u16string_view befehl = {}, int position = -1);
bool leseBool(std::u16string_view feld, std::u16string_view befehl = {}, int position = -1);
double leseDouble(std::u16string_view feld);

// A parsed command: its table row and its parameters converted to the row's
// types (fields beyond the row are ignored).
struct Befehl {
  const BefehlsSpec* spec = nullptr;
  std::vector<Wert> werte;
  template <typename T> const T& get(std::size_t i) const { return std::get<T>(werte.at(i)); }
};

// Converts fields (as from zerlegen) for spec. Throws FeldFehler for a field
// that does not convert or is missing.
// FeldFehler::position() counts from 0 ("Befehl" is field 0, the first
// parameter field 2).
Befehl konvertieren(const BefehlsSpec& spec, std::span<const std::u16string> felder);

// Builds the text of a command with typed parameters (exactly the row's
// count and types, else std::invalid_argument). Unknown name: invalid_argument.
// A Text parameter holding ESC would shift every later field: also
// invalid_argument.
std::u16string bauen(std::u16string_view name, std::span<const Wert> parameter);

// The forwarded form of a picture command ("BildAnzeigen",
// "BildAnzeigenanPosition", "AniGifLadenanPosition"): the received fields up
// to the last parameter, then the file content as upper-case hex, then empty
// fields up to 14 in all.
std::u16string weiterleitungsform(std::span<const std::u16string> felder,
                                  std::span<const uint8_t> dateiinhalt);

}  // namespace vrd4::protocol
