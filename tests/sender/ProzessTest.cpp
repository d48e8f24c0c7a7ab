// The process services on /proc: names, start, end, liveness.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Process.h"
#include "vrd4/clsVRD4Sender.h"

extern char** environ;

namespace vrd4::platform {
namespace {

// A child of this process running program with the given argv[0].
pid_t kind(const std::string& programm, std::vector<std::string> argv) {
  std::vector<char*> a;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  pid_t pid = 0;
  EXPECT_EQ(::posix_spawn(&pid, programm.c_str(), nullptr, nullptr, a.data(), environ), 0);
  return pid;
}

// Waits for something another process does; the limit only guards a hang.
template <typename F>
bool bisZu(F bedingung, std::chrono::seconds grenze = std::chrono::seconds(10)) {
  auto ende = std::chrono::steady_clock::now() + grenze;
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::optional<std::string> nameVon(pid_t pid) {
  auto e = findProcess([pid](const ProcessEntry& p) { return p.pid == pid; });
  if (!e) return std::nullopt;
  return e->exeName;
}

class Prozesse : public ::testing::Test {
 protected:
  void TearDown() override {
    for (pid_t p : kinder) {
      ::kill(p, SIGKILL);
      ::waitpid(p, nullptr, 0);
    }
  }
  pid_t schlaeft(const std::string& argv0) {
    pid_t p = kind("/bin/sleep", {argv0, "30"});
    kinder.push_back(p);
    EXPECT_TRUE(bisZu([&] { return nameVon(p) == exeNameFromArgv0(argv0); }));
    return p;
  }
  std::vector<pid_t> kinder;
};

TEST_F(Prozesse, ListShowsThisProgramUnderItsName) {
  auto liste = processList();
  auto self = std::find_if(liste.begin(), liste.end(), [](const auto& e) { return e.pid == ::getpid(); });
  ASSERT_NE(self, liste.end());
  EXPECT_EQ(self->exeName, "sender_process_tests");
  EXPECT_EQ(processEntry(::getpid())->exeName, "sender_process_tests");
  EXPECT_FALSE(processEntry(0));
}

TEST_F(Prozesse, WindowsStyleArgv0IsNamedByItsLastComponent) {
  const std::string name = "PROBE_" + std::to_string(::getpid()) + ".EXE";
  pid_t p = schlaeft("C:\\Probe\\" + name);
  auto e = findProcess([&](const ProcessEntry& x) { return x.exeName == name; });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->pid, p);
}

TEST_F(Prozesse, EndedChildIsNoLongerAlive) {
  pid_t p = kind("/bin/true", {"zombie_probe"});
  // Not reaped yet: a zombie, which has ended all the same.
  ASSERT_TRUE(bisZu([&] { return !processAlive(p); }));
  EXPECT_FALSE(findProcess([p](const ProcessEntry& e) { return e.pid == p; }));
  EXPECT_EQ(::waitpid(p, nullptr, 0), p);
}

TEST_F(Prozesse, ProgramFolderIsTheFolderOfThisExecutable) {
  EXPECT_EQ(std::filesystem::path(programFolder()), std::filesystem::canonical(VRD4_BIN_DIR));
}

TEST_F(Prozesse, RootCountsAsAdministrator) {
  if (::geteuid() != 0) GTEST_SKIP() << "not running as root";
  EXPECT_TRUE(isUserAnAdmin());
}

TEST_F(Prozesse, TerminateEndsAndReapsAChild) {
  pid_t p = schlaeft("probe_term");
  EXPECT_TRUE(terminateProcess(p, 2000));
  EXPECT_FALSE(processAlive(p));
  EXPECT_EQ(::waitpid(p, nullptr, WNOHANG), -1);  // already reaped
  kinder.clear();
}

TEST_F(Prozesse, TerminateKillsAChildThatIgnoresSigterm) {
  pid_t p = kind("/bin/sh", {"sh", "-c", "trap '' TERM; exec sleep 30"});
  kinder.push_back(p);
  ASSERT_TRUE(bisZu([&] { return nameVon(p) == "sleep"; }));
  EXPECT_TRUE(terminateProcess(p, 100));
  EXPECT_FALSE(processAlive(p));
  kinder.clear();
}

TEST_F(Prozesse, TerminateNeverSignalsWholeGroupsOrItself) {
  EXPECT_FALSE(terminateProcess(0, 0));
  EXPECT_FALSE(terminateProcess(-1, 0));
  EXPECT_FALSE(terminateProcess(::getpid(), 0));
}

TEST_F(Prozesse, ReceiverNameInOtherCaseCountsButTestProgramNameDoesNot) {
  pid_t testprogramm = schlaeft("/opt/x/VRD4Empfaenger_tests");
  pid_t empfaenger = schlaeft("/opt/x/vRd4EmPfAeNgEr");
  int gesehen = 0;
  for (const auto& e : processList()) {
    if (e.pid == testprogramm) {
      EXPECT_FALSE(sender::clsVRD4Sender::IstEmpfaengerName(e.exeName));
      ++gesehen;
    }
    if (e.pid == empfaenger) {
      EXPECT_TRUE(sender::clsVRD4Sender::IstEmpfaengerName(e.exeName));
      ++gesehen;
    }
  }
  EXPECT_EQ(gesehen, 2);
  const std::string prefix = "t_sender_proc_" + std::to_string(::getpid()) + "_";
  sender::clsVRD4Sender::setKanalPrefix(prefix);
  {
    sender::clsVRD4Sender s;
    s.setEmpfaengerWeiterlaufen(true);
    EXPECT_TRUE(s.EmpfaengerLaeuft());
  }
  std::error_code fehler;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", fehler))
    if (e.path().filename().string().starts_with(prefix)) std::filesystem::remove(e.path(), fehler);
}

class Start : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("t_sender_start_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(Start, DetachedProgramHasItsOwnSessionOurEnvironmentAndNoLeakedDescriptors) {
  const auto skript = dir / "probe.sh";
  const auto aus = dir / "probe.out";
  std::ofstream(skript) << "#!/bin/sh\n"
                           "{ echo \"$$\"; echo \"$VRD4_PROBE\"; readlink /proc/$$/fd/0;\n"
                           "  if [ -e /proc/$$/fd/47 ]; then echo leak; else echo dicht; fi;\n"
                           "  cat /proc/$$/stat; } > \"$0.tmp\"\n"
                           "mv \"$0.tmp\" \""
                        << aus.string() << "\"\n";
  std::filesystem::permissions(skript, std::filesystem::perms::owner_all);
  ::setenv("VRD4_PROBE", "geerbt", 1);
  int offen = ::open("/dev/null", O_RDONLY);  // no O_CLOEXEC: must not leak all the same
  ASSERT_EQ(::dup2(offen, 47), 47);

  auto pid = startDetached(skript.string());
  ::close(47);
  ::close(offen);
  ASSERT_TRUE(pid);
  ASSERT_TRUE(bisZu([&] { return std::filesystem::exists(aus); }));
  std::ifstream in(aus);
  std::string zeilePid, env, stdinZiel, leck, stat;
  std::getline(in, zeilePid);
  std::getline(in, env);
  std::getline(in, stdinZiel);
  std::getline(in, leck);
  std::getline(in, stat);
  EXPECT_EQ(zeilePid, std::to_string(*pid));
  EXPECT_EQ(env, "geerbt");
  EXPECT_EQ(stdinZiel, "/dev/null");
  EXPECT_EQ(leck, "dicht");
  // Fields after the name: state, ppid, pgrp, session.
  std::istringstream felder(stat.substr(stat.rfind(')') + 2));
  std::string zustand, ppid, pgrp, session;
  felder >> zustand >> ppid >> pgrp >> session;
  EXPECT_EQ(session, std::to_string(*pid));
  // Not our child: nobody here has to reap it.
  EXPECT_EQ(::waitpid(*pid, nullptr, WNOHANG), -1);
}

TEST_F(Start, MissingOrNotExecutableProgramIsNotStarted) {
  EXPECT_FALSE(startDetached((dir / "fehlt").string()));
  const auto datei = dir / "nicht_ausfuehrbar";
  std::ofstream(datei) << "#!/bin/sh\n";
  std::filesystem::permissions(datei, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // Without any x bit not even root may run it.
  EXPECT_FALSE(startDetached(datei.string()));
  EXPECT_FALSE(startDetached(""));
}

}  // namespace
}  // namespace vrd4::platform
