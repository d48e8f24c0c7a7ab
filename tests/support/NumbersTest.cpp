#include <gtest/gtest.h>

#include "support/Numbers.h"

namespace vrd4 {
namespace {

TEST(Numbers, SixteenBitArithmeticThrowsInsteadOfWrapping) {
  EXPECT_EQ(sub16(1, 1), 0);
  EXPECT_EQ(sub16(-32767, 1), -32768);
  EXPECT_THROW(sub16(-32768, 1), OverflowError);
  EXPECT_THROW(add16(32767, 1), OverflowError);
  EXPECT_EQ(to16(-32768), -32768);
  EXPECT_THROW(to16(40000), OverflowError);
}

TEST(Numbers, RoundsHalvesToEven) {
  EXPECT_EQ(roundHalfEven(2.5), 2.0);
  EXPECT_EQ(roundHalfEven(3.5), 4.0);
  EXPECT_EQ(roundHalfEven(-2.5), -2.0);
  EXPECT_EQ(roundHalfEven(2.4999), 2.0);
  EXPECT_EQ(roundToInt32(1e9), 1000000000);
  EXPECT_THROW(roundToInt32(1e12), OverflowError);
}

struct LeadingCase {
  const char* name;
  std::u16string text;
  double value;
};

class LeadingNumber : public ::testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumber, TakesTheLeadingNumericPart) {
  EXPECT_DOUBLE_EQ(leadingNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LeadingNumber,
    ::testing::Values(LeadingCase{"Empty", u"", 0}, LeadingCase{"Plain", u"42", 42},
                      LeadingCase{"Negative", u"-1", -1}, LeadingCase{"Fraction", u"0.5", 0.5},
                      LeadingCase{"CommaStops", u"1,5", 1}, LeadingCase{"LeadingBlanks", u"  7x", 7},
                      LeadingCase{"Letters", u"abc", 0}, LeadingCase{"SignOnly", u"-", 0},
                      LeadingCase{"Exponent", u"1e3", 1000}, LeadingCase{"BareExponent", u"2e", 2},
                      LeadingCase{"PointOnly", u".25", 0.25}, LeadingCase{"Huge", u"1e999", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Numbers, LeadingIntClampsAndRounds) {
  EXPECT_EQ(leadingInt(u"3"), 3);
  EXPECT_EQ(leadingInt(u"2.5"), 2);
  EXPECT_EQ(leadingInt(u"99999999999"), 2147483647);
  EXPECT_EQ(leadingInt(u"-99999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace vrd4
