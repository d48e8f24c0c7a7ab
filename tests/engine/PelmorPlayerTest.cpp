// Finding the external player among the running processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "engine/EmpfaengerImpl.h"

extern char** environ;

namespace vrd4::engine::test {
namespace {

struct PlayerFall {
  const char* name;
  std::string exe;
  bool spieler;
};
class PelmorPlayerName : public ::testing::TestWithParam<PlayerFall> {};

TEST_P(PelmorPlayerName, CountsAsThePlayer) {
  EXPECT_EQ(istPelmorPlayerName(GetParam().exe), GetParam().spieler);
}

INSTANTIATE_TEST_SUITE_P(Namen, PelmorPlayerName,
                         ::testing::Values(PlayerFall{"WindowsName", "Pelmor Player.exe", true},
                                           PlayerFall{"GrossKlein", "pElMoR pLaYeR.ExE", true},
                                           PlayerFall{"NativGenau", "Pelmor Player", true},
                                           PlayerFall{"NativKlein", "pelmor player", true},
                                           PlayerFall{"NativMitZusatz", "Pelmor Player2", false},
                                           PlayerFall{"Andere", "vlc", false},
                                           PlayerFall{"Leer", "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PelmorPlayerProzess, RunningProcessNamedLikeThePlayerIsFound) {
  EXPECT_FALSE(clsVRD4Empfaenger::VRD4PelmorPlayerAktiv());
  char name[] = "Pelmor Player.exe";
  char dauer[] = "30";
  char* argv[] = {name, dauer, nullptr};
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, "/bin/sleep", nullptr, nullptr, argv, environ), 0);
  // The new command line shows in /proc only once the exec has finished.
  bool gefunden = false;
  for (int i = 0; i < 5000 && !gefunden; ++i) {
    gefunden = clsVRD4Empfaenger::VRD4PelmorPlayerAktiv();
    if (!gefunden) ::usleep(1000);
  }
  EXPECT_TRUE(gefunden);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  EXPECT_FALSE(clsVRD4Empfaenger::VRD4PelmorPlayerAktiv());
}

}  // namespace
}  // namespace vrd4::engine::test
