#pragma once
// The command text: fields joined by ESC (U+001B); field 0 "Befehl", field 1
// the command name, then the parameters. The same text travels through the
// shared-memory ring and, one per line, over TCP. Building and parsing are
// pure functions; running a command is the engine's business. What each
// command is (its fields, rectangle, picture, effect slot, reply) is
// described once in Befehlstabelle.h.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/Befehlstabelle.h"

namespace vrd4::protocol {

inline constexpr char16_t ESC = u'\x1b';
inline constexpr std::u16string_view kBefehl = u"Befehl";

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

// The longest command text, in characters: what a ring slot holds. The same
// bound holds for commands from every way in (the TCP server, the hall); the
// file content a forwarded picture command carries does not count.
inline constexpr std::size_t kMaxBefehlstextZeichen = 32100;
// The characters of a split command (fields 0.. as from zerlegen) joined by
// ESC, without the content field of a forwarded picture command.
std::size_t befehlstextLaenge(std::span<const std::u16string> felder);
// Thrown for a command longer than kMaxBefehlstextZeichen; what():
// "Befehl zu lang: <n> Zeichen, höchstens 32100".
class BefehlZuLang : public std::runtime_error {
 public:
  explicit BefehlZuLang(std::size_t zeichen);
};
// Throws BefehlZuLang when befehlstextLaenge(felder) is over the bound.
void befehlstextPruefen(std::span<const std::u16string> felder);

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
// types (fields beyond the row are ignored). Values by index into the row's
// parameters, best named: get<int16_t>(Felder(u"Linie")[u"Xstart"]).
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

// Writes a command's text field by field, each checked against its table
// row as it is added: a name not in the table, a field of the wrong kind or
// one too many, and too few at the end, are std::logic_error (a mistake in
// the calling code, not in data). Numbers are written as given, without the
// range check of the receiver's reading; texts unchanged. The row's empty
// end field is added by text().
class Befehlsbauer {
 public:
  explicit Befehlsbauer(std::u16string_view name);
  Befehlsbauer& ganz(int64_t v);  // Int16, Int32, Byte
  Befehlsbauer& janein(bool v);
  Befehlsbauer& zahl(double v);
  Befehlsbauer& text(std::u16string_view v);
  std::u16string text() const;
  const BefehlsSpec& spec() const { return *spec_; }

 private:
  bool naechsterIst(FeldTyp typ) const;
  Befehlsbauer& feld(bool passt, std::u16string_view feld);
  const BefehlsSpec* spec_;
  std::size_t anzahl_ = 0;
  std::u16string text_;
};

// The forwarded form of a picture command (a row with a Bild parameter):
// the received fields up to the last parameter, then the file content as
// upper-case hex (field spec.inhaltsfeld()), then empty fields up to 14 in
// all. std::invalid_argument for any other command.
inline constexpr std::size_t kWeiterleitungsfelder = 14;
std::u16string weiterleitungsform(std::span<const std::u16string> felder,
                                  std::span<const uint8_t> dateiinhalt);
// The text of a converted command as a forwarding client sends it: its
// values written back (schreibeWert), the row's empty end field, a picture
// command in the forwarded form with bildBytes.
std::u16string weiterleitungstext(const Befehl& b, std::span<const uint8_t> bildBytes = {});

// --- What a parsed command occupies on the board -------------------------
// Queries for whoever keeps track of what the board shows.

// Field rectangle: the two inclusive corners, 1-based board pixels, as given.
struct Rechteck {
  int16_t Xstart = 0, Ystart = 0, Xende = 0, YEnde = 0;
  friend bool operator==(const Rechteck&, const Rechteck&) = default;
};
// The rectangle the command draws into (rows with a Rechteck parameter:
// Textausgabe, Linie, Rechteck, Blinktext, Lauftext and the two positioned
// pictures); nullopt for the others (BildAnzeigen has no field of its own).
std::optional<Rechteck> feldRechteck(const Befehl& b);

// The effect slot a command takes, frees or controls.
struct EffektSlot {
  Effekt art = Effekt::Keiner;
  SlotWirkung wirkung = SlotWirkung::Keine;
  // The slot named by the command; 0 for Belegt (the receiver picks the
  // first free one and replies with its number).
  uint8_t nr = 0;
};
// nullopt for commands without an effect slot. Cls frees every slot of
// every kind (spec->leertTafel) and is not reported here.
std::optional<EffektSlot> effektSlot(const Befehl& b);

// True when `neu`, run after `frueher`, takes its place: a text effect of
// the same kind on exactly the same rectangle (the receiver deletes the
// older one), or any command after which the board starts afresh (Cls).
bool ersetzt(const Befehl& neu, const Befehl& frueher);

}  // namespace vrd4::protocol
