#pragma once
// The payloads a board publishes for the overview beside its status
// (docs/hall.md, "The overview"): its thumbnail as PNG and its last status
// lines as JSON. Both are untrusted: what is oversize or does not read is
// refused whole. Pure; std only.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vrd4::uebersicht {

// A thumbnail: at most 64 KiB, a PNG whose first chunk is a well-formed
// IHDR (length 13, CRC right, bit depth and colour type a valid pair) of
// 1..1024 x 1..1024 pixels. Only the header is looked at: the browser
// decodes the rest, and a broken body shows as a broken picture, nothing worse.
inline constexpr std::size_t kMaxBildBytes = std::size_t{64} << 10;
inline constexpr int kMaxBildSeite = 1024;

struct BildMass {
  int breite = 0, hoehe = 0;
};
std::optional<BildMass> pngPruefen(std::string_view png);

// Status lines: {"zeilen":[{"zeit":"…","text":"…"}, …]}, at most 16 KiB,
// oldest first. Unknown members are skipped; a line without a string text is
// refused with the whole payload. Of more than kMaxZeilen lines the last are
// kept; a zeit over kMaxZeitBytes is cut.
inline constexpr std::size_t kMaxMeldungenBytes = std::size_t{16} << 10;
inline constexpr std::size_t kMaxZeilen = 20;
inline constexpr std::size_t kMaxZeitBytes = 40;

struct Meldung {
  std::string zeit, text;
};
std::optional<std::vector<Meldung>> meldungenLesen(std::string_view json);

}  // namespace vrd4::uebersicht
