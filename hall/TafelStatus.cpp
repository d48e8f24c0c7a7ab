#include "hall/TafelStatus.h"

#include "hall/Nachricht.h"

#include <cctype>
#include <chrono>
#include <tuple>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace vrd4::halle {
namespace {

void textAnhaengen(std::string& z, std::string_view t) {
  z += '"';
  for (char c : t.substr(0, kMaxStatusText)) {
    if (c == '"' || c == '\\') {
      z += '\\';
      z += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      z += '?';
    } else {
      z += c;
    }
  }
  z += '"';
}

// A small reader of one flat JSON object.
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
  std::optional<std::string> text() {
    if (!zeichen('"')) return std::nullopt;
    std::string t;
    while (i < s.size()) {
      char c = s[i++];
      if (c == '"') return t;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c == '\\') {
        if (i >= s.size()) return std::nullopt;
        const char e = s[i++];
        switch (e) {
          case '"': case '\\': case '/': c = e; break;
          case 'b': case 'f': case 'n': case 'r': case 't': c = ' '; break;
          case 'u':
            if (i + 4 > s.size()) return std::nullopt;
            for (int k = 0; k < 4; ++k)
              if (!std::isxdigit(static_cast<unsigned char>(s[i + k]))) return std::nullopt;
            i += 4;
            c = '?';
            break;
          default: return std::nullopt;
        }
      }
      if (t.size() < kMaxStatusText) t += c;
    }
    return std::nullopt;
  }
  // A number's text (JSON syntax loosely: sign, digits, fraction, exponent).
  std::optional<std::string_view> zahl() {
    leer();
    const std::size_t a = i;
    while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '-' || s[i] == '+' ||
                            s[i] == '.' || s[i] == 'e' || s[i] == 'E'))
      ++i;
    if (i == a) return std::nullopt;
    return s.substr(a, i - a);
  }
  bool wort(std::string_view w) {
    leer();
    if (s.substr(i, w.size()) != w) return false;
    i += w.size();
    return true;
  }
};

template <typename T>
bool ganz(std::string_view z, T& ziel) {
  T v{};
  const auto [p, fehler] = std::from_chars(z.data(), z.data() + z.size(), v);
  if (fehler != std::errc() || p != z.data() + z.size()) return false;
  ziel = v;
  return true;
}

}  // namespace

std::string statusSchreiben(const TafelStatus& s) {
  std::string z = "{\"online\":";
  z += s.online ? "true" : "false";
  z += ",\"version\":";
  textAnhaengen(z, s.version);
  z += ",\"breite\":" + std::to_string(s.breite) + ",\"hoehe\":" + std::to_string(s.hoehe);
  z += ",\"lauf\":";
  textAnhaengen(z, s.lauf);
  z += ",\"seq\":" + std::to_string(s.seq) + ",\"zeit\":";
  textAnhaengen(z, s.zeit);
  z += ",\"kennung\":";
  textAnhaengen(z, s.kennung);
  z += ",\"doppelt\":";
  z += s.doppelt ? "true" : "false";
  z += ",\"fremde\":" + std::to_string(s.fremde);
  z += '}';
  return z;
}

std::optional<TafelStatus> statusLesen(std::string_view json) {
  if (json.size() > kMaxStatusBytes) return std::nullopt;
  Leser l{json};
  if (!l.zeichen('{')) return std::nullopt;
  TafelStatus st;
  bool online = false;
  if (!l.zeichen('}')) {
    do {
      const auto name = l.text();
      if (!name || !l.zeichen(':')) return std::nullopt;
      l.leer();
      if (l.i >= json.size()) return std::nullopt;
      const char c = json[l.i];
      // A known member of the wrong type makes the whole status unreadable.
      const bool istText = *name == "version" || *name == "lauf" || *name == "zeit" || *name == "kennung";
      const bool istWahr = *name == "online" || *name == "doppelt";
      const bool istZahl = *name == "breite" || *name == "hoehe" || *name == "seq" || *name == "fremde";
      if (c == '"') {
        auto t = l.text();
        if (!t || istWahr || istZahl) return std::nullopt;
        if (*name == "version") st.version = std::move(*t);
        else if (*name == "lauf") st.lauf = std::move(*t);
        else if (*name == "zeit") st.zeit = std::move(*t);
        else if (*name == "kennung") st.kennung = std::move(*t);
      } else if (c == 't' || c == 'f') {
        const bool wert = c == 't';
        if (!l.wort(wert ? "true" : "false") || istText || istZahl) return std::nullopt;
        if (*name == "online") {
          st.online = wert;
          online = true;
        } else if (*name == "doppelt") {
          st.doppelt = wert;
        }
      } else if (c == 'n') {
        if (!l.wort("null") || istText || istWahr || istZahl) return std::nullopt;
      } else {
        const auto z = l.zahl();
        if (!z || istText || istWahr) return std::nullopt;
        bool ok = true;
        if (*name == "breite") ok = ganz(*z, st.breite) && st.breite >= 0;
        else if (*name == "hoehe") ok = ganz(*z, st.hoehe) && st.hoehe >= 0;
        else if (*name == "seq") ok = ganz(*z, st.seq);
        else if (*name == "fremde") ok = ganz(*z, st.fremde);
        if (!ok) return std::nullopt;
      }
    } while (l.zeichen(','));
    if (!l.zeichen('}')) return std::nullopt;
  }
  l.leer();
  if (l.i != json.size() || !online) return std::nullopt;
  if (!st.lauf.empty() && !laufLesen(st.lauf)) return std::nullopt;
  return st;
}

TafelStatus statusJetzt(bool online, std::string version, std::pair<int, int> groesse, uint64_t lauf, uint64_t seq) {
  TafelStatus s;
  s.online = online;
  s.version = std::move(version);
  std::tie(s.breite, s.hoehe) = groesse;
  s.lauf = lauf ? laufText(lauf) : std::string();
  s.seq = seq;
  s.zeit = zeitText(std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count());
  return s;
}

std::string zeitText(int64_t sekunden) {
  const std::time_t t = static_cast<std::time_t>(sekunden);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char puffer[32];
  std::strftime(puffer, sizeof puffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return puffer;
}

}  // namespace vrd4::halle
