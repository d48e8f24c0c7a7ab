#include "Optionen.h"

#include <charconv>

namespace vrd4::vrd4halle {

const char* const kHilfe =
    "Aufruf: vrd4halle --halle mqtt[s]://HOST[:PORT]/HALLE [--halle-ca DATEI] [--halle-zugang DATEI]\n"
    "                  [--http [ADRESSE:]PORT] [--http-zugang DATEI]\n"
    "       vrd4halle --help | --version\n"
    "\n"
    "Zeigt jede Tafel einer Halle auf einer Webseite: Bild, Zustand, letzte Meldungen.\n"
    "  --halle URL          die Halle auf dem MQTT-Broker (wie VRD4Empfaenger --halle)\n"
    "  --halle-ca DATEI     CA-Zertifikat des Brokers bei mqtts://\n"
    "  --halle-zugang DATEI Benutzer (1. Zeile) und Passwort (2. Zeile) am Broker\n"
    "  --http [ADRESSE:]PORT wo die Seite zu haben ist (Vorgabe 127.0.0.1:8480;\n"
    "                       nur ein Port: nur dieser Rechner; 0.0.0.0:8480 oder [::]:8480: alle)\n"
    "  --http-zugang DATEI  Benutzer und Passwort fuer die Seite (HTTP Basic)\n"
    "  -h, --help           diese Hilfe\n"
    "  --version            die Version\n";

std::variant<HttpAdresse, std::string> httpAdresseLesen(const std::string& text) {
  HttpAdresse a;
  std::string_view portText = text;
  if (text.starts_with('[')) {
    const std::size_t zu = text.find(']');
    if (zu == std::string::npos || zu + 1 >= text.size() || text[zu + 1] != ':')
      return std::string("--http: [IPv6-Adresse]:Port erwartet");
    a.host = text.substr(1, zu - 1);
    portText = std::string_view(text).substr(zu + 2);
  } else if (const std::size_t dp = text.rfind(':'); dp != std::string::npos) {
    a.host = text.substr(0, dp);
    if (a.host.find(':') != std::string::npos) return std::string("--http: eine IPv6-Adresse steht in [ ]");
    portText = std::string_view(text).substr(dp + 1);
  }
  if (a.host.empty()) return std::string("--http: Adresse fehlt vor dem :");
  for (const char c : a.host) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == ':' || c == '_';
    if (!ok) return std::string("--http: Adresse mit unerlaubtem Zeichen");
  }
  unsigned p = 0;
  const auto [ende, fehler] = std::from_chars(portText.data(), portText.data() + portText.size(), p);
  if (portText.empty() || fehler != std::errc() || ende != portText.data() + portText.size() || p > 65535)
    return std::string("--http: Port muss eine Zahl von 0 bis 65535 sein");
  a.port = static_cast<uint16_t>(p);
  return a;
}

std::variant<Optionen, std::string> optionenLesen(const std::vector<std::string>& args) {
  Optionen o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], wert;
    bool hatWert = false;
    if (const std::size_t gleich = name.find('='); name.starts_with("--") && gleich != std::string::npos) {
      wert = name.substr(gleich + 1);
      name.resize(gleich);
      hatWert = true;
    }
    if (name == "-h" || name == "--help") {
      o.hilfe = true;
      continue;
    }
    if (name == "--version") {
      o.version = true;
      continue;
    }
    std::string* ziel = name == "--halle"          ? &o.halle
                        : name == "--halle-ca"     ? &o.halleCa
                        : name == "--halle-zugang" ? &o.halleZugang
                        : name == "--http-zugang"  ? &o.httpZugang
                        : nullptr;
    if (!ziel && name != "--http") return "unbekannte Option: " + args[i];
    if (!hatWert) {
      if (i + 1 >= args.size()) return name + " ohne Wert";
      wert = args[++i];
    }
    if (wert.empty()) return name + " mit leerem Wert";
    if (ziel) {
      *ziel = wert;
    } else {
      auto a = httpAdresseLesen(wert);
      if (auto* fehler = std::get_if<std::string>(&a)) return *fehler;
      o.http = std::get<HttpAdresse>(a);
    }
  }
  if (!o.hilfe && !o.version && o.halle.empty()) return std::string("--halle fehlt");
  return o;
}

}  // namespace vrd4::vrd4halle
