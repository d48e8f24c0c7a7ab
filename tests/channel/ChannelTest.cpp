// The channel: the byte layout other programs rely on, foreign lengths and
// objects, VRD4Mutex and the set's lifetime, then two real processes. Every
// test has a name prefix of its own, so tests never meet each other or a running receiver, and leaves nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "channel/modVRD4Mutex.h"
#include "platform/Ansi.h"
#include "platform/FileLock.h"
#include "platform/Gruppe.h"
#include "platform/MessageBox.h"
#include "platform/SharedMemory.h"
#include "tests/TestHilfe.h"
#include "tools/vrd4shm/Vrd4Shm.h"

namespace vrd4::channel::test {
namespace {

namespace set = modVRD4GlobaleVariablen;
namespace mutex = modVRD4Mutex;
constexpr auto npos = std::string::npos;

// A second process on the channel (forked before the test maps anything),
// driven line by line over a socket; one answer line per command:
//   anlegen         create the set                       -> ok
//   set NAME TEXT   write one variable (TEXT is UTF-8)   -> ok
//   get NAME        read one variable                    -> =TEXT
// Killed (SIGKILL) and reaped when destroyed.
class Helper {
 public:
  Helper() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    if ((pid_ = ::fork()) == 0) dienen(fds[1]);
    ::close(fds[1]);
    fd_ = fds[0];
  }
  ~Helper() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    ::close(fd_);
  }
  // One line in; the next line out, without its end.
  std::string ask(const std::string& line) {
    const std::string l = line + "\n";
    if (::write(fd_, l.data(), l.size()) != ssize_t(l.size())) return "<write failed>";
    return zeile(fd_);
  }

 private:
  static std::string zeile(int fd) {
    std::string z;
    for (char c; ::read(fd, &c, 1) == 1 && c != '\n';) z += c;
    return z;
  }
  [[noreturn]] static void dienen(int fd) {
    std::map<std::string, ClsVRD4Memory> variables;  // opened one by one by name, kept until the end
    for (std::string line; !(line = zeile(fd)).empty();) {
      std::istringstream in(line);
      std::string command, name, text, answer = "ok";
      in >> command >> name;
      std::getline(in >> std::ws, text);
      if (command == "anlegen") set::SpeichervariablenAnlegen();
      ClsVRD4Memory& v = variables[name];
      if (command != "anlegen" && !v.mapped()) v.Initialize(name);
      if (command == "set") v.SetMemory(platform::fromUtf8(text));
      if (command == "get") answer = "=" + platform::toUtf8(v.GetMemory());
      answer += "\n";
      if (::write(fd, answer.data(), answer.size()) < 0) break;
    }
    ::_exit(0);
  }
  pid_t pid_ = -1;
  int fd_ = -1;
};

int g_tests = 0;

class ChannelTest : public ::testing::Test, public platform::MessageBoxSink {
 protected:
  void SetUp() override {
    setChannelNamePrefix(prefix);
    platform::setMessageBoxSink(this);
  }
  void TearDown() override {
    set::SpeichervariablenFreigeben();
    mutex::MutexSchliessen();
    set::removeChannelObjects();
    vrd4::test::kanalDateienEntfernen(prefix);  // and single objects the test made under its prefix
    platform::setMessageBoxSink(nullptr);
  }
  void show(const std::u16string& text, const std::u16string&, platform::MeldungsStil) override { boxes.push_back(text); }

  const std::string prefix = "t_channel_" + std::to_string(::getpid()) + "_" + std::to_string(++g_tests) + "_";
  std::vector<std::u16string> boxes;
};

// UTF-16LE text padded with U+0020, then the full length as int32 (little-
// endian: the host's order): umlauts and euro, exactly the width, one more
// (cut), and the large kind cut.
TEST_F(ChannelTest, StoresTextPaddedWithSpacesAndItsFullLength) {
  const auto pruefen = [&]<class Memory>(Memory&& m, const std::u16string& text) {
    const std::string name = "Layout" + std::to_string(text.size());
    m.Initialize(name);
    m.SetMemory(text);
    EXPECT_EQ(std::filesystem::file_size("/dev/shm/" + prefix + name), Memory::kMappingSize);
    platform::SharedMemory raw;
    ASSERT_TRUE(raw.open(prefix + name, Memory::kMappingSize));
    const std::u16string stored = text.substr(0, Memory::kTextUnits);
    const std::u16string field = stored + std::u16string(Memory::kTextUnits - stored.size(), u' ');
    EXPECT_EQ(std::memcmp(raw.data(), field.data(), Memory::kTextBytes), 0) << text.size();
    int32_t length = 0;
    std::memcpy(&length, raw.data() + Memory::kTextBytes, 4);
    EXPECT_EQ(length, int32_t(text.size()));
    EXPECT_EQ(m.GetMemory(), stored);
  };
  for (const std::u16string& t : {std::u16string(u"Grüße äöü ÄÖÜ ß 12,50 €"), std::u16string(32100, u'x'),
                                  std::u16string(32101, u'y')})
    pruefen(ClsVRD4Memory(), t);
  pruefen(ClsVRD4MemorySpeich(), std::u16string(32753, u'€'));
}

// A leftover or foreign object of another size must not make an access fault
// (SIGBUS would kill this test); a foreign length outside 0..field width is
// clamped, without overflow.
TEST_F(ChannelTest, ForeignObjectsAndLengthsAreMadeSafe) {
  std::ofstream("/dev/shm/" + prefix + "Fremd") << "0123456789";
  ClsVRD4Memory m;
  m.Initialize("Fremd");
  m.SetMemory(std::u16string(32100, u'q'));
  EXPECT_EQ(m.GetMemory().size(), 32100u);
  m.SetMemory(u"abc");
  platform::SharedMemory raw;
  ASSERT_TRUE(raw.open(prefix + "Fremd", ClsVRD4Memory::kMappingSize));
  const std::u16string field = u"abc" + std::u16string(32097, u' ');
  const std::pair<int32_t, std::size_t> rows[] = {
      {INT32_MIN, 0}, {-5, 0}, {2, 2}, {32101, 32100}, {INT32_MAX, 32100}};
  for (const auto& [length, units] : rows) {
    std::memcpy(raw.data() + ClsVRD4Memory::kTextBytes, &length, 4);
    std::u16string gelesen;
    EXPECT_NO_THROW(gelesen = m.GetMemory()) << length;
    EXPECT_EQ(gelesen, field.substr(0, units)) << length;
  }
}

// Group vrd4 and 0660 when the group exists (else owner only) whatever the
// umask, and close-on-exec: objects and lock files.
TEST_F(ChannelTest, EveryChannelDescriptorIsForTheBoardGroupAndCloseOnExec) {
  const auto gruppe = platform::tafelGruppe();
  const mode_t modus = gruppe ? 0660 : 0600;
  const mode_t umask = ::umask(0);
  set::SpeichervariablenAnlegen();
  ::umask(umask);
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(entry.path(), ec).string();
    if (ec || target.find("/dev/shm/" + prefix) == npos) continue;
    const int fd = std::stoi(entry.path().filename().string());
    struct stat st {};
    ++seen;
    EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << target;
    EXPECT_TRUE(::fstat(fd, &st) == 0 && (st.st_mode & 07777) == modus) << target;
    if (gruppe) {
      EXPECT_EQ(st.st_gid, *gruppe) << target;
    }
  }
  EXPECT_EQ(seen, 121);  // 119 variables, the lifetime lock and VRD4Mutex
}

// A file of the channel that is there but cannot be opened (here a socket;
// in the field another user's object): one message naming it and the fix,
// no set; once replaced, the set comes.
TEST_F(ChannelTest, AChannelFileThatCannotBeOpenedIsReportedOnceUntilReplaced) {
  const std::string pfad = "/dev/shm/" + prefix + "clsVRD4Event";
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un adresse{};
  adresse.sun_family = AF_UNIX;
  std::strncpy(adresse.sun_path, pfad.c_str(), sizeof adresse.sun_path - 1);
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse), 0);
  ::close(s);
  EXPECT_EQ(set::gesperrtesObjekt(), pfad);
  set::SpeichervariablenAnlegen();
  EXPECT_FALSE(set::angelegt());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(platform::fromUtf8(pfad)), npos);
  EXPECT_NE(boxes[0].find(platform::fromUtf8("rm /dev/shm/" + prefix + "VRD4*")), npos);
  EXPECT_TRUE(set::gesperrteObjekteErsetzen());
  EXPECT_EQ(set::gesperrtesObjekt(), "");
  set::SpeichervariablenAnlegen();
  EXPECT_TRUE(set::angelegt());
}

// No object, outside the set or an index out of range: reads as the empty
// text and ignores writes; an object that cannot be created says so.
TEST_F(ChannelTest, UnmappedVariablesReadEmptyAndIgnoreWrites) {
  ClsVRD4Memory bad;
  bad.Initialize("kein/gueltiger/Name");
  EXPECT_EQ(boxes, std::vector<std::u16string>{u"CreateFileMapping konnte nicht gestartet werden!"});
  ClsVRD4Memory* beforeTheSet = &set::clsVRD4LetzteGesendete();
  set::SpeichervariablenAnlegen();
  for (ClsVRD4Memory* m : {&bad, beforeTheSet, &set::Sendetexte(100)}) {
    m->SetMemory(u"verloren");
    EXPECT_EQ(m->GetMemory(), u"");
  }
}

// vrd4shm, the channel's diagnostic tool: exit code, output, error output.
TEST_F(ChannelTest, Vrd4shmWritesReadsAndShowsVariablesAndRefusesUnknownNamesAndWrongCalls) {
  set::SpeichervariablenAnlegen();
  const auto shm = [](const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = tools::runVrd4Shm(args, out, err);
    return std::to_string(code) + "|" + out.str() + "|" + err.str();
  };
  EXPECT_EQ(shm({"set", "VRD4Sendetexte7", "Befehl\x1b" "Größe"}), "0||");
  EXPECT_EQ(set::Sendetexte(7).GetMemory(), u"Befehl\x1b" u"Größe");
  EXPECT_EQ(shm({"get", "VRD4Sendetexte7"}), "0|Befehl\x1bGröße\n|");
  EXPECT_EQ(shm({"get", "clsVRD4Nichts"}), "1||vrd4shm: unbekannte Variable: clsVRD4Nichts\n");
  const std::string dump = shm({"dump"});
  EXPECT_NE(dump.find("\n  VRD4Sendetexte7 = \"Befehl\u241BGröße\"\n"), npos) << dump;
  EXPECT_EQ(dump.find("VRD4Sendetexte6"), npos) << "empty slots are left out";
  EXPECT_EQ(shm({"set", "clsVRD4Event"}).substr(0, 7), "2||Aufr");
  EXPECT_EQ(tools::visible(u"a\x1b\x7f" + std::u16string(5, u'x'), 4), u"a\u241B\u2421x… (8 Zeichen)");
}

// Exclusive against another description of the lock file; every access gives
// it back; a lock file that cannot be made never waits.
TEST_F(ChannelTest, MutexIsExclusiveAndAccessesGiveItBack) {
  ClsVRD4Memory m;
  m.Initialize("Frei");
  platform::FileLock foreign;
  ASSERT_TRUE(foreign.open(mutex::lockFilePath()));
  ASSERT_TRUE(foreign.tryLockExclusive());
  EXPECT_FALSE(mutex::MutexWarten(0) || mutex::MutexWarten(-5));  // below -1: one attempt
  EXPECT_FALSE(mutex::MutexFreigeben());  // not held, nothing to release
  ASSERT_TRUE(foreign.unlock());
  EXPECT_TRUE(mutex::MutexWarten(0));
  EXPECT_FALSE(foreign.tryLockExclusive());
  EXPECT_TRUE(mutex::MutexFreigeben());
  m.SetMemory(u"x");
  EXPECT_EQ(m.GetMemory(), u"x");
  EXPECT_TRUE(foreign.tryLockExclusive());
  mutex::MutexSchliessen();
  setChannelNamePrefix("kein_ordner/");
  EXPECT_EQ(mutex::MutexAnlegen(), u"Mutex mit Name: \r\nVRD4Mutex\r\n konnte nicht initialisiert werden.");
  EXPECT_FALSE(mutex::MutexWarten(-1));
  setChannelNamePrefix(prefix);
}


// Each sees the other's writes at once. A later creator resets the ring, not
// the counters. The contents live while a holder lives, even when the first
// was killed; after the last holder is killed a new creator finds them empty.
TEST_F(ChannelTest, TwoProcessesShareTheContentsWhileOneHolderLives) {
  auto first = std::make_unique<Helper>(), second = std::make_unique<Helper>();
  ASSERT_EQ(first->ask("anlegen"), "ok");
  ASSERT_EQ(first->ask("set clsVRD4LetzteGesendete 42"), "ok");
  ASSERT_EQ(first->ask("set VRD4Sendetexte5 Befehl\x1b" "Cls"), "ok");
  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"42");
  EXPECT_EQ(set::Sendetexte(5).GetMemory(), u"");
  set::clsVRD4Event().SetMemory(u"Info;hallo äöü €");
  EXPECT_EQ(first->ask("get clsVRD4Event"), "=Info;hallo äöü €");
  first.reset();  // SIGKILL
  ASSERT_EQ(second->ask("anlegen"), "ok");
  EXPECT_EQ(second->ask("get clsVRD4LetzteGesendete"), "=42");
  ASSERT_EQ(second->ask("set clsVRD4LetzteGelesene 41"), "ok");
  set::SpeichervariablenFreigeben();
  second.reset();  // SIGKILL to the last holder

  set::SpeichervariablenAnlegen();
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");  // reads as 0
  EXPECT_EQ(set::clsVRD4LetzteGelesene().GetMemory(), u"");
  EXPECT_EQ(set::clsVRD4Event().GetMemory(), u"");
}

}  // namespace
}  // namespace vrd4::channel::test
