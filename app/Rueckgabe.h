#pragma once
// The receiver's exit statuses: one table, which --help prints and which
// docs/platform.md, the manual page and the systemd units
// (RestartPreventExitStatus) repeat; a test holds them to it.
#include <array>

namespace vrd4::app {

enum class Rueckgabe : int {
  Normal = 0,          // window closed, end request, SIGTERM or SIGINT
  Fehler = 1,          // an unexpected error at start-up
  Aufruf = 2,          // unknown option, bad --prefix, --halle/--tafel, --weiterleiten
  KeineRechte = 3,     // neither root nor a member of the group vrd4
  KanalGesperrt = 4,   // the channel's files belong to another user
  BereitsGeladen = 5,  // a receiver already runs on this channel
  KeineAnzeige = 6,    // no display, or no Qt platform that can show the board
};

struct RueckgabeZeile {
  Rueckgabe wert;
  const char* bedeutung;  // German, for --help
  bool neuStarten;        // whether starting again can help (the units restart it)
};

inline constexpr std::array<RueckgabeZeile, 7> kRueckgaben{{
    {Rueckgabe::Normal, "normales Ende (Fenster geschlossen, Ende vom Sender, SIGTERM, SIGINT)", true},
    {Rueckgabe::Fehler, "unerwarteter Fehler beim Start", true},
    {Rueckgabe::Aufruf, "falscher Aufruf (unbekannte Option, --prefix, --halle/--tafel, --weiterleiten)", false},
    {Rueckgabe::KeineRechte, "keine Rechte (weder root noch Mitglied der Gruppe vrd4)", false},
    {Rueckgabe::KanalGesperrt, "der Kanal gehört einem anderen Benutzer", false},
    {Rueckgabe::BereitsGeladen, "auf diesem Kanal läuft schon ein Empfänger", true},
    {Rueckgabe::KeineAnzeige, "keine Anzeige (kein X-Server, keine Qt-Plattform)", true},
}};

constexpr int zahl(Rueckgabe r) { return static_cast<int>(r); }

}  // namespace vrd4::app
