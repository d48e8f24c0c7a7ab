#include "app/AnzeigePruefen.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLibraryInfo>
#include <cstdlib>

#include "platform/X11Anzeige.h"

namespace vrd4::app {

namespace {

std::string umgebung(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string qtOption(const std::vector<std::string>& qt, const std::string& name) {
  std::string wert;
  for (std::size_t i = 0; i + 1 < qt.size(); i += 2)
    if (qt[i] == name) wert = qt[i + 1];
  return wert;
}

std::string xcbFehlt(const std::vector<std::string>& qt) {
  std::string anzeige = qtOption(qt, "-display");
  if (anzeige.empty()) anzeige = umgebung("DISPLAY");
  if (anzeige.empty())
    return "Keine Anzeige: DISPLAY ist nicht gesetzt. Abhilfe: die Tafel in der grafischen Sitzung starten "
           "(unter systemd: systemctl --user import-environment DISPLAY XAUTHORITY)";
  if (platform::x11::anzeigeErreichbar(anzeige)) return {};
  return "Keine Anzeige: X-Server " + anzeige +
         " nicht erreichbar. Abhilfe: DISPLAY und XAUTHORITY der laufenden grafischen Sitzung setzen";
}

std::string waylandFehlt(const std::string& plattform) {
  // Qt's plugin comes with the package qt6-wayland; a plugin elsewhere
  // (QT_PLUGIN_PATH) is left to Qt to find.
  const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/");
  const QString datei = plattform == "wayland-egl" ? QStringLiteral("libqwayland-egl.so")
                                                   : QStringLiteral("libqwayland-generic.so");
  if (umgebung("QT_PLUGIN_PATH").empty() && !QFileInfo::exists(plugins + datei))
    return "Keine Anzeige: Qt-Plattform " + plattform +
           " fehlt. Abhilfe: Paket qt6-wayland installieren oder QT_QPA_PLATFORM=xcb (XWayland)";
  std::string name = umgebung("WAYLAND_DISPLAY");
  if (name.empty()) name = "wayland-0";
  const std::string pfad = name[0] == '/' ? name : umgebung("XDG_RUNTIME_DIR") + "/" + name;
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  bool erreicht = false;
  if (pfad.size() < sizeof a.sun_path) {
    pfad.copy(a.sun_path, sizeof a.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    erreicht = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0) ::close(fd);
  }
  if (erreicht) return {};
  return "Keine Anzeige: Wayland-Anzeige " + name +
         " nicht erreichbar. Abhilfe: in der Sitzung des Compositors starten (WAYLAND_DISPLAY, XDG_RUNTIME_DIR) "
         "oder QT_QPA_PLATFORM=xcb";
}

}  // namespace

std::vector<std::string> qtPlattformen(const std::vector<std::string>& qtOptionen) {
  std::string liste = qtOption(qtOptionen, "-platform");
  if (liste.empty()) liste = umgebung("QT_QPA_PLATFORM");
  if (liste.empty()) liste = "xcb";
  std::vector<std::string> namen;
  for (std::size_t a = 0; a <= liste.size();) {
    std::size_t e = liste.find(';', a);
    if (e == std::string::npos) e = liste.size();
    // "xcb:option=wert" carries options for the plugin.
    std::string name = liste.substr(a, e - a);
    name = name.substr(0, name.find(':'));
    if (!name.empty()) namen.push_back(name);
    a = e + 1;
  }
  return namen;
}

std::string anzeigeFehlt(const std::vector<std::string>& qtOptionen) {
  std::string erster;
  for (const std::string& p : qtPlattformen(qtOptionen)) {
    std::string fehlt;
    if (p == "xcb") fehlt = xcbFehlt(qtOptionen);
    else if (p.rfind("wayland", 0) == 0) fehlt = waylandFehlt(p);
    else return {};
    if (fehlt.empty()) return {};
    if (erster.empty()) erster = fehlt;
  }
  return erster;
}

}  // namespace vrd4::app
