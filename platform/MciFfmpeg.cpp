#include "platform/MciFfmpeg.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace vrd4::platform {

namespace {

std::string klein(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

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
  if (befehl.size() > kMaxBefehl) return kMciUnbekannterBefehl;
  // Words and where they start, so that a file name keeps its blanks.
  std::vector<std::string> w;
  std::vector<size_t> anfang, ende;
  for (size_t i = 0; i < befehl.size();) {
    if (std::isspace(static_cast<unsigned char>(befehl[i]))) {
      ++i;
      continue;
    }
    const size_t a = i;
    while (i < befehl.size() && !std::isspace(static_cast<unsigned char>(befehl[i]))) ++i;
    w.push_back(befehl.substr(a, i - a));
    anfang.push_back(a);
    ende.push_back(i);
  }
  if (w.empty()) return kMciUnbekannterBefehl;
  const std::string verb = klein(w[0]);
  const size_t n = w.size();
  auto ist = [&](size_t i, const char* wort) { return i < n && klein(w[i]) == wort; };

  if (verb == "open") {
    if (n < 6 || !ist(n - 4, "type") || !ist(n - 2, "alias")) return kMciParameterFehlt;
    std::string datei = befehl.substr(anfang[1], ende[n - 5] - anfang[1]);
    if (datei.size() >= 2 && datei.front() == '"' && datei.back() == '"') datei = datei.substr(1, datei.size() - 2);
    if (klein(w[n - 3]) != "avivideo") return kMciTypNichtVorhanden;
    const std::string alias = klein(w[n - 1]);
    if (geraete_.count(alias)) return kMciAliasBelegt;
    uint32_t fehler = kMciOk;
    auto clip = MciVideo::oeffnen(datei, fehler);
    if (!clip) return fehler;
    geraete_.emplace(alias, std::move(clip));
    return kMciOk;
  }

  bool form = false;
  int64_t zahlwert = 0;
  bool von = false, wiederholen = false;
  if (verb == "set") {
    form = n == 5 && ist(2, "time") && ist(3, "format") && (ist(4, "milliseconds") || ist(4, "ms"));
  } else if (verb == "window") {
    form = n == 4 && ist(2, "handle") && zahl(w[3], zahlwert) && zahlwert >= 0;
  } else if (verb == "play") {
    size_t i = 2;
    if (ist(i, "from")) {
      von = i + 1 < n && zahl(w[i + 1], zahlwert) && zahlwert >= 0;
      i += 2;
    }
    if (ist(i, "repeat")) {
      wiederholen = true;
      ++i;
    }
    form = n >= 2 && i == n && (von || !ist(2, "from"));
  } else if (verb == "put") {
    form = n == 3 && ist(2, "destination");
  } else if (verb == "stop" || verb == "close") {
    form = n == 2;
  } else {
    return kMciUnbekannterBefehl;
  }
  if (!form) return kMciParameterFehlt;
  const auto it = geraete_.find(klein(w[1]));
  if (it == geraete_.end()) return kMciUnbekanntesGeraet;
  MciVideo& clip = *it->second;

  if (verb == "window") {
    Surface* s = surfaceZuHandle(static_cast<uint64_t>(zahlwert));
    if (!s) return kMciKeinFenster;
    clip.setZiel(s);
  } else if (verb == "play") {
    clip.abspielen(von ? zahlwert : 0, wiederholen);
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
