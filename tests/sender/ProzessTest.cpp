// Which process counts as the receiver, and the process services on /proc:
// names, end, liveness.
#include <spawn.h>

#include "SenderTestBasis.h"

namespace vrd4::platform {
namespace {

using sender::clsVRD4Sender;

const auto* const kKanal = ::testing::AddGlobalTestEnvironment(new sender::test::EigenerKanal);

TEST(Namen, WhichExecutableNameIsTheReceiver) {
  for (const char* ja : {"vRd4EmPfAeNgEr", "VRD4EMPFAENGER.EXE", "vrd4empfaenger.exe.old"})
    EXPECT_TRUE(clsVRD4Sender::IstEmpfaengerName(ja)) << ja;
  for (const char* nein : {"VRD4Empfaenger_tests", "VRD4Empfaenger.sh", "VRD4Empfaenge", "xVRD4Empfaenger", ""})
    EXPECT_FALSE(clsVRD4Sender::IstEmpfaengerName(nein)) << nein;
  EXPECT_EQ(exeNameFromArgv0("/wine/drive_c\\VRD4\\Pelmor Player.exe"), "Pelmor Player.exe");
  EXPECT_EQ(exeNameFromArgv0("/opt/x/"), "");
  // Starting and ending receivers is checked on the real one (sender_e2e_tests);
  // no process group and never the caller itself.
  for (pid_t niemals : {0, -1, ::getpid()}) EXPECT_FALSE(terminateProcess(niemals, 0)) << niemals;
}

class Prozesse : public ::testing::Test {
 protected:
  void TearDown() override {
    for (pid_t p : kinder) {
      ::kill(p, SIGKILL);
      ::waitpid(p, nullptr, 0);
    }
  }
  // A child running argv, once /proc shows it under the name wanted.
  pid_t kind(const char* programm, std::vector<std::string> argv, const std::string& name) {
    std::vector<char*> a;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawnp(&pid, programm, nullptr, nullptr, a.data(), environ), 0);
    kinder.push_back(pid);
    EXPECT_TRUE(sender::test::warteBis([&] { return processEntry(pid).value_or(ProcessEntry{}).exeName == name; }));
    return pid;
  }
  std::vector<pid_t> kinder;
};

TEST_F(Prozesse, ReceiverNameInOtherCaseCountsOnItsOwnChannelOnlyButTestProgramNameDoesNot) {
  // /proc shows them under these names; which of them count is the rule
  // above. A receiver started with another --prefix drives another board.
  const std::string praefix = channel::channelNamePrefix();
  ASSERT_FALSE(praefix.empty());
  auto empfaenger = [&](std::vector<std::string> args) {
    // sh stays (no exec of the last command), so /proc keeps these arguments.
    std::vector<std::string> argv{"/opt/x/vRd4EmPfAeNgEr", "-c", "sleep 30 </dev/null >/dev/null 2>&1; true"};
    argv.insert(argv.end(), args.begin(), args.end());
    return kind("sh", argv, "vRd4EmPfAeNgEr");
  };
  kind("sleep", {"/opt/x/VRD4Empfaenger_tests", "30"}, "VRD4Empfaenger_tests");
  empfaenger({"--prefix", praefix + "anderer_"});
  empfaenger({});  // the default names
  clsVRD4Sender s;
  s.setEmpfaengerWeiterlaufen(true);
  EXPECT_FALSE(s.EmpfaengerLaeuft());
  empfaenger({"--prefix=" + praefix});
  EXPECT_TRUE(s.EmpfaengerLaeuft());
}

}  // namespace
}  // namespace vrd4::platform
