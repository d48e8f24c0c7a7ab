#pragma once
// Where a hall lives: mqtt://host[:port]/HALLE for the publisher,
// mqtt://host[:port]/HALLE/NAME for a board; mqtts:// for TLS. And the
// topics of a hall (docs/hall.md). Pure; std only.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

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
// The board's name in a status topic of the hall; empty when it is none.
std::string tafelAusTopic(const std::string& halle, std::string_view topic);

}  // namespace vrd4::halle
