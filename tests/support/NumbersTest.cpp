// Sixteen-bit arithmetic, rounding, and the leading number of a channel text.
#include <gtest/gtest.h>

#include "platform/Ansi.h"
#include "support/Numbers.h"

namespace vrd4 {
namespace {

using namespace platform;

// (Sixteen-bit overflow and rounding half to even: the engine's and picture tests.)
TEST(Numbers, LeadingNumberTakesTheNumericHeadAndLeadingIntClampsAndRounds) {
  const std::pair<std::u16string, double> zeilen[] = {
      {u"", 0},    {u"-1", -1},  {u"1,5", 1},   {u"  7x", 7}, {u"abc", 0},  {u"-", 0},
      {u"1e3", 1000}, {u"2e", 2}, {u".25", 0.25}, {u"1e999", 0}};
  for (const auto& [text, wert] : zeilen) EXPECT_DOUBLE_EQ(leadingNumber(text), wert) << toUtf8(text);
  EXPECT_EQ(leadingInt(u"2.5"), 2);
  EXPECT_EQ(leadingInt(u"99999999999"), 2147483647);
  EXPECT_EQ(leadingInt(u"-99999999999"), -2147483647 - 1);
}

// Windows-1252 for window titles and network lines; UTF-8 for files and logs.
TEST(Ansi, Windows1252AndUtf8RoundTripAndReplaceWhatTheyCannotHold) {
  EXPECT_EQ(toAnsi(u"Größe €"), std::string("Gr\xF6\xDF" "e \x80"));
  EXPECT_EQ(toAnsi(u"a\u4E2Db\U0001F600"), "a?b?");  // one character, one '?'
  std::string alle;
  for (int b = 0; b < 256; ++b) alle.push_back(static_cast<char>(b));
  EXPECT_EQ(toAnsi(fromAnsi(alle)), alle);
  EXPECT_EQ(fromUtf8(toUtf8(u"Tür € \U0001F600")), u"Tür € \U0001F600");
  EXPECT_EQ(fromUtf8("a\xFF" "b\xE2\x82"), u"a\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(toUtf8(u"\xD800"), "\xEF\xBF\xBD");  // lone surrogate
}

}  // namespace
}  // namespace vrd4
