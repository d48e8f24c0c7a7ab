// vrd4shm as an operator runs it, and the sender example of docs/channel.md
// as someone who only read that document would run it.
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "ChannelTestSupport.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "platform/Ansi.h"

namespace vrd4::channel::test {
namespace {

namespace set = modVRD4GlobaleVariablen;

class Vrd4Shm : public ChannelTest {
 protected:
  RunResult tool(std::vector<std::string> args) {
    args.insert(args.begin(), {"--prefix", prefix()});
    return run(binPath("vrd4shm"), args);
  }
};

const std::string kCommand = "Befehl\x1bTextausgabe\x1bGrüße aus Köln – 12,50 €\x1b" "1";

TEST_F(Vrd4Shm, SetThenGetRoundTripsUtf8ByteExactly) {
  ASSERT_EQ(tool({"set", "VRD4Sendetexte7", kCommand}).exitCode, 0);
  const RunResult got = tool({"get", "VRD4Sendetexte7"});
  EXPECT_EQ(got.exitCode, 0);
  EXPECT_EQ(got.out, kCommand + "\n");

  ClsVRD4Memory m;
  m.Initialize("VRD4Sendetexte7");
  EXPECT_EQ(m.GetMemory(), platform::fromUtf8(kCommand));
}

TEST_F(Vrd4Shm, DumpListsEveryVariableAndOnlyTheFilledSlots) {
  ASSERT_EQ(tool({"set", "VRD4Sendetexte42", "Befehl\x1b" "Cls"}).exitCode, 0);
  ASSERT_EQ(tool({"set", "clsVRD4MemorySpeicher", "groß"}).exitCode, 0);
  ASSERT_EQ(tool({"set", "clsVRD4Event", std::string(300, 'x') + "\n"}).exitCode, 0);
  const RunResult d = tool({"dump"});
  ASSERT_EQ(d.exitCode, 0) << d.err;
  EXPECT_NE(d.out.find("Halter: nein"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("  VRD4Sendetexte42 = \"Befehl\xE2\x90\x9B" "Cls\"\n"), std::string::npos)
      << d.out;
  EXPECT_EQ(d.out.find("VRD4Sendetexte41"), std::string::npos);
  EXPECT_NE(d.out.find("clsVRD4MemorySpeicher = \"groß\"\n"), std::string::npos);
  // long values are cut for the screen, with their full length
  EXPECT_NE(d.out.find("clsVRD4Event = \"" + std::string(200, 'x') + "… (301 Zeichen)\"\n"),
            std::string::npos);
  const auto& names = set::variableNames();
  for (std::size_t i = set::kAnzahlSendetexte; i < names.size(); ++i)
    EXPECT_NE(d.out.find("\n" + names[i] + " = \""), std::string::npos) << names[i];
}

TEST_F(Vrd4Shm, DumpOfAnEmptyRingSaysSoAndNamesAHolder) {
  set::SpeichervariablenAnlegen();
  const RunResult d = tool({"dump"});
  EXPECT_NE(d.out.find("Halter: ja"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("(alle 100 leer)"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("clsVRD4AktivXVers = \"1.0.0\""), std::string::npos) << d.out;
}

// Opening variables one by one neither resets the ring of a running pair nor
// clears leftovers, and it does not count as holding the set: the next
// creator still finds itself alone and starts empty.
TEST_F(Vrd4Shm, ToolNeitherClearsNorCountsAsHolder) {
  {
    Child holder(binPath("channel_helper"), helperArgs(prefix()));
    ASSERT_EQ(holder.ask("anlegen"), "ok");
    ASSERT_EQ(holder.ask("set clsVRD4LetzteGesendete 42"), "ok");
    ASSERT_EQ(holder.ask("send Befehl\x1b" "Cls"), "ok");
    ASSERT_EQ(tool({"dump"}).exitCode, 0);
    EXPECT_EQ(holder.ask("get VRD4Sendetexte0"), "=Befehl\x1b" "Cls");
    holder.kill();
  }
  EXPECT_EQ(tool({"get", "VRD4Sendetexte0"}).out, "Befehl\x1b" "Cls\n");
  EXPECT_EQ(tool({"set", "clsVRD4Event", "Info;x"}).exitCode, 0);
  EXPECT_NE(tool({"dump"}).out.find("Halter: nein"), std::string::npos);

  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4Event().GetMemory(), u"");
}

struct ExitRow {
  std::string name;
  std::vector<std::string> args;
  int code;
};
std::ostream& operator<<(std::ostream& os, const ExitRow& r) { return os << r.name; }

class Vrd4ShmExit : public Vrd4Shm, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(Vrd4ShmExit, CodeTellsWhatWentWrong) {
  EXPECT_EQ(tool(GetParam().args).exitCode, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Vrd4ShmExit,
    ::testing::Values(ExitRow{"GetKnown", {"get", "clsVRD4Aktiv"}, 0},
                      ExitRow{"GetUnknown", {"get", "clsVRD4Gibtsnicht"}, 1},
                      ExitRow{"SetUnknown", {"set", "VRD4Sendetexte100", "x"}, 1},
                      ExitRow{"NameIsCaseSensitive", {"get", "clsvrd4aktiv"}, 1},
                      ExitRow{"Nothing", {}, 2},
                      ExitRow{"GetWithoutName", {"get"}, 2},
                      ExitRow{"SetWithoutText", {"set", "clsVRD4Aktiv"}, 2},
                      ExitRow{"DumpWithArgument", {"dump", "x"}, 2},
                      ExitRow{"UnknownCommand", {"loeschen"}, 2}),
    [](const auto& info) { return info.param.name; });

// The python block of docs/channel.md, run as it stands.
std::string docsExample() {
  std::ifstream in(std::string(VRD4_SOURCE_DIR) + "/docs/channel.md");
  std::stringstream all;
  all << in.rdbuf();
  const std::string doc = all.str();
  const auto start = doc.find("```python\n");
  if (start == std::string::npos) return {};
  const auto body = start + 10;
  return doc.substr(body, doc.find("```", body) - body);
}

TEST_F(Vrd4Shm, SenderWrittenFromTheDocsPutsACommandIntoTheRing) {
  if (run("/usr/bin/env", {"python3", "-c", "pass"}).exitCode != 0)
    GTEST_SKIP() << "python3 not installed";
  const std::string code = docsExample();
  ASSERT_FALSE(code.empty());
  const std::string script = "/tmp/" + prefix() + "send.py";
  std::ofstream(script) << code;

  // A receiver's view: the set exists, one command was sent before.
  set::SpeichervariablenAnlegen();
  set::clsVRD4LetzteGesendete().SetMemory(u"99");
  const RunResult sent = run("/usr/bin/env", {"python3", script, "--prefix", prefix(),
                                              "Textausgabe", "Grüße aus Köln – 12,50 €", "1"});
  ::unlink(script.c_str());
  ASSERT_EQ(sent.exitCode, 0) << sent.err;
  EXPECT_EQ(sent.out, "0\n");  // the slot after 99
  EXPECT_EQ(tool({"get", "VRD4Sendetexte0"}).out, kCommand + "\n");
  EXPECT_EQ(tool({"get", "clsVRD4LetzteGesendete"}).out, "0\n");
  EXPECT_EQ(set::Sendetexte(0).GetMemory(), platform::fromUtf8(kCommand));
}

}  // namespace
}  // namespace vrd4::channel::test
