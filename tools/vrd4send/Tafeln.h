#pragma once
// vrd4send --halle URL --tafeln: the boards of a hall with their state and
// how far each is behind the publisher, from the retained status messages.
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
// file, 3 when the broker was not reached or refused us.
int tafelnAuflisten(const HallenZugang& z, std::FILE* aus);

// The listing itself: one line per board, sorted by name.
std::string tafelnListe(const std::optional<halle::TafelStatus>& quelle,
                        const std::map<std::string, halle::TafelStatus>& tafeln);

}  // namespace vrd4::vrd4send
