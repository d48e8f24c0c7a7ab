#include "Skript.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Ansi.h"

namespace vrd4::vrd4send {
namespace {

bool istLeer(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string kleinbuchstaben(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A whole decimal number with optional sign, nothing else.
std::optional<int64_t> dezimal(std::string_view s) {
  if (s.starts_with('+')) s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  int64_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

// "&H…" or "0x…" with 1 to 8 hex digits; the 32 bits of a colour.
std::optional<int64_t> hex(std::string_view s) {
  if (s.starts_with("&H") || s.starts_with("&h") || s.starts_with("0x") || s.starts_with("0X"))
    s.remove_prefix(2);
  else
    return std::nullopt;
  if (s.empty() || s.size() > 8) return std::nullopt;
  uint32_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return static_cast<int64_t>(static_cast<int32_t>(v));
}

std::string zitiert(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

std::optional<std::vector<std::string>> woerter(std::string_view z, std::string& fehler) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < z.size()) {
    if (istLeer(z[i])) {
      ++i;
      continue;
    }
    if (z[i] == '#') break;
    std::string wort;
    if (z[i] == '"') {
      ++i;
      bool zu = false;
      while (i < z.size()) {
        if (z[i] == '"') {
          if (i + 1 < z.size() && z[i + 1] == '"') {
            wort += '"';
            i += 2;
            continue;
          }
          ++i;
          zu = true;
          break;
        }
        wort += z[i++];
      }
      if (!zu) {
        fehler = "Anführungszeichen nicht geschlossen";
        return std::nullopt;
      }
      if (i < z.size() && !istLeer(z[i]) && z[i] != '#') {
        fehler = "nach dem schließenden Anführungszeichen fehlt ein Leerzeichen";
        return std::nullopt;
      }
    } else {
      while (i < z.size() && !istLeer(z[i]) && z[i] != '#') {
        if (z[i] == '"') {
          fehler = "Anführungszeichen mitten in " + zitiert(wort + '"');
          return std::nullopt;
        }
        wort += z[i++];
      }
    }
    out.push_back(std::move(wort));
  }
  return out;
}

std::optional<Wert> wertLesen(std::string_view text, Typ typ, std::string& fehler) {
  auto ganz = [&](int64_t min, int64_t max, bool hexErlaubt) -> std::optional<Wert> {
    auto v = dezimal(text);
    if (!v && hexErlaubt) v = hex(text);
    if (!v) {
      fehler = zitiert(text) + " ist keine ganze Zahl";
      return std::nullopt;
    }
    if (*v < min || *v > max) {
      fehler = zitiert(text) + " liegt nicht zwischen " + std::to_string(min) + " und " + std::to_string(max);
      return std::nullopt;
    }
    return Wert(*v);
  };
  switch (typ) {
    case Typ::Int16: return ganz(-32768, 32767, false);
    case Typ::Int32: return ganz(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), true);
    case Typ::Byte: return ganz(0, 255, false);
    case Typ::Bool: {
      std::string k = kleinbuchstaben(text);
      if (k == "true" || k == "wahr") return Wert(true);
      if (k == "false" || k == "falsch") return Wert(false);
      if (auto v = dezimal(text)) return Wert(*v != 0);
      fehler = zitiert(text) + " ist kein Wahrheitswert (-1 oder 0)";
      return std::nullopt;
    }
    case Typ::Double: {
      std::string_view s = text;
      if (s.starts_with('+')) s.remove_prefix(1);
      double v = 0;
      auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
      if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) {
        fehler = zitiert(text) + " ist keine Zahl (Dezimalpunkt \".\")";
        return std::nullopt;
      }
      return Wert(v);
    }
    case Typ::Text: break;
  }
  return Wert(platform::fromUtf8(text));
}

std::variant<Aufruf, std::string> zeileLesen(std::string_view zeile) {
  std::string fehler;
  auto w = woerter(zeile, fehler);
  if (!w) return fehler;
  Aufruf a;
  if (w->empty()) return a;
  const std::string& name = w->front();
  a.op = findeOperation(name);
  if (!a.op) {
    std::string text = "unbekannte Operation " + zitiert(name);
    if (const Operation* aehnlich = aehnlicheOperation(name))
      text += " (gemeint: " + std::string(aehnlich->name) + "?)";
    return text;
  }
  const auto& params = a.op->parameter;
  const std::size_t anzahl = w->size() - 1;
  if (anzahl != params.size())
    return std::string(a.op->name) + " braucht " + std::to_string(params.size()) + " Parameter, nicht " +
           std::to_string(anzahl);
  for (std::size_t i = 0; i < params.size(); ++i) {
    auto v = wertLesen((*w)[i + 1], params[i].typ, fehler);
    if (!v)
      return "Parameter " + std::to_string(i + 1) + " (" + std::string(params[i].name) + ", " +
             std::string(typName(params[i].typ)) + "): " + fehler;
    a.werte.push_back(std::move(*v));
  }
  return a;
}

std::string hilfe() {
  std::string h =
      "Aufruf: vrd4send [--weiterlaufen] [--verbinden] [--antwortzeit SEKUNDEN] [--stillstand SEKUNDEN]\n"
      "                [--prefix P] [DATEI | -]\n"
      "       vrd4send --halle mqtt[s]://RECHNER[:PORT]/HALLE --tafeln | --tafel-entfernen NAME\n"
      "                [--halle-ca DATEI] [--halle-zugang DATEI]\n"
      "       vrd4send --help | --version\n"
      "\n"
      "Sendet Befehle an den Anzeige-Empfänger VRD4Empfaenger auf diesem Rechner. Liest eine\n"
      "Operation je Zeile aus DATEI oder von der Standardeingabe: der Name, dann die Parameter in\n"
      "der Reihenfolge unten, durch Leerzeichen getrennt. Ein Parameter mit Leerzeichen oder # steht\n"
      "in \"...\" (\"\" darin ist ein \"). # außerhalb von \"...\" beginnt einen Kommentar.\n"
      "\n"
      "Zuerst wird der Empfänger gestartet (ein laufender wird beendet). Nach jedem Befehl wartet\n"
      "vrd4send, bis der Empfänger ihn genommen hat (höchstens 1 s), und gibt neue Ereignisse als\n"
      "Art;Meldung auf der Fehlerausgabe aus. Antwort-Operationen geben ihre Nummer auf der\n"
      "Standardausgabe aus. Eine fehlerhafte Zeile wird mit ihrer Nummer gemeldet und übersprungen.\n"
      "Am Ende wird der Empfänger beendet, auch einer, der sich nach dem Start nicht meldet.\n"
      "Ohne --antwortzeit wartet vrd4send auf Antworten und freie Plätze, solange der Empfänger\n"
      "läuft und arbeitet: gibt er 10 s (--stillstand) kein Lebenszeichen (angehalten, hängt), meldet\n"
      "vrd4send das und sendet die übrigen Zeilen nicht. SIGTERM, SIGINT (Strg-C) und SIGHUP beenden\n"
      "vrd4send binnen einer Sekunde, auch mitten im Warten, mit Rückgabe 3; einen Empfänger, der\n"
      "schon vor vrd4send lief (--verbinden), lässt es dann laufen.\n"
      "\n"
      "  --weiterlaufen      den Empfänger am Ende laufen lassen\n"
      "  --verbinden         einen laufenden Empfänger benutzen statt ihn neu zu starten\n"
      "  --antwortzeit S     Zeitgrenze für Antworten und freie Plätze in Sekunden (Vorgabe: keine)\n"
      "  --stillstand S      so lange ohne Lebenszeichen gilt der Empfänger als hängend (Vorgabe: 10;\n"
      "                      0: warten, solange sein Prozess läuft)\n"
      "  --prefix P          den Empfänger mit --prefix P benutzen (eigener Kanal, eigene\n"
      "                      Startwerte; mehrere Tafeln an einem Rechner)\n"
      "  --version           die Version ausgeben\n"
      "  --halle URL --tafeln  die Tafeln der Halle am MQTT-Broker auflisten: Zustand, zuletzt\n"
      "                      gezeichneter Befehl, Rückstand zur Quelle (docs/hall.md)\n"
      "  --halle URL --tafel-entfernen NAME  eine ausgemusterte Tafel aus der Liste nehmen\n"
      "                      (ihre gespeicherten Nachrichten am Broker leeren; sie muss aus sein)\n"
      "  --halle-ca DATEI    CA-Zertifikat für mqtts://\n"
      "  --halle-zugang DATEI  Benutzername (1. Zeile) und Passwort (2. Zeile) für den Broker\n"
      "\n"
      "Typen: Int16 -32768..32767; Int32 ganze Zahl, Farben auch hex &HBBGGRR oder 0xBBGGRR\n"
      "(Farbwert = Rot + 256*Grün + 65536*Blau); Byte 0..255; Bool -1/0 (auch True/False);\n"
      "Double mit Dezimalpunkt; Text beliebig.\n"
      "Rückgabe (die höchste zutreffende): 0 alles gesendet, 1 fehlerhafte Zeilen übersprungen,\n"
      "2 Aufruffehler, 3 Empfänger nicht erreicht oder Befehle nicht gesendet, 4 Kanal gesperrt\n"
      "(Dateien eines anderen Benutzers unter /dev/shm).\n"
      "\n"
      "Operationen:\n";
  for (const auto& op : operationen()) {
    h += "  " + std::string(op.name);
    for (const auto& p : op.parameter) h += " " + std::string(p.name) + ":" + std::string(typName(p.typ));
    h += "\n";
    if (!op.hinweis.empty()) h += "      " + std::string(op.hinweis) + "\n";
  }
  return h;
}

}  // namespace vrd4::vrd4send
