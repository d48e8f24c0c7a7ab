// A headless Chromium driven through Debian's chromedriver (the W3C WebDriver
// protocol over HTTP on loopback): a fresh profile, no network beyond the
// page's server, stopped with the object. For the tests and benchmarks of
// the hall's overview page.
#pragma once

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "tests/TestHilfe.h"

extern char** environ;

namespace vrd4::test {

inline std::string chromiumProgramm() {
  for (const char* p : {"/usr/bin/chromium", "/usr/lib/chromium/chromium"})
    if (::access(p, X_OK) == 0) return p;
  return {};
}
inline std::string chromedriverProgramm() {
  for (const char* p : {"/usr/bin/chromedriver", "/usr/lib/chromium/chromedriver"})
    if (::access(p, X_OK) == 0) return p;
  return {};
}

class Browser {
 public:
  // Starts chromedriver and a browser session of width x height; ok() says
  // whether both came up (fehler() says why not).
  Browser(int breite, int hoehe) : port_(freierPort()) {
    const std::string treiber = chromedriverProgramm(), chromium = chromiumProgramm();
    if (treiber.empty() || chromium.empty()) {
      fehler_ = "chromium or chromium-driver is not installed (scripts/install-deps.sh)";
      return;
    }
    std::string portArg = "--port=" + std::to_string(port_);
    std::string log = "--log-path=" + profil_.path().toStdString() + "/chromedriver.log";
    char* argv[] = {const_cast<char*>(treiber.c_str()), portArg.data(), log.data(), nullptr};
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
    const int rc = ::posix_spawn(&pid_, treiber.c_str(), &aktionen, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&aktionen);
    if (rc != 0) {
      fehler_ = "chromedriver did not start";
      return;
    }
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    http_->set_read_timeout(60);
    if (!warteBis([&] { auto r = http_->Get("/status"); return r && r->status == 200; }, 30)) {
      fehler_ = "chromedriver does not answer";
      return;
    }
    QJsonArray args;
    for (const char* a : {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update", "--disable-sync",
                          "--disable-dev-shm-usage", "--hide-scrollbars", "--force-device-scale-factor=1"})
      args.append(a);
    args.append(QString::fromStdString("--user-data-dir=" + profil_.path().toStdString() + "/profil"));
    args.append(QStringLiteral("--window-size=%1,%2").arg(breite).arg(hoehe));
    QJsonObject chrome{{"binary", QString::fromStdString(chromium)}, {"args", args}};
    QJsonObject caps{{"alwaysMatch", QJsonObject{{"browserName", "chrome"}, {"goog:chromeOptions", chrome}}}};
    const QJsonValue antwort = rufen("POST", "/session", QJsonObject{{"capabilities", caps}});
    sitzung_ = antwort.toObject().value("sessionId").toString().toStdString();
    if (sitzung_.empty()) fehler_ = "no browser session: " + letzteAntwort_;
  }
  ~Browser() {
    if (!sitzung_.empty()) rufen("DELETE", "/session/" + sitzung_, {});
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  bool ok() const { return !sitzung_.empty(); }
  const std::string& fehler() const { return fehler_; }

  bool oeffnen(const std::string& url) {
    return !rufen("POST", pfad("/url"), QJsonObject{{"url", QString::fromStdString(url)}}).isUndefined();
  }
  // Runs `skript` (a function body; `arguments` as in WebDriver) in the page.
  QJsonValue skript(const std::string& skript, const QJsonArray& argumente = {}) {
    return rufen("POST", pfad("/execute/sync"),
                 QJsonObject{{"script", QString::fromStdString(skript)}, {"args", argumente}});
  }
  bool fenster(int breite, int hoehe) {
    return !rufen("POST", pfad("/window/rect"), QJsonObject{{"width", breite}, {"height", hoehe}}).isUndefined();
  }
  QImage bildschirm() {
    const QJsonValue v = rufen("GET", pfad("/screenshot"), {});
    return QImage::fromData(QByteArray::fromBase64(v.toString().toLatin1()), "PNG");
  }
  const std::string& letzteAntwort() const { return letzteAntwort_; }

 private:
  std::string pfad(const std::string& p) const { return "/session/" + sitzung_ + p; }
  // The "value" of the answer; undefined for an error.
  QJsonValue rufen(const std::string& methode, const std::string& pfad, const QJsonObject& koerper) {
    if (!http_) return QJsonValue::Undefined;
    const std::string text = QJsonDocument(koerper).toJson(QJsonDocument::Compact).toStdString();
    httplib::Result r = methode == "GET"      ? http_->Get(pfad.c_str())
                        : methode == "DELETE" ? http_->Delete(pfad.c_str())
                                              : http_->Post(pfad.c_str(), text, "application/json");
    if (!r) {
      letzteAntwort_ = "no answer";
      return QJsonValue::Undefined;
    }
    letzteAntwort_ = r->body.substr(0, 2000);
    if (r->status != 200) return QJsonValue::Undefined;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object().value("value");
  }

  QTemporaryDir profil_;
  uint16_t port_;
  pid_t pid_ = -1;
  std::unique_ptr<httplib::Client> http_;
  std::string sitzung_, fehler_, letzteAntwort_;
};

}  // namespace vrd4::test
