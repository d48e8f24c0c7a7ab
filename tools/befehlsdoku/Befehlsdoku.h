#pragma once
// The command tables of docs/protocol.md and docs/network.md, made from the
// command table (protocol/Befehlstabelle.h). Each stands in its page between
// the lines "<!-- table NAME: made from protocol/Befehlstabelle.h …" and
// "<!-- end of table NAME -->".
#include <optional>
#include <string>
#include <vector>

namespace vrd4::tools {

struct Doktafel {
  std::string datei;   // the page, from the source folder: "docs/protocol.md"
  std::string name;    // as in its markers
  std::string inhalt;  // the Markdown table, ending in a line break
};
std::vector<Doktafel> doktafeln();

// The page with t's table put between its markers; nullopt when the page
// lacks them.
std::optional<std::string> eingesetzt(const std::string& seite, const Doktafel& t);

}  // namespace vrd4::tools
