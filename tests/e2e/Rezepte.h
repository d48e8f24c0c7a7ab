// The recipes of docs/hall.md as the hall's recipe test runs them: each
// fenced block after a line "<!-- rezept: NAME [datei=PATH] -->" is one
// recipe — a file's content (datei=) or a shell script. They run as they
// stand, with only what ties them to one real site replaced (the table in
// Ersetzungen: /etc, /var/lib, /run and the USB stick moved into the test's
// folder, the broker's name and ports onto loopback ports, the board names
// made unique to the test process) and the password that mosquitto_passwd
// would ask for passed with -b. Shell recipes run in bash -eu with PATH
// finding the build's vrd4send first; `systemctl` is a stub that writes
// its arguments to a file, for the test to do what it would have done.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "E2EHilfe.h"

namespace vrd4::e2e {

struct Rezept {
  std::string datei;  // empty: a shell script
  std::string text;
};

// Every recipe of the page, by name.
inline std::map<std::string, Rezept> rezepteLesen(const std::string& seite) {
  std::ifstream f(seite);
  std::map<std::string, Rezept> r;
  std::string zeile, name;
  Rezept jetzt;
  bool drin = false;
  const std::regex marke(R"(^<!-- rezept: (\S+)(?: datei=(\S+))? -->$)");
  while (std::getline(f, zeile)) {
    std::smatch m;
    if (!drin && std::regex_match(zeile, m, marke)) {
      name = m[1];
      jetzt = {m[2], ""};
    } else if (!name.empty() && !drin && zeile.starts_with("```")) {
      drin = true;
    } else if (drin && zeile.starts_with("```")) {
      r[name] = jetzt;
      name.clear();
      drin = false;
    } else if (drin) {
      jetzt.text += zeile + "\n";
    }
  }
  return r;
}

// What ties a recipe to one site, and what it becomes in the test.
using Ersetzungen = std::vector<std::pair<std::string, std::string>>;

inline std::string ersetzen(std::string text, const Ersetzungen& e) {
  for (const auto& [alt, neu] : e)
    for (std::size_t at = text.find(alt); at != std::string::npos; at = text.find(alt, at + neu.size()))
      text.replace(at, alt.size(), neu);
  return text;
}

struct Lauf {
  int status = -1;
  std::string ausgabe;  // standard output and error
};

// Runs a shell recipe in bash -eu with HOME and PASSWORT; `systemctl`
// appends its arguments to `stubDatei`.
inline Lauf rezeptAusfuehren(const std::string& text, const std::string& heim, const std::string& passwort,
                             const std::string& stubDatei) {
  const std::string skript = heim + "/.rezept.sh";
  // mosquitto_passwd FILE USER asks for the password twice; here it is given.
  static const std::regex passwd(R"(mosquitto_passwd( -c)? (\S+) (\S+))");
  std::ofstream(skript) << "systemctl() { printf '%s\\n' \"$*\" >> '" << stubDatei << "'; }\n"
                        << std::regex_replace(text, passwd, "mosquitto_passwd$1 -b $2 $3 \"$$PASSWORT\"");
  const std::string aufruf = "cd '" + heim + "' && HOME='" + heim + "' PASSWORT='" + passwort + "' PATH='" +
                             VRD4_BIN_DIR + ":" + std::getenv("PATH") + "' bash -eu '" + skript + "' 2>&1";
  Lauf l;
  l.ausgabe = ausgabe(aufruf, &l.status);
  return l;
}


// What the user manager of `heim` would start for `einheit`
// (vrd4empfaenger@INSTANZ.service) from the template unit as built: the
// unit checked by systemd-analyze, its EnvironmentFile read and its
// ExecStart expanded as systemd does (%i, %E, %h; "$NAME" a separate word
// split at blanks, absent when unset). The command's words; empty with
// `fehler` set when something does not hold.
inline std::vector<std::string> einheitAufruf(const std::string& vorlage, const std::string& einheit,
                                              const std::string& heim, std::string& fehler) {
  const std::string instanz = einheit.substr(einheit.find('@') + 1, einheit.rfind(".service") - einheit.find('@') - 1);
  const std::string text = dateiInhalt(vorlage);
  if (text.empty()) {
    fehler = "no unit at " + vorlage;
    return {};
  }
  // systemd-analyze checks the unit as installed, its program here.
  const std::string ordner = heim + "/.einheit";
  ::mkdir(ordner.c_str(), 0755);
  ::mkdir((ordner + "/rt").c_str(), 0700);
  std::string geprueft = text;
  for (std::size_t at = geprueft.find("ExecStart=/"); at != std::string::npos; at = geprueft.find("ExecStart=/", at + 1)) {
    const std::size_t ende = geprueft.find(' ', at);
    geprueft.replace(at + 10, ende - at - 10, std::string(VRD4_BIN_DIR) + "/VRD4Empfaenger");
  }
  std::ofstream(ordner + "/" + einheit) << geprueft;
  if (::access("/usr/bin/systemd-analyze", X_OK) == 0) {
    const std::string aufruf = "XDG_RUNTIME_DIR='" + ordner + "/rt' HOME='" + heim +
                               "' systemd-analyze --user verify --man=no '" + ordner + "/" + einheit + "' 2>&1";
    int st = -1;
    const std::string aus = ausgabe(aufruf, &st);
    if (st != 0) {
      fehler = "systemd-analyze --user verify: " + aus;
      return {};
    }
  }
  const auto spezifizieren = [&](const std::string& w) {
    return ersetzen(w, {{"%i", instanz}, {"%E", heim + "/.config"}, {"%h", heim}});
  };
  std::map<std::string, std::string> umgebung;
  std::vector<std::string> worte;
  std::istringstream zeilen(text);
  for (std::string z; std::getline(zeilen, z);) {
    if (z.starts_with("EnvironmentFile=")) {
      std::string pfad = z.substr(16);
      const bool kann = pfad.starts_with("-");
      pfad = spezifizieren(kann ? pfad.substr(1) : pfad);
      std::ifstream f(pfad);
      if (!f && !kann) {
        fehler = "EnvironmentFile missing: " + pfad;
        return {};
      }
      for (std::string e; std::getline(f, e);) {
        if (e.empty() || e[0] == '#' || e.find('=') == std::string::npos) continue;
        std::string wert = e.substr(e.find('=') + 1);
        if (wert.size() >= 2 && (wert[0] == '"' || wert[0] == '\'') && wert.back() == wert[0])
          wert = wert.substr(1, wert.size() - 2);
        umgebung[e.substr(0, e.find('='))] = wert;
      }
    } else if (z.starts_with("ExecStart=")) {
      std::istringstream w(z.substr(10));
      for (std::string wort; w >> wort;) {
        if (wort.size() > 1 && wort[0] == '$' && wort[1] != '{') {
          std::istringstream teile(umgebung[wort.substr(1)]);
          for (std::string t; teile >> t;) worte.push_back(t);
        } else {
          worte.push_back(spezifizieren(wort));
        }
      }
    }
  }
  if (worte.empty()) fehler = "no ExecStart";
  return worte;
}

}  // namespace vrd4::e2e
