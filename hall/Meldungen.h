#pragma once
// A board's last status lines, for the hall's overview: the latest entries
// of its status list with the time each came, and the JSON they are
// published as on vrd4/HALLE[/tafel/NAME]/meldungen (docs/hall.md):
//   {"zeilen":[{"zeit":"2026-12-07T10:15:02.125+01:00","text":"…"}, …]}
// The status list itself is emptied every few entries; this keeps the last
// kZeilen whatever it shows. Qt Core; the owner's thread only.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace vrd4::halle {

class Meldungsverlauf {
 public:
  static constexpr std::size_t kZeilen = 20;
  // A text is kept to this many UTF-16 units and "…": an entry may hold a
  // whole command line with a picture's bytes in hex.
  static constexpr qsizetype kMaxZeichen = 200;

  struct Zeile {
    int64_t ms = 0;  // when it came, ms since the epoch (UTC)
    QString text;
  };

  void eintragen(const QString& text, int64_t msSeitEpoche);
  const std::deque<Zeile>& zeilen() const { return zeilen_; }
  // Called after every entry; whoever publishes the lines sets it.
  std::function<void()> geaendert;

 private:
  std::deque<Zeile> zeilen_;
};

// The JSON above, oldest first: zeit in local time with milliseconds and
// offset, text with control characters shown as their pictures (ESC as
// "␛"), as the history shows them. Never longer than kMaxMeldungenBytes
// (the oldest lines would go first; kZeilen lines of kMaxZeichen fit).
inline constexpr std::size_t kMaxMeldungenBytes = std::size_t{16} << 10;
std::string meldungenSchreiben(const std::deque<Meldungsverlauf::Zeile>& zeilen);

// ms since the epoch as local time, e.g. "2026-12-07T10:15:02.125+01:00"
// (the system's time zone, TZ).
std::string ortszeitText(int64_t msSeitEpoche);

}  // namespace vrd4::halle
