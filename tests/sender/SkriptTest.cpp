// vrd4send's script lines: words, quoting, comments and values, each line
// run through to the command it sends or the message that refuses it.
#include "SenderTestBasis.h"
#include "Skript.h"

namespace vrd4::vrd4send {
namespace {

struct SkriptZeile {
  const char* name;
  std::string zeile;
  std::string erwartet;  // the fields after "Befehl", "|" between them; or the message after "Parameter n (…): "
};

class SkriptZeileTest : public sender::test::SenderTest, public ::testing::WithParamInterface<SkriptZeile> {};

TEST_P(SkriptZeileTest, SendsItsCommandOrSaysWhatIsWrong) {
  auto r = zeileLesen(GetParam().zeile);
  std::string ergebnis;
  if (auto* fehler = std::get_if<std::string>(&r)) {
    ergebnis = std::regex_replace(*fehler, std::regex("^Parameter [0-9]+ \\([^)]*\\): "), "");
  } else if (auto& a = std::get<Aufruf>(r); a.op) {
    a.op->ausfuehren(*sender, a.werte);
    ergebnis = platform::toUtf8(slot(0)).substr(7);
    std::replace(ergebnis.begin(), ergebnis.end(), '\x1b', '|');
  }
  EXPECT_EQ(ergebnis, GetParam().erwartet);
}

using Z = SkriptZeile;
INSTANTIATE_TEST_SUITE_P(
    Zeilen, SkriptZeileTest,
    ::testing::Values(
        Z{"NurKommentar", "  # Titel", ""},
        Z{"TabsUndCR", "Port\t4711\r", "Port|4711"},
        Z{"AlleTypenUndAnfuehrungszeichen",
          "TextAusgabe -32768 32767 1 1 \"Größe #1\" 4 Arial 9 -1 0 True FALSCH 1 &HFF0000 0x00ff00 0 0.5 -2",
          "Textausgabe|-32768|32767|1|1|Größe #1|4|Arial|9|-1|0|-1|0|-1|16711680|65280|0|0.5|-2"},
        Z{"VerdoppeltesAnfuehrungszeichen", "Port \"a \"\"b\"\"\"", "Port|a \"b\""},
        Z{"LeererParameter", "Port \"\"", "Port|"},
        Z{"HexAlle32Bit", "Hintergrundfarbe &HFFFFFFFF", "Hintergrundfarbe|-1"},
        Z{"NichtGeschlossen", "Port \"4711", "Anführungszeichen nicht geschlossen"},
        Z{"ZeichenNachSchluss", "Port \"a\"b", "nach dem schließenden Anführungszeichen fehlt ein Leerzeichen"},
        Z{"UnbekannteOperation", "Blinken 1", "unbekannte Operation \"Blinken\""},
        Z{"ZuWenigParameter", "Linie 1 2 3", "Linie braucht 6 Parameter, nicht 3"},
        Z{"Int16Ueberlauf", "Tafelgroesse 32768 1", "\"32768\" liegt nicht zwischen -32768 und 32767"},
        Z{"Int16Bruch", "Tafelgroesse 1.5 1", "\"1.5\" ist keine ganze Zahl"},
        Z{"Int16Leer", "Tafelgroesse \"\" 1", "\"\" ist keine ganze Zahl"},
        Z{"HexZuLang", "Hintergrundfarbe 0x123456789", "\"0x123456789\" ist keine ganze Zahl"},
        Z{"Int32Ueberlauf", "Hintergrundfarbe 2147483648",
          "\"2147483648\" liegt nicht zwischen -2147483648 und 2147483647"},
        Z{"ByteNegativ", "AniGifStarten -1 1", "\"-1\" liegt nicht zwischen 0 und 255"},
        Z{"BoolJa", "Rechteck 1 1 2 2 1 0 ja", "\"ja\" ist kein Wahrheitswert (-1 oder 0)"},
        Z{"DoubleKomma", "AniGifStarten 1 1,5", "\"1,5\" ist keine Zahl (Dezimalpunkt \".\")"},
        Z{"DoubleUnendlich", "AniGifStarten 1 inf", "\"inf\" ist keine Zahl (Dezimalpunkt \".\")"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vrd4::vrd4send
