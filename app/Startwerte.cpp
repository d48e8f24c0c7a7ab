#include "app/Startwerte.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdlib>

#include "channel/ClsVRD4Memory.h"
#include "platform/Ansi.h"
#include "support/Numbers.h"

namespace vrd4::app {

namespace {

bool istLeer(char c) { return c == ' ' || c == '\t'; }

// Reads one field as a sequential reader of such files does: blanks
// skipped, a quoted text up to its closing quote, otherwise up to a comma or
// the line's end; the delimiter is consumed. nullopt at the end of the text.
std::optional<std::string> feldLesen(const QByteArray& t, qsizetype& i) {
  const qsizetype n = t.size();
  while (i < n && istLeer(t[i])) ++i;
  if (i >= n) return std::nullopt;
  std::string feld;
  if (t[i] == '"') {
    ++i;
    while (i < n && t[i] != '"' && t[i] != '\r' && t[i] != '\n') feld.push_back(t[i++]);
    if (i < n && t[i] == '"') ++i;
    while (i < n && istLeer(t[i])) ++i;
  } else {
    while (i < n && t[i] != ',' && t[i] != '\r' && t[i] != '\n') feld.push_back(t[i++]);
    while (!feld.empty() && istLeer(feld.back())) feld.pop_back();
  }
  if (i < n && t[i] == ',') {
    ++i;
  } else if (i < n && t[i] == '\r') {
    ++i;
    if (i < n && t[i] == '\n') ++i;
  } else if (i < n && t[i] == '\n') {
    ++i;
  }
  return feld;
}

QString ansiText(const std::string& bytes) {
  return QString::fromStdU16String(platform::fromAnsi(bytes));
}

QByteArray zahlFeld(int32_t v) {
  QByteArray s = QByteArray::number(v);
  if (v >= 0) s.prepend(' ');
  s.append(' ');
  return s;
}

bool beschreibbar(const std::string& ordner) {
  return !ordner.empty() && ::access(ordner.c_str(), W_OK | X_OK) == 0;
}

std::string umgebung(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// An XDG base folder: its variable when absolute (a relative one is invalid
// and ignored), else home + vorgabe; empty when neither is known.
std::string xdgOrdner(const std::string& wert, const std::string& home, const char* vorgabe) {
  if (!wert.empty() && wert.front() == '/') return wert;
  return home.empty() ? std::string() : home + vorgabe;
}

}  // namespace

void Startwerte::defaultsEinsetzen() {
  if (adresse.isEmpty()) adresse = QStringLiteral("Localhost");
  if (port.isEmpty()) port = QStringLiteral("3000");
  if (clientFlag.isEmpty()) clientFlag = QStringLiteral("0");
  if (serverFlag.isEmpty()) serverFlag = QStringLiteral("0");
}

std::string startwerteDateiname() { return channel::channelNamePrefix() + kStartwerteDatei; }

std::string startwertePfad(const std::string& programmOrdner, bool ordnerBeschreibbar,
                           const std::string& xdgConfigHome, const std::string& home) {
  const std::string name = startwerteDateiname();
  const std::string nebenan = programmOrdner + "/" + name;
  const std::string basis = xdgOrdner(xdgConfigHome, home, "/.config");
  if (installiert(programmOrdner) && !basis.empty()) return basis + "/vrd4/" + name;
  // In a build or portable folder the file beside the executable wins
  // whenever it is there.
  if (QFileInfo::exists(QString::fromStdString(nebenan)) || ordnerBeschreibbar || basis.empty())
    return nebenan;
  return basis + "/vrd4/" + name;
}

std::string startwertePfad(const std::string& programmOrdner) {
  return startwertePfad(programmOrdner, beschreibbar(programmOrdner), umgebung("XDG_CONFIG_HOME"),
                        umgebung("HOME"));
}

bool installiert(const std::string& programmOrdner) {
  return (programmOrdner + "/").find("/usr/") != std::string::npos;
}

std::string schnappschussOrdner(const std::string& programmOrdner, const std::string& xdgStateHome,
                                const std::string& home) {
  const std::string basis = xdgOrdner(xdgStateHome, home, "/.local/state");
  if (!installiert(programmOrdner) || basis.empty()) return programmOrdner;
  return basis + "/vrd4";
}

std::string schnappschussOrdner(const std::string& programmOrdner) {
  return schnappschussOrdner(programmOrdner, umgebung("XDG_STATE_HOME"), umgebung("HOME"));
}

QByteArray startwerteText(const Startwerte& w) {
  QByteArray t;
  auto zeile = [&t](const QByteArray& z) { t += z + "\r\n"; };
  zeile(QByteArray::fromStdString(platform::toAnsi(w.adresse.toStdU16String())));
  zeile(QByteArray::fromStdString(platform::toAnsi(w.port.toStdU16String())));
  zeile(QByteArray::fromStdString(platform::toAnsi(w.clientFlag.toStdU16String())));
  zeile(QByteArray::fromStdString(platform::toAnsi(w.serverFlag.toStdU16String())));
  zeile(zahlFeld(w.links));
  zeile(zahlFeld(w.oben));
  return t;
}

void startwerteAusText(const QByteArray& text, Startwerte& w) {
  qsizetype i = 0;
  const QByteArray t = text.left(kStartwerteMaxBytes);
  // Each field read stands even when a later one is missing.
  if (auto f = feldLesen(t, i)) w.adresse = ansiText(*f); else return;
  if (auto f = feldLesen(t, i)) w.port = ansiText(*f); else return;
  if (auto f = feldLesen(t, i)) w.clientFlag = ansiText(*f); else return;
  if (auto f = feldLesen(t, i)) w.serverFlag = ansiText(*f); else return;
  if (auto f = feldLesen(t, i)) w.links = leadingInt(platform::fromAnsi(*f)); else return;
  if (auto f = feldLesen(t, i)) w.oben = leadingInt(platform::fromAnsi(*f));
}

void startwerteLesen(const std::string& pfad, Startwerte& w) {
  QFile f(QString::fromStdString(pfad));
  if (!f.open(QIODevice::ReadOnly)) return;
  startwerteAusText(f.read(kStartwerteMaxBytes), w);
}

bool startwerteSchreiben(const std::string& pfad, const Startwerte& w) {
  const QString datei = QString::fromStdString(pfad);
  const QFileInfo info(datei);
  // A file the user made read-only stays as it is.
  if (info.exists() && !info.isWritable()) return false;
  QDir().mkpath(info.absolutePath());
  // Replaced as a whole: a crash while writing never leaves half a file.
  QSaveFile f(datei);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QByteArray t = startwerteText(w);
  if (f.write(t) != t.size()) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}

}  // namespace vrd4::app
