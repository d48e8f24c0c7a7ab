#pragma once
// vrd4halle's command line, read without side effects so that tests can
// check every refusal.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vrd4::vrd4halle {

// Where the page is served: loopback unless an address is given.
struct HttpAdresse {
  std::string host = "127.0.0.1";
  uint16_t port = 8480;  // 0: any free port (said on standard output)
};

// "[ADDR:]PORT": PORT alone, IPv4:PORT, [IPv6]:PORT or NAME:PORT.
std::variant<HttpAdresse, std::string> httpAdresseLesen(const std::string& text);

struct Optionen {
  std::string halle, halleCa, halleZugang;  // as for VRD4Empfaenger --halle
  HttpAdresse http;
  std::string httpZugang;                   // a file: user, then password (HTTP Basic)
  bool hilfe = false, version = false;
};

// The options, or a German message saying what is wrong.
std::variant<Optionen, std::string> optionenLesen(const std::vector<std::string>& args);

extern const char* const kHilfe;

}  // namespace vrd4::vrd4halle
