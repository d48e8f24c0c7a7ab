// The byte layout that other programs rely on, and what a variable does
// without a mapping or with a foreign length.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "ChannelTestSupport.h"
#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "channel/modVRD4Mutex.h"

namespace vrd4::channel::test {
namespace {

namespace set = modVRD4GlobaleVariablen;

struct LayoutRow {
  std::string name;
  std::u16string text;
  bool large;
};

std::ostream& operator<<(std::ostream& os, const LayoutRow& r) { return os << r.name; }

std::vector<unsigned char> utf16le(std::u16string_view s) {
  std::vector<unsigned char> b;
  for (char16_t c : s) {
    b.push_back(static_cast<unsigned char>(c & 0xFF));
    b.push_back(static_cast<unsigned char>(c >> 8));
  }
  return b;
}

int32_t lengthField(const platform::SharedMemory& raw, std::size_t textBytes) {
  const unsigned char* p = raw.data() + textBytes;
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}

class Layout : public ChannelTest, public ::testing::WithParamInterface<LayoutRow> {};

template <class Memory>
void checkLayout(const std::string& prefix, const std::u16string& text) {
  Memory m;
  m.Initialize("Layout");
  ASSERT_TRUE(m.mapped());
  m.SetMemory(text);

  platform::SharedMemory raw;
  ASSERT_TRUE(raw.open(prefix + "Layout", Memory::kMappingSize));
  struct stat st {};
  ASSERT_EQ(::fstat(raw.fd(), &st), 0);
  EXPECT_EQ(std::size_t(st.st_size), Memory::kMappingSize);

  const std::size_t stored = std::min<std::size_t>(text.size(), Memory::kTextUnits);
  const auto expected = utf16le(std::u16string_view(text).substr(0, stored));
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), raw.data())) << "text bytes";
  std::size_t badPadding = 0;
  for (std::size_t i = stored; i < std::size_t(Memory::kTextUnits); ++i)
    badPadding += raw.data()[2 * i] != 0x20 || raw.data()[2 * i + 1] != 0x00;
  EXPECT_EQ(badPadding, 0u) << "units after the text that are not U+0020";
  EXPECT_EQ(lengthField(raw, Memory::kTextBytes), int32_t(text.size()));
  EXPECT_EQ(m.GetMemory(), text.substr(0, stored));
}

TEST_P(Layout, StoresTextPaddedWithSpacesAndItsFullLength) {
  if (GetParam().large)
    checkLayout<ClsVRD4MemorySpeich>(prefix(), GetParam().text);
  else
    checkLayout<ClsVRD4Memory>(prefix(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Layout,
    ::testing::Values(LayoutRow{"Abc", u"abc", false}, LayoutRow{"Empty", u"", false},
                      LayoutRow{"UmlauteAndEuro", u"Grüße äöü ÄÖÜ ß 12,50 €", false},
                      LayoutRow{"EscSeparatedCommand", u"Befehl\x1b" u"Cls", false},
                      LayoutRow{"SurrogatePair", u"\U0001F600", false},
                      LayoutRow{"Exactly32100", std::u16string(32100, u'x'), false},
                      LayoutRow{"Exactly32101IsCut", std::u16string(32101, u'y'), false},
                      LayoutRow{"LargeAbc", u"abc", true},
                      LayoutRow{"LargeExactly32752", std::u16string(32752, u'z'), true},
                      LayoutRow{"Large32753IsCut", std::u16string(32753, u'€'), true}),
    [](const auto& info) { return info.param.name; });

TEST_F(ChannelTest, MappingSizesAreFixed) {
  EXPECT_EQ(ClsVRD4Memory::kMappingSize, 64204u);
  EXPECT_EQ(ClsVRD4MemorySpeich::kMappingSize, 65508u);
}

TEST_F(ChannelTest, NeverWrittenVariableReadsEmptyAndReadingDoesNotClear) {
  ClsVRD4Memory m;
  m.Initialize("Frisch");
  EXPECT_EQ(m.GetMemory(), u"");
  m.SetMemory(u"zweimal");
  EXPECT_EQ(m.GetMemory(), u"zweimal");
  EXPECT_EQ(m.GetMemory(), u"zweimal");
  m.SetMemory(std::u16string_view{});
  EXPECT_EQ(m.GetMemory(), u"");
}

TEST_F(ChannelTest, TwoObjectsOfOneNameShareTheText) {
  ClsVRD4Memory a, b;
  a.Initialize("Geteilt");
  b.Initialize("Geteilt");
  a.SetMemory(u"von a");
  EXPECT_EQ(b.GetMemory(), u"von a");
}

struct ForeignLengthRow {
  std::string name;
  int32_t length;
  std::size_t expectedUnits;
};
std::ostream& operator<<(std::ostream& os, const ForeignLengthRow& r) { return os << r.name; }

class ForeignLength : public ChannelTest,
                      public ::testing::WithParamInterface<ForeignLengthRow> {};

TEST_P(ForeignLength, IsClampedToTheField) {
  ClsVRD4Memory m;
  m.Initialize("Fremd");
  m.SetMemory(u"abc");
  platform::SharedMemory raw;
  ASSERT_TRUE(raw.open(prefix() + "Fremd", ClsVRD4Memory::kMappingSize));
  const auto u = static_cast<uint32_t>(GetParam().length);
  for (int i = 0; i < 4; ++i)
    raw.data()[ClsVRD4Memory::kTextBytes + i] = static_cast<unsigned char>(u >> (8 * i));
  const std::u16string got = m.GetMemory();
  ASSERT_EQ(got.size(), GetParam().expectedUnits);
  EXPECT_EQ(got.substr(0, std::min<std::size_t>(3, got.size())), std::u16string(u"abc").substr(0, std::min<std::size_t>(3, got.size())));
  if (got.size() > 3) {
    EXPECT_EQ(got.find_first_not_of(u' ', 3), std::u16string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ForeignLength,
                         ::testing::Values(ForeignLengthRow{"Negative", -5, 0},
                                           ForeignLengthRow{"Int32Min", INT32_MIN, 0},
                                           ForeignLengthRow{"Zero", 0, 0},
                                           ForeignLengthRow{"Two", 2, 2},
                                           ForeignLengthRow{"FieldWidth", 32100, 32100},
                                           ForeignLengthRow{"BeyondField", 40000, 32100},
                                           ForeignLengthRow{"Int32Max", INT32_MAX, 32100}),
                         [](const auto& info) { return info.param.name; });

class WrongSize : public ChannelTest, public ::testing::WithParamInterface<off_t> {};

// A leftover or foreign object of another size must not make the first access
// fault (SIGBUS would kill this test).
TEST_P(WrongSize, ObjectIsBroughtToSizeBeforeMapping) {
  int error = 0;
  const int fd = platform::SharedMemory::openDescriptor(prefix() + "Schief", &error);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, GetParam()), 0);
  ClsVRD4Memory m;
  m.Initialize("Schief");
  ASSERT_TRUE(m.mapped());
  m.SetMemory(std::u16string(32100, u'q'));
  EXPECT_EQ(m.GetMemory().size(), 32100u);
  struct stat st {};
  ASSERT_EQ(::fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, off_t(ClsVRD4Memory::kMappingSize));
  ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WrongSize, ::testing::Values(off_t(0), off_t(10), off_t(100000)),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

TEST_F(ChannelTest, ObjectsAndLockFileAreOwnerOnlyWhateverTheUmask) {
  const mode_t old = ::umask(0);
  {
    ClsVRD4Memory m;
    m.Initialize("Rechte");
  }
  ::umask(old);
  struct stat st {};
  ASSERT_EQ(::stat(("/dev/shm/" + prefix() + "Rechte").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(::stat(modVRD4Mutex::lockFilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(ChannelTest, EveryChannelDescriptorIsCloseOnExec) {
  set::SpeichervariablenAnlegen();
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(entry.path(), ec).string();
    if (ec || target.find("/dev/shm/" + prefix()) == std::string::npos) continue;
    const int fd = std::stoi(entry.path().filename().string());
    ++seen;
    EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << target;
  }
  // 119 variables, the lifetime lock and VRD4Mutex
  EXPECT_EQ(seen, 121);
}

TEST_F(ChannelTest, VariableThatCannotBeCreatedSaysSoAndStaysEmpty) {
  ClsVRD4Memory m;
  m.Initialize("kein/gueltiger/Name");
  EXPECT_FALSE(m.mapped());
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], u"CreateFileMapping konnte nicht gestartet werden!");
  m.SetMemory(u"verloren");
  EXPECT_EQ(m.GetMemory(), u"");
}

TEST_F(ChannelTest, AccessorsOutsideTheSetAreUnmappedAndHarmless) {
  EXPECT_FALSE(set::Sendetexte(0).mapped());
  set::clsVRD4LetzteGesendete().SetMemory(u"5");
  EXPECT_EQ(set::clsVRD4LetzteGesendete().GetMemory(), u"");
  EXPECT_FALSE(set::clsVRD4MemorySpeicher().mapped());

  set::SpeichervariablenAnlegen();
  EXPECT_TRUE(set::Sendetexte(99).mapped());
  EXPECT_FALSE(set::Sendetexte(100).mapped());
  EXPECT_FALSE(set::Sendetexte(-1).mapped());
  set::Sendetexte(100).SetMemory(u"x");
  EXPECT_EQ(set::Sendetexte(100).GetMemory(), u"");

  set::SpeichervariablenFreigeben();
  EXPECT_FALSE(set::clsVRD4Event().mapped());
  EXPECT_EQ(set::clsVRD4Event().GetMemory(), u"");
}

}  // namespace
}  // namespace vrd4::channel::test
