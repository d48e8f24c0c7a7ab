#include "hall/HallenAdresse.h"

#include <charconv>

namespace vrd4::halle {

bool gueltigerName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNamenslaenge) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::variant<HallenAdresse, std::string> adresseLesen(std::string_view url, bool mitTafel) {
  HallenAdresse a;
  if (url.starts_with("mqtt://")) {
    url.remove_prefix(7);
  } else if (url.starts_with("mqtts://")) {
    url.remove_prefix(8);
    a.tls = true;
  } else {
    return std::string("Adresse muss mit mqtt:// oder mqtts:// beginnen");
  }
  const std::size_t schraeg = url.find('/');
  if (schraeg == std::string_view::npos) return std::string("Adresse ohne Hallenname");
  std::string_view hostPort = url.substr(0, schraeg);
  std::string_view pfad = url.substr(schraeg + 1);

  std::string_view portText;
  if (hostPort.starts_with('[')) {
    const std::size_t zu = hostPort.find(']');
    if (zu == std::string_view::npos) return std::string("IPv6-Adresse ohne ]");
    a.host = std::string(hostPort.substr(1, zu - 1));
    std::string_view rest = hostPort.substr(zu + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return std::string("nach ] nur :Port");
      portText = rest.substr(1);
      if (portText.empty()) return std::string("Port fehlt nach :");
    }
  } else {
    const std::size_t dp = hostPort.find(':');
    a.host = std::string(hostPort.substr(0, dp));
    if (dp != std::string_view::npos) {
      portText = hostPort.substr(dp + 1);
      if (portText.empty()) return std::string("Port fehlt nach :");
    }
  }
  if (a.host.empty()) return std::string("Rechnername fehlt");
  for (char c : a.host) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == ':' || c == '_';
    if (!ok) return std::string("Rechnername mit unerlaubtem Zeichen");
  }
  a.port = a.tls ? 8883 : 1883;
  if (!portText.empty()) {
    unsigned p = 0;
    const auto [ende, fehler] = std::from_chars(portText.data(), portText.data() + portText.size(), p);
    if (fehler != std::errc() || ende != portText.data() + portText.size() || p == 0 || p > 65535)
      return std::string("Port muss eine Zahl von 1 bis 65535 sein");
    a.port = static_cast<uint16_t>(p);
  }

  const std::size_t trenner = pfad.find('/');
  a.halle = std::string(pfad.substr(0, trenner));
  if (trenner != std::string_view::npos) a.tafel = std::string(pfad.substr(trenner + 1));
  if (!gueltigerName(a.halle)) return std::string("Hallenname: 1 bis 64 Zeichen aus A-Z a-z 0-9 _ -");
  if (mitTafel && !gueltigerName(a.tafel)) return std::string("Tafelname: 1 bis 64 Zeichen aus A-Z a-z 0-9 _ -");
  if (!mitTafel && trenner != std::string_view::npos) return std::string("nach dem Hallennamen folgt nichts mehr");
  return a;
}

std::string befehleTopic(const std::string& halle) { return "vrd4/" + halle + "/befehle"; }
std::string szeneTopic(const std::string& halle) { return "vrd4/" + halle + "/szene"; }
std::string quelleTopic(const std::string& halle) { return "vrd4/" + halle + "/status"; }
std::string tafelTopic(const std::string& halle, const std::string& tafel) {
  return "vrd4/" + halle + "/tafel/" + tafel + "/status";
}
std::string alleTafelnTopic(const std::string& halle) { return "vrd4/" + halle + "/tafel/+/status"; }

std::string quelleZuletztTopic(const std::string& halle) { return "vrd4/" + halle + "/zuletzt"; }
std::string tafelZuletztTopic(const std::string& halle, const std::string& tafel) {
  return "vrd4/" + halle + "/tafel/" + tafel + "/zuletzt";
}
std::string alleZuletztTopic(const std::string& halle) { return "vrd4/" + halle + "/tafel/+/zuletzt"; }
namespace {
std::string blattTopic(const std::string& halle, const std::string& tafel, const char* blatt) {
  return "vrd4/" + halle + (tafel.empty() ? "" : "/tafel/" + tafel) + "/" + blatt;
}
}  // namespace
std::string bildTopic(const std::string& halle, const std::string& tafel) { return blattTopic(halle, tafel, "bild"); }
std::string meldungenTopic(const std::string& halle, const std::string& tafel) {
  return blattTopic(halle, tafel, "meldungen");
}
std::vector<std::string> tafelTopics(const std::string& halle, const std::string& tafel) {
  return {tafelTopic(halle, tafel), tafelZuletztTopic(halle, tafel), bildTopic(halle, tafel),
          meldungenTopic(halle, tafel)};
}

std::string tafelAusTopic(const std::string& halle, std::string_view topic, std::string_view blatt) {
  const std::string anfang = "vrd4/" + halle + "/tafel/";
  if (!topic.starts_with(anfang) || topic.size() < anfang.size() + blatt.size() + 1 || !topic.ends_with(blatt) ||
      topic[topic.size() - blatt.size() - 1] != '/')
    return {};
  topic.remove_prefix(anfang.size());
  topic.remove_suffix(blatt.size() + 1);
  return gueltigerName(topic) ? std::string(topic) : std::string();
}

}  // namespace vrd4::halle
