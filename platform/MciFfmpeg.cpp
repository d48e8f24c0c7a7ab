#include "platform/MciFfmpeg.h"

#include <cctype>
#include <charconv>
#include <regex>

namespace vrd4::platform {

namespace {

std::string klein(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::regex icase(const char* text) { return std::regex(text, std::regex::ECMAScript | std::regex::icase); }

bool zahl(const std::string& text, int64_t& wert) {
  const auto [ende, fehler] = std::from_chars(text.data(), text.data() + text.size(), wert);
  return fehler == std::errc() && ende == text.data() + text.size();
}

}  // namespace

MciFfmpeg::MciFfmpeg() = default;
MciFfmpeg::~MciFfmpeg() = default;

MciVideo* MciFfmpeg::geraet(const std::string& alias) {
  const auto it = geraete_.find(klein(alias));
  return it == geraete_.end() ? nullptr : it->second.get();
}

uint32_t MciFfmpeg::sendString(const std::string& befehl) {
  static const std::regex kOpen = icase(R"(^\s*open\s+(.+?)\s+type\s+(\S+)\s+alias\s+(\S+)\s*$)");
  static const std::regex kSet = icase(R"(^\s*set\s+(\S+)\s+time\s+format\s+(milliseconds|ms)\s*$)");
  static const std::regex kWindow = icase(R"(^\s*window\s+(\S+)\s+handle\s+(\d+)\s*$)");
  static const std::regex kPlay = icase(R"(^\s*play\s+(\S+)(?:\s+from\s+(\d+))?(\s+repeat)?\s*$)");
  static const std::regex kPut = icase(R"(^\s*put\s+(\S+)\s+destination\s*$)");
  static const std::regex kStop = icase(R"(^\s*stop\s+(\S+)\s*$)");
  static const std::regex kClose = icase(R"(^\s*close\s+(\S+)\s*$)");
  static const std::regex kVerb = icase(R"(^\s*(\S+))");

  if (befehl.size() > kMaxBefehl) return kMciUnbekannterBefehl;
  std::smatch m;
  if (!std::regex_search(befehl, m, kVerb)) return kMciUnbekannterBefehl;
  const std::string verb = klein(m[1]);

  if (verb == "open") {
    if (!std::regex_match(befehl, m, kOpen)) return kMciParameterFehlt;
    std::string datei = m[1];
    if (datei.size() >= 2 && datei.front() == '"' && datei.back() == '"') datei = datei.substr(1, datei.size() - 2);
    if (klein(m[2]) != "avivideo") return kMciTypNichtVorhanden;
    const std::string alias = klein(m[3]);
    if (geraete_.count(alias)) return kMciAliasBelegt;
    uint32_t fehler = kMciOk;
    auto clip = MciVideo::oeffnen(datei, fehler);
    if (!clip) return fehler;
    geraete_.emplace(alias, std::move(clip));
    return kMciOk;
  }

  const std::regex* form = verb == "set"      ? &kSet
                           : verb == "window" ? &kWindow
                           : verb == "play"   ? &kPlay
                           : verb == "put"    ? &kPut
                           : verb == "stop"   ? &kStop
                           : verb == "close"  ? &kClose
                                              : nullptr;
  if (!form) return kMciUnbekannterBefehl;
  if (!std::regex_match(befehl, m, *form)) return kMciParameterFehlt;
  const auto it = geraete_.find(klein(m[1]));
  if (it == geraete_.end()) return kMciUnbekanntesGeraet;
  MciVideo& clip = *it->second;

  if (verb == "window") {
    int64_t h = 0;
    if (!zahl(m[2], h)) return kMciParameterFehlt;
    Surface* s = surfaceZuHandle(static_cast<uint64_t>(h));
    if (!s) return kMciKeinFenster;
    clip.setZiel(s);
  } else if (verb == "play") {
    int64_t von = 0;
    if (m[2].matched && !zahl(m[2], von)) return kMciParameterFehlt;
    clip.abspielen(von, m[3].matched);
  } else if (verb == "put") {
    clip.zielGanz();
  } else if (verb == "stop") {
    clip.anhalten();
  } else if (verb == "close") {
    geraete_.erase(it);  // stops and joins its decoder
  }
  return kMciOk;  // "set": milliseconds are the only time format there is
}

void MciFfmpeg::takt(const std::string& alias, double sekunden) {
  if (MciVideo* clip = geraet(alias)) clip->takt(sekunden);
}

Mci& systemMci() {
  static MciFfmpeg mci;
  return mci;
}

}  // namespace vrd4::platform
