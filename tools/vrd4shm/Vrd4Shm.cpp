#include "Vrd4Shm.h"

#include <algorithm>
#include <ostream>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"

namespace vrd4::tools {
namespace {

namespace set = channel::modVRD4GlobaleVariablen;

constexpr const char* kUsageText =
    "Aufruf: vrd4shm [--prefix P] dump\n"
    "        vrd4shm [--prefix P] get NAME\n"
    "        vrd4shm [--prefix P] set NAME TEXT\n"
    "        vrd4shm --version\n"
    "\n"
    "dump  zeigt jede Variable des Kanals mit ihrem Wert (vom Befehlsring nur\n"
    "      die nicht leeren Plätze, ESC als \xE2\x90\x9B).\n"
    "get   gibt den Wert einer Variablen aus (UTF-8, dahinter ein Zeilenende).\n"
    "set   schreibt TEXT (UTF-8) in eine Variable.\n"
    "Der Kanal wird nie angelegt oder zurückgesetzt; vrd4shm zählt nicht als\n"
    "Halter. Exit-Code: 0 gut, 1 unbekannter Name, 2 falscher Aufruf,\n"
    "3 Variable nicht zu öffnen.\n";

constexpr std::size_t kDumpUnits = 200;

bool isKnownName(const std::string& name) {
  const auto& names = set::variableNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

// One variable, opened on its own and closed again: no set, no ring reset,
// no lifetime lock. The object comes into being if it does not exist yet.
template <class Memory>
bool readOne(const std::string& name, std::u16string& value) {
  Memory m;
  m.Initialize(name);
  if (!m.mapped()) return false;
  value = m.GetMemory();
  return true;
}

template <class Memory>
bool writeOne(const std::string& name, const std::u16string& value) {
  Memory m;
  m.Initialize(name);
  if (!m.mapped()) return false;
  m.SetMemory(value);
  return true;
}

bool read(const std::string& name, std::u16string& value) {
  return name == set::kSpeicherName ? readOne<channel::ClsVRD4MemorySpeich>(name, value)
                                    : readOne<channel::ClsVRD4Memory>(name, value);
}

bool write(const std::string& name, const std::u16string& value) {
  return name == set::kSpeicherName ? writeOne<channel::ClsVRD4MemorySpeich>(name, value)
                                    : writeOne<channel::ClsVRD4Memory>(name, value);
}

int dump(std::ostream& out, std::ostream& err) {
  const std::optional<bool> held = set::setIsHeld();
  out << "Kanal: Präfix \"" << channel::channelNamePrefix() << "\", Halter: "
      << (held ? (*held ? "ja" : "nein") : "unbekannt") << "\n";
  if (held && !*held)
    out << "Hinweis: kein Programm hält den Kanal; die Werte sind Reste, die der nächste "
           "Start löscht.\n";

  const auto& names = set::variableNames();
  int failures = 0;
  int filled = 0;
  out << "Befehlsring (nicht leere Plätze):\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool slot = i < std::size_t(set::kAnzahlSendetexte);
    if (i == std::size_t(set::kAnzahlSendetexte) && filled == 0)
      out << "  (alle " << set::kAnzahlSendetexte << " leer)\n";
    std::u16string value;
    if (!read(names[i], value)) {
      err << "vrd4shm: " << names[i] << " nicht zu öffnen\n";
      ++failures;
      continue;
    }
    if (slot && value.empty()) continue;
    filled += slot;
    out << (slot ? "  " : "") << names[i] << " = \""
        << platform::toUtf8(visible(value, kDumpUnits)) << "\"\n";
  }
  return failures ? kChannelFailure : kOk;
}

}  // namespace

std::u16string visible(const std::u16string& text, std::size_t maxUnits) {
  std::u16string out;
  const std::size_t n = std::min(text.size(), maxUnits);
  out.reserve(n + 32);
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c < 0x20)
      out.push_back(static_cast<char16_t>(0x2400 + c));
    else if (c == 0x7F)
      out.push_back(u'\u2421');
    else
      out.push_back(c);
  }
  if (n < text.size())
    out += u"… (" + platform::fromUtf8(std::to_string(text.size())) + u" Zeichen)";
  return out;
}

int runVrd4Shm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--prefix") {
      if (i + 1 >= args.size()) {
        err << kUsageText;
        return kUsage;
      }
      channel::setChannelNamePrefix(args[++i]);
    } else if (a.rfind("--prefix=", 0) == 0) {
      channel::setChannelNamePrefix(a.substr(9));
    } else if (a == "-h" || a == "--help") {
      out << kUsageText;
      return kOk;
    } else if (a == "--version") {
      out << "vrd4shm " << VRD4_VERSION << "\n";
      return kOk;
    } else {
      rest.push_back(a);
    }
  }
  if (rest.empty()) {
    err << kUsageText;
    return kUsage;
  }

  const std::string& command = rest[0];
  if (command == "dump" && rest.size() == 1) return dump(out, err);

  if ((command == "get" && rest.size() == 2) || (command == "set" && rest.size() == 3)) {
    const std::string& name = rest[1];
    if (!isKnownName(name)) {
      err << "vrd4shm: unbekannte Variable: " << name << "\n";
      return kUnknownName;
    }
    if (command == "get") {
      std::u16string value;
      if (!read(name, value)) return kChannelFailure;
      out << platform::toUtf8(value) << "\n";
      return kOk;
    }
    return write(name, platform::fromUtf8(rest[2])) ? kOk : kChannelFailure;
  }

  err << kUsageText;
  return kUsage;
}

}  // namespace vrd4::tools
