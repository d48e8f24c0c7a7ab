// The hex text that carries picture bytes: round trips, the documented
// example, the odd-length rule and bad digits.
#include <gtest/gtest.h>

#include <cstdio>

#include "Texte.h"
#include "protocol/Hex.h"

namespace vrd4::protocol {
namespace {

TEST(Hex, EveryByteValueRoundTripsAsTwoUpperCaseDigits) {
  std::vector<uint8_t> alle(256);
  for (int i = 0; i < 256; ++i) alle[i] = static_cast<uint8_t>(i);
  const std::u16string hex = hexKodieren(alle);
  ASSERT_EQ(hex.size(), 512u);
  for (int i = 0; i < 256; ++i) {
    char erwartet[3];
    std::snprintf(erwartet, sizeof erwartet, "%02X", i);
    EXPECT_EQ(hex[2 * i], erwartet[0]) << i;
    EXPECT_EQ(hex[2 * i + 1], erwartet[1]) << i;
  }
  EXPECT_EQ(hexDekodieren(hex), alle);
}

TEST(Hex, TextWithCodes65And10And255) {
  const std::u16string t = u"A\nÿ";
  EXPECT_EQ(hexKodierenText(t), u"410AFF");
  EXPECT_EQ(hexDekodierenText(u"410AFF"), t);
}

TEST(Hex, TextGoesThroughWindows1252) {
  EXPECT_EQ(hexKodierenText(u"€ä"), u"80E4");
  EXPECT_EQ(hexDekodierenText(u"80e4"), u"€ä");
}

TEST(Hex, AppendingKeepsWhatIsThere) {
  std::u16string ziel = u"x";
  const std::vector<uint8_t> b = {0x0A};
  hexAnhaengen(ziel, b);
  EXPECT_EQ(ziel, u"x0A");
}

struct Dekodierfall {
  std::string name;
  std::u16string hex;
  std::vector<uint8_t> bytes;
};

class HexDekodiert : public ::testing::TestWithParam<Dekodierfall> {};

TEST_P(HexDekodiert, GivesHalfTheLengthRoundedToEven) { EXPECT_EQ(hexDekodieren(GetParam().hex), GetParam().bytes); }

const Dekodierfall kDekodierfaelle[] = {
    {"Empty", u"", {}},
    {"LowerCase", u"0aff", {0x0A, 0xFF}},
    {"Length1GivesNothing", u"7", {}},
    {"Length3LastFromSingleDigit", u"41A", {0x41, 0x0A}},
    {"Length5FinalDigitUnused", u"410AF", {0x41, 0x0A}},
    {"Length5UnusedFinalCharIsNotChecked", u"410AZ", {0x41, 0x0A}},
    {"Length7LastFromSingleDigit", u"410AFF7", {0x41, 0x0A, 0xFF, 0x07}},
    {"Length9FinalDigitUnused", u"410AFF07E", {0x41, 0x0A, 0xFF, 0x07}},
};
INSTANTIATE_TEST_SUITE_P(Hex, HexDekodiert, ::testing::ValuesIn(kDekodierfaelle),
                         [](const auto& info) { return info.param.name; });

struct Fehlerfall {
  std::string name;
  std::u16string hex;
  std::string meldung;
};

class HexAbgelehnt : public ::testing::TestWithParam<Fehlerfall> {};

TEST_P(HexAbgelehnt, ThrowsHexFehlerNamingTheCharacter) {
  try {
    hexDekodieren(GetParam().hex);
    FAIL() << "accepted";
  } catch (const HexFehler& e) {
    EXPECT_EQ(e.what(), GetParam().meldung);
  }
}

const Fehlerfall kFehlerfaelle[] = {
    {"LetterBeyondF", u"4G", "Zeichen 2 ist keine Hexadezimalziffer: 'G'"},
    {"Blank", u"41 0A", "Zeichen 3 ist keine Hexadezimalziffer: ' '"},
    {"Prefix", u"0x41", "Zeichen 2 ist keine Hexadezimalziffer: 'x'"},
    {"Sign", u"-1", "Zeichen 1 ist keine Hexadezimalziffer: '-'"},
    {"FullWidthDigit", u"4\uFF11", "Zeichen 2 ist keine Hexadezimalziffer: '１'"},
    {"UsedSingleFinalDigit", u"410AFFZ", "Zeichen 7 ist keine Hexadezimalziffer: 'Z'"},
};
INSTANTIATE_TEST_SUITE_P(Hex, HexAbgelehnt, ::testing::ValuesIn(kFehlerfaelle),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vrd4::protocol
