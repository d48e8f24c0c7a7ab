#include "app/modStart.h"

#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Absage.h"
#include "app/AnzeigePruefen.h"
#include "app/Aufruf.h"
#include "app/Fenstersymbol.h"
#include "app/FrmVRD4Empfaenger.h"
#include "app/GuiMessageBox.h"
#include "app/Rueckgabe.h"
#include "core/SignalPipe.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/BildschirmX11.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/ProzessZustand.h"
#include "platform/Systemd.h"

namespace vrd4::app::modStart {
namespace {
std::string g_globalPfad;

// Another receiver on our channel (the same --prefix), whoever started it,
// that started before us: of two that start together the older runs.
std::optional<pid_t> andererEmpfaenger() {
  const pid_t selbst = ::getpid();
  const auto e = platform::findProcess([selbst](const platform::ProcessEntry& e) {
    if (e.pid == selbst || !platform::exeNameMatches(e.exeName, "VRD4EMPFAENGER")) return false;
    return praefixAus(platform::processArguments(e.pid)) == channel::channelNamePrefix() &&
           platform::aelter(e.pid, selbst);
  });
  return e ? std::optional(e->pid) : std::nullopt;
}

// How long a unit's board waits for another board on its channel to end
// before it ends itself (the unit then starts it again).
constexpr double kWartenAufAnderenSekunden = 600;

// While Qt looks for its platform, a fatal message means it found none.
std::atomic<bool> g_plattformStart{false};
QString g_letzteWarnung;

// Qt's messages go where the history goes, through the writer that never
// waits: a warning repeated on every command must not hold up the board.
void qtMeldung(QtMsgType art, const QMessageLogContext&, const QString& text) {
  if (art == QtDebugMsg) return;
  if (art == QtFatalMsg && g_plattformStart) {
    const QString grund = g_letzteWarnung.isEmpty() ? text.section(QLatin1Char('\n'), 0, 0) : g_letzteWarnung;
    const Absage a = anzeigeAbsage("Keine Anzeige: Qt-Plattform ließ sich nicht starten (" + grund.toStdString() +
                                   "). Abhilfe: DISPLAY, WAYLAND_DISPLAY oder QT_QPA_PLATFORM prüfen");
    platform::systemd::fehlerMelden(absageZeile(a), zahl(a.status));
    std::_Exit(zahl(a.status));
  }
  if (g_plattformStart) g_letzteWarnung = text;
  platform::systemd::ausgeben(platform::systemd::protokollZeile(u"Qt: " + text.toStdU16String()));
  if (art == QtFatalMsg) platform::systemd::ausgabeLeeren(500);  // Qt aborts next
}

int aufrufVerweigern(const std::string& fehler, bool anzeige) {
  const int status = absagen(aufrufAbsage(fehler), anzeige);
  // The usage below the line, as a terminal user expects it.
  platform::systemd::ausgeben(std::string(kurzAufruf()) + "Mehr mit --help.", false);
  platform::systemd::ausgabeLeeren(500);
  return status;
}

}  // namespace

const std::string& GlobalPfad() { return g_globalPfad; }

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const Aufruf aufruf = aufrufLesen(args);
  // Answered before any display or channel is touched, so that they work on a
  // console and from a package's test.
  if (aufruf.fehler.empty() && aufruf.hilfe) {
    std::fputs(hilfeText().c_str(), stdout);
    return zahl(Rueckgabe::Normal);
  }
  if (aufruf.fehler.empty() && aufruf.version) {
    std::printf("VRD4Empfaenger %s\n", VRD4_VERSION);
    return zahl(Rueckgabe::Normal);
  }
  qInstallMessageHandler(qtMeldung);
  // Qt's two options become what every X11 call of ours reads as well.
  for (std::size_t i = 0; i + 1 < aufruf.qt.size(); i += 2)
    setenv(aufruf.qt[i] == "-display" ? "DISPLAY" : "QT_QPA_PLATFORM", aufruf.qt[i + 1].c_str(), 1);
  // The board enters the player's window with X11 calls: in a Wayland
  // session it runs through XWayland unless the user chose a platform.
  setenv("QT_QPA_PLATFORM", "xcb", 0);
  const std::string anzeigeFehlt = app::anzeigeFehlt({});
  const bool anzeige = anzeigeFehlt.empty();
  if (!aufruf.fehler.empty()) return aufrufVerweigern(aufruf.fehler, anzeige);

  // --prefix P: a channel (and settings file) of its own, so that several
  // receivers can drive several boards on one PC.
  channel::setChannelNamePrefix(aufruf.praefix);
  if (!platform::isUserAnAdmin()) return absagen(rechteAbsage(), anzeige);
  // One receiver per channel: a second would take every other command.
  if (const auto pid = andererEmpfaenger()) {
    const int status = absagen(bereitsGeladenAbsage(*pid, aufruf.praefix), anzeige);
    // A unit's board (a script or a sending program started a board of its
    // own meanwhile) ends only once that one has gone, so that the unit's
    // restart brings it back then rather than refusing in a burst.
    platform::systemd::startAufschieben([p = *pid] { return platform::processAlive(p); },
                                        "VRD4Empfaenger.exe bereits geladen: wartet auf das Ende von Prozess " +
                                            std::to_string(*pid),
                                        kWartenAufAnderenSekunden);
    return status;
  }
  // Files another user left on the channel that we may not open: replaced
  // while no receiver uses them, else one message that says how to free them.
  namespace gv = channel::modVRD4GlobaleVariablen;
  std::string gesperrt = gv::gesperrtesObjekt();
  if (!gesperrt.empty() && gv::gesperrteObjekteErsetzen()) gesperrt = gv::gesperrtesObjekt();
  if (!gesperrt.empty()) return absagen(kanalAbsage(gv::gesperrtMeldung(gesperrt)), anzeige);
  if (!anzeige) return absagen(anzeigeAbsage(anzeigeFehlt), false);

  // Qt gets no argument of ours: an option it took would change the board.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("VRD4Empfaenger"), nullptr};
  g_plattformStart = true;
  QApplication app(qtArgc, qtArgv);
  g_plattformStart = false;
  QApplication::setApplicationName(QStringLiteral("VRD4Empfaenger"));
  QApplication::setWindowIcon(fensterSymbol());
  // The window's own unload ends the run, not the last window closing.
  QApplication::setQuitOnLastWindowClosed(false);
  // Re-parenting the surface makes it a native window; its siblings need not be.
  QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);

  GuiMessageBox meldungen;
  platform::setMessageBoxSink(&meldungen);
  struct SinkZurueck {
    ~SinkZurueck() { platform::setMessageBoxSink(nullptr); }
  } sinkZurueck;

  g_globalPfad = platform::programFolder();
  if (!g_globalPfad.empty() && chdir(g_globalPfad.c_str()) != 0) {
    // The window reports it again when it loads; nothing more to do here.
  }

  {
    // A board runs all day: no screen saver, no power saving while it shows.
    platform::x11::BildschirmWachHalter wach;
    Umgebung umgebung;
    umgebung.vollbild = aufruf.vollbild;
    umgebung.weiterleiten = aufruf.weiterleiten;
    umgebung.halle = aufruf.halle;
    FrmVRD4Empfaenger frm(std::move(umgebung));
    // Boxes belong to the main window from here on (and go with it).
    meldungen.besitzerSetzen(&frm);
    QPointer<FrmVRD4Empfaenger> ziel(&frm);
    core::SignalPipe signale({SIGTERM, SIGINT, SIGUSR1}, [ziel](int signo) {
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
  return zahl(Rueckgabe::Normal);
}

}  // namespace vrd4::app::modStart
