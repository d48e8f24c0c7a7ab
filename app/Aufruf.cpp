#include "app/Aufruf.h"

#include <algorithm>
#include <cstring>

#include "app/Rueckgabe.h"
#include "channel/ClsVRD4Memory.h"

namespace vrd4::app {

namespace {

enum class Art { Schalter, MitWert, QtMitWert };

struct Option {
  const char* name;
  Art art;
};

// Every option the receiver takes. A new option is one row here (and its
// line in hilfeText and the manual page).
constexpr Option kOptionen[] = {
    {"-h", Art::Schalter},           {"--help", Art::Schalter},
    {"--version", Art::Schalter},    {"--vollbild", Art::Schalter},
    {"--prefix", Art::MitWert},      {"--weiterleiten", Art::MitWert},
    {"--halle", Art::MitWert},       {"--tafel", Art::MitWert},
    {"--halle-ca", Art::MitWert},    {"--halle-zugang", Art::MitWert},
    {"-display", Art::QtMitWert},    {"-platform", Art::QtMitWert},
};

const Option* finden(const std::string& name) {
  for (const Option& o : kOptionen)
    if (name == o.name) return &o;
  return nullptr;
}

// "A:P" with a port 1..65535.
bool zielGueltig(const std::string& ziel) {
  const std::size_t d = ziel.rfind(':');
  if (d == std::string::npos || d == 0 || d + 1 >= ziel.size() || ziel.size() - d - 1 > 5) return false;
  const std::string port = ziel.substr(d + 1);
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  const long p = std::stol(port);
  return p >= 1 && p <= 65535;
}

}  // namespace

Aufruf aufrufLesen(const std::vector<std::string>& args) {
  Aufruf a;
  bool praefixGesehen = false;
  for (std::size_t i = 0; i < args.size() && a.fehler.empty(); ++i) {
    std::string name = args[i], wert;
    bool mitGleich = false;
    if (name.rfind("--", 0) == 0) {
      if (const std::size_t g = name.find('='); g != std::string::npos) {
        wert = name.substr(g + 1);
        name.resize(g);
        mitGleich = true;
      }
    }
    const Option* o = finden(name);
    if (!o) {
      a.fehler = name.size() > 1 && name[0] == '-' ? "unbekannte Option " + args[i]
                                                   : "unerwartetes Argument " + args[i];
      break;
    }
    if (o->art == Art::Schalter) {
      if (mitGleich) {
        a.fehler = name + " nimmt keinen Wert";
        break;
      }
      if (name == "-h" || name == "--help") a.hilfe = true;
      else if (name == "--version") a.version = true;
      else if (name == "--vollbild") a.vollbild = true;
      continue;
    }
    if (!mitGleich) {
      if (i + 1 >= args.size()) {
        a.fehler = name + ": Wert fehlt";
        break;
      }
      wert = args[++i];
    }
    if (o->art == Art::QtMitWert) {
      a.qt.insert(a.qt.end(), {name, wert});
    } else if (name == "--prefix") {
      praefixGesehen = true;
      a.praefix = wert;
    } else if (name == "--weiterleiten") {
      a.weiterleiten = wert;
    } else if (name == "--halle") {
      a.halle.halle = wert;
    } else if (name == "--tafel") {
      a.halle.tafel = wert;
    } else if (name == "--halle-ca") {
      a.halle.caDatei = wert;
    } else if (name == "--halle-zugang") {
      a.halle.zugangsDatei = wert;
    }
  }
  if (a.fehler.empty() && praefixGesehen && !channel::isValidChannelNamePrefix(a.praefix))
    a.fehler = "--prefix: nur A-Z a-z 0-9 _ - . erlaubt, höchstens 64 Zeichen!";
  if (a.fehler.empty() && !a.weiterleiten.empty() && !zielGueltig(a.weiterleiten))
    a.fehler = "--weiterleiten: Adresse:Port erwartet (z. B. 127.0.0.1:4020), nicht " + a.weiterleiten;
  if (a.fehler.empty()) a.fehler = core::hallenOptionenPruefen(a.halle);
  return a;
}

std::string praefixAus(const std::vector<std::string>& args) {
  const Aufruf a = aufrufLesen(args);
  return a.fehler.empty() ? a.praefix : std::string();
}

const char* kurzAufruf() {
  return "Aufruf: VRD4Empfaenger [--prefix P] [--vollbild] [--weiterleiten A:P]\n"
         "                      [--halle mqtt[s]://RECHNER[:PORT]/HALLE | --tafel mqtt[s]://RECHNER[:PORT]/HALLE/NAME]\n"
         "                      [--halle-ca DATEI] [--halle-zugang DATEI] [-display X-ANZEIGE] [-platform QT-PLATTFORM]\n";
}

std::string hilfeText() {
  std::string t = kurzAufruf();
  t += "  --prefix P   eigener Kanal und eigene Startwerte (A-Z a-z 0-9 _ - ., höchstens 64 Zeichen)\n"
       "  --vollbild   im Vollbild starten, Mauszeiger über der Tafel aus (ESC beendet das Vollbild)\n"
       "  --weiterleiten A:P  die Zeilen des Servers von Anfang an an A:P weiterleiten (Client3)\n"
       "  --halle URL  jeden Befehl und die Szene an die Halle am MQTT-Broker senden (Quelle)\n"
       "  --tafel URL  als Tafel NAME der Halle zeichnen, was die Quelle ausführt\n"
       "  --halle-ca DATEI      CA-Zertifikat für mqtts://\n"
       "  --halle-zugang DATEI  Benutzername (1. Zeile) und Passwort (2. Zeile) für den Broker\n"
       "  -display X-ANZEIGE    X-Server statt $DISPLAY (Qt)\n"
       "  -platform QT-PLATTFORM  Qt-Plattform statt xcb (Qt; auch QT_QPA_PLATFORM)\n"
       "  --version    Version ausgeben\n"
       "  -h, --help   diese Hilfe\n"
       "Solange die Tafel läuft, bleibt der Bildschirm an (kein Bildschirmschoner, kein DPMS).\n"
       "Rückgabewerte:\n";
  for (const RueckgabeZeile& z : kRueckgaben) {
    t += "  ";
    t += std::to_string(zahl(z.wert));
    t += "  ";
    t += z.bedeutung;
    t += '\n';
  }
  return t;
}

}  // namespace vrd4::app
