// Shared by the start-up end-to-end tests (e2e_start_tests): one channel
// prefix for the whole binary, receivers run offscreen "as under a unit"
// (INVOCATION_ID set: a refusal shows no box that waits), and a program run
// with its output and exit status caught.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "E2EHilfe.h"
#include "channel/ClsVRD4Memory.h"

namespace vrd4::e2e {

// The channel of this binary's tests; set before any channel object.
inline const std::string& startPraefix() {
  static const std::string p = "t_start_" + std::to_string(::getpid()) + "_";
  return p;
}

struct StartUmgebung : ::testing::Environment {
  void SetUp() override {
    channel::setChannelNamePrefix(startPraefix());
    ::setenv("INVOCATION_ID", "vrd4-e2e-start", 1);
  }
  void TearDown() override { test::kanalDateienEntfernen(startPraefix()); }
};

// What a program run left: its exit status (-1: killed or still running at
// the limit), what it wrote, and how long it ran.
struct Lauf {
  int status = -1;
  std::string ausgabe, fehler;  // stdout, stderr
  double sekunden = 0;
  // The first line of stderr.
  std::string ersteZeile() const { return fehler.substr(0, fehler.find('\n')); }
};

// Runs argv (argv[0] a path) with the environment changed as given (nullopt:
// removed, through env(1)) and, when uid is set, as that user with exactly
// the groups given (through setpriv(1)); stdin from eingabe. Waits at most
// `grenze` seconds, then kills it.
inline Lauf ausfuehren(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env = {},
                       std::optional<uid_t> uid = std::nullopt, std::vector<gid_t> gruppen = {},
                       const std::string& eingabe = "", double grenze = 20) {
  std::vector<std::string> aufruf;
  if (uid) {
    std::string liste;
    for (const gid_t g : gruppen) liste += (liste.empty() ? "" : ",") + std::to_string(g);
    aufruf = {"/usr/bin/setpriv", "--reuid", std::to_string(*uid), "--regid", "65534"};
    if (liste.empty()) aufruf.push_back("--clear-groups");
    else aufruf.insert(aufruf.end(), {"--groups", liste});
  }
  aufruf.push_back("/usr/bin/env");
  for (const auto& [name, wert] : env)
    if (!wert) aufruf.insert(aufruf.end(), {"-u", name});
  for (const auto& [name, wert] : env)
    if (wert) aufruf.push_back(name + "=" + *wert);
  aufruf.insert(aufruf.end(), argv.begin(), argv.end());
  const QTemporaryDir d;
  const std::string o = d.path().toStdString();
  std::ofstream(o + "/ein") << eingabe;
  const auto start = std::chrono::steady_clock::now();
  Lauf l;
  {
    Prozess p(aufruf, o + "/aus", o + "/fehler", o + "/ein");
    const std::optional<int> st = p.warteAufEnde(grenze);
    l.status = st && WIFEXITED(*st) ? WEXITSTATUS(*st) : -1;
  }
  l.sekunden = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  l.ausgabe = dateiInhalt(o + "/aus");
  l.fehler = dateiInhalt(o + "/fehler");
  return l;
}

// A copy of the receiver that every user may run (the build folder and
// QTemporaryDir's folders are not open to all).
class OffeneKopie {
 public:
  OffeneKopie() {
    char muster[] = "/tmp/vrd4_start_XXXXXX";
    ordner_ = ::mkdtemp(muster) ? muster : "";
    ::chmod(ordner_.c_str(), 0755);
    programm_ = ordner_ + "/VRD4Empfaenger";
    std::filesystem::copy_file(VRD4_BIN_DIR "/VRD4Empfaenger", programm_);
    ::chmod(programm_.c_str(), 0755);
  }
  ~OffeneKopie() {
    std::error_code ec;
    std::filesystem::remove_all(ordner_, ec);
  }
  // Another program of the build beside it; its path.
  std::string dazu(const std::string& name) const {
    const std::string pfad = ordner_ + "/" + name;
    std::filesystem::copy_file(VRD4_BIN_DIR "/" + name, pfad, std::filesystem::copy_options::overwrite_existing);
    ::chmod(pfad.c_str(), 0755);
    return pfad;
  }
  const std::string& programm() const { return programm_; }
  const std::string& ordner() const { return ordner_; }

 private:
  std::string ordner_, programm_;
};

}  // namespace vrd4::e2e
