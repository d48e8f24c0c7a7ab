#pragma once
// Where a hall lives: mqtt://host[:port]/HALLE for the publisher,
// mqtt://host[:port]/HALLE/NAME for a board; mqtts:// for TLS. And the
// topics of a hall (docs/hall.md). Pure; std only.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vrd4::halle {

struct HallenAdresse {
  bool tls = false;
  std::string host;     // name, IPv4 or IPv6 (without the brackets)
  uint16_t port = 0;    // 1883 / 8883 unless given
  std::string halle;
  std::string tafel;    // empty: the publisher's address
};

// Hall and board names: 1..64 of A-Z a-z 0-9 _ -.
inline constexpr std::size_t kMaxNamenslaenge = 64;
bool gueltigerName(std::string_view name);

// A parsed address, or a German message saying what is wrong.
// mitTafel: the address must (true) or must not (false) name a board.
std::variant<HallenAdresse, std::string> adresseLesen(std::string_view url, bool mitTafel);

// The topics of a hall.
std::string befehleTopic(const std::string& halle);   // vrd4/HALLE/befehle
std::string szeneTopic(const std::string& halle);     // vrd4/HALLE/szene
std::string quelleTopic(const std::string& halle);    // vrd4/HALLE/status (the publisher)
std::string tafelTopic(const std::string& halle, const std::string& tafel);  // vrd4/HALLE/tafel/NAME/status
std::string alleTafelnTopic(const std::string& halle);  // vrd4/HALLE/tafel/+/status
// "Last seen": the status as of the last thing drawn (published), kept
// beside the status, which the broker's last will overwrites.
std::string quelleZuletztTopic(const std::string& halle);                          // vrd4/HALLE/zuletzt
std::string tafelZuletztTopic(const std::string& halle, const std::string& tafel);  // vrd4/HALLE/tafel/NAME/zuletzt
std::string alleZuletztTopic(const std::string& halle);                            // vrd4/HALLE/tafel/+/zuletzt
// What the overview shows of a board: its thumbnail and its last status
// lines; the publisher's own with an empty NAME.
std::string bildTopic(const std::string& halle, const std::string& tafel);       // vrd4/HALLE[/tafel/NAME]/bild
std::string meldungenTopic(const std::string& halle, const std::string& tafel);  // vrd4/HALLE[/tafel/NAME]/meldungen
// Every retained topic of board NAME (status, zuletzt and the overview's
// bild and meldungen): what retiring the board clears.
std::vector<std::string> tafelTopics(const std::string& halle, const std::string& tafel);
// The board's name in a topic vrd4/HALLE/tafel/NAME/<blatt>; empty when it
// is none.
std::string tafelAusTopic(const std::string& halle, std::string_view topic, std::string_view blatt = "status");

}  // namespace vrd4::halle
