#include "support/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vrd4 {

int16_t to16(int64_t v) {
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
    throw OverflowError();
  return static_cast<int16_t>(v);
}

int16_t sub16(int32_t a, int32_t b) { return to16(int64_t{a} - b); }
int16_t add16(int32_t a, int32_t b) { return to16(int64_t{a} + b); }

double roundHalfEven(double v) { return std::nearbyint(v); }  // FE_TONEAREST

int32_t roundToInt32(double v) {
  double r = roundHalfEven(v);
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
    throw OverflowError();
  return static_cast<int32_t>(r);
}

namespace {
template <typename Str>
double parseLeading(const Str& t) {
  std::size_t i = 0, n = t.size();
  while (i < n && (t[i] == ' ' || t[i] == '\t')) ++i;
  std::string s;
  if (i < n && (t[i] == '-' || t[i] == '+')) s.push_back(static_cast<char>(t[i++]));
  bool digits = false;
  while (i < n && t[i] >= '0' && t[i] <= '9') { s.push_back(static_cast<char>(t[i++])); digits = true; }
  if (i < n && t[i] == '.') {
    s.push_back('.');
    ++i;
    while (i < n && t[i] >= '0' && t[i] <= '9') { s.push_back(static_cast<char>(t[i++])); digits = true; }
  }
  if (!digits) return 0.0;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    std::size_t j = i + 1;
    std::string e = "e";
    if (j < n && (t[j] == '-' || t[j] == '+')) e.push_back(static_cast<char>(t[j++]));
    bool ed = false;
    while (j < n && t[j] >= '0' && t[j] <= '9' && e.size() < 8) { e.push_back(static_cast<char>(t[j++])); ed = true; }
    if (ed) s += e;
  }
  // from_chars, not strtod: the receiver's locale may use "," as decimal point.
  if (s[0] == '+') s.erase(0, 1);
  double v = 0.0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  if (res.ec != std::errc()) return 0.0;
  return std::isfinite(v) ? v : 0.0;
}
}  // namespace

double leadingNumber(std::u16string_view text) { return parseLeading(text); }
double leadingNumber(std::string_view text) { return parseLeading(text); }

int32_t leadingInt(std::u16string_view text) {
  double r = roundHalfEven(leadingNumber(text));
  if (r < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

}  // namespace vrd4
