#pragma once
// vrd4send --halle URL --tafeln: the boards of a hall with their state and
// how far each is behind the publisher, from the retained status messages;
// --tafel-entfernen NAME: a retired board's retained topics cleared.
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "hall/TafelStatus.h"

namespace vrd4::vrd4send {

struct HallenZugang {
  std::string url, caDatei, zugangsDatei;
};

// Lists to `aus`; 0 when the broker answered, 2 for a bad address or
// file, 3 when the broker was not reached or refused us (the cause on
// standard error).
int tafelnAuflisten(const HallenZugang& z, std::FILE* aus);

// Clears board `name`'s retained topics (status, zuletzt, bild, meldungen),
// so that it is no longer listed. 0 when they are clear (or were), 1 when
// the board is online (it would come back: end it first), 2 for a bad
// address, name or file, 3 when the broker was not reached, refused us, or
// kept the status (no right to write it).
int tafelEntfernen(const HallenZugang& z, const std::string& name, std::FILE* aus);

// What the retained messages say of one writer: its status and its "last
// seen" (either may be missing).
struct Gesehen {
  std::optional<halle::TafelStatus> status, zuletzt;
};

// The listing itself: the publisher's line, then one line per board with a
// status that reads, sorted by name. A board that is offline shows what it
// last drew (zuletzt); one whose number is past the publisher's (while the
// publisher is online) is "ungültig", not level.
std::string tafelnListe(const Gesehen& quelle, const std::map<std::string, Gesehen>& tafeln);

}  // namespace vrd4::vrd4send
