// Whole command texts: the documented edge cases, hostile fields, building
// errors, and the form in which picture commands are passed on.
#include <gtest/gtest.h>

#include "Texte.h"

namespace vrd4::protocol {
namespace {

using test::felder;
using test::text;

Befehl parse(std::u16string_view t) {
  const auto f = zerlegen(t);
  const BefehlsSpec* spec = findeBefehl(f.at(1));
  if (spec == nullptr) throw std::logic_error("unknown command " + test::utf8(f.at(1)));
  return konvertieren(*spec, f);
}

TEST(Befehlstext, BackgroundRedIsTheNumber255) {
  const std::vector<Wert> p = {int32_t{255}};
  EXPECT_EQ(bauen(u"Hintergrundfarbe", p), text({u"Befehl", u"Hintergrundfarbe", u"255"}));
  EXPECT_EQ(parse(text({u"Befehl", u"Hintergrundfarbe", u"255"})).get<int32_t>(0), 255);
}

TEST(Befehlstext, FilledRectangleCarriesMinusOneInField8) {
  const std::vector<Wert> p = {int16_t{1}, int16_t{2}, int16_t{30}, int16_t{40}, int16_t{1}, int32_t{0}, true};
  const auto f = zerlegen(bauen(u"Rechteck", p));
  ASSERT_EQ(f.size(), 9u);
  EXPECT_EQ(f[8], u"-1");
}

TEST(Befehlstext, NameIsCaseSensitive) {
  EXPECT_TRUE(istBefehl(text({u"Befehl", u"cls"})));
  EXPECT_EQ(findeBefehl(u"cls"), nullptr);
  EXPECT_NE(findeBefehl(u"Cls"), nullptr);
}

TEST(Befehlstext, OnlyTheFirstSixCharactersMustBeBefehl) {
  const std::u16string t = text({u"Befehlxyz", u"Cls"});
  EXPECT_TRUE(istBefehl(t));
  EXPECT_EQ(parse(t).spec->name, u"Cls");
  EXPECT_FALSE(istBefehl(u"Befeh"));
  EXPECT_FALSE(istBefehl(u"befehl\x1b" u"Cls"));
  EXPECT_FALSE(istBefehl(u""));
}

TEST(Befehlstext, BlinkIntervalHalfTravelsAsPointFive) {
  const std::vector<Wert> p = {int16_t{1}, int16_t{1}, int16_t{100}, int16_t{20}, std::u16string(u"Tor!"),
                               int16_t{4}, std::u16string(u"Arial"), int16_t{16}, true, false, false,
                               false, true, int32_t{16777215}, int32_t{0}, 0.5};
  const std::u16string t = bauen(u"Blinktext", p);
  EXPECT_EQ(zerlegen(t).at(17), u"0.5");
  EXPECT_EQ(parse(t).get<double>(15), 0.5);
}

TEST(Befehlstext, FieldsBeyondTheRowAreIgnored) {
  const Befehl b = parse(text({u"Befehl", u"Tafelgroesse", u"768", u"480", u"x", u"", u"Rest"}));
  EXPECT_EQ(b.werte, (std::vector<Wert>{int16_t{768}, int16_t{480}}));
}

TEST(Befehlstext, AniGifWithAndWithoutEndFieldConvertsTheSame) {
  const auto mit = parse(text({u"Befehl", u"AniGifLadenanPosition", u"/tmp/a.gif", u"1", u"2", u"3",
                               u"4", u"-1", u"0", u""}));
  const auto ohne = parse(text({u"Befehl", u"AniGifLadenanPosition", u"/tmp/a.gif", u"1", u"2", u"3",
                                u"4", u"-1", u"0"}));
  EXPECT_EQ(mit.werte, ohne.werte);
}

TEST(Befehlstext, SplittingKeepsEmptyFieldsAndJoiningUndoesIt) {
  EXPECT_EQ(zerlegen(u""), felder({u""}));
  EXPECT_EQ(zerlegen(u"\x1b"), felder({u"", u""}));
  const std::u16string t = u"Befehl\x1b" u"Cls\x1b\x1b";
  EXPECT_EQ(zusammenfuegen(zerlegen(t)), t);
}

struct Feindlich {
  std::string name;
  std::vector<std::u16string> felder;
  int position;
  std::string meldung;
};

class FeindlichesFeld : public ::testing::TestWithParam<Feindlich> {};

TEST_P(FeindlichesFeld, GivesFeldFehlerAtItsPosition) {
  const auto& f = GetParam().felder;
  try {
    konvertieren(*findeBefehl(f.at(1)), f);
    FAIL() << "accepted";
  } catch (const FeldFehler& e) {
    EXPECT_EQ(e.befehl(), f.at(1));
    EXPECT_EQ(e.position(), GetParam().position);
    EXPECT_EQ(e.what(), GetParam().meldung);
  }
}

const Feindlich kFeindlich[] = {
    {"LettersInInt16",
     {u"Befehl", u"Linie", u"abc", u"1", u"10", u"1", u"1", u"0"},
     2,
     "Befehl \"Linie\": Feld 2 (Xstart) ist keine Zahl von -32768 bis 32767: 'abc'"},
    {"Int16OutOfRange",
     {u"Befehl", u"Tafelgroesse", u"768", u"40000"},
     3,
     "Befehl \"Tafelgroesse\": Feld 3 (Hoehe) ist keine Zahl von -32768 bis 32767: '40000'"},
    {"ByteOutOfRange",
     {u"Befehl", u"BlinktextLoeschen", u"256"},
     2,
     "Befehl \"BlinktextLoeschen\": Feld 2 (BlinkNr) ist keine Zahl von 0 bis 255: '256'"},
    {"EmptyColour",
     {u"Befehl", u"Vordergrundfarbe", u""},
     2,
     "Befehl \"Vordergrundfarbe\": Feld 2 (Farbe) ist keine Zahl von -2147483648 bis 2147483647: ''"},
    {"WordInBool",
     {u"Befehl", u"BildAnzeigen", u"/tmp/b.png", u"ja", u"0"},
     3,
     "Befehl \"BildAnzeigen\": Feld 3 (GroesseAnpassen) ist kein Wahrheitswert (Zahl, True oder "
     "False): 'ja'"},
    {"MissingLastField",
     {u"Befehl", u"Linie", u"1", u"1", u"10", u"1", u"1"},
     7,
     "Befehl \"Linie\": Feld 7 (Farbe) fehlt"},
    {"MissingDoubleField",
     {u"Befehl", u"AniGifStarten", u"1"},
     3,
     "Befehl \"AniGifStarten\": Feld 3 (AnzeigeDauer) fehlt"},
    {"MissingTextField", {u"Befehl", u"IPAdresse"}, 2, "Befehl \"IPAdresse\": Feld 2 (Adresse) fehlt"},
};
INSTANTIATE_TEST_SUITE_P(Befehlstext, FeindlichesFeld, ::testing::ValuesIn(kFeindlich),
                         [](const auto& info) { return info.param.name; });

TEST(Bauen, RefusesWhatTheRowDoesNotDescribe) {
  const std::vector<Wert> keine;
  const std::vector<Wert> eineZahl = {int32_t{1}};
  const std::vector<Wert> falscherTyp = {int16_t{255}};
  const std::vector<Wert> mitEsc = {std::u16string(u"10.0.0.1\x1b" u"Cls")};
  EXPECT_THROW(bauen(u"Gibtsnicht", keine), std::invalid_argument);
  EXPECT_THROW(bauen(u"Cls", eineZahl), std::invalid_argument);
  EXPECT_THROW(bauen(u"Hintergrundfarbe", keine), std::invalid_argument);
  EXPECT_THROW(bauen(u"Hintergrundfarbe", falscherTyp), std::invalid_argument);
  EXPECT_THROW(bauen(u"IPAdresse", mitEsc), std::invalid_argument);
  EXPECT_EQ(bauen(u"Cls", keine), text({u"Befehl", u"Cls"}));
}

struct Weiterleitung {
  std::string name;
  std::vector<std::u16string> empfangen;
  std::vector<uint8_t> datei;
  std::vector<std::u16string> erwartet;
};

class Bildweiterleitung : public ::testing::TestWithParam<Weiterleitung> {};

TEST_P(Bildweiterleitung, CarriesTheFileAsHexPaddedTo14Fields) {
  const std::u16string t = weiterleitungsform(GetParam().empfangen, GetParam().datei);
  EXPECT_EQ(zerlegen(t), GetParam().erwartet);
}

const std::vector<uint8_t> kDreiBytes = {0x00, 0x1F, 0xFF};

const Weiterleitung kWeiterleitungen[] = {
    {"BildAnzeigen",
     {u"Befehl", u"BildAnzeigen", u"C:\\Bilder\\Logo.bmp", u"-1", u"0"},
     kDreiBytes,
     {u"Befehl", u"BildAnzeigen", u"C:\\Bilder\\Logo.bmp", u"-1", u"0", u"001FFF", u"", u"", u"", u"",
      u"", u"", u"", u""}},
    {"BildAnzeigenanPosition",
     {u"Befehl", u"BildAnzeigenanPosition", u"/b.png", u"1", u"2", u"300", u"200", u"0", u"-1"},
     kDreiBytes,
     {u"Befehl", u"BildAnzeigenanPosition", u"/b.png", u"1", u"2", u"300", u"200", u"0", u"-1",
      u"001FFF", u"", u"", u"", u""}},
    {"AniGifEndFieldIsReplaced",
     {u"Befehl", u"AniGifLadenanPosition", u"/a.gif", u"1", u"2", u"3", u"4", u"0", u"0", u""},
     {0x47},
     {u"Befehl", u"AniGifLadenanPosition", u"/a.gif", u"1", u"2", u"3", u"4", u"0", u"0", u"47", u"",
      u"", u"", u""}},
    {"MissingFieldsBecomeEmpty",
     {u"Befehl", u"BildAnzeigen", u"/b.png"},
     {},
     {u"Befehl", u"BildAnzeigen", u"/b.png", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u""}},
    {"ExtraFieldsAreDropped",
     {u"Befehl", u"BildAnzeigen", u"/b.png", u"0", u"0", u"alt", u"x"},
     {0xAB},
     {u"Befehl", u"BildAnzeigen", u"/b.png", u"0", u"0", u"AB", u"", u"", u"", u"", u"", u"", u"", u""}},
};
INSTANTIATE_TEST_SUITE_P(Befehlstext, Bildweiterleitung, ::testing::ValuesIn(kWeiterleitungen),
                         [](const auto& info) { return info.param.name; });

TEST(Bildweiterleitung, RefusesOtherCommands) {
  const std::vector<uint8_t> datei = {1};
  EXPECT_THROW(weiterleitungsform(felder({u"Befehl", u"Cls"}), datei), std::invalid_argument);
  EXPECT_THROW(weiterleitungsform(felder({u"Befehl"}), datei), std::invalid_argument);
}

}  // namespace
}  // namespace vrd4::protocol
