#include "app/Absage.h"

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <optional>

#include "app/GuiMessageBox.h"
#include "platform/Ansi.h"
#include "platform/Gruppe.h"
#include "platform/Systemd.h"

namespace vrd4::app {

namespace {

constexpr char16_t kEnde[] = u"\r\n\r\nProgramm wird beendet!";

std::u16string u16(const std::string& utf8) { return platform::fromUtf8(utf8); }

}  // namespace

std::string absageZeile(const Absage& a) {
  std::string zeile = "VRD4Empfaenger: ";
  bool luecke = false;
  for (const char c : platform::toUtf8(a.text)) {
    if (c == '\r' || c == '\n') {
      luecke = true;
      continue;
    }
    if (luecke) zeile += ' ';
    luecke = false;
    zeile += c;
  }
  return zeile;
}

bool boxSinnvoll(bool anzeige) {
  if (!anzeige) return false;
  const char* dienst = std::getenv("INVOCATION_ID");
  if ((dienst && *dienst) || platform::systemd::stderrIstJournal()) return false;
  return !::isatty(STDERR_FILENO);
}

int absagen(const Absage& a, bool anzeige) {
  platform::systemd::fehlerMelden(absageZeile(a), zahl(a.status));
  if (boxSinnvoll(anzeige)) {
    std::optional<QApplication> qt;
    static int argc = 1;
    static char name[] = "VRD4Empfaenger";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) qt.emplace(argc, argv);
    QString text = QString::fromStdU16String(a.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Warning,
                    a.titel.empty() ? QStringLiteral("VRD4Empfaenger") : QString::fromStdU16String(a.titel), text,
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("Absage"));
    // Nobody may be at the screen after all: the box goes by itself.
    QTimer::singleShot(GuiMessageBox::kSelbstSchliessenMs, &box, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
  }
  return zahl(a.status);
}

Absage aufrufAbsage(const std::string& fehler) {
  return {Rueckgabe::Aufruf, u16(fehler + " (siehe --help)") + kEnde, {}};
}

Absage rechteAbsage() {
  return {Rueckgabe::KeineRechte,
          u"Programm muss mit 'ADMINISTRATOR'-Rechten gestartet werden!\r\n" + u16(platform::gruppenAbhilfe()) +
              kEnde,
          {}};
}

Absage bereitsGeladenAbsage(long pid, const std::string& praefix) {
  const std::string kanal = praefix.empty() ? "dem Kanal ohne --prefix" : "dem Kanal --prefix " + praefix;
  return {Rueckgabe::BereitsGeladen,
          u"VRD4Empfaenger.exe bereits geladen!\r\n" +
              u16("Auf " + kanal + " läuft schon der Empfänger mit der Prozessnummer " + std::to_string(pid) +
                  "; er läuft weiter. Eine weitere Tafel braucht einen eigenen Kanal (--prefix P).") +
              kEnde,
          u"VRD4 Fehler"};
}

Absage kanalAbsage(const std::u16string& gesperrtMeldung) {
  return {Rueckgabe::KanalGesperrt, gesperrtMeldung + kEnde, {}};
}

Absage anzeigeAbsage(const std::string& fehlt) { return {Rueckgabe::KeineAnzeige, u16(fehlt) + kEnde, {}}; }

}  // namespace vrd4::app
