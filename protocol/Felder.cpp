// Writing and reading single fields of a command text.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/Ansi.h"
#include "protocol/Befehl.h"
#include "protocol/FeldLesen.h"
#include "support/Numbers.h"

namespace vrd4::protocol {
namespace {

// A field's text in an error message: long texts (a whole picture in hex)
// would drown the message, so only the start is shown.
constexpr std::size_t kAnzeigeLaenge = 40;

std::string anzeige(std::u16string_view text) {
  if (text.size() <= kAnzeigeLaenge) return platform::toUtf8(text);
  return platform::toUtf8(text.substr(0, kAnzeigeLaenge)) + "…";
}

std::string ortText(const detail::FeldOrt& ort) {
  std::string s;
  if (!ort.befehl.empty()) s += "Befehl \"" + platform::toUtf8(ort.befehl) + "\": ";
  s += "Feld";
  if (ort.position >= 0) s += " " + std::to_string(ort.position);
  if (!ort.parameter.empty()) s += " (" + platform::toUtf8(ort.parameter) + ")";
  return s;
}

[[noreturn]] void fehler(std::u16string_view feld, const detail::FeldOrt& ort,
                         const std::string& was) {
  throw FeldFehler(std::u16string(ort.befehl), ort.position, std::u16string(feld),
                   ortText(ort) + " " + was + ": '" + anzeige(feld) + "'");
}

bool istBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view ohneBlanks(std::u16string_view s) {
  while (!s.empty() && istBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && istBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal number as the integer fields accept it, already rounded to a
// whole number (halves to even). Rounding is done on the digits, not through
// a double, so that "2.5000000001" is 3 and "32767.5" is 32768.
struct Ganzzahl {
  bool ok = false;
  bool negativ = false;
  bool zuGross = false;  // beyond every integer type we read into
  int64_t betrag = 0;
  bool nichtNull = false;  // any non-zero digit, fraction included
};

Ganzzahl leseDezimal(std::u16string_view text) {
  constexpr int64_t kGrenze = int64_t{1} << 40;
  Ganzzahl z;
  std::u16string_view s = ohneBlanks(text);
  std::size_t i = 0;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) z.negativ = s[i++] == u'-';
  std::size_t ziffern = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i, ++ziffern) {
    int d = s[i] - u'0';
    if (d != 0) z.nichtNull = true;
    if (!z.zuGross) {
      z.betrag = z.betrag * 10 + d;
      if (z.betrag > kGrenze) z.zuGross = true;
    }
  }
  int ersteNachkomma = 0;
  bool restNichtNull = false;
  if (i < s.size() && s[i] == u'.') {
    ++i;
    for (std::size_t k = 0; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i, ++k, ++ziffern) {
      int d = s[i] - u'0';
      if (d != 0) z.nichtNull = true;
      if (k == 0)
        ersteNachkomma = d;
      else if (d != 0)
        restNichtNull = true;
    }
  }
  if (ziffern == 0 || i != s.size()) return z;
  if (ersteNachkomma > 5 || (ersteNachkomma == 5 && (restNichtNull || (z.betrag & 1))))
    ++z.betrag;
  z.ok = true;
  return z;
}

template <typename T>
T leseGanz(std::u16string_view feld, const detail::FeldOrt& ort) {
  Ganzzahl z = leseDezimal(feld);
  constexpr int64_t lo = std::numeric_limits<T>::min();
  constexpr int64_t hi = std::numeric_limits<T>::max();
  if (z.ok && !z.zuGross) {
    int64_t v = z.negativ ? -z.betrag : z.betrag;
    if (v >= lo && v <= hi) return static_cast<T>(v);
  }
  fehler(feld, ort, "ist keine Zahl von " + std::to_string(lo) + " bis " + std::to_string(hi));
}

bool gleichOhneGross(std::u16string_view s, std::u16string_view wort) {
  if (s.size() != wort.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != wort[i]) return false;
  }
  return true;
}

std::u16string ausAscii(const char* p, const char* e) { return std::u16string(p, e); }

}  // namespace

namespace detail {

int16_t leseInt16(std::u16string_view feld, const FeldOrt& ort) { return leseGanz<int16_t>(feld, ort); }
int32_t leseInt32(std::u16string_view feld, const FeldOrt& ort) { return leseGanz<int32_t>(feld, ort); }
uint8_t leseByte(std::u16string_view feld, const FeldOrt& ort) { return leseGanz<uint8_t>(feld, ort); }

bool leseBool(std::u16string_view feld, const FeldOrt& ort) {
  std::u16string_view s = ohneBlanks(feld);
  if (gleichOhneGross(s, u"true")) return true;
  if (gleichOhneGross(s, u"false")) return false;
  Ganzzahl z = leseDezimal(feld);
  if (z.ok) return z.nichtNull;
  fehler(feld, ort, "ist kein Wahrheitswert (Zahl, True oder False)");
}

void feldFehlt(const FeldOrt& ort) {
  throw FeldFehler(std::u16string(ort.befehl), ort.position, std::u16string(), ortText(ort) + " fehlt");
}

}  // namespace detail

std::u16string schreibeBool(bool v) { return v ? u"-1" : u"0"; }

std::u16string schreibeGanzzahl(int64_t v) {
  std::array<char, 24> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return ausAscii(buf.data(), r.ptr);
}

std::u16string schreibeDouble(double v) {
  // A reader takes only the leading numeric part, and neither side knows
  // "nan", "inf" or a sign on zero.
  if (!std::isfinite(v) || v == 0.0) return u"0";
  // The shortest digits that read back exactly, then placed around the
  // decimal point by hand: fixed notation of to_chars would print the exact
  // binary value of large numbers (1e300 as 1000000000000000052504...).
  std::array<char, 32> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific);
  if (r.ec != std::errc()) return u"0";
  const std::string_view sci(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
  const std::size_t e = sci.find('e');
  std::string ziffern;
  for (char c : sci.substr(0, e))
    if (c >= '0' && c <= '9') ziffern.push_back(c);
  int exponent = 0;
  std::string_view ex = sci.substr(e + 1);
  if (!ex.empty() && ex.front() == '+') ex.remove_prefix(1);
  std::from_chars(ex.data(), ex.data() + ex.size(), exponent);
  // Digits before the decimal point; at most 309 for the largest double,
  // and -323 for the smallest.
  const int vorKomma = exponent + 1;
  const int n = static_cast<int>(ziffern.size());
  std::u16string out;
  out.reserve(static_cast<std::size_t>(std::abs(vorKomma)) + ziffern.size() + 3);
  if (v < 0) out.push_back(u'-');
  if (vorKomma <= 0) {
    out += u"0.";
    out.append(static_cast<std::size_t>(-vorKomma), u'0');
    out.append(ziffern.begin(), ziffern.end());
  } else if (vorKomma >= n) {
    out.append(ziffern.begin(), ziffern.end());
    out.append(static_cast<std::size_t>(vorKomma - n), u'0');
  } else {
    out.append(ziffern.begin(), ziffern.begin() + vorKomma);
    out.push_back(u'.');
    out.append(ziffern.begin() + vorKomma, ziffern.end());
  }
  return out;
}

std::u16string schreibeWert(const Wert& v) {
  struct Schreiber {
    std::u16string operator()(int16_t x) const { return schreibeGanzzahl(x); }
    std::u16string operator()(int32_t x) const { return schreibeGanzzahl(x); }
    std::u16string operator()(uint8_t x) const { return schreibeGanzzahl(x); }
    std::u16string operator()(bool x) const { return schreibeBool(x); }
    std::u16string operator()(double x) const { return schreibeDouble(x); }
    std::u16string operator()(const std::u16string& x) const { return x; }
  };
  return std::visit(Schreiber{}, v);
}

int16_t leseInt16(std::u16string_view feld, std::u16string_view befehl, int position) {
  return detail::leseInt16(feld, {befehl, position, {}});
}
int32_t leseInt32(std::u16string_view feld, std::u16string_view befehl, int position) {
  return detail::leseInt32(feld, {befehl, position, {}});
}
uint8_t leseByte(std::u16string_view feld, std::u16string_view befehl, int position) {
  return detail::leseByte(feld, {befehl, position, {}});
}
bool leseBool(std::u16string_view feld, std::u16string_view befehl, int position) {
  return detail::leseBool(feld, {befehl, position, {}});
}
double leseDouble(std::u16string_view feld) { return leadingNumber(feld); }

}  // namespace vrd4::protocol
