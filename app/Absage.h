#pragma once
// A start that cannot go on says why, once and everywhere someone may look:
// one line "VRD4Empfaenger: <reason and fix>" to standard error and the
// journal, and a box where it can be shown and someone can close it. Then
// the program ends with the status of the table (app/Rueckgabe.h).
#include <string>

#include "app/Rueckgabe.h"

namespace vrd4::app {

struct Absage {
  Rueckgabe status = Rueckgabe::Fehler;
  // The box's text: lines separated by CR LF, ending in
  // "\r\n\r\nProgramm wird beendet!".
  std::u16string text;
  std::u16string titel;  // empty: the program's name
};

// The line standard error and the journal get: "VRD4Empfaenger: " and the
// text with its line breaks as blanks.
std::string absageZeile(const Absage& a);

// Whether a box can be shown and someone can close it: there is a display,
// the program was not started by a service manager (INVOCATION_ID, or
// stderr is the journal: nobody clicks there, the journal has the line) and
// not from a terminal (the line stands in front of the person already).
bool boxSinnvoll(bool anzeige);

// Writes the line, shows the box when boxSinnvoll(anzeige) (it closes by
// itself after GuiMessageBox::kSelbstSchliessenMs), returns the status as a
// number. Starts Qt for the box when it does not run yet.
int absagen(const Absage& a, bool anzeige);

// The refusals' texts.
Absage aufrufAbsage(const std::string& fehler);  // the usage follows on stderr
Absage rechteAbsage();
Absage bereitsGeladenAbsage(long pid, const std::string& praefix);
Absage kanalAbsage(const std::u16string& gesperrtMeldung);
Absage anzeigeAbsage(const std::string& fehlt);

}  // namespace vrd4::app
