#include "app/modStart.h"

#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/FrmVRD4Empfaenger.h"
#include "app/GuiMessageBox.h"
#include "app/SignalPipe.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/BildschirmX11.h"

namespace vrd4::app::modStart {
namespace {
std::string g_globalPfad;

// Whether another receiver runs on our channel (the same --prefix), whoever
// started it.
bool andererEmpfaengerLaeuft() {
  const pid_t selbst = ::getpid();
  return platform::findProcess([selbst](const platform::ProcessEntry& e) {
           if (e.pid == selbst || !platform::exeNameMatches(e.exeName, "VRD4EMPFAENGER")) return false;
           std::vector<std::string> args = platform::processArguments(e.pid);
           std::vector<char*> argv{const_cast<char*>("")};
           for (auto& a : args) argv.push_back(a.data());
           const auto praefix = praefixAusArgumenten(static_cast<int>(argv.size()), argv.data());
           return praefix.value_or("") == channel::channelNamePrefix();
         })
      .has_value();
}
}  // namespace

const std::string& GlobalPfad() { return g_globalPfad; }

std::optional<std::string> praefixAusArgumenten(int argc, char** argv) {
  std::string praefix;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--prefix") {
      if (i + 1 >= argc) return std::nullopt;
      praefix = argv[++i];
    } else if (a.rfind("--prefix=", 0) == 0) {
      praefix = a.substr(9);
    }
  }
  if (!channel::isValidChannelNamePrefix(praefix)) return std::nullopt;
  return praefix;
}

bool vollbildAusArgumenten(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--vollbild") == 0) return true;
  return false;
}

std::string weiterleitenAusArgumenten(int argc, char** argv) {
  std::string ziel;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--weiterleiten" && i + 1 < argc) ziel = argv[++i];
    else if (a.rfind("--weiterleiten=", 0) == 0) ziel = a.substr(15);
  }
  return ziel;
}

const char* hilfeText() {
  return "Aufruf: VRD4Empfaenger [--prefix P] [--vollbild] [--weiterleiten A:P]\n"
         "                      [--halle mqtt[s]://RECHNER[:PORT]/HALLE | --tafel mqtt[s]://RECHNER[:PORT]/HALLE/NAME]\n"
         "                      [--halle-ca DATEI] [--halle-zugang DATEI]\n"
         "  --prefix P   eigener Kanal und eigene Startwerte (A-Z a-z 0-9 _ - ., höchstens 64 Zeichen)\n"
         "  --vollbild   im Vollbild starten, Mauszeiger über der Tafel aus (ESC beendet das Vollbild)\n"
         "  --weiterleiten A:P  die Zeilen des Servers von Anfang an an A:P weiterleiten (Client3)\n"
         "  --halle URL  jeden Befehl und die Szene an die Halle am MQTT-Broker senden (Quelle)\n"
         "  --tafel URL  als Tafel NAME der Halle zeichnen, was die Quelle ausführt\n"
         "  --halle-ca DATEI      CA-Zertifikat für mqtts://\n"
         "  --halle-zugang DATEI  Benutzername (1. Zeile) und Passwort (2. Zeile) für den Broker\n"
         "  --version    Version ausgeben\n"
         "  --help       diese Hilfe\n"
         "Solange die Tafel läuft, bleibt der Bildschirm an (kein Bildschirmschoner, kein DPMS).\n";
}

int Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(hilfeText(), stdout);
      return 0;
    }
  }
  // The board enters the player's window with X11 calls: in a Wayland
  // session it runs through XWayland unless the user chose a platform.
  setenv("QT_QPA_PLATFORM", "xcb", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VRD4Empfaenger"));
  // The window's own unload ends the run, not the last window closing.
  QApplication::setQuitOnLastWindowClosed(false);
  // Re-parenting the surface makes it a native window; its siblings need not be.
  QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);

  GuiMessageBox meldungen;
  platform::setMessageBoxSink(&meldungen);
  struct SinkZurueck {
    ~SinkZurueck() { platform::setMessageBoxSink(nullptr); }
  } sinkZurueck;

  // --prefix P: a channel (and settings file) of its own, so that several
  // receivers can drive several boards on one PC.
  const auto praefix = praefixAusArgumenten(argc, argv);
  if (!praefix) {
    platform::showMessageBox(
        u"--prefix: nur A-Z a-z 0-9 _ - . erlaubt, höchstens 64 Zeichen!\r\n\r\nProgramm wird beendet!", {},
        {.warnung = true, .wartet = true});
    return 2;
  }
  channel::setChannelNamePrefix(*praefix);

  const auto halle = hallenOptionenAusArgumenten(argc, argv);
  if (const auto* fehler = std::get_if<std::string>(&halle)) {
    platform::showMessageBox(QString::fromStdString(*fehler + "\r\n\r\nProgramm wird beendet!").toStdU16String(),
                             {}, {.warnung = true, .wartet = true});
    return 2;
  }

  if (!platform::isUserAnAdmin()) {
    platform::showMessageBox(
        u"Programm muss mit 'ADMINISTRATOR'-Rechten gestartet werden!\r\n\r\nProgramm wird beendet!", {},
        {.wartet = true});
    return 1;
  }

  // Files another user left on the channel that we may not open: replaced
  // while no receiver uses them, else one message that says how to free them.
  namespace gv = channel::modVRD4GlobaleVariablen;
  std::string gesperrt = gv::gesperrtesObjekt();
  if (!gesperrt.empty() && !andererEmpfaengerLaeuft() && gv::gesperrteObjekteErsetzen())
    gesperrt = gv::gesperrtesObjekt();
  if (!gesperrt.empty()) {
    platform::showMessageBox(gv::gesperrtMeldung(gesperrt));
    return 1;
  }

  g_globalPfad = platform::programFolder();
  if (!g_globalPfad.empty() && chdir(g_globalPfad.c_str()) != 0) {
    // The window reports it again when it loads; nothing more to do here.
  }

  {
    // A board runs all day: no screen saver, no power saving while it shows.
    platform::x11::BildschirmWachHalter wach;
    Umgebung umgebung;
    umgebung.vollbild = vollbildAusArgumenten(argc, argv);
    umgebung.weiterleiten = weiterleitenAusArgumenten(argc, argv);
    umgebung.halle = std::get<HallenOptionen>(halle);
    FrmVRD4Empfaenger frm(std::move(umgebung));
    // Boxes belong to the main window from here on (and go with it).
    meldungen.besitzerSetzen(&frm);
    QPointer<FrmVRD4Empfaenger> ziel(&frm);
    SignalPipe signale({SIGTERM, SIGINT, SIGUSR1}, [ziel](int signo) {
      if (!ziel) return;
      if (signo == SIGUSR1) {
        if (ziel->geladen() && !ziel->entladen()) ziel->cmdBoxSpeichern_Click();
      } else {
        ziel->close();
      }
    });
    frm.ShowModal();
  }

  // No other window should be left once the main window has gone. The
  // program ends right after: these boxes wait for their OK.
  const auto fenster = QApplication::topLevelWidgets();
  for (QWidget* w : fenster) {
    if (!w->isVisible()) continue;
    const QString name = w->objectName().isEmpty() ? w->windowTitle() : w->objectName();
    platform::showMessageBox((name + QStringLiteral(" noch verblieben!")).toStdU16String(), {}, {.wartet = true});
    w->close();
  }
  return 0;
}

}  // namespace vrd4::app::modStart
