// vrd4send's script lines: words, quoting, comments, values, whole lines.
#include <gtest/gtest.h>

#include "Skript.h"
#include "SenderTestBasis.h"
#include "protocol/Befehl.h"

namespace vrd4::vrd4send {
namespace {

struct WortZeile {
  std::string testname, zeile;
  std::optional<std::vector<std::string>> woerter;  // nullopt: quoting error
};

class WoerterTest : public ::testing::TestWithParam<WortZeile> {};

TEST_P(WoerterTest, SplitsAtBlanksOutsideQuotes) {
  std::string fehler;
  auto w = woerter(GetParam().zeile, fehler);
  EXPECT_EQ(w, GetParam().woerter) << fehler;
  if (!GetParam().woerter) {
    EXPECT_FALSE(fehler.empty());
  }
}

using V = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Zeilen, WoerterTest,
    ::testing::Values(WortZeile{"Leer", "", V{}}, WortZeile{"NurKommentar", "  # Titel", V{}},
                      WortZeile{"EinWort", "Cls", V{"Cls"}},
                      WortZeile{"KommentarDahinter", "Cls   # Tafel leeren", V{"Cls"}},
                      WortZeile{"KommentarOhneLeerzeichen", "Cls#x", V{"Cls"}},
                      WortZeile{"TabsUndCR", "Port\t4711\r", V{"Port", "4711"}},
                      WortZeile{"Anfuehrungszeichen", "IPAdresse \"Spieler 1\" x", V{"IPAdresse", "Spieler 1", "x"}},
                      WortZeile{"RauteInAnfuehrungszeichen", "Port \"Nr #1\"", V{"Port", "Nr #1"}},
                      WortZeile{"VerdoppeltesZeichen", "Port \"a \"\"b\"\"\"", V{"Port", "a \"b\""}},
                      WortZeile{"LeererParameter", "Port \"\"", V{"Port", ""}},
                      WortZeile{"NichtGeschlossen", "Port \"offen", std::nullopt},
                      WortZeile{"ZeichenNachSchluss", "Port \"a\"b", std::nullopt},
                      WortZeile{"ZeichenMittenImWort", "Port a\"b\"", std::nullopt}),
    [](const auto& info) { return info.param.testname; });

struct WertZeile {
  std::string testname, text;
  Typ typ;
  std::optional<Wert> wert;  // nullopt: refused
};

class WertTest : public ::testing::TestWithParam<WertZeile> {};

TEST_P(WertTest, ConvertsOrRefusesWithAMessage) {
  std::string fehler;
  auto w = wertLesen(GetParam().text, GetParam().typ, fehler);
  EXPECT_EQ(w, GetParam().wert);
  if (!GetParam().wert) {
    EXPECT_FALSE(fehler.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Werte, WertTest,
    ::testing::Values(
        WertZeile{"Int16Groesste", "32767", Typ::Int16, Wert(int64_t{32767})},
        WertZeile{"Int16Kleinste", "-32768", Typ::Int16, Wert(int64_t{-32768})},
        WertZeile{"Int16Plus", "+5", Typ::Int16, Wert(int64_t{5})},
        WertZeile{"Int16Ueberlauf", "32768", Typ::Int16, std::nullopt},
        WertZeile{"Int16Bruch", "1.5", Typ::Int16, std::nullopt},
        WertZeile{"Int16Buchstaben", "abc", Typ::Int16, std::nullopt},
        WertZeile{"Int16Leer", "", Typ::Int16, std::nullopt},
        WertZeile{"Int16KeinHex", "0x10", Typ::Int16, std::nullopt},
        WertZeile{"FarbeDezimal", "16777215", Typ::Int32, Wert(int64_t{16777215})},
        WertZeile{"FarbeVbHex", "&HFF0000", Typ::Int32, Wert(int64_t{16711680})},
        WertZeile{"FarbeCHex", "0x00ff00", Typ::Int32, Wert(int64_t{65280})},
        WertZeile{"HexAlle32Bit", "&HFFFFFFFF", Typ::Int32, Wert(int64_t{-1})},
        WertZeile{"HexOhneZiffern", "&H", Typ::Int32, std::nullopt},
        WertZeile{"HexZuLang", "0x123456789", Typ::Int32, std::nullopt},
        WertZeile{"Int32Ueberlauf", "2147483648", Typ::Int32, std::nullopt},
        WertZeile{"ByteGroesste", "255", Typ::Byte, Wert(int64_t{255})},
        WertZeile{"ByteUeberlauf", "256", Typ::Byte, std::nullopt},
        WertZeile{"ByteNegativ", "-1", Typ::Byte, std::nullopt},
        WertZeile{"BoolMinusEins", "-1", Typ::Bool, Wert(true)},
        WertZeile{"BoolNull", "0", Typ::Bool, Wert(false)},
        WertZeile{"BoolEins", "1", Typ::Bool, Wert(true)},
        WertZeile{"BoolTrue", "True", Typ::Bool, Wert(true)},
        WertZeile{"BoolFalsch", "FALSCH", Typ::Bool, Wert(false)},
        WertZeile{"BoolJa", "ja", Typ::Bool, std::nullopt},
        WertZeile{"DoubleHalb", "0.5", Typ::Double, Wert(0.5)},
        WertZeile{"DoubleNegativ", "-2", Typ::Double, Wert(-2.0)},
        WertZeile{"DoubleKomma", "1,5", Typ::Double, std::nullopt},
        WertZeile{"DoubleUnendlich", "inf", Typ::Double, std::nullopt},
        WertZeile{"DoubleRest", "1.5s", Typ::Double, std::nullopt},
        WertZeile{"TextUtf8", "Größe", Typ::Text, Wert(std::u16string(u"Größe"))}),
    [](const auto& info) { return info.param.testname; });

struct FehlerZeile {
  std::string testname, zeile, meldung;
};

class FalscheZeileTest : public ::testing::TestWithParam<FehlerZeile> {};

TEST_P(FalscheZeileTest, SaysWhatIsWrong) {
  auto r = zeileLesen(GetParam().zeile);
  ASSERT_TRUE(std::holds_alternative<std::string>(r));
  EXPECT_EQ(std::get<std::string>(r), GetParam().meldung);
}

INSTANTIATE_TEST_SUITE_P(
    Zeilen, FalscheZeileTest,
    ::testing::Values(
        FehlerZeile{"UnbekannteOperation", "Blinken 1", "unbekannte Operation \"Blinken\""},
        FehlerZeile{"FalscheSchreibweise", "blinktext 1", "unbekannte Operation \"blinktext\" (gemeint: BlinkText?)"},
        FehlerZeile{"ZuWenigParameter", "Linie 1 2 3", "Linie braucht 6 Parameter, nicht 3"},
        FehlerZeile{"ZuVieleParameter", "Cls 1", "Cls braucht 0 Parameter, nicht 1"},
        FehlerZeile{"KeineZahl", "Linie 1 2 3 4 5 rot",
                    "Parameter 6 (Farbe, Int32): \"rot\" ist keine ganze Zahl"},
        FehlerZeile{"AusserhalbDesBereichs", "Tafelgroesse 70000 480",
                    "Parameter 1 (Breite, Int16): \"70000\" liegt nicht zwischen -32768 und 32767"},
        FehlerZeile{"Anfuehrungszeichen", "Port \"4711", "Anführungszeichen nicht geschlossen"}),
    [](const auto& info) { return info.param.testname; });

TEST(Hilfe, ListsEveryOperationWithItsParameters) {
  const std::string h = hilfe();
  for (const auto& op : operationen()) {
    std::string zeile = "  " + std::string(op.name);
    for (const auto& p : op.parameter) zeile += " " + std::string(p.name) + ":" + std::string(typName(p.typ));
    EXPECT_NE(h.find(zeile + "\n"), std::string::npos) << zeile;
  }
}

TEST(Operationstabelle, CommandOperationsHaveTheCommandsParameterCount) {
  const std::vector<std::pair<std::u16string_view, std::string_view>> andererName = {
      {u"Textausgabe", "TextAusgabe"},     {u"Blinktext", "BlinkText"},
      {u"BlinktextLoeschen", "BlinkTextLoeschen"}, {u"Server starten", "ServerStarten"},
      {u"Client verbinden", "ClientVerbinden"}};
  for (const auto& b : protocol::befehlstabelle()) {
    std::string name(b.name.begin(), b.name.end());
    for (const auto& [befehl, operation] : andererName)
      if (befehl == b.name) name = operation;
    const Operation* op = findeOperation(name);
    ASSERT_NE(op, nullptr) << name;
    EXPECT_EQ(op->parameter.size(), b.parameter.size()) << name;
  }
}

using SkriptAusfuehren = sender::test::SenderTest;

TEST_F(SkriptAusfuehren, LineRunsItsOperationWithTheParsedValues) {
  auto r = zeileLesen("TextAusgabe 1 1 768 60 \"Finale 2024\" 4 Arial 40 -1 0 0 0 0 &HFFFFFF 0 0 0.5 0 # Titel");
  ASSERT_TRUE(std::holds_alternative<Aufruf>(r));
  const Aufruf& a = std::get<Aufruf>(r);
  EXPECT_EQ(a.op->ausfuehren(*sender, a.werte), -1);
  EXPECT_EQ(slot(0), sender::test::befehl({u"Befehl", u"Textausgabe", u"1", u"1", u"768", u"60", u"Finale 2024",
                                           u"4", u"Arial", u"40", u"-1", u"0", u"0", u"0", u"0", u"16777215", u"0",
                                           u"0", u"0.5", u"0"}));
}

TEST_F(SkriptAusfuehren, ReplyLineGivesTheSlotNumber) {
  antwortenBeiDurchlauf = 1;
  antworten = [] { sender::test::gv::clsVRD4LauftextNr().SetMemory(u"4"); };
  auto r = zeileLesen("Lauftext 1 440 768 480 \"+++ Sponsor +++\" Arial 28 0 0 0 0 0 65535 0 1.5 0");
  ASSERT_TRUE(std::holds_alternative<Aufruf>(r));
  const Aufruf& a = std::get<Aufruf>(r);
  EXPECT_TRUE(a.op->liefertNummer);
  EXPECT_EQ(a.op->ausfuehren(*sender, a.werte), 4);
}

}  // namespace
}  // namespace vrd4::vrd4send
