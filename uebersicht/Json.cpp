#include "uebersicht/Json.h"

#include <cmath>
#include <cstdlib>

namespace vrd4::uebersicht {
namespace {

// The length of the UTF-8 sequence at t[i], or 0 when it is none (overlong
// forms, surrogates and code points past U+10FFFF are none).
std::size_t utf8Laenge(std::string_view t, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(t[i + k]); };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  uint32_t cp = 0;
  if (c >= 0xc2 && c <= 0xdf) n = 2, cp = c & 0x1f;
  else if (c >= 0xe0 && c <= 0xef) n = 3, cp = c & 0x0f;
  else if (c >= 0xf0 && c <= 0xf4) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > t.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3f);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
    return 0;
  return n;
}

void utf8Anhaengen(std::string& z, uint32_t cp) {
  if (cp < 0x80) {
    z += static_cast<char>(cp);
  } else if (cp < 0x800) {
    z += static_cast<char>(0xc0 | (cp >> 6));
    z += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    z += static_cast<char>(0xe0 | (cp >> 12));
    z += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    z += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    z += static_cast<char>(0xf0 | (cp >> 18));
    z += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
    z += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    z += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

struct Leser {
  std::string_view s;
  std::size_t i = 0;

  void leer() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  }
  bool zeichen(char c) {
    leer();
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
  std::optional<uint32_t> hex4() {
    if (i + 4 > s.size()) return std::nullopt;
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s[i++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
      else return std::nullopt;
    }
    return v;
  }
  std::optional<std::string> text() {
    if (!zeichen('"')) return std::nullopt;
    std::string t;
    while (i < s.size()) {
      const char c = s[i];
      if (c == '"') {
        ++i;
        return t;
      }
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        const std::size_t n = utf8Laenge(s, i);
        if (n == 0) return std::nullopt;
        t.append(s.substr(i, n));
        i += n;
        continue;
      }
      if (++i >= s.size()) return std::nullopt;
      switch (s[i++]) {
        case '"': t += '"'; break;
        case '\\': t += '\\'; break;
        case '/': t += '/'; break;
        case 'b': t += '\b'; break;
        case 'f': t += '\f'; break;
        case 'n': t += '\n'; break;
        case 'r': t += '\r'; break;
        case 't': t += '\t'; break;
        case 'u': {
          auto cp = hex4();
          if (!cp) return std::nullopt;
          if (*cp >= 0xdc00 && *cp <= 0xdfff) return std::nullopt;  // a low surrogate alone
          if (*cp >= 0xd800 && *cp <= 0xdbff) {
            if (i + 2 > s.size() || s[i] != '\\' || s[i + 1] != 'u') return std::nullopt;
            i += 2;
            const auto tief = hex4();
            if (!tief || *tief < 0xdc00 || *tief > 0xdfff) return std::nullopt;
            *cp = 0x10000 + ((*cp - 0xd800) << 10) + (*tief - 0xdc00);
          }
          utf8Anhaengen(t, *cp);
          break;
        }
        default: return std::nullopt;
      }
    }
    return std::nullopt;
  }
  std::optional<double> zahl() {
    const std::size_t a = i;
    if (i < s.size() && s[i] == '-') ++i;
    const auto ziffern = [&] {
      const std::size_t b = i;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
      return i - b;
    };
    const std::size_t vorn = i;
    const std::size_t n = ziffern();
    if (n == 0 || (n > 1 && s[vorn] == '0')) return std::nullopt;
    if (i < s.size() && s[i] == '.') {
      ++i;
      if (ziffern() == 0) return std::nullopt;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
      ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      if (ziffern() == 0) return std::nullopt;
    }
    const std::string z(s.substr(a, i - a));
    const double v = std::strtod(z.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
  }
  bool wort(std::string_view w) {
    if (s.substr(i, w.size()) != w) return false;
    i += w.size();
    return true;
  }
  std::optional<JsonWert> wert(int tiefe) {
    leer();
    if (i >= s.size()) return std::nullopt;
    const char c = s[i];
    if ((c == '{' || c == '[') && tiefe > kMaxTiefe) return std::nullopt;
    JsonWert w;
    if (c == '{') {
      ++i;
      auto o = std::make_shared<JsonObjekt>();
      if (!zeichen('}')) {
        do {
          auto name = text();
          if (!name || !zeichen(':')) return std::nullopt;
          auto v = wert(tiefe + 1);
          if (!v) return std::nullopt;
          o->emplace_back(std::move(*name), std::move(*v));
        } while (zeichen(','));
        if (!zeichen('}')) return std::nullopt;
      }
      w.wert = std::move(o);
    } else if (c == '[') {
      ++i;
      auto l = std::make_shared<JsonListe>();
      if (!zeichen(']')) {
        do {
          auto v = wert(tiefe + 1);
          if (!v) return std::nullopt;
          l->push_back(std::move(*v));
        } while (zeichen(','));
        if (!zeichen(']')) return std::nullopt;
      }
      w.wert = std::move(l);
    } else if (c == '"') {
      auto t = text();
      if (!t) return std::nullopt;
      w.wert = std::move(*t);
    } else if (c == 't' || c == 'f') {
      if (!wort(c == 't' ? "true" : "false")) return std::nullopt;
      w.wert = c == 't';
    } else if (c == 'n') {
      if (!wort("null")) return std::nullopt;
      w.wert = nullptr;
    } else {
      auto z = zahl();
      if (!z) return std::nullopt;
      w.wert = *z;
    }
    return w;
  }
};

}  // namespace

const JsonWert* JsonWert::feld(std::string_view name) const {
  const JsonObjekt* o = objekt();
  if (!o) return nullptr;
  const JsonWert* gefunden = nullptr;
  for (const auto& [n, w] : *o)
    if (n == name) gefunden = &w;
  return gefunden;
}

std::optional<JsonWert> jsonLesen(std::string_view text) {
  Leser l{text};
  auto w = l.wert(1);
  if (!w) return std::nullopt;
  l.leer();
  if (l.i != text.size()) return std::nullopt;
  return w;
}

void jsonText(std::string& z, std::string_view t) {
  static constexpr char kHex[] = "0123456789abcdef";
  z += '"';
  for (std::size_t i = 0; i < t.size();) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    const std::size_t n = utf8Laenge(t, i);
    if (n == 0) {
      z += "\\ufffd";
      ++i;
      continue;
    }
    if (n == 3 && c == 0xe2 && static_cast<unsigned char>(t[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(t[i + 2]) == 0xa8 || static_cast<unsigned char>(t[i + 2]) == 0xa9)) {
      z += static_cast<unsigned char>(t[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
    } else if (n > 1) {
      z.append(t.substr(i, n));
    } else if (c == '"' || c == '\\') {
      z += '\\';
      z += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7f) {
      z += "\\u00";
      z += kHex[c >> 4];
      z += kHex[c & 15];
    } else {
      z += static_cast<char>(c);
    }
    i += n;
  }
  z += '"';
}

std::string_view utf8Kuerzen(std::string_view t, std::size_t maxBytes) {
  if (t.size() <= maxBytes) return t;
  std::size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xc0) == 0x80) --n;
  return t.substr(0, n);
}

}  // namespace vrd4::uebersicht
