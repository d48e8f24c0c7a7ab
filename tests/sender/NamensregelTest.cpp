// Which process counts as the receiver, and how a process's name is read.
#include <gtest/gtest.h>

#include "platform/Process.h"
#include "vrd4/clsVRD4Sender.h"

namespace vrd4::sender::test {
namespace {

struct NamensZeile {
  std::string testname;
  std::string exeName;
  bool istEmpfaenger;
};

class EmpfaengerNameTest : public ::testing::TestWithParam<NamensZeile> {};

TEST_P(EmpfaengerNameTest, DecidesWhetherAProcessIsTheReceiver) {
  EXPECT_EQ(clsVRD4Sender::IstEmpfaengerName(GetParam().exeName), GetParam().istEmpfaenger);
}

INSTANTIATE_TEST_SUITE_P(
    Namen, EmpfaengerNameTest,
    ::testing::Values(NamensZeile{"Nativ", "VRD4Empfaenger", true},
                      NamensZeile{"NativKleinbuchstaben", "vrd4empfaenger", true},
                      NamensZeile{"NativGemischt", "vRd4EmPfAeNgEr", true},
                      NamensZeile{"WindowsName", "VRD4EMPFAENGER.EXE", true},
                      NamensZeile{"WindowsNameKlein", "vrd4empfaenger.exe", true},
                      NamensZeile{"WindowsNameMitAnhang", "VRD4Empfaenger.exe.old", true},
                      NamensZeile{"Testprogramm", "VRD4Empfaenger_tests", false},
                      NamensZeile{"AndereEndung", "VRD4Empfaenger.sh", false},
                      NamensZeile{"ZuKurz", "VRD4Empfaenge", false},
                      NamensZeile{"Vorsilbe", "xVRD4Empfaenger", false},
                      NamensZeile{"Leer", "", false}),
    [](const auto& info) { return info.param.testname; });

struct Argv0Zeile {
  std::string testname, argv0, exeName;
};

class ExeNameTest : public ::testing::TestWithParam<Argv0Zeile> {};

TEST_P(ExeNameTest, IsTheLastComponentOfArgv0) {
  EXPECT_EQ(platform::exeNameFromArgv0(GetParam().argv0), GetParam().exeName);
}

INSTANTIATE_TEST_SUITE_P(
    Argv0, ExeNameTest,
    ::testing::Values(Argv0Zeile{"Pfad", "/usr/local/bin/VRD4Empfaenger", "VRD4Empfaenger"},
                      Argv0Zeile{"Windowspfad", "C:\\Programme\\VRD4\\VRD4EMPFAENGER.EXE", "VRD4EMPFAENGER.EXE"},
                      Argv0Zeile{"Gemischt", "/wine/drive_c\\VRD4\\Pelmor Player.exe", "Pelmor Player.exe"},
                      Argv0Zeile{"OhnePfad", "sleep", "sleep"},
                      Argv0Zeile{"EndetMitTrenner", "/opt/x/", ""}),
    [](const auto& info) { return info.param.testname; });

TEST(ExeNameMatches, ComparesTheNameCutToTheTargetInUpperCase) {
  EXPECT_TRUE(platform::exeNameMatches("pelmor player.exe", "PELMOR PLAYER.EXE"));
  EXPECT_TRUE(platform::exeNameMatches("Pelmor Player.exe.1", "PELMOR PLAYER.EXE"));
  EXPECT_FALSE(platform::exeNameMatches("Pelmor Player", "PELMOR PLAYER.EXE"));
  EXPECT_FALSE(platform::exeNameMatches("", "X"));
}

}  // namespace
}  // namespace vrd4::sender::test
