#include "hall/Meldungen.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>

namespace vrd4::halle {

void Meldungsverlauf::eintragen(const QString& text, int64_t msSeitEpoche) {
  Zeile z{msSeitEpoche, text};
  if (text.size() > kMaxZeichen) {
    // Not between the halves of a surrogate pair.
    const qsizetype n = text[kMaxZeichen - 1].isHighSurrogate() ? kMaxZeichen - 1 : kMaxZeichen;
    z.text = text.left(n) + QChar(0x2026);
  }
  if (zeilen_.size() >= kZeilen) zeilen_.pop_front();
  zeilen_.push_back(std::move(z));
  if (geaendert) geaendert();
}

std::string ortszeitText(int64_t msSeitEpoche) {
  int64_t ms = msSeitEpoche % 1000;
  int64_t s = msSeitEpoche / 1000;
  if (ms < 0) {
    ms += 1000;
    --s;
  }
  const std::time_t t = static_cast<std::time_t>(s);
  std::tm tm{};
  localtime_r(&t, &tm);
  const int versatz = static_cast<int>(tm.tm_gmtoff / 60);  // minutes east of UTC
  const int betrag = std::abs(versatz) % (100 * 60);
  char puffer[96];
  std::snprintf(puffer, sizeof puffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms),
                versatz < 0 ? '-' : '+', betrag / 60, betrag % 60);
  return puffer;
}

namespace {

// The text as a JSON string's inside: control characters as their pictures
// (U+2400 + c, DEL as U+2421), quote and backslash escaped; a lone surrogate
// becomes U+FFFD (the reader wants UTF-8).
void textAnhaengen(std::string& z, const QString& text) {
  QString t;
  t.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const char16_t u = c.unicode();
    if (u < 0x20) t += QChar(char16_t(0x2400 + u));
    else if (u == 0x7F) t += QChar(char16_t(0x2421));
    else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      t += c;
      t += text[++i];
    } else if (c.isSurrogate()) t += QChar(QChar::ReplacementCharacter);
    else t += c;
  }
  for (const char b : t.toStdString()) {
    if (b == '"' || b == '\\') z += '\\';
    z += b;
  }
}

}  // namespace

std::string meldungenSchreiben(const std::deque<Meldungsverlauf::Zeile>& zeilen) {
  std::vector<std::string> teile;
  teile.reserve(zeilen.size());
  for (const auto& zeile : zeilen) {
    std::string t = R"({"zeit":")" + ortszeitText(zeile.ms) + R"(","text":")";
    textAnhaengen(t, zeile.text);
    t += "\"}";
    teile.push_back(std::move(t));
  }
  const auto laenge = [&](std::size_t ab) {
    return std::accumulate(teile.begin() + std::ptrdiff_t(ab), teile.end(), std::size_t{13},
                           [](std::size_t n, const std::string& t) { return n + t.size() + 1; });
  };
  std::size_t ab = 0;
  while (ab < teile.size() && laenge(ab) > kMaxMeldungenBytes) ++ab;
  std::string z = R"({"zeilen":[)";
  for (std::size_t i = ab; i < teile.size(); ++i) {
    if (i > ab) z += ',';
    z += teile[i];
  }
  z += "]}";
  return z;
}

}  // namespace vrd4::halle
