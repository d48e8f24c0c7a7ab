// Whole command texts: documented examples and edge cases, hostile fields,
// building errors, and the form in which picture commands are passed on
// (every command's own wire form: DrahtformTest.cpp).
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

#include "platform/Ansi.h"
#include "protocol/Befehl.h"
#include "protocol/Hex.h"

namespace vrd4::protocol {
namespace {

// u"Befehl|Cls" -> u"Befehl\x1bCls".
std::u16string esc(std::u16string s) {
  std::replace(s.begin(), s.end(), u'|', ESC);
  return s;
}

Befehl parse(std::u16string_view t) {
  const auto f = zerlegen(t);
  return konvertieren(*findeBefehl(f.at(1)), f);
}

// Only the first six characters must be "Befehl"; names are case-sensitive;
// fields beyond the row (and AniGifLadenanPosition's empty end field) are
// ignored; splitting keeps empty fields and joining undoes it.
TEST(Befehlstext, HeadNamesExtraFieldsAndEmptyFields) {
  EXPECT_EQ(parse(esc(u"Befehlxyz|Cls")).spec->name, u"Cls");
  EXPECT_FALSE(istBefehl(u"Befeh") || istBefehl(esc(u"befehl|Cls")));
  EXPECT_EQ(findeBefehl(u"cls"), nullptr);
  EXPECT_EQ(parse(esc(u"Befehl|Tafelgroesse|768|480|x||Rest")).werte, (std::vector<Wert>{int16_t{768}, int16_t{480}}));
  EXPECT_EQ(parse(esc(u"Befehl|AniGifLadenanPosition|/a.gif|1|2|3|4|-1|0|")).werte,
            parse(esc(u"Befehl|AniGifLadenanPosition|/a.gif|1|2|3|4|-1|0")).werte);
  EXPECT_EQ(zerlegen(u""), std::vector<std::u16string>{u""});
  const std::u16string t = esc(u"Befehl|Cls||");
  EXPECT_EQ(zerlegen(t), (std::vector<std::u16string>{u"Befehl", u"Cls", u"", u""}));
  EXPECT_EQ(zusammenfuegen(zerlegen(t)), t);
}

// The error a receiver gets for a command text: command, position, message.
std::string fehler(const std::u16string& text) {
  try {
    parse(esc(text));
  } catch (const FeldFehler& e) {
    return platform::toUtf8(e.befehl()) + " " + std::to_string(e.position()) + " " + e.what();
  }
  return "accepted";
}

TEST(Befehlstext, HostileFieldsGiveFeldFehlerWithCommandPositionAndText) {
  EXPECT_EQ(fehler(u"Befehl|Linie|Größe|1|10|1|1|0"),
            "Linie 2 Befehl \"Linie\": Feld 2 (Xstart) ist keine Zahl von -32768 bis 32767: 'Größe'");
  EXPECT_EQ(fehler(u"Befehl|BildAnzeigen|/b.png|ja|0"),
            "BildAnzeigen 3 Befehl \"BildAnzeigen\": Feld 3 (GroesseAnpassen) ist kein Wahrheitswert "
            "(Zahl, True oder False): 'ja'");
  EXPECT_EQ(fehler(u"Befehl|Linie|1|1|10|1|1"), "Linie 7 Befehl \"Linie\": Feld 7 (Farbe) fehlt");
}

// What it builds: DrahtformTest.cpp.
TEST(Bauen, RefusesWhatTheRowDoesNotDescribe) {
  EXPECT_THROW(bauen(u"Gibtsnicht", {}), std::invalid_argument);
  EXPECT_THROW(bauen(u"Cls", std::vector<Wert>{int32_t{1}}), std::invalid_argument);
  EXPECT_THROW(bauen(u"Hintergrundfarbe", {}), std::invalid_argument);
  EXPECT_THROW(bauen(u"Hintergrundfarbe", std::vector<Wert>{int16_t{255}}), std::invalid_argument);
  // ESC inside a text would shift every later field.
  EXPECT_THROW(bauen(u"IPAdresse", std::vector<Wert>{esc(u"10.0.0.1|Cls")}), std::invalid_argument);
}

std::u16string weiter(const std::u16string& empfangen, const std::vector<uint8_t>& datei) {
  return weiterleitungsform(zerlegen(esc(empfangen)), datei);
}

TEST(Bildweiterleitung, CarriesTheFileAsHexPaddedTo14Fields) {
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigen|C:\\b.bmp|-1|0", {0x00, 0x1F, 0xFF}),
            esc(u"Befehl|BildAnzeigen|C:\\b.bmp|-1|0|001FFF||||||||"));
  // The empty end field of AniGifLadenanPosition is where the hex goes.
  EXPECT_EQ(weiter(u"Befehl|AniGifLadenanPosition|/a|1|2|3|4|0|0|", {0x47}),
            esc(u"Befehl|AniGifLadenanPosition|/a|1|2|3|4|0|0|47||||"));
  // Missing fields become empty, extra fields are dropped.
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigen|/b", {}), esc(u"Befehl|BildAnzeigen|/b|||||||||||"));
  EXPECT_EQ(weiter(u"Befehl|BildAnzeigen|/b|0|0|alt|x", {0xAB}), esc(u"Befehl|BildAnzeigen|/b|0|0|AB||||||||"));
  EXPECT_THROW(weiter(u"Befehl|Cls", {1}), std::invalid_argument);
  EXPECT_THROW(weiter(u"Befehl", {1}), std::invalid_argument);
}

// ----------------------------------------------------------------------------
// Single values in a command text: what a receiver accepts in a number field
// and what it refuses, how a sender writes doubles, and the hex text that
// carries picture bytes (round trips, the odd-length rule, bad digits).

using enum FeldTyp;

struct Lesefall {
  std::string name;
  FeldTyp typ;
  std::u16string feld;
  std::optional<Wert> erwartet;  // none: the field must be refused
};

Wert lese(FeldTyp typ, std::u16string_view f) {
  if (typ == Int16) return leseInt16(f, u"Linie", 3);
  if (typ == Int32) return leseInt32(f, u"Linie", 3);
  if (typ == Byte) return leseByte(f, u"Linie", 3);
  if (typ == Bool) return leseBool(f, u"Linie", 3);
  return leseDouble(f);
}

class Feld : public ::testing::TestWithParam<Lesefall> {};

TEST_P(Feld, ConvertsToItsTypeOrIsRefusedWithCommandPositionAndText) {
  std::optional<Wert> w;
  try {
    w = lese(GetParam().typ, GetParam().feld);
  } catch (const FeldFehler& e) {
    EXPECT_EQ(e.befehl(), u"Linie");
    EXPECT_EQ(e.position(), 3);
    EXPECT_EQ(e.text(), GetParam().feld);
    EXPECT_LT(std::string(e.what()).size(), 200u);  // a long field shows only its start
  }
  EXPECT_EQ(w, GetParam().erwartet);
}

const Lesefall kFelder[] = {
    {"Int16Lowest", Int16, u"-32768", int16_t{-32768}}, {"Int16BelowRange", Int16, u"-32769", {}},
    {"Int16HalfRoundsDownToEven", Int16, u"2.5", int16_t{2}}, {"Int16HalfRoundsUpToEven", Int16, u"3.5", int16_t{4}},
    {"Int16JustAboveHalfRoundsUp", Int16, u"2.5000000001", int16_t{3}},
    {"Int16HalfAboveHighestRoundsOut", Int16, u"32767.5", {}},
    {"Int16SurroundingBlanks", Int16, u" \t12 ", int16_t{12}}, {"Int16OnlyFraction", Int16, u".7", int16_t{1}},
    {"Int16LeadingZeros", Int16, u"000000000000000000042", int16_t{42}},
    {"Int16Empty", Int16, u"", {}}, {"Int16OnlySign", Int16, u"-", {}},
    {"Int16DigitsThenLetters", Int16, u"12px", {}}, {"Int16ArabicDigit", Int16, u"\u0661", {}},
    {"Int32Lowest", Int32, u"-2147483648", int32_t{-2147483647 - 1}}, {"Int32AboveRange", Int32, u"2147483648", {}},
    {"Int32HundredThousandDigits", Int32, std::u16string(100000, u'9'), {}},
    {"ByteMinusZero", Byte, u"-0.4", uint8_t{0}}, {"ByteNegative", Byte, u"-1", {}},
    {"ByteAboveRange", Byte, u"256", {}},
    {"BoolSmallFractionIsTrue", Bool, u"0.4", true}, {"BoolTrueWithTail", Bool, u"truex", {}},
    {"BoolTrueAnyCase", Bool, u" tRUE ", true}, {"BoolFalseAnyCase", Bool, u"FALSE", false},
    {"DoubleLeadingPartOnly", Double, u"-1.5 s", -1.5},
};
INSTANTIATE_TEST_SUITE_P(Felder, Feld, ::testing::ValuesIn(kFelder), [](const auto& i) { return i.param.name; });

TEST(DoubleGeschrieben, ShortestWithPointWithoutExponentAndReadsBackExactly) {
  using L = std::numeric_limits<double>;
  const std::pair<double, std::u16string> faelle[] = {
      {2.0, u"2"}, {-1.25, u"-1.25"}, {-0.0, u"0"}, {L::quiet_NaN(), u"0"}, {L::infinity(), u"0"},
      {0.1 + 0.2, u"0.30000000000000004"}, {1e-7, u"0.0000001"}, {1.5e30, u"1500000000000000000000000000000"}};
  for (const auto& [v, text] : faelle) EXPECT_EQ(schreibeDouble(v), text) << v;
  for (double v : {L::max(), -L::max(), L::denorm_min(), 1e300, -1.0 / 3}) {
    const std::u16string t = schreibeDouble(v);
    EXPECT_EQ(t.find_first_of(u"eE"), std::u16string::npos) << ::testing::PrintToString(t);
    EXPECT_EQ(leseDouble(t), v) << ::testing::PrintToString(t);
  }
}

TEST(Hex, EveryByteRoundTripsAsTwoUpperCaseDigitsAndTextGoesThroughWindows1252) {
  std::vector<uint8_t> alle;
  std::u16string erwartet;
  for (int i = 0; i < 256; ++i) {
    alle.push_back(static_cast<uint8_t>(i));
    erwartet += {u"0123456789ABCDEF"[i >> 4], u"0123456789ABCDEF"[i & 15]};
  }
  EXPECT_EQ(hexKodieren(alle), erwartet);
  EXPECT_EQ(hexDekodieren(erwartet), alle);
  EXPECT_EQ(hexKodierenText(u"A\nÿ€ä"), u"410AFF80E4");
  EXPECT_EQ(hexDekodierenText(u"410aff80e4"), u"A\nÿ€ä");
}

struct Hexfall {
  std::string name;
  std::u16string hex;
  std::vector<uint8_t> bytes;
  std::string fehler;  // empty: must decode to bytes
};

class HexDekodiert : public ::testing::TestWithParam<Hexfall> {};

TEST_P(HexDekodiert, GivesHalfTheLengthRoundedToEvenOrNamesTheFirstBadDigit) {
  std::string fehler;
  try {
    EXPECT_EQ(hexDekodieren(GetParam().hex), GetParam().bytes);
  } catch (const HexFehler& e) {
    fehler = e.what();
  }
  EXPECT_EQ(fehler, GetParam().fehler);
}

const Hexfall kHex[] = {
    {"Empty", u"", {}, ""}, {"Length1GivesNothing", u"7", {}, ""},
    {"Length3LastFromSingleDigit", u"41A", {0x41, 0x0A}, ""}, {"Length5FinalDigitUnused", u"410AF", {0x41, 0x0A}, ""},
    {"Length5UnusedFinalCharIsNotChecked", u"410AZ", {0x41, 0x0A}, ""},
    {"Length7LastFromSingleDigit", u"410AFF7", {0x41, 0x0A, 0xFF, 0x07}, ""},
    {"SignFirst", u"-1", {}, "Zeichen 1 ist keine Hexadezimalziffer: '-'"},
    {"LetterBeyondF", u"4G", {}, "Zeichen 2 ist keine Hexadezimalziffer: 'G'"},
    // U+0131 has the low byte of '1': a table indexed by the low byte would take it.
    {"AboveU00FF", u"4\u0131", {}, "Zeichen 2 ist keine Hexadezimalziffer: 'ı'"},
    {"UsedSingleFinalDigit", u"410AFFZ", {}, "Zeichen 7 ist keine Hexadezimalziffer: 'Z'"},
};
INSTANTIATE_TEST_SUITE_P(Hex, HexDekodiert, ::testing::ValuesIn(kHex), [](const auto& i) { return i.param.name; });

}  // namespace
}  // namespace vrd4::protocol
