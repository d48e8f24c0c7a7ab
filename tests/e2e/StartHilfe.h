// Shared by the start-up end-to-end tests (e2e_start_tests): one channel
// prefix for the whole binary, receivers run offscreen "as under a unit"
// (INVOCATION_ID set: a refusal shows no box that waits), and a program run
// with its output and exit status caught.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
// removed) and, when uid is set, as that user with exactly the groups given;
// stdin from eingabe. Waits at most `grenze` seconds, then kills it.
inline Lauf ausfuehren(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env = {},
                       std::optional<uid_t> uid = std::nullopt, std::vector<gid_t> gruppen = {},
                       const std::string& eingabe = "", double grenze = 20) {
  std::map<std::string, std::string> umgebung;
  for (char** e = environ; *e; ++e) {
    const std::string s = *e;
    const std::size_t g = s.find('=');
    if (g != std::string::npos) umgebung[s.substr(0, g)] = s.substr(g + 1);
  }
  for (const auto& [name, wert] : env) {
    if (wert) umgebung[name] = *wert;
    else umgebung.erase(name);
  }
  std::vector<std::string> envTexte;
  for (const auto& [name, wert] : umgebung) envTexte.push_back(name + "=" + wert);
  std::vector<char*> envp, args;
  for (auto& s : envTexte) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argvKopie = argv;
  for (auto& s : argvKopie) args.push_back(s.data());
  args.push_back(nullptr);

  int aus[2], err[2], ein[2];
  if (::pipe2(aus, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(ein, O_CLOEXEC) != 0) return {};
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only system calls from here on: the parent may have threads.
    ::dup2(ein[0], 0), ::dup2(aus[1], 1), ::dup2(err[1], 2);
    if (uid) {
      if (::setgroups(gruppen.size(), gruppen.data()) != 0 || ::setgid(65534) != 0 || ::setuid(*uid) != 0)
        ::_exit(125);
    }
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(ein[0]), ::close(aus[1]), ::close(err[1]);
  if (!eingabe.empty() && ::write(ein[1], eingabe.data(), eingabe.size()) < 0) {
  }
  ::close(ein[1]);
  Lauf l;
  pollfd fds[2] = {{aus[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int offen = 2;
  const auto ende = start + std::chrono::duration<double>(grenze);
  while (offen > 0 && std::chrono::steady_clock::now() < ende) {
    if (::poll(fds, 2, 50) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char puffer[4096];
      const ssize_t n = ::read(fds[i].fd, puffer, sizeof puffer);
      if (n > 0) (i == 0 ? l.ausgabe : l.fehler).append(puffer, std::size_t(n));
      else {
        fds[i].fd = -1;
        --offen;
      }
    }
  }
  int st = 0;
  if (::waitpid(pid, &st, WNOHANG) == 0) {
    warteBis([&] { return ::waitpid(pid, &st, WNOHANG) == pid; }, std::max(0.1, grenze / 10));
    if (::kill(pid, 0) == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &st, 0);
      st = -1;
    }
  }
  l.sekunden = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  l.status = st >= 0 && WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  ::close(aus[0]), ::close(err[0]);
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
