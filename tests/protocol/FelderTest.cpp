// Reading and writing single fields: what a receiver accepts in a number
// field, what it refuses, and how a sender writes numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Texte.h"

namespace vrd4::protocol {
namespace {

struct Lesefall {
  std::string name;
  FeldTyp typ;
  std::u16string feld;
  Wert erwartet;  // unused for the rows that must fail
};

Wert lese(FeldTyp typ, std::u16string_view feld) {
  switch (typ) {
    case FeldTyp::Int16: return leseInt16(feld);
    case FeldTyp::Int32: return leseInt32(feld);
    case FeldTyp::Byte: return leseByte(feld);
    case FeldTyp::Bool: return leseBool(feld);
    case FeldTyp::Double: return leseDouble(feld);
    case FeldTyp::Text: return std::u16string(feld);
  }
  return {};
}

class Gelesen : public ::testing::TestWithParam<Lesefall> {};

TEST_P(Gelesen, ConvertsToTheFieldType) { EXPECT_EQ(lese(GetParam().typ, GetParam().feld), GetParam().erwartet); }

const Lesefall kGueltig[] = {
    {"Int16Zero", FeldTyp::Int16, u"0", int16_t{0}},
    {"Int16Lowest", FeldTyp::Int16, u"-32768", int16_t{-32768}},
    {"Int16Highest", FeldTyp::Int16, u"32767", int16_t{32767}},
    {"Int16SurroundingBlanks", FeldTyp::Int16, u" \t12 ", int16_t{12}},
    {"Int16PlusSign", FeldTyp::Int16, u"+7", int16_t{7}},
    {"Int16HalfRoundsDownToEven", FeldTyp::Int16, u"2.5", int16_t{2}},
    {"Int16HalfRoundsUpToEven", FeldTyp::Int16, u"3.5", int16_t{4}},
    {"Int16NegativeHalfToEven", FeldTyp::Int16, u"-2.5", int16_t{-2}},
    {"Int16JustAboveHalfRoundsUp", FeldTyp::Int16, u"2.5000000001", int16_t{3}},
    {"Int16FractionBelowHighest", FeldTyp::Int16, u"32767.4", int16_t{32767}},
    {"Int16HalfBelowLowestIsEven", FeldTyp::Int16, u"-32768.5", int16_t{-32768}},
    {"Int16TrailingPoint", FeldTyp::Int16, u"5.", int16_t{5}},
    {"Int16OnlyFraction", FeldTyp::Int16, u".7", int16_t{1}},
    {"Int16LeadingZeros", FeldTyp::Int16, u"000000000000000000042", int16_t{42}},
    {"Int32White", FeldTyp::Int32, u"16777215", int32_t{16777215}},
    {"Int32Lowest", FeldTyp::Int32, u"-2147483648", int32_t{-2147483647 - 1}},
    {"ByteHighest", FeldTyp::Byte, u"255", uint8_t{255}},
    {"ByteHalfToEven", FeldTyp::Byte, u"254.5", uint8_t{254}},
    {"ByteMinusZero", FeldTyp::Byte, u"-0.4", uint8_t{0}},
    {"BoolMinusOne", FeldTyp::Bool, u"-1", true},
    {"BoolZero", FeldTyp::Bool, u"0", false},
    {"BoolZeroFraction", FeldTyp::Bool, u"0.000", false},
    {"BoolAnyOtherNumber", FeldTyp::Bool, u"17", true},
    {"BoolSmallFraction", FeldTyp::Bool, u"0.4", true},
    {"BoolTrueAnyCase", FeldTyp::Bool, u" tRUE ", true},
    {"BoolFalseAnyCase", FeldTyp::Bool, u"FALSE", false},
    {"DoubleHalf", FeldTyp::Double, u"0.5", 0.5},
    {"DoubleEmptyIsZero", FeldTyp::Double, u"", 0.0},
    {"DoubleLettersAreZero", FeldTyp::Double, u"schnell", 0.0},
    {"DoubleLeadingPartOnly", FeldTyp::Double, u"1.5 s", 1.5},
    {"DoubleCommaIsNoDecimalPoint", FeldTyp::Double, u"1,5", 1.0},
    {"DoubleNegative", FeldTyp::Double, u"-0.04", -0.04},
};
INSTANTIATE_TEST_SUITE_P(Felder, Gelesen, ::testing::ValuesIn(kGueltig),
                         [](const auto& info) { return info.param.name; });

class Abgelehnt : public ::testing::TestWithParam<Lesefall> {};

TEST_P(Abgelehnt, ThrowsFeldFehlerWithTheText) {
  try {
    lese(GetParam().typ, GetParam().feld);
    FAIL() << "accepted";
  } catch (const FeldFehler& e) {
    EXPECT_EQ(e.text(), GetParam().feld);
    EXPECT_EQ(e.position(), -1);
  }
}

const Lesefall kUngueltig[] = {
    {"Int16Letters", FeldTyp::Int16, u"abc", {}},
    {"Int16Empty", FeldTyp::Int16, u"", {}},
    {"Int16OnlyBlanks", FeldTyp::Int16, u"  ", {}},
    {"Int16OnlySign", FeldTyp::Int16, u"-", {}},
    {"Int16OnlyPoint", FeldTyp::Int16, u".", {}},
    {"Int16AboveRange", FeldTyp::Int16, u"40000", {}},
    {"Int16BelowRange", FeldTyp::Int16, u"-32769", {}},
    {"Int16HalfAboveHighestRoundsOut", FeldTyp::Int16, u"32767.5", {}},
    {"Int16DigitsThenLetters", FeldTyp::Int16, u"12px", {}},
    {"Int16BlankInside", FeldTyp::Int16, u"1 2", {}},
    {"Int16DoubleSign", FeldTyp::Int16, u"--1", {}},
    {"Int16Comma", FeldTyp::Int16, u"1,5", {}},
    {"Int16Exponent", FeldTyp::Int16, u"1e3", {}},
    {"Int16ArabicDigit", FeldTyp::Int16, u"\u0661", {}},
    {"Int32AboveRange", FeldTyp::Int32, u"2147483648", {}},
    {"Int32HugeNumber", FeldTyp::Int32, u"99999999999999999999999999", {}},
    {"ByteAboveRange", FeldTyp::Byte, u"256", {}},
    {"ByteNegative", FeldTyp::Byte, u"-1", {}},
    {"BoolWord", FeldTyp::Bool, u"ja", {}},
    {"BoolEmpty", FeldTyp::Bool, u"", {}},
    {"BoolTrueWithTail", FeldTyp::Bool, u"truex", {}},
};
INSTANTIATE_TEST_SUITE_P(Felder, Abgelehnt, ::testing::ValuesIn(kUngueltig),
                         [](const auto& info) { return info.param.name; });

TEST(FeldFehlerText, NamesCommandPositionAndTextInUtf8) {
  try {
    leseInt16(u"Größe", u"Linie", 3);
    FAIL() << "accepted";
  } catch (const FeldFehler& e) {
    EXPECT_EQ(e.befehl(), u"Linie");
    EXPECT_EQ(e.position(), 3);
    EXPECT_STREQ(e.what(), "Befehl \"Linie\": Feld 3 ist keine Zahl von -32768 bis 32767: 'Größe'");
  }
}

TEST(FeldFehlerText, ShowsOnlyTheStartOfALongField) {
  const std::u16string lang(100000, u'Z');
  try {
    leseByte(lang);
    FAIL() << "accepted";
  } catch (const FeldFehler& e) {
    EXPECT_EQ(e.text(), lang);
    EXPECT_LT(std::string(e.what()).size(), 200u);
  }
}

struct Schreibfall {
  std::string name;
  double wert;
  std::u16string text;
};

class DoubleGeschrieben : public ::testing::TestWithParam<Schreibfall> {};

TEST_P(DoubleGeschrieben, ShortestWithPointAndWithoutExponent) {
  EXPECT_EQ(schreibeDouble(GetParam().wert), GetParam().text);
}

const Schreibfall kDoubles[] = {
    {"Half", 0.5, u"0.5"},
    {"Whole", 2.0, u"2"},
    {"SmallFraction", 0.04, u"0.04"},
    {"Negative", -1.25, u"-1.25"},
    {"Zero", 0.0, u"0"},
    {"NegativeZero", -0.0, u"0"},
    {"NotANumber", std::numeric_limits<double>::quiet_NaN(), u"0"},
    {"Infinity", std::numeric_limits<double>::infinity(), u"0"},
    {"MinusInfinity", -std::numeric_limits<double>::infinity(), u"0"},
    {"SumWithBinaryError", 0.1 + 0.2, u"0.30000000000000004"},
    {"Tiny", 1e-7, u"0.0000001"},
    {"Huge", 1e21, u"1000000000000000000000"},
    {"HugeShortestDigits", 1.5e30, u"1500000000000000000000000000000"},
    {"SecondsSinceMidnight", 86399.99, u"86399.99"},
};
INSTANTIATE_TEST_SUITE_P(Felder, DoubleGeschrieben, ::testing::ValuesIn(kDoubles),
                         [](const auto& info) { return info.param.name; });

TEST(DoubleGeschrieben, ExtremesReadBackExactly) {
  for (double v : {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
                   1e300, 123456789.125, -1.0 / 3}) {
    const std::u16string t = schreibeDouble(v);
    EXPECT_EQ(t.find_first_of(u"eE"), std::u16string::npos) << test::utf8(t);
    EXPECT_EQ(leseDouble(t), v) << test::utf8(t);
  }
}

TEST(GanzzahlGeschrieben, DecimalWithoutBlanks) {
  EXPECT_EQ(schreibeGanzzahl(-32768), u"-32768");
  EXPECT_EQ(schreibeGanzzahl(0), u"0");
  EXPECT_EQ(schreibeGanzzahl(16777215), u"16777215");
  EXPECT_EQ(schreibeBool(true), u"-1");
  EXPECT_EQ(schreibeBool(false), u"0");
}

}  // namespace
}  // namespace vrd4::protocol
