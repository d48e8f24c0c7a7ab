#pragma once
// The retained status of a board (and of the publisher) as JSON, e.g.
//   {"online":true,"version":"1.0.0","breite":768,"hoehe":480,
//    "lauf":"3f2a…","seq":1234,"zeit":"2026-12-06T20:41:07Z",
//    "kennung":"9c0d11e84b703f2a","doppelt":false,"fremde":0}
// seq: the last command drawn (a board) or published (the publisher) in the
// run lauf; kennung: the writing process's own random id; doppelt: the
// board sees another board of its name; fremde: messages of a stranger the
// publisher saw on its topics. Pure; std only.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vrd4::halle {

struct TafelStatus {
  bool online = false;
  std::string version;
  int breite = 0, hoehe = 0;
  std::string lauf;  // laufText of the run, empty before the first scene
  uint64_t seq = 0;
  std::string zeit;  // UTC, ISO 8601
  std::string kennung;  // 16 hex digits, one per process; empty from older writers
  bool doppelt = false;
  uint64_t fremde = 0;
};

// The status as of now: online, the board's size, run and seq, the time.
TafelStatus statusJetzt(bool online, std::string version, std::pair<int, int> groesse, uint64_t lauf, uint64_t seq);

// Longer payloads are not read; strings are cut to kMaxStatusText bytes.
inline constexpr std::size_t kMaxStatusBytes = 4096;
inline constexpr std::size_t kMaxStatusText = 64;

std::string statusSchreiben(const TafelStatus& s);
// A flat JSON object; unknown members are skipped, "online" is required,
// and a known member must have its type ("seq" a whole number >= 0, "lauf"
// empty or 16 hex digits, sizes >= 0). nullopt for anything else (nested
// values, bad syntax, over the bound): such a status is not a board's.
std::optional<TafelStatus> statusLesen(std::string_view json);

// Seconds since 1970 as "YYYY-MM-DDThh:mm:ssZ".
std::string zeitText(int64_t sekunden);

}  // namespace vrd4::halle
