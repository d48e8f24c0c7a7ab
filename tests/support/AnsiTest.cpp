#include <gtest/gtest.h>

#include "platform/Ansi.h"

namespace vrd4::platform {
namespace {

TEST(Ansi, UmlautsAndEuroMapToWindows1252) {
  EXPECT_EQ(toAnsi(u"Größe €"), std::string("Gr\xF6\xDF" "e \x80"));
  EXPECT_EQ(fromAnsi("Gr\xF6\xDF" "e \x80"), u"Größe €");
}

TEST(Ansi, CharactersOutsideBecomeQuestionMarks) {
  EXPECT_EQ(toAnsi(u"a\u4E2Db"), "a?b");
  EXPECT_EQ(toAnsi(u"\U0001F600"), "?");  // one character, one '?'
}

TEST(Ansi, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(toAnsi(fromAnsi(all)), all);
}

TEST(Utf8, RoundTripsAndReplacesInvalidBytes) {
  std::u16string text = u"Tür € \U0001F600";
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(fromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");  // truncated sequence
  EXPECT_EQ(toUtf8(u"\xD800"), "\xEF\xBF\xBD");      // lone surrogate
}

}  // namespace
}  // namespace vrd4::platform
