#include "hall/Nachricht.h"

#include <bit>
#include <charconv>
#include <chrono>
#include <fstream>
#include <cstring>

namespace vrd4::halle {
namespace {

constexpr std::string_view kKennung = "VRD4H1 ";

// Reads a decimal (or, with basis 16, hex) number up to `ende`, then skips
// that one character; nullopt when anything else is found.
std::optional<uint64_t> zahl(std::string_view& s, char ende, int basis = 10) {
  const std::size_t pos = s.find(ende);
  if (pos == std::string_view::npos || pos == 0 || pos > 20) return std::nullopt;
  uint64_t v = 0;
  const auto [p, fehler] = std::from_chars(s.data(), s.data() + pos, v, basis);
  if (fehler != std::errc() || p != s.data() + pos) return std::nullopt;
  s.remove_prefix(pos + 1);
  return v;
}

void kopf(std::string& z, std::size_t textlen, std::size_t bildlen) {
  z += std::to_string(textlen);
  z += ' ';
  z += std::to_string(bildlen);
  z += '\n';
}

// One record "<textlen> <bildlen>\n" text bild at the front of s.
std::optional<Eintrag> eintragLesen(std::string_view& s) {
  const auto textlen = zahl(s, ' ');
  if (!textlen) return std::nullopt;
  const auto bildlen = zahl(s, '\n');
  if (!bildlen || *textlen > kMaxTextBytes || *bildlen > kMaxBildBytes) return std::nullopt;
  if (s.size() < *textlen + *bildlen) return std::nullopt;
  Eintrag e;
  e.text.assign(s.substr(0, *textlen));
  const auto* b = reinterpret_cast<const uint8_t*>(s.data() + *textlen);
  e.bild.assign(b, b + *bildlen);
  s.remove_prefix(*textlen + *bildlen);
  return e;
}

// "VRD4H1 <art> <lauf> <seq> " at the front of s, of kind `art` ('B',
// 'S', or 0 for either); s is left at what follows.
struct Anfang {
  char art;
  uint64_t lauf, seq;
};
std::optional<Anfang> anfangLesen(std::string_view& s, char art) {
  if (!s.starts_with(kKennung)) return std::nullopt;
  s.remove_prefix(kKennung.size());
  if (s.size() < 2 || s[1] != ' ' || (art ? s[0] != art : s[0] != 'B' && s[0] != 'S')) return std::nullopt;
  const char gelesen = s[0];
  s.remove_prefix(2);
  const std::size_t leer = s.find(' ');
  if (leer == std::string_view::npos) return std::nullopt;
  const auto lauf = laufLesen(s.substr(0, leer));
  if (!lauf) return std::nullopt;
  s.remove_prefix(leer + 1);
  const auto seq = zahl(s, ' ');
  if (!seq) return std::nullopt;
  return Anfang{gelesen, *lauf, *seq};
}

}  // namespace

std::string laufText(uint64_t lauf) {
  char puffer[17] = {};
  auto [p, ec] = std::to_chars(puffer, puffer + 16, lauf, 16);
  std::string t(puffer, p);
  return std::string(16 - t.size(), '0') + t;
}

uint64_t neuerLauf() {
  uint64_t v = 0;
  std::ifstream f("/dev/urandom", std::ios::binary);
  if (!f.read(reinterpret_cast<char*>(&v), sizeof v) || v == 0)
    v = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) | 1u;
  return v;
}

std::string neueKennung() { return laufText(neuerLauf()); }

std::optional<uint64_t> laufLesen(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  uint64_t v = 0;
  const auto [p, fehler] = std::from_chars(text.data(), text.data() + 16, v, 16);
  if (fehler != std::errc() || p != text.data() + 16) return std::nullopt;
  return v;
}

std::string befehlSchreiben(uint64_t lauf, uint64_t seq, std::string_view text, std::span<const uint8_t> bild) {
  std::string z;
  z.reserve(64 + text.size() + bild.size());
  z += kKennung;
  z += "B ";
  z += laufText(lauf);
  z += ' ';
  z += std::to_string(seq);
  z += ' ';
  kopf(z, text.size(), bild.size());
  z += text;
  z.append(reinterpret_cast<const char*>(bild.data()), bild.size());
  return z;
}

std::optional<BefehlsNachricht> befehlLesen(std::string_view s) {
  if (s.size() > kMaxBefehlBytes) return std::nullopt;
  const std::string_view ganz = s;
  const auto anfang = anfangLesen(s, 'B');
  if (!anfang) return std::nullopt;
  auto e = eintragLesen(s);
  if (!e || !s.empty()) return std::nullopt;
  BefehlsNachricht n;
  n.lauf = anfang->lauf;
  n.seq = anfang->seq;
  n.pruefsumme = pruefsumme(ganz.substr(ganz.size() - e->text.size() - e->bild.size()));
  n.befehl = std::move(*e);
  return n;
}

std::string szeneSchreiben(uint64_t lauf, uint64_t seq, const std::vector<Eintrag>& befehle) {
  std::size_t groesse = 64;
  for (const auto& e : befehle) groesse += 24 + e.text.size() + e.bild.size();
  std::string z;
  z.reserve(groesse);
  z += kKennung;
  z += "S ";
  z += laufText(lauf);
  z += ' ';
  z += std::to_string(seq);
  z += ' ';
  z += std::to_string(befehle.size());
  z += '\n';
  for (const auto& e : befehle) {
    kopf(z, e.text.size(), e.bild.size());
    z += e.text;
    z.append(reinterpret_cast<const char*>(e.bild.data()), e.bild.size());
  }
  return z;
}

std::optional<SzenenNachricht> szeneLesen(std::string_view s) {
  if (s.size() > kMaxSzeneBytes) return std::nullopt;
  const auto anfang = anfangLesen(s, 'S');
  const auto anzahl = anfang ? zahl(s, '\n') : std::nullopt;
  if (!anzahl || *anzahl > kMaxSzeneBefehle) return std::nullopt;
  SzenenNachricht n;
  n.lauf = anfang->lauf;
  n.seq = anfang->seq;
  // Every record takes at least four bytes: no reservation beyond what the
  // payload can hold.
  n.befehle.reserve(std::min<std::size_t>(*anzahl, s.size() / 4));
  for (uint64_t i = 0; i < *anzahl; ++i) {
    auto e = eintragLesen(s);
    if (!e) return std::nullopt;
    n.befehle.push_back(std::move(*e));
  }
  if (!s.empty()) return std::nullopt;
  return n;
}

std::optional<Kopf> kopfLesen(std::string_view s) {
  const std::size_t laenge = s.size();
  const auto anfang = anfangLesen(s, 0);
  if (!anfang) return std::nullopt;
  // A command's record head "<textlen> <bildlen>\n", a scene's "<anzahl>\n".
  if (anfang->art == 'B' && !zahl(s, ' ')) return std::nullopt;
  if (!zahl(s, '\n')) return std::nullopt;
  return Kopf{.art = anfang->art, .lauf = anfang->lauf, .seq = anfang->seq, .inhalt = laenge - s.size()};
}

uint64_t pruefsumme(std::string_view b, uint64_t h) {
  // Eight bytes a step, each word multiplied in and rotated: every byte
  // moves every later bit.
  constexpr uint64_t k1 = 0x87C37B91114253D5u, k2 = 0x4CF5AD432745937Fu;
  std::size_t i = 0;
  for (; i + 8 <= b.size(); i += 8) {
    uint64_t w = 0;
    std::memcpy(&w, b.data() + i, 8);
    h ^= std::rotl(w * k1, 31) * k2;
    h = std::rotl(h, 27) * 5 + 0x52DCE729;
  }
  uint64_t rest = 0;
  if (b.size() > i) std::memcpy(&rest, b.data() + i, b.size() - i);
  h ^= std::rotl(rest * k1, 31) * k2 ^ b.size();
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  return h;
}

uint64_t inhaltsPruefsumme(std::string_view payload) {
  const auto k = kopfLesen(payload);
  return k ? pruefsumme(payload.substr(k->inhalt)) : 0;
}

}  // namespace vrd4::halle
